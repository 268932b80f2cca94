package hostjvmtest;

/** Targets for the driver's typed calls. */
public class Probe {
    private final String name;

    public Probe(String name) {
        this.name = name;
    }

    public static String describe(boolean z, byte b, char c, short s, int i, long j, float f, double d, String l) {
        return z + "|" + b + "|" + (int) c + "|" + s + "|" + i + "|" + j + "|" + f + "|" + d + "|" + l;
    }

    public static void splash(boolean show, boolean flag, String text1, int x1, int y1, String colour1, int a1, int b1,
                              String text2, int x2, int y2, String colour2, int a2, int b2) {
        System.out.println("splash " + show + " " + flag + " [" + text1 + "] " + x1 + " " + y1 + " [" + colour1 + "] "
                + a1 + " " + b1 + " [" + text2 + "] " + x2 + " " + y2 + " [" + colour2 + "] " + a2 + " " + b2);
    }

    public static boolean firstRun() {
        System.out.println("firstRun called");
        return Boolean.getBoolean("probe.firstRun");
    }

    /** Leaves the calling thread interrupted, as some methods do. */
    public static boolean interruptSelf() {
        Thread.currentThread().interrupt();
        return true;
    }

    /** Whether the calling thread was interrupted; clears the flag. */
    public static boolean wasInterrupted() {
        return Thread.interrupted();
    }

    public static boolean failingCheck() {
        throw new UnsupportedOperationException("no check");
    }

    public int length() {
        return name.length();
    }

    public long twice(long v) {
        return 2 * v;
    }

    public double half(double v) {
        return v / 2;
    }

    public char first() {
        return name.charAt(0);
    }

    public short shortLength() {
        return (short) name.length();
    }

    public byte firstByte() {
        return (byte) name.charAt(0);
    }

    public float third(float v) {
        return v / 3;
    }

    public boolean isEmpty() {
        return name.isEmpty();
    }

    public void touch() {
        System.out.println("touched " + name);
    }

    @Override
    public String toString() {
        return "Probe(" + name + ")";
    }
}
