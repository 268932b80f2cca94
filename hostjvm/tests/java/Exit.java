package hostjvmtest;

/**
 * Calls System.exit: "main N" from main, "thread N" from a second thread
 * while main waits, "late N" from a non-daemon thread after main returned.
 * A shutdown hook prints "hook ran" half a second later.
 */
public final class Exit {
    public static void main(String[] args) throws Exception {
        int code = Integer.parseInt(args[1]);
        // A hook that takes its time: its output must still arrive.
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            sleep(500);
            System.out.println("hook ran");
        }));
        switch (args[0]) {
            case "main":
                System.out.println("exiting from main");
                System.out.print("unterminated ");
                System.exit(code);
                break;
            case "thread": {
                Thread t = new Thread(() -> {
                    System.out.println("exiting from thread");
                    System.exit(code);
                });
                t.start();
                Thread.sleep(60000);
                System.out.println("main woke up");
                break;
            }
            case "late": {
                Thread t = new Thread(() -> {
                    sleep(300);
                    System.out.println("exiting late");
                    System.exit(code);
                });
                t.start();
                System.out.println("main returns");
                break;
            }
            default:
                throw new IllegalArgumentException(args[0]);
        }
    }

    static void sleep(long ms) {
        try {
            Thread.sleep(ms);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
