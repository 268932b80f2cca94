package org.vantrel.maven;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.zip.CRC32;

/**
 * The application icon: a Windows icon file with one or more images
 * (bitmaps or PNG, up to 256x256), or a PNG image taken as an icon of one
 * image. The same checks, in the same order, as vtlpack's
 * pack/icon_file.cpp, so both writers refuse the same files and pack the
 * same bytes.
 */
final class IconFile {
    static final class Image {
        int width;
        int height;
        int colourCount;
        int reserved;
        int planes;
        int bitCount;
        boolean png;
        byte[] data;
    }

    final List<Image> images = new ArrayList<>();

    static final class Bad extends Exception {
        private static final long serialVersionUID = 1L;

        Bad(String message) {
            super(message);
        }
    }

    private static final byte[] PNG_SIGNATURE = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

    private static int u8(byte[] b, int at) {
        return b[at] & 0xFF;
    }

    private static int le16(byte[] b, int at) {
        return u8(b, at) | u8(b, at + 1) << 8;
    }

    private static long le32(byte[] b, int at) {
        return le16(b, at) | (long) le16(b, at + 2) << 16;
    }

    private static long be32(byte[] b, int at) {
        return (long) u8(b, at) << 24 | u8(b, at + 1) << 16 | u8(b, at + 2) << 8 | u8(b, at + 3);
    }

    private static boolean isPng(byte[] b, int at, long n) {
        return n >= 8 && Arrays.equals(Arrays.copyOfRange(b, at, at + 8), PNG_SIGNATURE);
    }

    private static int pngBitCount(int colourType, int bitDepth) {
        switch (colourType) {
            case 0:
            case 3:
                return bitDepth <= 8 ? bitDepth : 32;
            case 2:
                return 24;
            default:
                return 32;
        }
    }

    /** Width, height and bit count of the PNG at [at, at + n), after walking every chunk. */
    private static long[] checkPng(byte[] b, int at, int n) throws Bad {
        long end = (long) at + n;
        long pos = at + 8L;
        boolean first = true;
        long width = 0;
        long height = 0;
        int bitCount = 0;
        while (true) {
            if (end - pos < 12) {
                throw new Bad("is cut off (its last chunk is incomplete or the end chunk IEND is missing)");
            }
            long length = be32(b, (int) pos);
            String type = new String(b, (int) pos + 4, 4, java.nio.charset.StandardCharsets.ISO_8859_1);
            if (length > end - pos - 12) {
                throw new Bad("is cut off (chunk " + type + " claims " + length + " bytes, " + (end - pos - 12)
                        + " remain)");
            }
            CRC32 crc = new CRC32();
            crc.update(b, (int) pos + 4, 4 + (int) length);
            if (crc.getValue() != be32(b, (int) (pos + 8 + length))) {
                throw new Bad("is damaged (the checksum of its " + type + " chunk is wrong)");
            }
            if (first) {
                if (!type.equals("IHDR") || length != 13) {
                    throw new Bad("does not start with the IHDR header chunk PNG images start with");
                }
                width = be32(b, (int) pos + 8);
                height = be32(b, (int) pos + 12);
                bitCount = pngBitCount(u8(b, (int) pos + 17), u8(b, (int) pos + 16));
                first = false;
            }
            pos += 12 + length;
            if (type.equals("IEND")) {
                break;
            }
        }
        if (width == 0 || height == 0 || width > 256 || height > 256) {
            throw new Bad("is " + width + "x" + height
                    + " pixels; icon images are 1 to 256 pixels wide and high (scale it to 256x256)");
        }
        return new long[] {width, height, bitCount};
    }

