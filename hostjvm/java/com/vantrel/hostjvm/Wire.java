package com.vantrel.hostjvm;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;

/**
 * Frames exchanged with the Wine-side bridge over the control connection.
 * Every frame is a 32-bit big-endian length followed by that many bytes. A
 * request starts with its operation code, a reply with its flags. The
 * numbers here must match hostjvm/src/wire.h.
 */
final class Wire {
    static final int OP_INIT = 1;
    static final int OP_FIND_CLASS = 2;
    static final int OP_GET_METHOD = 3;
    static final int OP_CALL = 4;
    static final int OP_GET_OBJECT_CLASS = 5;
    static final int OP_NEW_STRING_UTF = 6;
    static final int OP_NEW_STRING = 7;
    static final int OP_GET_STRING_CHARS = 8;
    static final int OP_GET_STRING_LENGTH = 9;
    static final int OP_NEW_OBJECT_ARRAY = 10;
    static final int OP_SET_ARRAY_ELEMENT = 11;
    static final int OP_GET_ARRAY_ELEMENT = 12;
    static final int OP_GET_ARRAY_LENGTH = 13;
    static final int OP_DELETE_REF = 14;
    static final int OP_EXCEPTION_OCCURRED = 15;
    static final int OP_EXCEPTION_DESCRIBE = 16;
    static final int OP_EXCEPTION_CLEAR = 17;
    static final int OP_THROW = 18;
    static final int OP_THROW_NEW = 19;
    static final int OP_DESTROY = 20;
    static final int OP_EXCEPTION_CHECK = 21;
    static final int OP_NEW_REF = 22;
    static final int OP_IS_SAME_OBJECT = 23;

    // Call kinds of OP_CALL.
    static final int CALL_STATIC = 0;
    static final int CALL_VIRTUAL = 1;
    static final int CALL_NEW_OBJECT = 2;

    // Reply flags. "Pending" says an exception is pending after the call,
    // "threw" that this very call raised it; a fault is a misuse of the
    // interface that the bridge reports and ends the process for.
    static final int FLAG_PENDING = 1;
    static final int FLAG_THREW = 2;
    static final int FLAG_FAULT = 4;

    static final int MAX_FRAME = 256 << 20;

    private Wire() {
    }

    /** A misuse of the interface (a bad reference, a wrong argument type). */
    static final class Fault extends RuntimeException {
        private static final long serialVersionUID = 1L;

        Fault(String message) {
            super(message, null, false, false);
        }
    }

    /** Reads the fields of one request in order; running past its end is a fault. */
    static final class Reader {
        private final byte[] data;
        private int pos;

        Reader(byte[] data) {
            this.data = data;
        }

        private void need(int n) {
            if (n < 0 || data.length - pos < n) {
                throw new Fault("truncated request");
            }
        }

        int u8() {
            need(1);
            return data[pos++] & 0xff;
        }

        int i32() {
            need(4);
            int v = ((data[pos] & 0xff) << 24) | ((data[pos + 1] & 0xff) << 16)
                    | ((data[pos + 2] & 0xff) << 8) | (data[pos + 3] & 0xff);
            pos += 4;
            return v;
        }

        long i64() {
            long high = i32() & 0xffffffffL;
            long low = i32() & 0xffffffffL;
            return (high << 32) | low;
        }

        byte[] bytes() {
            int n = i32();
            need(n);
            byte[] out = new byte[n];
            System.arraycopy(data, pos, out, 0, n);
            pos += n;
            return out;
        }

        char[] chars() {
            int n = i32();
            if (n < 0 || n > (data.length - pos) / 2) {
                throw new Fault("truncated request");
            }
            char[] out = new char[n];
            for (int i = 0; i < n; i++) {
                out[i] = (char) (((data[pos] & 0xff) << 8) | (data[pos + 1] & 0xff));
                pos += 2;
            }
            return out;
        }
    }

    /** Builds one reply. */
    static final class Writer {
        private final ByteArrayOutputStream buffer = new ByteArrayOutputStream(64);
        private final DataOutputStream out = new DataOutputStream(buffer);

        Writer u8(int v) {
            try {
                out.writeByte(v);
            } catch (IOException e) {
                throw new IllegalStateException(e);
            }
            return this;
        }

        Writer i32(int v) {
            try {
                out.writeInt(v);
            } catch (IOException e) {
                throw new IllegalStateException(e);
            }
            return this;
        }

        Writer i64(long v) {
            try {
                out.writeLong(v);
            } catch (IOException e) {
                throw new IllegalStateException(e);
            }
            return this;
        }

        Writer bytes(byte[] v) {
            i32(v.length);
            buffer.write(v, 0, v.length);
            return this;
        }

        Writer text(String v) {
            return bytes(v.getBytes(StandardCharsets.UTF_8));
        }

        Writer chars(String v) {
            i32(v.length());
            for (int i = 0; i < v.length(); i++) {
                char c = v.charAt(i);
                buffer.write(c >> 8);
                buffer.write(c & 0xff);
            }
            return this;
        }

        byte[] toByteArray() {
            return buffer.toByteArray();
        }
    }
}
