package org.vantrel.maven;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * The keys with the number of characters the launcher reads of each, the
 * value limits, every message id with its name and English text, the
 * German and French texts every executable carries unless switched off, and
 * the application manifest.
 * None of it is written here: the build exports vtlpack's own tables as
 * {@code vantrel/catalogue.tsv} in the plugin jar (pack/catalogue_export.h
 * describes the format), and this class reads that file. Keys are looked up
 * by their catalogue names, so a number or a text changes in one place.
 */
final class Catalogue {
    private Catalogue() {
    }

    static final class Message {
        final int id;
        final String name;
        final String english;

        Message(int id, String name, String english) {
            this.id = id;
            this.name = name;
            this.english = english;
        }
    }

    private static final Map<String, Integer> KEYS = new HashMap<>();
    private static final Map<Integer, Integer> MAX_LENGTHS = new HashMap<>();
    private static final Map<String, Integer> LIMITS = new HashMap<>();
    private static final List<Message> MESSAGE_LIST = new ArrayList<>();
    private static final Map<String, Map<Integer, String>> TRANSLATIONS = new LinkedHashMap<>();
    private static final Map<String, String> TEMPLATES = new HashMap<>();

    static {
        load("/vantrel/catalogue.tsv");
    }

    static final int SERVICE_NAME = key("application.service_name");
    static final int STDERR_ENABLED = key("redirect.stderr_enabled");
    static final int STDERR = key("redirect.stderr");
    static final int STDOUT_ENABLED = key("redirect.stdout_enabled");
    static final int STDOUT = key("redirect.stdout");
    static final int EXECUTABLE_TYPE = key("application.executable_type");
    static final int CLASS_PATH = key("classpath");
    static final int MAIN_CLASS = key("application.main_class");
    static final int VM_OPTIONS = key("application.vm_options");
    static final int ARGUMENTS = key("application.arguments");
    static final int MIN_VERSION = key("jvm.min_version");
    static final int MAX_VERSION = key("jvm.max_version");
    static final int SEARCH = key("jvm.search");
    static final int WORKING_DIRECTORY = key("application.working_directory");
    static final int DEPENDENCIES = key("service.dependencies");
    static final int FAMILY = key("application.family");
    static final int FILE_COUNT = key("files.count");
    static final int FILE_NAMES = key("files.names");
    static final int STOP_TIMEOUT = key("service.stop_timeout");
    static final int RESTART = key("service.restart");
    static final int RESTART_DELAY = key("service.restart_delay");
    static final int RESTART_MAX_DELAY = key("service.restart_max_delay");
    static final int RESTART_RESET_AFTER = key("service.restart_reset_after");
    static final int RESTART_LIMIT = key("service.restart_limit");
    static final int ON_FAILURE = key("service.on_failure");
    static final int FAILURE_RESET_AFTER = key("service.failure_reset_after");
    static final int START_TYPE = key("service.start");
    static final int ACCOUNT = key("service.account");
    static final int SERVICE_LOG = key("service.log");
    static final int SERVICE_LOG_MAX_SIZE = key("service.log_max_size");
    static final int SERVICE_LOG_KEEP = key("service.log_keep");
    static final int REDIRECT_MAX_SIZE = key("redirect.max_size");
    static final int REDIRECT_KEEP = key("redirect.keep");
    static final int CLASS_DATA_SHARING = key("jvm.class_data_sharing");
    static final int SERVICE_DESCRIPTION = messageNamed("service_description").id;

    /** Messages are shown from 6000-character buffers. */
    static final int MESSAGE_CAPACITY = limit("message_text");
    static final int SERVICE_NAME_LIMIT = limit("service_name");
    static final int STOP_TIMEOUT_MIN = limit("stop_timeout_min");
    static final int STOP_TIMEOUT_MAX = limit("stop_timeout_max");
    static final int RESTART_DELAY_MAX = limit("restart_delay_max");
    static final int RESTART_LIMIT_MAX = limit("restart_limit_max");
    static final int KEEP_MAX = limit("keep_max");
    static final int ROLL_SIZE_MIN_KB = limit("roll_size_min_kb");
    static final int ROLL_SIZE_MAX_KB = limit("roll_size_max_kb");
    static final int RECOVERY_DELAY_MAX = limit("recovery_delay_max");

