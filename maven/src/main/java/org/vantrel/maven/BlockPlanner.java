package org.vantrel.maven;

import java.io.File;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;

/**
 * Turns the plugin's parameters into the configuration block, with the
 * checks the packing tool applies to a project file. Every problem is
 * collected as a text that names the parameter and says how to fix it; the
 * block is complete only when there is none.
 */
final class BlockPlanner {
    private final List<String> problems = new ArrayList<>();
    private final BlockWriter block = new BlockWriter();
    private final Map<Integer, String> english = new HashMap<>();
    private final Map<String, Map<Integer, String>> locales = new TreeMap<>();

    List<String> problems() {
        return problems;
    }

    BlockWriter block() {
        return block;
    }

    private void problem(String parameter, String message) {
        problems.add(parameter + ": " + message);
    }

    /** The narrow form of a value, or null after reporting why it has none. */
    private String ansi(String parameter, String text) {
        String[] out = new String[1];
        String why = Texts.toAnsi(text, out);
        if (why != null) {
            problem(parameter, why);
            return null;
        }
        return out[0];
    }

    /** Stores a narrow value after checking the launcher's length limit for its key. */
    private boolean store(String parameter, int key, String ansi) {
        int max = Catalogue.maxLength(key);
        if (max > 0 && ansi.length() > max) {
            problem(parameter, "is " + ansi.length() + " characters long; the launcher reads at most " + max
                    + " of it, so shorten it");
            return false;
        }
        block.config.put(key, ansi);
        return true;
    }

    private void text(String parameter, int key, String value) {
        if (value == null) {
            return;
        }
        String a = ansi(parameter, value);
        if (a != null) {
            store(parameter, key, a);
        }
    }

    void mainClass(String value) {
        if (value == null || value.trim().isEmpty()) {
            problem("mainClass", "is not set; add <mainClass>com.example.Main</mainClass> (the class with the "
                    + "main method, in dotted form) to the plugin's <configuration>");
            return;
        }
        text("mainClass", Catalogue.MAIN_CLASS, value);
    }

    // The Service Control Manager refuses slashes in service names and names
    // longer than 256 characters; better to hear it now than at "install".
    void serviceName(String value) {
        if (value == null) {
            return;
        }
        String a = ansi("serviceName", value);
        if (a == null) {
            return;
        }
        if (a.isEmpty() || a.indexOf('/') >= 0 || a.indexOf('\\') >= 0 || a.length() > Catalogue.SERVICE_NAME_LIMIT) {
            problem("serviceName", "must not be empty or contain / or \\ and may have at most "
                    + Catalogue.SERVICE_NAME_LIMIT + " characters (Windows service names); choose another name");
            return;
        }
        store("serviceName", Catalogue.SERVICE_NAME, a);
    }

    void executableType(String value) {
        if (value == null) {
            return;
        }
        String number;
        switch (value) {
            case "console":
                number = "0";
                break;
            case "gui":
                number = "1";
                break;
            case "service":
                number = "4";
                break;
            default:
                number = value.matches("[0-9]") ? value : null;
        }
        if (number == null) {
            problem("executableType", "\"" + value + "\" is unknown; use console, gui, service or a number 0 to 9");
            return;
        }
        store("executableType", Catalogue.EXECUTABLE_TYPE, number);
    }

    void workingDirectory(String value) {
        text("workingDirectory", Catalogue.WORKING_DIRECTORY, value);
    }

    void versions(String minimum, String maximum) {
        boolean minOk = version("minVersion", Catalogue.MIN_VERSION, minimum);
        boolean maxOk = version("maxVersion", Catalogue.MAX_VERSION, maximum);
        if (minOk && maxOk && minimum != null && maximum != null && !Texts.versionBoundsCompatible(minimum, maximum)) {
            problem("maxVersion", "minVersion " + minimum + " lies above maxVersion " + maximum
                    + ", so no runtime can match; correct one of them");
        }
    }

    private boolean version(String parameter, int key, String value) {
        if (value == null) {
            return true;
        }
        String why = Texts.versionProblem(value);
        if (why != null) {
            problem(parameter, why);
            return false;
        }
        return store(parameter, key, value);
    }

