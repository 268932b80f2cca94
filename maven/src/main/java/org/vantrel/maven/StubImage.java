package org.vantrel.maven;

import java.util.List;

/**
 * The part of a launcher stub that comes before the configuration block,
 * with the resource section the plugin builds (icon, version information,
 * manifest) as its last section. The block starts at the end of the raw
 * data of the last entry of the PE section table, exactly where the
 * launcher looks for it. The checksum is recomputed over the packed file.
 * Every step matches vtlpack's pack/pe_stub.cpp, so both write the same
 * bytes.
 */
final class StubImage {
    private static final int PE32 = 0x10B;
    private static final int PE32_PLUS = 0x20B;
    private static final int RESOURCE_DIRECTORY = 2;
    private static final int CERTIFICATE_DIRECTORY = 4;
    private static final int MOST_SECTIONS = 96;
    private static final int RESOURCE_CHARACTERISTICS = 0x40000040;
    static final int SUBSYSTEM_WINDOWS = 2;

    byte[] prefix;
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

    /** The headers of an image, as far as packing needs them. */
    static final class Layout {
        int pe;
        int sectionCount;
        int optionalSize;
        long blockOffset;
        long highestRawEnd;
        int checksumOffset;
        long checksum;
        int subsystem;
        long fileAlignment;
        long sectionAlignment;
        long sizeOfHeaders;
        int resourceEntry;
        long resourceRva;
        long certOffset;
        long certSize;
        long[][] sections; // virtual size, virtual address, raw size, raw offset, characteristics

        int table() {
            return pe + 24 + optionalSize;
        }
    }

    static Layout layout(byte[] image) throws BadStub {
        if (image.length < 64 || image[0] != 'M' || image[1] != 'Z') {
            throw new BadStub("not a Windows executable (no MZ header)");
        }
        long h = u32(image, 0x3C);
        if (!fits(image, h, 24) || image[(int) h] != 'P' || image[(int) h + 1] != 'E' || image[(int) h + 2] != 0
                || image[(int) h + 3] != 0) {
            throw new BadStub("not a Windows PE executable (no PE signature)");
        }
        Layout l = new Layout();
        l.pe = (int) h;
        // The launcher reads both counts as signed 16-bit numbers.
        l.sectionCount = (short) u16(image, l.pe + 6);
        l.optionalSize = (short) u16(image, l.pe + 20);
        long table = l.pe + 24L + l.optionalSize;
        if (l.sectionCount < 1 || l.optionalSize < 0 || !fits(image, table, 40L * l.sectionCount)) {
            throw new BadStub("the PE header has no usable section table");
        }
        l.sections = new long[l.sectionCount][];
        for (int i = 0; i < l.sectionCount; i++) {
            int entry = (int) (table + 40L * i);
            l.sections[i] = new long[] {u32(image, entry + 8), u32(image, entry + 12), u32(image, entry + 16),
                u32(image, entry + 20), u32(image, entry + 36)};
            long end = l.sections[i][3] + l.sections[i][2];
            if (l.sections[i][2] > 0 && end > l.highestRawEnd) {
                l.highestRawEnd = end;
            }
        }
        long[] last = l.sections[l.sectionCount - 1];
        l.blockOffset = last[3] + last[2];
        int optional = l.pe + 24;
        int optionalEnd = optional + l.optionalSize;
        if (l.optionalSize >= 2 && fits(image, optional, 2)) {
            int magic = u16(image, optional);
            int countField = magic == PE32 ? optional + 92 : magic == PE32_PLUS ? optional + 108 : -1;
            if (countField > 0) {
                if (optional + 70 <= optionalEnd && fits(image, optional, 70)) {
                    l.sectionAlignment = u32(image, optional + 32);
                    l.fileAlignment = u32(image, optional + 36);
                    l.sizeOfHeaders = u32(image, optional + 60);
                    l.checksumOffset = optional + 64;
                    l.checksum = u32(image, optional + 64);
                    l.subsystem = u16(image, optional + 68);
                }
                if (fits(image, countField, 4)) {
                    long count = u32(image, countField);
                    int directories = countField + 4;
                    int resource = directories + 8 * RESOURCE_DIRECTORY;
                    if (count > RESOURCE_DIRECTORY && resource + 8 <= optionalEnd && fits(image, resource, 8)) {
                        l.resourceEntry = resource;
                        l.resourceRva = u32(image, resource);
                    }
                    int cert = directories + 8 * CERTIFICATE_DIRECTORY;
                    if (count > CERTIFICATE_DIRECTORY && cert + 8 <= optionalEnd && fits(image, cert, 8)) {
                        l.certOffset = u32(image, cert);
                        l.certSize = u32(image, cert + 4);
                    }
                }
            }
        }
        return l;
    }

    /** Refuses a stub that already carries a block, a signed one and one with data after its sections. */
    static StubImage prepare(byte[] image) throws BadStub {
        Layout l = layout(image);
        long at = l.blockOffset;
        if (at < l.highestRawEnd || at == 0 || at > image.length) {
            throw new BadStub("the last entry of the section table does not end behind the section data");
        }
        if (fits(image, at, 4) && (int) u32(image, at) == BlockWriter.MAGIC) {
            throw new BadStub("it already carries a configuration block");
        }
        if (l.certOffset != 0 || l.certSize != 0) {
            throw new BadStub("it is signed; packing would break the signature");
        }
        for (long i = at; i < image.length; i++) {
            if (image[(int) i] != 0) {
                throw new BadStub("it has data after its last section");
            }
        }
        byte[] prefix = java.util.Arrays.copyOf(image, (int) at);
        // The packed file differs from the stub, so its checksum is computed
        // afresh whatever the stub held.
        boolean recompute = l.checksumOffset != 0;
        if (recompute) {
            for (int i = 0; i < 4; i++) {
                prefix[l.checksumOffset + i] = 0;
            }
        }
        return new StubImage(prefix, l.checksumOffset, recompute);
    }

