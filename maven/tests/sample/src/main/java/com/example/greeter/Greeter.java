package com.example.greeter;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;

import org.apache.commons.lang3.StringUtils;

/**
 * Greets through its one dependency. As a service it writes a heartbeat
 * file in its working directory until the service is stopped.
 */
public final class Greeter {
    private Greeter() {
    }

    public static void main(String[] args) throws Exception {
        String greeting = System.getProperty("greeter.greeting", "Hello");
        String who = args.length > 0 ? StringUtils.join(args, ' ') : "world";
        System.out.println(greeting + ", " + StringUtils.capitalize(who) + "! (" + StringUtils.reverse(who) + ")");
        if ("true".equals(System.getProperty("morlin.isService"))) {
            heartbeat(Paths.get("heartbeat.log"));
        }
    }

    // The launcher runtime ends the process when the service is stopped; the
    // shutdown hook records that it ran.
    private static void heartbeat(Path file) throws Exception {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> append(file, "stopped")));
        for (int beat = 1; ; beat++) {
            append(file, "beat " + beat);
            Thread.sleep(500);
        }
    }

    private static void append(Path file, String line) {
        try {
            Files.write(file, (line + "\n").getBytes(StandardCharsets.UTF_8), StandardOpenOption.CREATE,
                    StandardOpenOption.APPEND);
        } catch (Exception e) {
            System.err.println("heartbeat: " + e);
        }
    }
}
