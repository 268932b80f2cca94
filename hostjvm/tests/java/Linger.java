package hostjvmtest;

/** Returns from main while a non-daemon thread works on for the given milliseconds. */
public final class Linger {
    public static void main(String[] args) {
        long ms = Long.parseLong(args[0]);
        Thread worker = new Thread(() -> {
            Exit.sleep(ms);
            System.out.println("worker done");
        }, "worker");
        worker.start();
        Thread daemon = new Thread(() -> Exit.sleep(600000), "idle-daemon");
        daemon.setDaemon(true);
        daemon.start();
        System.out.println("main done");
    }
}