    void commandLine(String parameter, int key, List<String> items) {
        if (items == null || items.isEmpty()) {
            return;
        }
        List<String> narrow = new ArrayList<>();
        for (int i = 0; i < items.size(); i++) {
            String a = ansi(parameter + "[" + i + "]", items.get(i) == null ? "" : items.get(i));
            if (a == null) {
                return;
            }
            narrow.add(a);
        }
        String[] why = new String[1];
        String joined = Texts.joinCommandLine(narrow, why);
        if (joined == null) {
            problem(parameter, why[0]);
            return;
        }
        store(parameter, key, joined);
    }

    void vmOptions(List<String> items) {
        commandLine("vmOptions", Catalogue.VM_OPTIONS, items);
    }

    void arguments(List<String> items) {
        commandLine("arguments", Catalogue.ARGUMENTS, items);
    }

    void serviceDependencies(List<String> items) {
        if (items == null || items.isEmpty()) {
            return;
        }
        StringBuilder joined = new StringBuilder();
        for (int i = 0; i < items.size(); i++) {
            String a = ansi("serviceDependencies[" + i + "]", items.get(i) == null ? "" : items.get(i));
            if (a == null) {
                return;
            }
            String why = Texts.listItemProblem(a, ',');
            if (why != null) {
                problem("serviceDependencies", why);
                return;
            }
            joined.append(joined.length() == 0 ? "" : ",").append(a);
        }
        store("serviceDependencies", Catalogue.DEPENDENCIES, joined.toString());
    }

    void stopTimeout(Integer seconds) {
        if (seconds == null) {
            return;
        }
        if (seconds < Catalogue.STOP_TIMEOUT_MIN || seconds > Catalogue.STOP_TIMEOUT_MAX) {
            problem("stopTimeout", "must lie between " + Catalogue.STOP_TIMEOUT_MIN + " and "
                    + Catalogue.STOP_TIMEOUT_MAX + " (seconds), not " + seconds);
            return;
        }
        store("stopTimeout", Catalogue.STOP_TIMEOUT, Integer.toString(seconds));
    }

    void classDataSharing(String mode) {
        if (mode == null) {
            return;
        }
        if (mode.equals("auto") || mode.equals("off")) {
            store("classDataSharing", Catalogue.CLASS_DATA_SHARING, mode.equals("auto") ? "1" : "0");
        } else {
            problem("classDataSharing", "must be \"off\" or \"auto\", not \"" + mode + "\"");
        }
    }

    /** One of a few words (restart, startType). */
    void word(String parameter, int key, String value, String... words) {
        if (value == null) {
            return;
        }
        if (!Arrays.asList(words).contains(value)) {
            String close = Texts.closestName(value, Arrays.asList(words));
            problem(parameter, "\"" + value + "\" is unknown; "
                    + (close != null ? "did you mean \"" + close + "\"?" : "use " + String.join(", ", words)));
            return;
        }
        store(parameter, key, value);
    }

    /** A number of seconds or a count within its range. */
    void count(String parameter, int key, Integer value, long min, long max) {
        if (value == null) {
            return;
        }
        if (value < min || value > max) {
            problem(parameter, "must lie between " + min + " and " + max + ", not " + value);
            return;
        }
        store(parameter, key, Integer.toString(value));
    }

    /** A log size such as "10 MB" (1 KB = 1024 bytes), stored in bytes. */
    void size(String parameter, int key, String value) {
        if (value == null) {
            return;
        }
        int digits = 0;
        while (digits < value.length() && Character.isDigit(value.charAt(digits)) && value.charAt(digits) < 128) {
            digits++;
        }
        String unit = value.substring(digits).replace(" ", "").toUpperCase(java.util.Locale.ROOT);
        long factor = unit.isEmpty() || unit.equals("B") ? 1 : unit.equals("KB") ? 1024L
                : unit.equals("MB") ? 1024L * 1024 : unit.equals("GB") ? 1024L * 1024 * 1024 : 0;
        if (digits == 0 || digits > 13 || factor == 0) {
            problem(parameter, "\"" + value + "\" is not a size; write a number of bytes or a number and a unit, such as"
                    + " \"10 MB\" (units B, KB, MB, GB; 1 KB = 1024 bytes)");
            return;
        }
        long min = 1024L * Catalogue.ROLL_SIZE_MIN_KB;
        long max = 1024L * Catalogue.ROLL_SIZE_MAX_KB;
        long number = Long.parseLong(value.substring(0, digits));
        if (number > max / factor || number * factor < min) {
            problem(parameter, "\"" + value + "\" must lie between 1 KB and 1024 GB");
            return;
        }
        store(parameter, key, Long.toString(number * factor));
    }

