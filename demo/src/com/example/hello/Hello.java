package com.example.hello;

/**
 * The demo application. In the foreground it greets, shows its arguments and
 * what the launcher told it, and exits with the code given by "--exit N".
 * As a service (or with "--heartbeat FILE") it writes a heartbeat file, in its
 * working directory unless a file is named, until the process is ended.
 */
public final class Hello {
    private Hello() {
    }

    public static void main(String[] args) throws Exception {
        boolean service = "true".equals(System.getProperty("morlin.isService"));
        System.out.println("Hello from a Java application started by Vantrel!");
        System.out.println("  Java version:   " + System.getProperty("java.version"));
        System.out.println("  arguments:      " + String.join(" | ", args));
        System.out.println("  launcher:       " + System.getProperty("morlin.moduleName"));
        System.out.println("  service mode:   " + service);
        System.out.println("  semaphore name: " + System.getProperty("morlin.semaphoreName"));
        int exitCode = 0;
        String heartbeat = null;
        for (int i = 0; i + 1 < args.length; i++) {
            if ("--exit".equals(args[i])) {
                exitCode = Integer.parseInt(args[i + 1]);
            } else if ("--heartbeat".equals(args[i])) {
                heartbeat = args[i + 1];
            }
        }
        if (heartbeat == null && service) {
            heartbeat = "heartbeat.log";
        }
        if (heartbeat != null) {
            runHeartbeat(heartbeat);
        }
        if (exitCode != 0) {
            System.exit(exitCode);
        }
    }

    // Writes a line a second to the given file until the process ends; the
    // launcher runtime ends the process when the service is stopped.
    private static void runHeartbeat(String file) throws Exception {
        final java.nio.file.Path path = java.nio.file.Paths.get(file);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> append(path, "stopped")));
        append(path, "started");
        for (int beat = 1; ; beat++) {
            append(path, "beat " + beat);
            Thread.sleep(1000);
        }
    }

    private static void append(java.nio.file.Path path, String line) {
        try {
            java.nio.file.Files.write(path, (line + System.lineSeparator()).getBytes("UTF-8"),
                    java.nio.file.StandardOpenOption.CREATE, java.nio.file.StandardOpenOption.APPEND);
        } catch (Exception e) {
            System.err.println("heartbeat: " + e);
        }
    }
}