    /**
     * Adds the resource section as the new last section, replacing the
     * stub's own resource section (dropped when it is the last one, left
     * unused elsewhere), and updates the section count, image size,
     * initialised-data size and the resource directory entry.
     */
    void addResources(List<ResourceSection.Resource> resources) throws BadStub {
        Layout l = layout(prefix);
        if (l.resourceEntry == 0 || l.checksumOffset == 0) {
            throw new BadStub("its optional header has no resource directory entry, so it cannot carry an icon, "
                    + "version information or a manifest");
        }
        if (!powerOfTwo(l.fileAlignment) || !powerOfTwo(l.sectionAlignment) || l.fileAlignment > 0x10000
                || l.sectionAlignment < l.fileAlignment) {
            throw new BadStub("its section alignment and file alignment are not valid");
        }
        int count = l.sectionCount;
        int old = l.resourceRva != 0 ? sectionAt(l, l.resourceRva) : -1;
        int optional = l.pe + 24;
        long initialisedData = u32(prefix, optional + 8);
        byte[] image = prefix;
        if (old == count - 1 && count > 1) {
            long[] last = l.sections[count - 1];
            image = java.util.Arrays.copyOf(image, (int) last[3]);
            if ((last[4] & 0x40) != 0) {
                initialisedData -= Math.min(initialisedData, last[2]);
            }
            count--;
        } else {
            long slot = l.table() + 40L * count;
            long firstRaw = l.sizeOfHeaders;
            for (long[] s : l.sections) {
                if (s[2] > 0 && s[3] < firstRaw) {
                    firstRaw = s[3];
                }
            }
            boolean room = count < MOST_SECTIONS && slot + 40 <= firstRaw && fits(image, slot, 40);
            for (int i = 0; room && i < 40; i++) {
                room = image[(int) slot + i] == 0;
            }
            if (!room) {
                throw new BadStub("its headers have no room for another section (the resource section); use an "
                        + "unmodified launcher stub");
            }
            image = image.clone();
            put16(image, l.pe + 6, count + 1);
        }
        long virtualEnd = 0;
        for (int i = 0; i < count; i++) {
            long[] s = l.sections[i];
            long end = s[1] + alignUp(s[0] != 0 ? s[0] : s[2], l.sectionAlignment);
            virtualEnd = Math.max(virtualEnd, end);
        }
        long rva = alignUp(virtualEnd, l.sectionAlignment);
        long rawOffset = alignUp(image.length, l.fileAlignment);
        byte[] data = ResourceSection.encode(resources, (int) rva);
        long rawSize = alignUp(data.length, l.fileAlignment);
        if (rva + data.length > 0xFFFFFFFFL || rawOffset + rawSize > Integer.MAX_VALUE) {
            throw new BadStub("the resources do not fit into a 32-bit image");
        }
        byte[] out = java.util.Arrays.copyOf(image, (int) (rawOffset + rawSize));
        System.arraycopy(data, 0, out, (int) rawOffset, data.length);
        int slot = l.table() + 40 * count;
        java.util.Arrays.fill(out, slot, slot + 40, (byte) 0);
        byte[] name = {'.', 'r', 's', 'r', 'c'};
        System.arraycopy(name, 0, out, slot, name.length);
        ResourceSection.put32(out, slot + 8, data.length);
        ResourceSection.put32(out, slot + 12, (int) rva);
        ResourceSection.put32(out, slot + 16, (int) rawSize);
        ResourceSection.put32(out, slot + 20, (int) rawOffset);
        ResourceSection.put32(out, slot + 36, RESOURCE_CHARACTERISTICS);
        ResourceSection.put32(out, optional + 8, (int) (initialisedData + rawSize));
        ResourceSection.put32(out, optional + 56, (int) alignUp(rva + data.length, l.sectionAlignment));
        ResourceSection.put32(out, l.resourceEntry, (int) rva);
        ResourceSection.put32(out, l.resourceEntry + 4, data.length);
        prefix = out;
    }

    private static int sectionAt(Layout l, long rva) {
        for (int i = 0; i < l.sections.length; i++) {
            long[] s = l.sections[i];
            long size = s[0] != 0 ? s[0] : s[2];
            if (rva >= s[1] && rva - s[1] < size) {
                return i;
            }
        }
        return -1;
    }

    private static boolean powerOfTwo(long v) {
        return v != 0 && (v & (v - 1)) == 0;
    }

    private static long alignUp(long v, long alignment) {
        return (v + alignment - 1) / alignment * alignment;
    }

    private static boolean fits(byte[] b, long at, long n) {
        return at >= 0 && at <= b.length && n <= b.length - at;
    }

    private static int u16(byte[] b, int at) {
        return (b[at] & 0xFF) | (b[at + 1] & 0xFF) << 8;
    }

    private static void put16(byte[] b, int at, int v) {
        b[at] = (byte) v;
        b[at + 1] = (byte) (v >>> 8);
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
