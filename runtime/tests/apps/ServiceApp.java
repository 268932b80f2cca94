// Stands for a server: it never returns by itself. A shutdown hook shows
// that the stop went through System.exit.
public class ServiceApp {
    public static void main(String[] args) throws InterruptedException {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
        System.out.println("service app running");
        System.out.flush();
        while (true) {
            Thread.sleep(60000);
        }
    }
}
