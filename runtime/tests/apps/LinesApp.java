// Writes numbered lines of one length from several threads at once, even
// numbers to System.out and odd ones to System.err: LinesApp THREADS
// LINES_PER_THREAD LINE_LENGTH. Each line is the number in nine digits, a
// dash and padding, so a split line or a lost one shows.
public class LinesApp {
    public static void main(String[] args) throws InterruptedException {
        final int threads = Integer.parseInt(args[0]);
        final int perThread = Integer.parseInt(args[1]);
        final int length = Integer.parseInt(args[2]);
        StringBuilder pad = new StringBuilder();
        while (pad.length() < length - 10) {
            pad.append('x');
        }
        final String padding = pad.toString();
        Thread[] workers = new Thread[threads];
        for (int t = 0; t < threads; t++) {
            final int first = t;
            workers[t] = new Thread(() -> {
                for (int i = 0; i < perThread; i++) {
                    int n = i * threads + first;
                    String line = String.format("%09d-%s", n, padding);
                    (n % 2 == 0 ? System.out : System.err).println(line);
                }
            });
            workers[t].start();
        }
        for (Thread worker : workers) {
            worker.join();
        }
    }
}
