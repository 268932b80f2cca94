package hostjvmtest;

/** A class whose initialisation fails. */
public final class Broken {
    static final int VALUE = compute();

    private static int compute() {
        throw new IllegalStateException("cannot initialise");
    }

    public static void main(String[] args) {
        System.out.println(VALUE);
    }
}