    /** The recovery actions the install registers: "restart N" (seconds) and "none". */
    void onFailure(List<String> items) {
        if (items == null) {
            return;
        }
        List<String> actions = new ArrayList<>();
        for (String item : String.join(";", items).split(";", -1)) {
            String text = item.trim();
            if (text.isEmpty()) {
                continue;
            }
            String lower = text.toLowerCase(java.util.Locale.ROOT);
            String seconds = lower.startsWith("restart ") ? text.substring(8).trim() : null;
            if (lower.equals("none")) {
                actions.add("none");
            } else if (seconds != null && seconds.matches("[0-9]{1,10}")
                    && Long.parseLong(seconds) <= Catalogue.RECOVERY_DELAY_MAX) {
                actions.add("restart " + Long.parseLong(seconds));
            } else {
                problem("onFailure", "\"" + text + "\" is not \"restart N\" (N seconds, 0 to "
                        + Catalogue.RECOVERY_DELAY_MAX + ") or \"none\"");
                return;
            }
        }
        if (actions.isEmpty() || actions.size() > 20) {
            problem("onFailure", actions.isEmpty() ? "names no action; leave the parameter out for none"
                    : "more than 20 actions");
            return;
        }
        store("onFailure", Catalogue.ON_FAILURE, String.join(";", actions));
    }

    /** LocalSystem, the two NT AUTHORITY accounts or NT SERVICE\<name>; a user account is given at install. */
    void serviceAccount(String value) {
        if (value == null) {
            return;
        }
        String lower = value.toLowerCase(java.util.Locale.ROOT);
        boolean accepted = lower.equals("localsystem") || lower.equals(".\\localsystem")
                || lower.equals("nt authority\\localservice") || lower.equals("nt authority\\networkservice")
                || (lower.startsWith("nt service\\") && value.length() > 11);
        if (!accepted) {
            problem("serviceAccount", "\"" + value + "\" is not LocalSystem, NT AUTHORITY\\LocalService, NT AUTHORITY"
                    + "\\NetworkService or NT SERVICE\\<name>; a user account is given with its password when "
                    + "installing: /install --user NAME --password-file FILE");
            return;
        }
        text("serviceAccount", Catalogue.ACCOUNT, value);
    }

    void serviceLog(String value) {
        if (value == null) {
            return;
        }
        if (value.isEmpty()) {
            problem("serviceLog", "is empty; write none to discard the application's output, or leave the parameter"
                    + " out for the default file beside the executable");
            return;
        }
        text("serviceLog", Catalogue.SERVICE_LOG, value);
    }

    /** Settings that only mean something beside another one; called after all of them. */
    void companions() {
        int[][] pairs = {
            {Catalogue.FAILURE_RESET_AFTER, Catalogue.ON_FAILURE},
            {Catalogue.REDIRECT_KEEP, Catalogue.REDIRECT_MAX_SIZE},
            {Catalogue.SERVICE_LOG_KEEP, Catalogue.SERVICE_LOG_MAX_SIZE},
        };
        String[][] names = {{"failureResetAfter", "onFailure"}, {"redirectKeep", "redirectMaxSize"},
            {"serviceLogKeep", "serviceLogMaxSize"}};
        for (int i = 0; i < pairs.length; i++) {
            if (block.config.containsKey(pairs[i][0]) && !block.config.containsKey(pairs[i][1])) {
                problem(names[i][0], "has no effect without " + names[i][1] + "; add it or remove this parameter");
            }
        }
        if (block.config.containsKey(Catalogue.REDIRECT_MAX_SIZE) && !block.config.containsKey(Catalogue.STDOUT)
                && !block.config.containsKey(Catalogue.STDERR)) {
            problem("redirectMaxSize", "has no effect without redirectStdout or redirectStderr; add it or remove "
                    + "this parameter");
        }
        String log = block.config.get(Catalogue.SERVICE_LOG);
        if (log != null && log.equalsIgnoreCase("none") && block.config.containsKey(Catalogue.SERVICE_LOG_MAX_SIZE)) {
            problem("serviceLogMaxSize", "has no effect with serviceLog none; remove one of them");
        }
    }