    /** Every message, in the order of the block's default message list. */
    static final Message[] MESSAGES = MESSAGE_LIST.toArray(new Message[0]);

    /** The number of a key by its catalogue name. */
    static int key(String name) {
        Integer number = KEYS.get(name);
        if (number == null) {
            throw new IllegalStateException("the catalogue in the plugin jar has no key " + name);
        }
        return number;
    }

    /**
     * Characters the launcher reads of a key; 0: a heap copy of any length
     * (and no limit for a key the catalogue does not know, as in vtlpack).
     */
    static int maxLength(int key) {
        Integer max = MAX_LENGTHS.get(key);
        return max == null ? 0 : max;
    }

    static int limit(String name) {
        Integer value = LIMITS.get(name);
        if (value == null) {
            throw new IllegalStateException("the catalogue in the plugin jar has no limit " + name);
        }
        return value;
    }

    static Message message(int id) {
        for (Message m : MESSAGE_LIST) {
            if (m.id == id) {
                return m;
            }
        }
        return null;
    }

    static Message messageNamed(String name) {
        for (Message m : MESSAGE_LIST) {
            if (m.name.equals(name)) {
                return m;
            }
        }
        return null;
    }

    /** The application manifest with "{executionLevel}" where the level goes. */
    static String manifestTemplate() {
        String text = TEMPLATES.get("manifest");
        if (text == null) {
            throw new IllegalStateException("the catalogue in the plugin jar has no manifest template");
        }
        return text;
    }

    /** Locale code to (message id to text), in no particular order. */
    static Map<String, Map<Integer, String>> defaultTranslations() {
        return TRANSLATIONS;
    }

    private static void load(String resource) {
        try (InputStream in = Catalogue.class.getResourceAsStream(resource)) {
            if (in == null) {
                throw new IllegalStateException("the plugin jar lacks " + resource
                        + "; build the plugin with scripts/build.sh, which takes it from dist/");
            }
            BufferedReader reader = new BufferedReader(new InputStreamReader(in, StandardCharsets.UTF_8));
            Map<String, Map<Integer, String>> translations = new LinkedHashMap<>();
            int number = 0;
            for (String line; (line = reader.readLine()) != null; ) {
                number++;
                if (line.isEmpty() || line.startsWith("#")) {
                    continue;
                }
                String[] f = line.split("\t", -1);
                for (int i = 0; i < f.length; i++) {
                    f[i] = unescape(f[i]);
                }
                if (f[0].equals("key") && f.length == 6) {
                    int key = Integer.parseInt(f[1]);
                    KEYS.put(f[2], key);
                    MAX_LENGTHS.put(key, Integer.parseInt(f[4]));
                } else if (f[0].equals("limit") && f.length == 3) {
                    LIMITS.put(f[1], Integer.parseInt(f[2]));
                } else if (f[0].equals("message") && f.length == 5) {
                    MESSAGE_LIST.add(new Message(Integer.parseInt(f[1]), f[2], f[4]));
                } else if (f[0].equals("template") && f.length == 3) {
                    TEMPLATES.put(f[1], f[2]);
                } else if (f[0].equals("translation") && f.length == 4) {
                    translations.computeIfAbsent(f[1], k -> new TreeMap<>()).put(Integer.parseInt(f[2]), f[3]);
                } else {
                    throw new IllegalStateException(resource + " line " + number + " is not a catalogue record");
                }
            }
            for (Map.Entry<String, Map<Integer, String>> set : translations.entrySet()) {
                TRANSLATIONS.put(set.getKey(), Collections.unmodifiableMap(set.getValue()));
            }
        } catch (IOException | NumberFormatException e) {
            throw new IllegalStateException("the catalogue in the plugin jar cannot be read: " + e.getMessage(), e);
        }
    }

    private static String unescape(String field) {
        if (field.indexOf('\\') < 0) {
            return field;
        }
        StringBuilder out = new StringBuilder(field.length());
        for (int i = 0; i < field.length(); i++) {
            char c = field.charAt(i);
            if (c != '\\' || i + 1 == field.length()) {
                out.append(c);
                continue;
            }
            char next = field.charAt(++i);
            out.append(next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next);
        }
        return out.toString();
    }
}
