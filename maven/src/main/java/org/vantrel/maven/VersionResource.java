package org.vantrel.maven;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

/**
 * The version information of a packed executable (VS_VERSIONINFO), byte for
 * byte as vtlpack writes it (pack/version_resource.cpp): the fixed file and
 * product versions and one string table in US English, Unicode.
 */
final class VersionResource {
    private VersionResource() {
    }

    /** The names of the string table in the order it is written. */
    static final String[] NAMES = {
        "CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright", "OriginalFilename",
        "ProductName", "ProductVersion",
    };

    /**
     * The fixed number of a version text: its leading dot-separated numbers,
     * at most four, padded with zeros; null with why[0] set when the text
     * does not start with a number or a number is above 65535.
     */
    static int[] number(String text, String[] why) {
        int most = Catalogue.limit("version_part");
        int[] parts = new int[4];
        int i = 0;
        int count = 0;
        while (count < 4 && i < text.length() && isDigit(text.charAt(i))) {
            long value = 0;
            for (; i < text.length() && isDigit(text.charAt(i)); i++) {
                value = value * 10 + (text.charAt(i) - '0');
                if (value > most) {
                    why[0] = "'" + text + "' has a number above " + most
                            + ", the largest a part of a Windows version can hold";
                    return null;
                }
            }
            parts[count++] = (int) value;
            if (text.length() > i + 1 && text.charAt(i) == '.' && isDigit(text.charAt(i + 1))) {
                i++;
            } else {
                break;
            }
        }
        if (count == 0) {
            why[0] = "'" + text + "' does not start with a number; write a version such as 2.1 or 2.1.0.3 (text may "
                    + "follow, as in 2.1.0-SNAPSHOT)";
            return null;
        }
        return parts;
    }

    private static boolean isDigit(char c) {
        return c >= '0' && c <= '9';
    }

    /** The problem of a text of the string table, or null. */
    static String textProblem(String text) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c < 0x20 || c == 0x7F) {
                return c == 0 ? "contains a NUL character, which would end the text early; remove it"
                        : "contains a control character (such as a line break or tab); remove it";
            }
        }
        int most = Catalogue.limit("version_text");
        if (text.length() > most) {
            return "is " + text.length() + " characters long; version texts may have at most " + most;
        }
        return null;
    }

    /** texts: the eight strings in the order of NAMES; null or empty ones are left out. */
    static byte[] encode(int[] fileVersion, int[] productVersion, String[] texts) {
        List<byte[]> strings = new ArrayList<>();
        for (int i = 0; i < NAMES.length; i++) {
            if (texts[i] == null || texts[i].isEmpty()) {
                continue;
            }
            strings.add(node(NAMES[i], text(texts[i]), texts[i].length() + 1, 1, new ArrayList<>()));
        }
        List<byte[]> blocks = new ArrayList<>();
        if (!strings.isEmpty()) {
            List<byte[]> tables = new ArrayList<>();
            tables.add(node("040904B0", new byte[0], 0, 1, strings));
            blocks.add(node("StringFileInfo", new byte[0], 0, 1, tables));
        }
        ResourceSection.Bytes translation = new ResourceSection.Bytes();
        translation.u32(0x04B00409);
        List<byte[]> vars = new ArrayList<>();
        vars.add(node("Translation", translation.toByteArray(), 4, 0, new ArrayList<>()));
        blocks.add(node("VarFileInfo", new byte[0], 0, 1, vars));
        return node("VS_VERSION_INFO", fixedInfo(fileVersion, productVersion), 52, 0, blocks);
    }

    private static byte[] text(String s) {
        byte[] units = s.getBytes(StandardCharsets.UTF_16LE);
        return java.util.Arrays.copyOf(units, units.length + 2);
    }

    private static byte[] node(String key, byte[] value, int valueLength, int type, List<byte[]> children) {
        ResourceSection.Bytes b = new ResourceSection.Bytes();
        b.u16(0);
        b.u16(valueLength);
        b.u16(type);
        byte[] k = text(key);
        b.write(k, 0, k.length);
        b.pad4();
        b.write(value, 0, value.length);
        for (byte[] child : children) {
            b.pad4();
            b.write(child, 0, child.length);
        }
        b.patch16(0, b.size());
        return b.toByteArray();
    }

    private static byte[] fixedInfo(int[] file, int[] product) {
        ResourceSection.Bytes b = new ResourceSection.Bytes();
        b.u32(0xFEEF04BD);
        b.u32(0x00010000);
        b.u32(file[0] << 16 | file[1]);
        b.u32(file[2] << 16 | file[3]);
        b.u32(product[0] << 16 | product[1]);
        b.u32(product[2] << 16 | product[3]);
        b.u32(0x3F);
        b.u32(0);
        b.u32(0x00040004);
        b.u32(1);
        b.u32(0);
        b.u32(0);
        b.u32(0);
        return b.toByteArray();
    }
}
