import java.util.Arrays;

// Stands for a server: it never returns by itself. A shutdown hook shows
// that the stop went through System.exit. Its first line shows what main
// received and the service name the runtime told it.
public class ServiceApp {
    public static void main(String[] args) throws InterruptedException {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
        System.out.println("service app running name=" + System.getProperty("vantrel.serviceName")
                + " args=" + Arrays.toString(args));
        System.out.flush();
        while (true) {
            Thread.sleep(60000);
        }
    }
}