    void redirect(String parameter, int key, int enabledKey, String file) {
        if (file == null) {
            return;
        }
        if (file.isEmpty()) {
            problem(parameter, "is empty; leave the parameter out to keep the stream where it is");
            return;
        }
        String a = ansi(parameter, file);
        if (a != null && store(parameter, key, a)) {
            store(parameter, enabledKey, "1");
        }
    }

    void redirects(String stderr, String stdout) {
        redirect("redirectStderr", Catalogue.STDERR, Catalogue.STDERR_ENABLED, stderr);
        redirect("redirectStdout", Catalogue.STDOUT, Catalogue.STDOUT_ENABLED, stdout);
    }

    private static final List<String> SEARCH_TYPES =
            Arrays.asList("bundled", "directory", "relative", "env", "path", "registry");

    void search(List<SearchLocation> locations) {
        if (locations == null) {
            return;
        }
        StringBuilder joined = new StringBuilder();
        boolean ok = true;
        for (int i = 0; i < locations.size(); i++) {
            String entry = searchEntry(locations.get(i), "search[" + i + "]");
            if (entry == null) {
                ok = false;
            } else {
                joined.append(joined.length() == 0 ? "" : ";").append(entry);
            }
        }
        if (ok) {
            store("search", Catalogue.SEARCH, joined.toString());
        }
    }

    private String searchEntry(SearchLocation location, String label) {
        String type = location.type == null ? "" : location.type;
        int index = SEARCH_TYPES.indexOf(type);
        if (index < 0) {
            String close = Texts.closestName(type, SEARCH_TYPES);
            problem(label, (type.isEmpty() ? "has no <type>" : "unknown type \"" + type + "\"")
                    + (close != null && !type.isEmpty() ? "; did you mean \"" + close + "\"?"
                            : "; use bundled, directory, relative, env, path or registry"));
            return null;
        }
        char letter = "BARESY".charAt(index);
        String text;
        if (letter == 'E') {
            text = typedName(label, type, "var", location.var, "path", location.path);
        } else if (letter == 'S' || letter == 'Y') {
            if (location.path != null || location.var != null) {
                problem(label, "type \"" + type + "\" takes no <path> or <var>; remove it");
                return null;
            }
            text = "";
        } else {
            text = typedName(label, type, "path", location.path, "var", location.var);
        }
        if (text == null) {
            return null;
        }
        if (!text.isEmpty()) {
            String why = Texts.listItemProblem(text, ';');
            if (why != null) {
                problem(label, why);
                return null;
            }
        }
        return letter + text;
    }

    /** The one name field an entry type takes, refusing the field of the other types. */
    private String typedName(String label, String type, String field, String value, String otherField,
            String other) {
        if (other != null) {
            problem(label, "entries of type \"" + type + "\" take <" + field + ">, not <" + otherField + ">");
            return null;
        }
        if (value == null) {
            problem(label, "needs <" + field + ">");
            return null;
        }
        return ansi(label + "." + field, value);
    }

    /**
     * The class path: the application's archives (names below the
     * executable's folder), then the extra entries.
     */
    void classPath(List<String> archives, List<ClassPathEntry> extras) {
        StringBuilder joined = new StringBuilder();
        boolean ok = true;
        for (String archive : archives) {
            String a = ansi("dependencies (" + archive + ")", archive);
            String why = a == null ? null : Texts.listItemProblem(a, ';');
            if (why != null) {
                problem("dependencies (" + archive + ")", why);
            }
            if (a == null || why != null) {
                ok = false;
                continue;
            }
            joined.append(joined.length() == 0 ? "" : ";").append("A1").append(a);
        }
        if (extras != null) {
            for (int i = 0; i < extras.size(); i++) {
                String entry = classPathEntry(extras.get(i), "classPath[" + i + "]");
                if (entry == null) {
                    ok = false;
                } else {
                    joined.append(joined.length() == 0 ? "" : ";").append(entry);
                }
            }
        }
        int max = Catalogue.maxLength(Catalogue.CLASS_PATH);
        if (ok && joined.length() > max) {
            problem("classPath", "the class path (the project's jar, " + (archives.size() - 1)
                    + " dependencies and the classPath entries) is " + joined.length()
                    + " characters long; the launcher reads at most " + max
                    + " of it, so drop dependencies or classPath entries");
        } else if (ok && joined.length() > 0) {
            store("classPath", Catalogue.CLASS_PATH, joined.toString());
        }
    }

