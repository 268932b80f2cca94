package com.vantrel.runtime.launcher;

import java.io.BufferedOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;

/**
 * Sends System.err and System.out to the files the launcher names.
 *
 * <p>How a name is read:
 * <ul>
 *   <li>"" means no redirection of that stream.</li>
 *   <li>A trailing "+" means append to the file; without it the file is
 *       started afresh. The "+" is not part of the file name.</li>
 *   <li>The launcher makes every name absolute against its own directory,
 *       except a name that begins with "$", which it passes unchanged. Here
 *       the "$" is removed and the rest is taken as it stands, so a relative
 *       rest names a file relative to the working directory. A rest that
 *       begins with "{" is an unexpanded variable reference (the launcher
 *       expands every defined one), so that stream is not redirected and a
 *       warning is printed.</li>
 *   <li>Missing parent folders are created. A file that cannot be opened
 *       leaves its stream where it was, with a warning on standard error: a
 *       log file that cannot be written must not stop the application.</li>
 *   <li>When both names lead to the same file, both streams share one
 *       stream, opened as the error-stream name says, so that neither
 *       overwrites the other.</li>
 *   <li>With the system property "vantrel.redirect.maxSize" (bytes; the
 *       launcher passes it for the project's redirect.max_size) the files
 *       roll by size, keeping "vantrel.redirect.keep" old files (default 8):
 *       see {@link RollingFileOutputStream}. A file started afresh then
 *       first rolls what it held away instead of losing it.</li>
 * </ul>
 * Nothing is redirected when the system property "vantrel.noRedir" is
 * "true" (the launcher's foreground run sets it).
 */
final class Redirection {
    static final String NO_REDIRECT_PROPERTY = "vantrel.noRedir";
    static final String MAX_SIZE_PROPERTY = "vantrel.redirect.maxSize";
    static final String KEEP_PROPERTY = "vantrel.redirect.keep";
    static final int DEFAULT_KEEP = 8;

    private Redirection() {
    }

    /** A parsed redirection name. */
    static final class Target {
        final File file;
        final boolean append;

        Target(File file, boolean append) {
            this.file = file;
            this.append = append;
        }
    }

    /**
     * Turns a launcher name into a target, or null for no redirection.
     * Warnings go to the given stream.
     */
    static Target parse(String name, PrintStream warnings) {
        if (name == null || name.isEmpty()) {
            return null;
        }
        String path = name;
        boolean append = path.endsWith("+");
        if (append) {
            path = path.substring(0, path.length() - 1);
        }
        if (path.startsWith("$")) {
            path = path.substring(1);
            if (path.startsWith("{")) {
                warnings.println("vtlruntime: not redirecting to \"" + name
                        + "\": it holds an undefined variable");
                return null;
            }
        }
        if (path.isEmpty()) {
            warnings.println("vtlruntime: not redirecting to \"" + name + "\": no file name");
            return null;
        }
        return new Target(new File(path).getAbsoluteFile(), append);
    }

    /** Applies the two names unless redirection is switched off. */
    static void apply(String errorName, String outputName) {
        if ("true".equals(System.getProperty(NO_REDIRECT_PROPERTY))) {
            return;
        }
        PrintStream originalErr = System.err;
        Target err = parse(errorName, originalErr);
        Target out = parse(outputName, originalErr);
        Rolling rolling = Rolling.fromProperties(originalErr);
        PrintStream errStream = err == null ? null : open(err, "standard error", originalErr, rolling);
        PrintStream outStream = null;
        if (out != null) {
            if (errStream != null && sameFile(err.file, out.file)) {
                outStream = errStream;
            } else {
                outStream = open(out, "standard output", originalErr, rolling);
            }
        }
        if (errStream == null && outStream == null) {
            return;
        }
        final PrintStream flushErr = errStream;
        final PrintStream flushOut = outStream;
        // Text printed without a final line feed would otherwise be lost when
        // the VM ends through System.exit or DestroyJavaVM.
        Runtime.getRuntime().addShutdownHook(new Thread("vtlruntime-flush") {
            @Override
            public void run() {
                flush(flushErr);
                flush(flushOut);
            }
        });
        if (errStream != null) {
            System.setErr(errStream);
        }
        if (outStream != null) {
            System.setOut(outStream);
        }
    }

    static void flush(PrintStream stream) {
        if (stream != null) {
            stream.flush();
        }
    }

    private static boolean sameFile(File a, File b) {
        try {
            return a.getCanonicalFile().equals(b.getCanonicalFile());
        } catch (IOException e) {
            return a.equals(b);
        }
    }

    /** The rolling the launcher asked for, or null for none. */
    static final class Rolling {
        final long maxSize;
        final int keep;

        Rolling(long maxSize, int keep) {
            this.maxSize = maxSize;
            this.keep = keep;
        }

        static Rolling fromProperties(PrintStream warnings) {
            String size = System.getProperty(MAX_SIZE_PROPERTY);
            if (size == null) {
                return null;
            }
            long maxSize;
            int keep = DEFAULT_KEEP;
            try {
                maxSize = Long.parseLong(size.trim());
                String kept = System.getProperty(KEEP_PROPERTY);
                if (kept != null) {
                    keep = Integer.parseInt(kept.trim());
                }
            } catch (NumberFormatException e) {
                maxSize = 0;
            }
            if (maxSize <= 0 || keep < 0 || keep > 999) {
                warnings.println("vtlruntime: not rolling the redirection files: " + MAX_SIZE_PROPERTY + "=" + size
                        + " and " + KEEP_PROPERTY + "=" + System.getProperty(KEEP_PROPERTY)
                        + " are not a size in bytes and a count from 0 to 999");
                return null;
            }
            return new Rolling(maxSize, keep);
        }
    }

    private static PrintStream open(Target target, String what, PrintStream warnings, Rolling rolling) {
        File parent = target.file.getParentFile();
        if (parent != null && !parent.isDirectory() && !parent.mkdirs() && !parent.isDirectory()) {
            warnings.println("vtlruntime: cannot redirect " + what + ": cannot create folder " + parent);
            return null;
        }
        try {
            OutputStream file = rolling == null ? new FileOutputStream(target.file, target.append)
                    : new RollingFileOutputStream(target.file, target.append, rolling.maxSize, rolling.keep);
            return new PrintStream(new BufferedOutputStream(file), true);
        } catch (IOException | SecurityException e) {
            warnings.println("vtlruntime: cannot redirect " + what + " to " + target.file + ": " + e.getMessage());
            return null;
        }
    }
}
