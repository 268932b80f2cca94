public class FirstRunNo {
    public static boolean firstRun() {
        System.out.println("first-run step ran");
        return false;
    }
}
