public class SleepApp {
    public static void main(String[] args) throws InterruptedException {
        Thread.sleep(400);
        System.out.println("finished");
    }
}
