package com.vantrel.runtime.launcher;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;

/**
 * Ends the application when the service process asks for it.
 *
 * <p>In a service child (system property "morlin.isService" is "true") the
 * service process writes the line "0" to the child's standard input to stop
 * it, and closes the input. A daemon thread reads the input line by line;
 * on the line "0" (blanks and a carriage return around it are tolerated) or
 * at end of input it calls {@code System.exit(0)}, so the application's
 * shutdown hooks run. Any other line is ignored. A failing read counts as end
 * of input: the service process is gone and nobody could stop us any more.
 * In a service child standard input therefore belongs to this protocol; the
 * application must not read it.
 */
final class ServiceStopReader implements Runnable {
    static final String SERVICE_PROPERTY = "morlin.isService";
    static final String STOP_LINE = "0";

    private final InputStream input;

    private ServiceStopReader(InputStream input) {
        this.input = input;
    }

    /** Starts the reader when this is a service child; returns whether it did. */
    static boolean startIfService() {
        if (!"true".equals(System.getProperty(SERVICE_PROPERTY))) {
            return false;
        }
        Thread thread = new Thread(new ServiceStopReader(System.in), "vtlruntime-service-stop");
        thread.setDaemon(true);
        thread.start();
        return true;
    }

    @Override
    public void run() {
        BufferedReader reader = new BufferedReader(new InputStreamReader(input, StandardCharsets.ISO_8859_1));
        try {
            String line;
            while ((line = reader.readLine()) != null) {
                if (STOP_LINE.equals(line.trim())) {
                    break;
                }
            }
        } catch (IOException e) {
            // treated as end of input
        }
        System.exit(0);
    }
}
