// Its main ends with an exception thrown two frames down.
public class ThrowApp {
    public static void main(String[] args) {
        System.out.println("before the failure");
        failDeeper();
    }

    static void failDeeper() {
        throw new IllegalStateException("boom from the application");
    }
}
