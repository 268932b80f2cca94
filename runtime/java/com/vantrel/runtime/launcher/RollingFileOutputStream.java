package com.vantrel.runtime.launcher;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;

/**
 * A redirection file that rolls by size: once it holds at least the
 * maximum, the next line starts a new file, and the old ones move on
 * ({@code app.log} to {@code app.1.log}, {@code app.1.log} to
 * {@code app.2.log}, ...), the oldest beyond the number kept being removed.
 *
 * <p>A roll happens only where a line begins, so no line is ever split
 * between two files and no file holds more than the maximum plus the one
 * line that crossed it. Writes are serialised on the stream, so lines from
 * several threads (and System.out and System.err sharing one file through
 * one PrintStream) arrive whole. A roll that fails (a reader on Windows
 * holding the file without sharing it) leaves the output in the current
 * file and is tried again after some more output; nothing is lost.
 */
final class RollingFileOutputStream extends OutputStream {
    /** Output written after a failed roll before the next attempt. */
    private static final long RETRY_BYTES = 64 * 1024;

    private final File file;
    private final long maxSize;
    private final int keep;
    private FileOutputStream out;
    private long size;
    private long nextAttempt;
    private boolean atLineStart = true;

    /**
     * Opens the file. Without append the file starts afresh, as an
     * unrolled redirection does, but what it held is rolled away first
     * rather than lost (the output of the last run, or of a service's last
     * application before a restart).
     */
    RollingFileOutputStream(File file, boolean append, long maxSize, int keep) throws IOException {
        this.file = file;
        this.maxSize = maxSize;
        this.keep = keep;
        if (!append && file.length() > 0 && !rollFiles()) {
            // Not rolled: start afresh all the same, as without rolling.
            new FileOutputStream(file, false).close();
        }
        out = new FileOutputStream(file, true);
        size = file.length();
        nextAttempt = maxSize;
    }

    /** The name of the index-th rolled file: the number before the extension. */
    static File rolledName(File file, int index) {
        String name = file.getName();
        int dot = name.lastIndexOf('.');
        String rolled = dot <= 0 ? name + "." + index : name.substring(0, dot) + "." + index + name.substring(dot);
        return new File(file.getParentFile(), rolled);
    }

    @Override
    public synchronized void write(int b) throws IOException {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public synchronized void write(byte[] data, int offset, int length) throws IOException {
        int end = offset + length;
        while (offset < end) {
            if (atLineStart && size >= maxSize && size >= nextAttempt) {
                roll();
            }
            int lineEnd = offset;
            while (lineEnd < end && data[lineEnd] != '\n') {
                lineEnd++;
            }
            boolean complete = lineEnd < end;
            int stop = complete ? lineEnd + 1 : end;
            out.write(data, offset, stop - offset);
            size += stop - offset;
            atLineStart = complete;
            offset = stop;
        }
    }

    @Override
    public synchronized void flush() throws IOException {
        out.flush();
    }

    @Override
    public synchronized void close() throws IOException {
        out.close();
    }

    private void roll() throws IOException {
        out.close();
        if (rollFiles()) {
            out = new FileOutputStream(file, false);
            size = 0;
            nextAttempt = maxSize;
        } else {
            out = new FileOutputStream(file, true);
            nextAttempt = size + RETRY_BYTES;
        }
    }

    /** Moves the files one on; false when the current file could not move. */
    private boolean rollFiles() {
        if (keep == 0) {
            return file.delete() || !file.exists();
        }
        File oldest = rolledName(file, keep);
        if (oldest.exists() && !oldest.delete()) {
            return false;
        }
        for (int i = keep - 1; i >= 1; i--) {
            File from = rolledName(file, i);
            if (from.exists() && !from.renameTo(rolledName(file, i + 1))) {
                return false;
            }
        }
        return file.renameTo(rolledName(file, 1));
    }
}
