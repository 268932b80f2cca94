package com.vantrel.hostjvm;

/**
 * Decodes the modified UTF-8 that JNI functions such as NewStringUTF and
 * FindClass receive. Like HotSpot, it is lenient: a byte that does not start
 * a well-formed sequence becomes the character with the same value, so
 * ANSI text handed to NewStringUTF arrives as Latin-1 instead of failing.
 */
final class ModifiedUtf8 {
    private ModifiedUtf8() {
    }

    static String decode(byte[] b) {
        StringBuilder sb = new StringBuilder(b.length);
        int n = b.length;
        int i = 0;
        while (i < n) {
            int c = b[i] & 0xff;
            int kind = c >> 4;
            if (kind < 0x8) {
                sb.append((char) c);
                i++;
                continue;
            }
            if ((kind == 0xC || kind == 0xD) && i + 1 < n && isContinuation(b[i + 1])) {
                sb.append((char) (((c & 0x1f) << 6) | (b[i + 1] & 0x3f)));
                i += 2;
                continue;
            }
            if (kind == 0xE && i + 2 < n && isContinuation(b[i + 1]) && isContinuation(b[i + 2])) {
                sb.append((char) (((c & 0x0f) << 12) | ((b[i + 1] & 0x3f) << 6) | (b[i + 2] & 0x3f)));
                i += 3;
                continue;
            }
            sb.append((char) c);
            i++;
        }
        return sb.toString();
    }

    private static boolean isContinuation(byte b) {
        return (b & 0xc0) == 0x80;
    }
}
