package org.vantrel.maven;

import java.util.List;
import java.util.Locale;

/**
 * Conversions and checks of single values, the same rules the packing tool
 * applies to a project file. A narrow value is held as a String whose chars
 * are the bytes of the Windows-1252 text (0 to 255). Each check returns null
 * when the value is fine, otherwise a message saying what is wrong and how
 * to fix it.
 */
final class Texts {
    private Texts() {
    }

    /** Characters 0x80-0x9F of code page 1252; the five undefined positions map to the C1 control of that value. */
    private static final int[] HIGH = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };

    /** The problem of turning text into a narrow value, or null; the value goes to out[0]. */
    static String toAnsi(String text, String[] out) {
        StringBuilder ansi = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); ) {
            int cp = text.codePointAt(i);
            if (Character.isSurrogate(text.charAt(i)) && cp < 0x10000) {
                return "holds a broken character (a lone UTF-16 surrogate); retype it";
            }
            int b = ansiByte(cp);
            if (b < 0) {
                return "the character '" + new String(Character.toChars(cp)) + "' ("
                        + String.format(Locale.ROOT, "U+%04X", cp)
                        + ") cannot be stored; launcher settings are narrow text in the Windows-1252 code page "
                        + "(Western European), so use other characters here (messages may use any)";
            }
            ansi.append((char) b);
            i += Character.charCount(cp);
        }
        String control = controlProblem(ansi);
        if (control != null) {
            return control;
        }
        out[0] = ansi.toString();
        return null;
    }

    private static int ansiByte(int cp) {
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            return cp;
        }
        for (int k = 0; k < HIGH.length; k++) {
            if (HIGH[k] == cp) {
                return 0x80 + k;
            }
        }
        return -1;
    }

    private static String controlProblem(CharSequence ansi) {
        for (int i = 0; i < ansi.length(); i++) {
            int b = ansi.charAt(i);
            boolean c1 = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
            if (b < 0x20 || b == 0x7F || c1) {
                return b == 0 ? "the text contains a NUL character, which would end it early in the launcher"
                        : "the text contains a control character (such as a line break or tab), which the "
                                + "launcher would take literally; remove it";
            }
        }
        return null;
    }

    /** Problems of a message text (UTF-16), or null. */
    static String messageProblem(String text) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (Character.isHighSurrogate(c) && i + 1 < text.length() && Character.isLowSurrogate(text.charAt(i + 1))) {
                i++;
            } else if (Character.isSurrogate(c)) {
                return "holds a broken character (a lone UTF-16 surrogate); retype it";
            }
        }
        if (text.indexOf('\0') >= 0) {
            return "contains a NUL character, which would end the text early; remove it";
        }
        if (text.length() > Catalogue.MESSAGE_CAPACITY) {
            return "is " + text.length() + " characters long; the launcher shows at most " + Catalogue.MESSAGE_CAPACITY;
        }
        return null;
    }

    /**
     * Joins arguments into one text that the launcher's splitter (blanks
     * separate, single and double quotes group, no escapes) turns back into
     * exactly these arguments; null with out[0] holding the problem.
     */
    static String joinCommandLine(List<String> arguments, String[] problem) {
        StringBuilder out = new StringBuilder();
        for (String arg : arguments) {
            if (out.length() > 0) {
                out.append(' ');
            }
            boolean blank = arg.indexOf(' ') >= 0;
            boolean dq = arg.indexOf('"') >= 0;
            boolean sq = arg.indexOf('\'') >= 0;
            if (!arg.isEmpty() && !blank && !dq && !sq) {
                out.append(arg);
            } else if (!dq) {
                out.append('"').append(arg).append('"');
            } else if (!sq) {
                out.append('\'').append(arg).append('\'');
            } else {
                problem[0] = "the item '" + arg + "' contains both a single and a double quote, which the launcher "
                        + "cannot pass as one argument; drop one kind of quote";
                return null;
            }
        }
        return out.toString();
    }

    /** An item of a list that the launcher splits at the separator. */
    static String listItemProblem(String item, char separator) {
        if (item.isEmpty()) {
            return "an item is empty; remove it";
        }
        if (item.indexOf(separator) >= 0) {
            return "the item '" + item + "' contains '" + separator
                    + "', which separates items in the launcher; give each item separately";
        }
        return null;
    }

    /** Java version bounds: digits separated by ".", "_", "-" or "+". */
    static String versionProblem(String text) {
        boolean ok = !text.isEmpty() && isDigit(text.charAt(0)) && isDigit(text.charAt(text.length() - 1));
        for (int i = 0; ok && i < text.length(); i++) {
            char c = text.charAt(i);
            boolean separator = "._-+".indexOf(c) >= 0;
            ok = isDigit(c) || (separator && isDigit(text.charAt(i + 1)));
        }
        return ok ? null : "'" + text + "' is not a version; write numbers separated by dots, e.g. \"1.8\" or \"17.0.2\"";
    }

    /** True when a minimum and a maximum leave room for some version. */
    static boolean versionBoundsCompatible(String minimum, String maximum) {
        long[] lo = versionParts(minimum);
        long[] hi = versionParts(maximum);
        for (int i = 0; i < lo.length && i < hi.length; i++) {
            if (lo[i] != hi[i]) {
                return lo[i] < hi[i];
            }
        }
        return true;
    }

    private static long[] versionParts(String text) {
        String[] pieces = text.split("[._+-]", -1);
        long[] parts = new long[pieces.length];
        int n = 0;
        for (String piece : pieces) {
            if (piece.isEmpty()) {
                continue;
            }
            long value = 0;
            for (int k = 0; k < piece.length() && k < 9 && isDigit(piece.charAt(k)); k++) {
                value = value * 10 + (piece.charAt(k) - '0');
            }
            parts[n++] = value;
        }
        return java.util.Arrays.copyOf(parts, n);
    }

    /** Locale codes of language sections: "de", "de_CH" or "no_NO_NY". */
    static String localeProblem(String code) {
        boolean ok = code.length() >= 2 && isLower(code.charAt(0)) && isLower(code.charAt(1));
        for (int at = 2; ok && at < code.length(); at += 3) {
            ok = at + 3 <= code.length() && at <= 5 && code.charAt(at) == '_' && isUpper(code.charAt(at + 1))
                    && isUpper(code.charAt(at + 2));
        }
        return ok ? null : "'" + code + "' is not a locale code; use a lower-case language with an optional "
                + "upper-case country, such as \"de\" or \"de_CH\" (the launcher compares them case-sensitively)";
    }

    /**
     * Embedded file names: relative, backslashes (slashes become backslashes),
     * at most one directory level, no "." or ".." parts, no drive, nothing
     * Windows refuses in file names. The normalised name goes to out[0].
     */
    static String embeddedNameProblem(String name, String[] out) {
        String n = name.replace('/', '\\');
        if (n.isEmpty()) {
            return "the name is empty";
        }
        if (n.charAt(0) == '\\') {
            return "'" + name + "' is absolute; embedded names are relative to the temporary directory, e.g. 'lib\\x.jar'";
        }
        if (n.indexOf(';') >= 0) {
            return "'" + name + "' contains ';', which separates the names in the launcher; rename the file";
        }
        int slash = n.indexOf('\\');
        if (slash >= 0 && n.indexOf('\\', slash + 1) >= 0) {
            return "'" + name + "' has more than one directory level; the launcher creates only the first one, "
                    + "so use 'dir\\name'";
        }
        String problem = slash < 0 ? namePartProblem(n, name)
                : firstProblem(namePartProblem(n.substring(0, slash), name), namePartProblem(n.substring(slash + 1), name));
        if (problem != null) {
            return problem;
        }
        out[0] = n;
        return null;
    }

    private static String firstProblem(String a, String b) {
        return a != null ? a : b;
    }

    /** One part of a Windows file name; `whole` names the value in the message. */
    static String namePartProblem(String part, String whole) {
        if (part.isEmpty()) {
            return "'" + whole + "' has an empty path part; write it as 'name' or 'dir\\name'";
        }
        if (part.equals(".") || part.equals("..")) {
            return "'" + whole + "' contains '" + part
                    + "'; embedded files stay inside the temporary directory, so name them 'name' or 'dir\\name'";
        }
        for (int i = 0; i < part.length(); i++) {
            char c = part.charAt(i);
            if (c < 0x20 || "<>:\"|?*".indexOf(c) >= 0) {
                String message = "'" + whole + "' contains a character that Windows does not allow in file names";
                if (c == ':') {
                    message += " (a drive or stream name); use a relative name such as 'lib\\x.jar'";
                }
                return message;
            }
        }
        char last = part.charAt(part.length() - 1);
        if (last == '.' || last == ' ') {
            return "'" + whole + "' has a part ending in a dot or blank, which Windows drops; remove it";
        }
        if (isDeviceName(part)) {
            return "'" + whole + "' uses the Windows device name '" + part + "'; choose another name";
        }
        return null;
    }

    private static boolean isDeviceName(String part) {
        int dot = part.indexOf('.');
        String stem = (dot < 0 ? part : part.substring(0, dot)).toUpperCase(Locale.ROOT);
        while (stem.endsWith(" ")) {
            stem = stem.substring(0, stem.length() - 1);
        }
        for (String name : new String[] {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
            if (stem.equals(name)) {
                return true;
            }
        }
        return stem.length() == 4 && (stem.startsWith("COM") || stem.startsWith("LPT")) && stem.charAt(3) >= '1'
                && stem.charAt(3) <= '9';
    }

    /** Lower case of the ASCII letters only, as the packing tool compares names. */
    static String asciiLower(String s) {
        StringBuilder b = new StringBuilder(s.length());
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            b.append(c >= 'A' && c <= 'Z' ? (char) (c + 32) : c);
        }
        return b.toString();
    }

    static int editDistance(String a, String b) {
        int[] row = new int[b.length() + 1];
        for (int j = 0; j <= b.length(); j++) {
            row[j] = j;
        }
        for (int i = 1; i <= a.length(); i++) {
            int diagonal = row[0];
            row[0] = i;
            for (int j = 1; j <= b.length(); j++) {
                int above = row[j];
                int cost = a.charAt(i - 1) == b.charAt(j - 1) ? 0 : 1;
                row[j] = Math.min(Math.min(row[j] + 1, row[j - 1] + 1), diagonal + cost);
                diagonal = above;
            }
        }
        return row[b.length()];
    }

    /** The candidate closest to name, or null when none is close enough. */
    static String closestName(String name, List<String> candidates) {
        String best = null;
        int bestDistance = Math.max(2, name.length() / 3) + 1;
        for (String candidate : candidates) {
            int d = editDistance(name, candidate);
            if (d < bestDistance) {
                bestDistance = d;
                best = candidate;
            }
        }
        return best;
    }

    private static boolean isDigit(char c) {
        return c >= '0' && c <= '9';
    }

    private static boolean isLower(char c) {
        return c >= 'a' && c <= 'z';
    }

    private static boolean isUpper(char c) {
        return c >= 'A' && c <= 'Z';
    }
}
