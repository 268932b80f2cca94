public class NoMainApp {
    public static void run(String[] args) {
        System.out.println("never called");
    }
}
