package org.vantrel.maven;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * Writes the configuration block: header, configuration records, default
 * messages, language sections, the masked file area and the tail. All
 * integers little-endian, no padding. The packing tool writes the same
 * bytes for the same configuration; nothing here depends on the time or
 * the machine.
 */
final class BlockWriter {
    static final int MAGIC = 0xE8E413D5;
    private static final int RESERVED2 = 0xEAFD0C88;
    private static final int MASK = 0xA7;
    /** Offset of the reserved 64-bit header field that holds the distance to the file area. */
    private static final int DISTANCE_FIELD = 12;
    private static final byte[] TAIL = {(byte) 0xE8, (byte) 0xE4, 0x13, (byte) 0xD5, 0, 0, 0, 0};

    static final class Section {
        final String code;
        final Map<Integer, String> messages;

        Section(String code, Map<Integer, String> messages) {
            this.code = code;
            this.messages = messages;
        }
    }

    static final class FileEntry {
        final String name;
        final Path source;

        FileEntry(String name, Path source) {
            this.name = name;
            this.source = source;
        }
    }

    /** Narrow values (chars 0-255), in key order. */
    final TreeMap<Integer, String> config = new TreeMap<>();
    /** Default messages in the order they are written. */
    final List<Map.Entry<Integer, String>> messages = new ArrayList<>();
    final List<Section> sections = new ArrayList<>();
    final List<FileEntry> files = new ArrayList<>();

    /** Everything before the file area. */
    byte[] head() {
        Bytes b = new Bytes();
        b.i32(MAGIC);
        b.i32(0);
        b.i32(RESERVED2);
        b.i64(0);
        b.i32(config.size());
        for (Map.Entry<Integer, String> record : config.entrySet()) {
            b.i32(record.getKey());
            b.narrow(record.getValue());
        }
        b.messages(messages);
        b.i32(sections.size());
        for (Section section : sections) {
            b.narrow(section.code);
            b.messages(new ArrayList<>(section.messages.entrySet()));
        }
        byte[] head = b.toByteArray();
        long distance = head.length - DISTANCE_FIELD;
        for (int i = 0; i < 8; i++) {
            head[DISTANCE_FIELD + i] = (byte) (distance >>> (8 * i));
        }
        return head;
    }

    /** Writes the whole block, streaming the embedded files. */
    void write(OutputStream out) throws IOException {
        out.write(head());
        byte[] buffer = new byte[64 * 1024];
        for (FileEntry file : files) {
            long length = Files.size(file.source);
            Bytes field = new Bytes();
            field.i64(length);
            out.write(field.toByteArray());
            long done = 0;
            try (InputStream in = Files.newInputStream(file.source)) {
                while (done < length) {
                    int got = in.read(buffer, 0, (int) Math.min(buffer.length, length - done));
                    if (got < 0) {
                        throw new IOException(file.source + " ended after " + done + " of " + length + " bytes");
                    }
                    for (int i = 0; i < got; i++) {
                        buffer[i] ^= (byte) MASK;
                    }
                    out.write(buffer, 0, got);
                    done += got;
                }
                // A file that grew while it was copied would no longer match its length.
                if (in.read() >= 0) {
                    throw new IOException(file.source + " changed while it was being packed");
                }
            }
        }
        out.write(TAIL);
    }

    private static final class Bytes extends ByteArrayOutputStream {
        void i32(int v) {
            for (int i = 0; i < 4; i++) {
                write(v >>> (8 * i) & 0xFF);
            }
        }

        void i64(long v) {
            for (int i = 0; i < 8; i++) {
                write((int) (v >>> (8 * i) & 0xFF));
            }
        }

        void narrow(String ansi) {
            byte[] bytes = ansi.getBytes(StandardCharsets.ISO_8859_1);
            i32(bytes.length);
            write(bytes, 0, bytes.length);
        }

        void messages(List<Map.Entry<Integer, String>> list) {
            i32(list.size());
            for (Map.Entry<Integer, String> m : list) {
                i32(m.getKey());
                byte[] text = m.getValue().getBytes(StandardCharsets.UTF_16LE);
                i32(text.length);
                write(text, 0, text.length);
            }
        }
    }
}