    private String classPathEntry(ClassPathEntry entry, String label) {
        String type = entry.type == null ? "" : entry.type;
        String name;
        char letter;
        List<String> given = new ArrayList<>();
        if (entry.path != null) {
            given.add("path");
        }
        if (entry.var != null) {
            given.add("var");
        }
        if (entry.dir != null) {
            given.add("dir");
        }
        switch (type) {
            case "archive":
                letter = 'A';
                name = entry.path;
                break;
            case "directory":
                letter = 'D';
                name = entry.path;
                break;
            case "env":
                letter = 'E';
                name = entry.var;
                break;
            case "scan":
                letter = 'S';
                name = entry.dir;
                break;
            default:
                problem(label, (type.isEmpty() ? "has no <type>" : "unknown type \"" + type + "\"")
                        + "; use archive, directory, env or scan");
                return null;
        }
        String field = letter == 'E' ? "var" : letter == 'S' ? "dir" : "path";
        given.remove(field);
        if (!given.isEmpty()) {
            problem(label, "entries of type \"" + type + "\" take <" + field + ">, not <" + given.get(0) + ">");
            return null;
        }
        if (name == null) {
            problem(label, "needs <" + field + ">");
            return null;
        }
        String a = ansi(label + "." + field, name);
        if (a == null) {
            return null;
        }
        String why = Texts.listItemProblem(a, ';');
        if (why == null && letter == 'E' && a.indexOf('=') >= 0) {
            why = "'" + a + "' is not a variable name (it contains '=')";
        }
        if (why != null) {
            problem(label, why);
            return null;
        }
        return "" + letter + (entry.mandatory ? '1' : '0') + a;
    }

    void files(List<EmbeddedFile> files, File baseDir) {
        if (files == null) {
            return;
        }
        Set<String> lowerNames = new HashSet<>();
        for (int i = 0; i < files.size(); i++) {
            EmbeddedFile f = files.get(i);
            String label = "files[" + i + "]";
            if (f.source == null) {
                problem(label, "needs <source>, the file to pack");
                continue;
            }
            File source = f.source.isAbsolute() ? f.source : new File(baseDir, f.source.getPath());
            if (!source.isFile()) {
                problem(label, "source file " + source + " not found; relative paths start at the project's folder");
                continue;
            }
            String name = f.name != null ? f.name : source.getName();
            String[] normalised = new String[1];
            String why = Texts.embeddedNameProblem(name, normalised);
            if (why != null) {
                problem(label + ".name", why);
                continue;
            }
            String a = ansi(label + ".name", normalised[0]);
            if (a == null) {
                continue;
            }
            if (!lowerNames.add(Texts.asciiLower(a))) {
                problem(label + ".name", "the name '" + normalised[0] + "' is used twice; Windows names ignore case");
                continue;
            }
            block.files.add(new BlockWriter.FileEntry(a, source.toPath()));
        }
    }

    void serviceDescription(String text) {
        if (text == null) {
            return;
        }
        String why = Texts.messageProblem(text);
        if (why != null) {
            problem("serviceDescription", why);
            return;
        }
        english.put(Catalogue.SERVICE_DESCRIPTION, text);
    }

