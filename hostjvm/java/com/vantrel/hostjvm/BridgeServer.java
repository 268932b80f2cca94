package com.vantrel.hostjvm;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.LinkedBlockingQueue;

/**
 * The Java half of the stand-in jvm.dll. Started as the main class of the
 * host's java with the bridge's port as its argument and the connection
 * token in the environment, it connects back to the Wine-side bridge and
 * executes the forwarded JNI calls on this main thread, so the launcher's
 * calls run on a thread named "main" just as in a VM inside the launcher.
 *
 * A reader thread takes frames off the socket. When the connection ends
 * while the VM is not shutting down, the launcher is gone and the VM halts
 * at once, as it would die with the launcher's process.
 */
public final class BridgeServer {
    private static final String TOKEN_VARIABLE = "VTL_HOSTJVM_TOKEN";
    private static final byte[] END = new byte[0];

    private static volatile boolean shuttingDown;

    private BridgeServer() {
    }

    public static void main(String[] args) throws Exception {
        String token = System.getenv(TOKEN_VARIABLE);
        if (args.length != 1 || token == null || token.isEmpty()) {
            System.err.println("hostjvm bridge: started without port and token");
            Runtime.getRuntime().halt(2);
        }
        int port = Integer.parseInt(args[0]);
        Socket socket = new Socket();
        socket.setTcpNoDelay(true);
        socket.connect(new InetSocketAddress(InetAddress.getByAddress(new byte[] {127, 0, 0, 1}), port), 30000);
        OutputStream out = new BufferedOutputStream(socket.getOutputStream(), 8192);
        out.write((token + " ctl\n").getBytes(StandardCharsets.US_ASCII));
        out.flush();

        // Closing the socket when the VM shuts down wakes the reader, which
        // would otherwise keep the VM waiting for a thread in a native read.
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            shuttingDown = true;
            try {
                socket.close();
            } catch (IOException ignored) {
                // already closed
            }
        }, "hostjvm-bridge-shutdown"));

        LinkedBlockingQueue<byte[]> requests = new LinkedBlockingQueue<>();
        Thread reader = new Thread(() -> readRequests(socket, requests), "hostjvm-bridge-reader");
        reader.setDaemon(true);
        reader.start();

        serve(requests, out);
    }

    private static void readRequests(Socket socket, LinkedBlockingQueue<byte[]> requests) {
        try {
            DataInputStream in = new DataInputStream(new BufferedInputStream(socket.getInputStream(), 8192));
            while (true) {
                int length = in.readInt();
                if (length <= 0 || length > Wire.MAX_FRAME) {
                    throw new IOException("bad frame length " + length);
                }
                byte[] frame = new byte[length];
                in.readFully(frame);
                requests.add(frame);
            }
        } catch (IOException | RuntimeException e) {
            if (!shuttingDown) {
                // The launcher is gone; nothing can use this VM any more.
                Runtime.getRuntime().halt(1);
            }
            requests.add(END);
        }
    }

    /** Executes requests until DestroyJavaVM; then main returns and the VM waits for its other threads. */
    private static void serve(LinkedBlockingQueue<byte[]> requests, OutputStream out) {
        JniOps ops = new JniOps();
        try {
            while (!ops.destroyed()) {
                byte[] request = takeRequest(requests);
                if (request == END) {
                    // The VM is shutting down on System.exit; let it finish.
                    waitForShutdown();
                }
                byte[] reply = ops.execute(request);
                // What Java printed before the reply must reach the bridge first.
                System.out.flush();
                System.err.flush();
                writeFrame(out, reply);
            }
        } catch (IOException e) {
            if (!shuttingDown) {
                Runtime.getRuntime().halt(1);
            }
            waitForShutdown();
        } catch (RuntimeException | Error e) {
            // The launcher would wait for a reply forever: end instead.
            System.err.println("hostjvm bridge: internal failure: " + e);
            Runtime.getRuntime().halt(1);
        }
    }

    /**
     * The next request. A Java method may leave this thread interrupted, as
     * it may in the launcher's thread; the flag must neither break the wait
     * nor get lost before the next call into Java.
     */
    private static byte[] takeRequest(LinkedBlockingQueue<byte[]> requests) {
        boolean interrupted = false;
        while (true) {
            try {
                byte[] request = requests.take();
                if (interrupted) {
                    Thread.currentThread().interrupt();
                }
                return request;
            } catch (InterruptedException e) {
                interrupted = true;
            }
        }
    }

    private static void waitForShutdown() {
        while (true) {
            try {
                Thread.sleep(Long.MAX_VALUE);
            } catch (InterruptedException e) {
                // the VM ends this thread when it exits
            }
        }
    }

    private static void writeFrame(OutputStream out, byte[] frame) throws IOException {
        out.write(frame.length >>> 24);
        out.write(frame.length >>> 16);
        out.write(frame.length >>> 8);
        out.write(frame.length);
        out.write(frame);
        out.flush();
    }
}