    private static void checkBitmap(byte[] b, int at, int n) throws Bad {
        if (n < 40 || le32(b, at) < 40 || le32(b, at) > n) {
            throw new Bad("has no valid bitmap header");
        }
        int width = (int) le32(b, at + 4);
        int height = (int) le32(b, at + 8);
        int bits = le16(b, at + 14);
        long compression = le32(b, at + 16);
        long used = le32(b, at + 32);
        if (width <= 0 || width > 256 || height <= 0 || height > 512) {
            throw new Bad("has a bitmap of " + width + "x" + height / 2
                    + " pixels; icon images are 1 to 256 pixels wide and high");
        }
        if ((bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
                || (compression != 0 && compression != 3)) {
            throw new Bad("has a bitmap format icons do not use (" + bits + " bits per pixel, compression "
                    + compression + ")");
        }
        if (used > 256) {
            throw new Bad("has a palette of " + used + " colours; icons use at most 256");
        }
        long rows = height / 2;
        long colourRow = ((long) width * bits + 31) / 32 * 4;
        long maskRow = ((long) width + 31) / 32 * 4;
        long palette = 4L * (used != 0 ? used : bits <= 8 ? 1L << bits : 0);
        long needed = le32(b, at) + palette + (colourRow + maskRow) * rows + (compression == 3 ? 12 : 0);
        if (needed > n) {
            throw new Bad("is cut off (its bitmap needs " + needed + " bytes, the file gives it " + n + ")");
        }
    }

    static int pixels(int stated) {
        return stated == 0 ? 256 : stated;
    }

    /** Reads an icon file or a PNG image; Bad says what is wrong (the caller names the file). */
    static IconFile parse(byte[] bytes) throws Bad {
        IconFile icon = new IconFile();
        int limit = Catalogue.limit("icon_file_bytes");
        if (bytes.length > limit) {
            throw new Bad("has " + bytes.length + " bytes; an icon may have at most " + limit + " (16 MB)");
        }
        if (isPng(bytes, 0, bytes.length)) {
            long[] shape;
            try {
                shape = checkPng(bytes, 0, bytes.length);
            } catch (Bad e) {
                throw new Bad("is a PNG image that " + e.getMessage());
            }
            Image image = new Image();
            image.width = (int) (shape[0] & 0xFF);
            image.height = (int) (shape[1] & 0xFF);
            image.planes = 1;
            image.bitCount = (int) shape[2];
            image.png = true;
            image.data = bytes;
            icon.images.add(image);
            return icon;
        }
        if (bytes.length < 6 || le16(bytes, 0) != 0 || (le16(bytes, 2) != 1 && le16(bytes, 2) != 2)) {
            throw new Bad("is neither a Windows icon file (.ico) nor a PNG image");
        }
        if (le16(bytes, 2) == 2) {
            throw new Bad("is a cursor file (.cur), not an icon");
        }
        int count = le16(bytes, 4);
        if (count == 0) {
            throw new Bad("holds no image (its directory counts 0)");
        }
        int most = Catalogue.limit("icon_images");
        if (count > most) {
            throw new Bad("counts " + count + " images; an icon may have at most " + most);
        }
        int directoryEnd = 6 + 16 * count;
        if (bytes.length < directoryEnd) {
            throw new Bad("is cut off: its directory of " + count + " images needs " + directoryEnd
                    + " bytes, the file has " + bytes.length);
        }
        for (int i = 0; i < count; i++) {
            int entry = 6 + 16 * i;
            Image image = new Image();
            image.width = u8(bytes, entry);
            image.height = u8(bytes, entry + 1);
            image.colourCount = u8(bytes, entry + 2);
            image.reserved = u8(bytes, entry + 3);
            image.planes = le16(bytes, entry + 4);
            image.bitCount = le16(bytes, entry + 6);
            long size = le32(bytes, entry + 8);
            long offset = le32(bytes, entry + 12);
            String label = "image " + (i + 1) + " (" + pixels(image.width) + "x" + pixels(image.height) + ")";
            if (size == 0) {
                throw new Bad("is damaged: " + label + " has no bytes");
            }
            if (offset < directoryEnd) {
                throw new Bad("is damaged: " + label + " starts at offset " + offset + ", inside the icon directory");
            }
            if (offset > bytes.length || size > bytes.length - offset) {
                throw new Bad("is cut off or damaged: " + label + " lies at offset " + offset + " with " + size
                        + " bytes, past the end of the file (" + bytes.length + " bytes)");
            }
            image.png = isPng(bytes, (int) offset, size);
            try {
                if (image.png) {
                    checkPng(bytes, (int) offset, (int) size);
                } else {
                    checkBitmap(bytes, (int) offset, (int) size);
                }
            } catch (Bad e) {
                throw new Bad("is damaged: " + (image.png ? "the PNG of " + label : label) + " " + e.getMessage());
            }
            image.data = Arrays.copyOfRange(bytes, (int) offset, (int) (offset + size));
            icon.images.add(image);
        }
        return icon;
    }

    /** The icon group resource; the images carry the ids firstId, firstId + 1, ... */
    byte[] group(int firstId) {
        ResourceSection.Bytes out = new ResourceSection.Bytes();
        out.u16(0);
        out.u16(1);
        out.u16(images.size());
        for (int i = 0; i < images.size(); i++) {
            Image image = images.get(i);
            out.write(image.width);
            out.write(image.height);
            out.write(image.colourCount);
            out.write(image.reserved);
            out.u16(image.planes);
            out.u16(image.bitCount);
            out.u32(image.data.length);
            out.u16(firstId + i);
        }
        return out.toByteArray();
    }
}
