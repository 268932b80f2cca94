public class FirstRunFails {
    public static boolean firstRun() {
        throw new UnsupportedOperationException("first-run failed");
    }
}
