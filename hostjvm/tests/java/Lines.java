package hostjvmtest;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;

/** Echoes standard input line by line until end of file; with "stop", until a line "0". */
public final class Lines {
    public static void main(String[] args) throws Exception {
        boolean stopLine = args.length > 0 && args[0].equals("stop");
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
        System.out.println("ready");
        String line;
        while ((line = in.readLine()) != null) {
            System.out.println("line [" + line + "]");
            if (stopLine && line.equals("0")) {
                System.out.println("stop requested");
                return;
            }
        }
        System.out.println("eof");
    }
}
