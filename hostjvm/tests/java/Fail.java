package hostjvmtest;

/** Ends main with an exception thrown two frames down. */
public final class Fail {
    public static void main(String[] args) {
        System.out.println("failing");
        deep(args.length > 0 ? args[0] : "");
    }

    private static void deep(String what) {
        throw new IllegalStateException("boom " + what, new RuntimeException("root cause"));
    }
}