    void messages(List<MessageText> messages) {
        if (messages == null) {
            return;
        }
        for (int i = 0; i < messages.size(); i++) {
            MessageText m = messages.get(i);
            String label = "messages[" + i + "]";
            Integer id = messageId(label, m.id);
            if (id == null) {
                continue;
            }
            String text = m.text == null ? "" : m.text;
            String why = Texts.messageProblem(text);
            if (why != null) {
                problem(label + ".text", why);
                continue;
            }
            if (m.locale == null) {
                if (english.containsKey(id)) {
                    problem(label, "the English text of message " + id + " (" + Catalogue.message(id).name
                            + ") is already given" + (id == Catalogue.SERVICE_DESCRIPTION ? " (serviceDescription)" : "")
                            + "; keep one");
                    continue;
                }
                english.put(id, text);
                continue;
            }
            why = Texts.localeProblem(m.locale);
            if (why != null) {
                problem(label + ".locale", why);
                continue;
            }
            Map<Integer, String> section = locales.computeIfAbsent(m.locale, k -> new TreeMap<>());
            if (section.put(id, text) != null) {
                problem(label, "message " + id + " is given twice for locale " + m.locale + "; keep one");
            }
        }
    }

    private Integer messageId(String label, String id) {
        if (id == null || id.isEmpty()) {
            problem(label, "needs <id>, a message name such as no_jvm_found or an id such as 1016");
            return null;
        }
        if (id.matches("[0-9]{1,9}")) {
            int number = Integer.parseInt(id);
            if (Catalogue.message(number) != null) {
                return number;
            }
            problem(label, "unknown message id " + id + "; the launcher uses the ids 1000 to 1020 and 20017");
            return null;
        }
        Catalogue.Message m = Catalogue.messageNamed(id);
        if (m != null) {
            return m.id;
        }
        List<String> names = new ArrayList<>();
        for (Catalogue.Message each : Catalogue.MESSAGES) {
            names.add(each.name);
        }
        String close = Texts.closestName(id, names);
        problem(label, "unknown message '" + id + "'" + (close == null
                ? "; name it by id (such as 1016) or by name (such as no_jvm_found)"
                : "; did you mean '" + close + "'?"));
        return null;
    }

    /** Completes the block: family, embedded file list, messages and language sections. */
    void finish(boolean defaultTranslations) {
        block.config.putIfAbsent(Catalogue.FAMILY, "v");
        if (!block.files.isEmpty()) {
            StringBuilder names = new StringBuilder();
            for (BlockWriter.FileEntry f : block.files) {
                names.append(names.length() == 0 ? "" : ";").append(f.name);
            }
            block.config.put(Catalogue.FILE_COUNT, Integer.toString(block.files.size()));
            block.config.put(Catalogue.FILE_NAMES, names.toString());
        }
        for (Catalogue.Message m : Catalogue.MESSAGES) {
            String text = english.containsKey(m.id) ? english.get(m.id) : m.english;
            block.messages.add(new java.util.AbstractMap.SimpleImmutableEntry<>(m.id, text));
        }
        // Default translations first, then the project's texts for the same
        // code. A message rewritten in English loses its default
        // translations: they would no longer say what the new text says.
        Map<String, Map<Integer, String>> merged = new TreeMap<>();
        if (defaultTranslations) {
            for (Map.Entry<String, Map<Integer, String>> set : Catalogue.defaultTranslations().entrySet()) {
                Map<Integer, String> section = merged.computeIfAbsent(set.getKey(), k -> new TreeMap<>());
                for (Map.Entry<Integer, String> t : set.getValue().entrySet()) {
                    if (!english.containsKey(t.getKey())) {
                        section.put(t.getKey(), t.getValue());
                    }
                }
            }
        }
        for (Map.Entry<String, Map<Integer, String>> own : locales.entrySet()) {
            merged.computeIfAbsent(own.getKey(), k -> new TreeMap<>()).putAll(own.getValue());
        }
        List<BlockWriter.Section> sections = new ArrayList<>();
        for (Map.Entry<String, Map<Integer, String>> s : merged.entrySet()) {
            if (!s.getValue().isEmpty()) {
                sections.add(new BlockWriter.Section(s.getKey(), new LinkedHashMap<>(s.getValue())));
            }
        }
        // A later matching section overrides an earlier one, so "de" must
        // come before "de_CH": shorter codes first (the sort is stable).
        Collections.sort(sections, (a, b) -> Integer.compare(a.code.length(), b.code.length()));
        block.sections.addAll(sections);
    }
}
