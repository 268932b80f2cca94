package org.vantrel.maven;

/**
 * The part of a launcher stub that comes before the configuration block.
 * The block starts at the end of the raw data of the last entry of the PE
 * section table, exactly where the launcher looks for it. A stub that
 * carries a PE checksum gets it recomputed over the packed file.
 */
final class StubImage {
    private static final int PE32 = 0x10B;
    private static final int PE32_PLUS = 0x20B;
    private static final int CERTIFICATE_DIRECTORY = 4;

    final byte[] prefix;
    /** File offset of the checksum field; meaningful only when recomputeChecksum. */
    final int checksumOffset;
    final boolean recomputeChecksum;

    private StubImage(byte[] prefix, int checksumOffset, boolean recomputeChecksum) {
        this.prefix = prefix;
        this.checksumOffset = checksumOffset;
        this.recomputeChecksum = recomputeChecksum;
    }

    static final class BadStub extends Exception {
        private static final long serialVersionUID = 1L;

        BadStub(String message) {
            super(message);
        }
    }

    /** Refuses a stub that already carries a block, a signed one and one with data after its sections. */
    static StubImage prepare(byte[] image) throws BadStub {
        if (image.length < 64 || image[0] != 'M' || image[1] != 'Z') {
            throw new BadStub("not a Windows executable (no MZ header)");
        }
        long h = u32(image, 0x3C);
        if (!fits(image, h, 24) || image[(int) h] != 'P' || image[(int) h + 1] != 'E' || image[(int) h + 2] != 0
                || image[(int) h + 3] != 0) {
            throw new BadStub("not a Windows PE executable (no PE signature)");
        }
        int pe = (int) h;
        // The launcher reads both counts as signed 16-bit numbers.
        int sections = (short) u16(image, pe + 6);
        int optionalSize = (short) u16(image, pe + 20);
        long table = pe + 24L + optionalSize;
        if (sections < 1 || optionalSize < 0 || !fits(image, table, 40L * sections)) {
            throw new BadStub("the PE header has no usable section table");
        }
        long highestRawEnd = 0;
        for (int i = 0; i < sections; i++) {
            int entry = (int) (table + 40L * i);
            long end = u32(image, entry + 20) + u32(image, entry + 16);
            if (u32(image, entry + 16) > 0 && end > highestRawEnd) {
                highestRawEnd = end;
            }
        }
        int last = (int) (table + 40L * (sections - 1));
        long at = u32(image, last + 20) + u32(image, last + 16);
        if (at < highestRawEnd || at == 0 || at > image.length) {
            throw new BadStub("the last entry of the section table does not end behind the section data");
        }
        if (fits(image, at, 4) && (int) u32(image, at) == BlockWriter.MAGIC) {
            throw new BadStub("it already carries a configuration block");
        }
        int optional = pe + 24;
        int checksumOffset = 0;
        long checksum = 0;
        long certOffset = 0;
        long certSize = 0;
        if (optionalSize >= 2 && fits(image, optional, 2)) {
            int magic = u16(image, optional);
            int countField = magic == PE32 ? optional + 92 : magic == PE32_PLUS ? optional + 108 : -1;
            if (countField > 0) {
                int entry = countField + 4 + 8 * CERTIFICATE_DIRECTORY;
                if (optional + 68 <= optional + optionalSize && fits(image, optional + 64, 4)) {
                    checksumOffset = optional + 64;
                    checksum = u32(image, checksumOffset);
                }
                if (fits(image, countField, 4) && u32(image, countField) > CERTIFICATE_DIRECTORY
                        && entry + 8 <= optional + optionalSize && fits(image, entry, 8)) {
                    certOffset = u32(image, entry);
                    certSize = u32(image, entry + 4);
                }
            }
        }
        if (certOffset != 0 || certSize != 0) {
            throw new BadStub("it is signed; packing would break the signature");
        }
        for (long i = at; i < image.length; i++) {
            if (image[(int) i] != 0) {
                throw new BadStub("it has data after its last section");
            }
        }
        byte[] prefix = java.util.Arrays.copyOf(image, (int) at);
        boolean recompute = checksum != 0;
        if (recompute) {
            for (int i = 0; i < 4; i++) {
                prefix[checksumOffset + i] = 0;
            }
        }
        return new StubImage(prefix, checksumOffset, recompute);
    }

    private static boolean fits(byte[] b, long at, long n) {
        return at >= 0 && at <= b.length && n <= b.length - at;
    }

    private static int u16(byte[] b, int at) {
        return (b[at] & 0xFF) | (b[at + 1] & 0xFF) << 8;
    }

    private static long u32(byte[] b, long at) {
        int i = (int) at;
        return ((b[i] & 0xFFL) | (b[i + 1] & 0xFFL) << 8 | (b[i + 2] & 0xFFL) << 16 | (b[i + 3] & 0xFFL) << 24);
    }

    /** The PE image checksum over the bytes fed in order, with the checksum field reading as zero. */
    static final class Checksum {
        private long sum;
        private long length;
        private int pending = -1;

        void add(byte[] data, int off, int n) {
            length += n;
            int i = off;
            int end = off + n;
            if (pending >= 0 && n > 0) {
                sum += pending | (data[i] & 0xFF) << 8;
                pending = -1;
                i++;
            }
            for (; i + 1 < end; i += 2) {
                sum += (data[i] & 0xFF) | (data[i + 1] & 0xFF) << 8;
                if ((sum >>> 48) != 0) {
                    sum = (sum & 0xFFFF) + (sum >>> 16);
                }
            }
            if (i < end) {
                pending = data[i] & 0xFF;
            }
        }

        int finish() {
            if (pending >= 0) {
                sum += pending;
            }
            pending = -1;
            while ((sum >>> 16) != 0) {
                sum = (sum & 0xFFFF) + (sum >>> 16);
            }
            return (int) (sum + length);
        }
    }
}
