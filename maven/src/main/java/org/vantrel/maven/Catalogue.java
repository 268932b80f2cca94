package org.vantrel.maven;

import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.TreeMap;

/**
 * The keys the plugin writes with the number of characters the launcher
 * reads of each, every message id with its name and English text, and the
 * German and French texts every executable carries unless switched off.
 * These are the same tables the packing tool writes from; the test that
 * packs one configuration through both writers compares every byte.
 */
final class Catalogue {
    private Catalogue() {
    }

    static final int SERVICE_NAME = 101;
    static final int STDERR_ENABLED = 102;
    static final int STDERR = 103;
    static final int STDOUT_ENABLED = 104;
    static final int STDOUT = 105;
    static final int EXECUTABLE_TYPE = 107;
    static final int CLASS_PATH = 121;
    static final int MAIN_CLASS = 122;
    static final int VM_OPTIONS = 123;
    static final int ARGUMENTS = 124;
    static final int MIN_VERSION = 126;
    static final int MAX_VERSION = 127;
    static final int SEARCH = 128;
    static final int WORKING_DIRECTORY = 146;
    static final int DEPENDENCIES = 149;
    static final int FAMILY = 2001;
    static final int FILE_COUNT = 2002;
    static final int FILE_NAMES = 2003;
    static final int STOP_TIMEOUT = 170;
    static final int RESTART = 171;
    static final int RESTART_DELAY = 172;
    static final int RESTART_MAX_DELAY = 173;
    static final int RESTART_RESET_AFTER = 174;
    static final int RESTART_LIMIT = 175;
    static final int ON_FAILURE = 176;
    static final int FAILURE_RESET_AFTER = 177;
    static final int START_TYPE = 178;
    static final int ACCOUNT = 179;
    static final int SERVICE_LOG = 180;
    static final int SERVICE_LOG_MAX_SIZE = 181;
    static final int SERVICE_LOG_KEEP = 182;
    static final int REDIRECT_MAX_SIZE = 183;
    static final int REDIRECT_KEEP = 184;
    static final int SERVICE_DESCRIPTION = 20017;

    /** The general limit: values travel in 6000-character buffers. */
    static final int GENERAL = 5999;
    /** Messages are shown from 6000-character buffers as well. */
    static final int MESSAGE_CAPACITY = 5999;

    /** Characters the launcher reads of a key; 0: a heap copy of any length. */
    static int maxLength(int key) {
        switch (key) {
            case ARGUMENTS:
                return 1999;
            case FAMILY:
                return 1;
            case FILE_NAMES:
                return 0;
            default:
                return GENERAL;
        }
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

    /** Every message, in the order of the block's default message list. */
    static final Message[] MESSAGES = {
        new Message(1000, "error_caption", "Error"),
        new Message(1001, "no_jvm_found_generic",
                "No Java Virtual Machine could be found on your system.\nPlease define MORLIN_JAVA_HOME to "
                + "point to an installed JDK or JRE or download a JRE from www.java.com."),
        new Message(1002, "path_jvm_damaged",
                "The JVM found in your path is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to "
                + "point to an installed JDK or JRE."),
        new Message(1003, "env_var_jvm_broken_generic",
                "The {0} environment variable does not\npoint to a working JDK or JRE."),
        new Message(1004, "directory_jvm_broken_generic",
                "The JVM found at {0} is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point "
                + "to an installed JDK or JRE."),
        new Message(1005, "jvm_start_failed",
                "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an "
                + "antivirus or firewall tool could block the execution."),
        new Message(1006, "class_path_entry_missing", "File or directory {0} not found or empty\n"),
        new Message(1007, "wrong_parameter_usage", "Wrong Parameter Usage"),
        new Message(1008, "env_var_undefined", "The environment variable {0} has to be defined"),
        new Message(1009, "internal_error", "An internal error occurred (error code: {0})"),
        new Message(1010, "main_class_not_found", "Couldn't load main class."),
        new Message(1011, "main_method_not_found", "Main method not found."),
        new Message(1012, "error_title", "Error"),
        new Message(1013, "ok_button", "Ok"),
        new Message(1014, "startup_error", "An error occurred while starting up {0}:"),
        new Message(1015, "no_temp_directory", "You must be at least Poweruser to run this program."),
        new Message(1016, "no_jvm_found",
                "No Java Virtual Machine could be found on your system.\nPlease define MORLIN_JAVA_HOME to "
                + "point to an installed {0}-bit JDK or JRE or download a JRE from www.java.com."),
        new Message(1017, "env_var_jvm_broken",
                "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE."),
        new Message(1018, "env_var_jvm_broken_64",
                "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE."),
        new Message(1019, "directory_jvm_broken",
                "The JVM found at {0} is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point "
                + "to an installed 32-bit JDK or JRE."),
        new Message(1020, "directory_jvm_broken_64",
                "The JVM found at {0} is damaged.\nPlease reinstall it or define MORLIN_JAVA_HOME to point "
                + "to an installed 64-bit JDK or JRE."),
        new Message(20017, "service_description", ""),
    };

    private static final Object[] GERMAN = {
        1000, "Fehler",
        1001,
                "Auf Ihrem System wurde keine Java Virtual Machine gefunden.\nBitte definieren Sie "
                + "MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt, oder laden Sie ein "
                + "JRE von www.java.com herunter.",
        1002,
                "Die im Suchpfad gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder "
                + "definieren Sie MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt.",
        1003, "Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes JDK oder JRE.",
        1004,
                "Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder "
                + "definieren Sie MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt.",
        1005,
                "Die JVM konnte nicht gestartet werden. Möglicherweise ist die maximale Heap-Größe (-Xmx) "
                + "zu groß, oder ein Antiviren- oder Firewall-Programm verhindert die Ausführung.",
        1006, "Datei oder Verzeichnis {0} nicht gefunden oder leer\n",
        1007, "Falsche Verwendung der Parameter",
        1008, "Die Umgebungsvariable {0} muss definiert sein",
        1009, "Ein interner Fehler ist aufgetreten (Fehlercode: {0})",
        1010, "Die Hauptklasse konnte nicht geladen werden.",
        1011, "Die main-Methode wurde nicht gefunden.",
        1012, "Fehler",
        1013, "OK",
        1014, "Beim Starten von {0} ist ein Fehler aufgetreten:",
        1015, "Sie benötigen mindestens Hauptbenutzerrechte, um dieses Programm auszuführen.",
        1016,
                "Auf Ihrem System wurde keine Java Virtual Machine gefunden.\nBitte definieren Sie "
                + "MORLIN_JAVA_HOME so, dass es auf ein installiertes {0}-Bit-JDK oder -JRE zeigt, oder "
                + "laden Sie ein JRE von www.java.com herunter.",
        1017, "Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes 32-Bit-JDK oder -JRE.",
        1018, "Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes 64-Bit-JDK oder -JRE.",
        1019,
                "Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder "
                + "definieren Sie MORLIN_JAVA_HOME so, dass es auf ein installiertes 32-Bit-JDK oder -JRE "
                + "zeigt.",
        1020,
                "Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder "
                + "definieren Sie MORLIN_JAVA_HOME so, dass es auf ein installiertes 64-Bit-JDK oder -JRE "
                + "zeigt.",
    };

    private static final Object[] FRENCH = {
        1000, "Erreur",
        1001,
                "Aucune machine virtuelle Java n'a été trouvée sur votre système.\nVeuillez définir "
                + "MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE installé, ou téléchargez un JRE "
                + "sur www.java.com.",
        1002,
                "La JVM trouvée dans le chemin de recherche est endommagée.\nVeuillez la réinstaller ou "
                + "définir MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE installé.",
        1003, "La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE fonctionnel.",
        1004,
                "La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir "
                + "MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE installé.",
        1005,
                "La JVM n'a pas pu être démarrée. La taille maximale du tas (-Xmx) est peut-être trop "
                + "grande, ou un antivirus ou un pare-feu bloque son exécution.",
        1006, "Fichier ou répertoire {0} introuvable ou vide\n",
        1007, "Utilisation incorrecte des paramètres",
        1008, "La variable d'environnement {0} doit être définie",
        1009, "Une erreur interne s'est produite (code d'erreur : {0})",
        1010, "Impossible de charger la classe principale.",
        1011, "Méthode main introuvable.",
        1012, "Erreur",
        1013, "OK",
        1014, "Une erreur s'est produite lors du démarrage de {0} :",
        1015, "Vous devez être au moins membre du groupe Utilisateurs avec pouvoir pour exécuter ce programme.",
        1016,
                "Aucune machine virtuelle Java n'a été trouvée sur votre système.\nVeuillez définir "
                + "MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE {0} bits installé, ou téléchargez "
                + "un JRE sur www.java.com.",
        1017, "La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE 32 bits fonctionnel.",
        1018, "La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE 64 bits fonctionnel.",
        1019,
                "La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir "
                + "MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE 32 bits installé.",
        1020,
                "La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir "
                + "MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE 64 bits installé.",
    };

    static Message message(int id) {
        for (Message m : MESSAGES) {
            if (m.id == id) {
                return m;
            }
        }
        return null;
    }

    static Message messageNamed(String name) {
        for (Message m : MESSAGES) {
            if (m.name.equals(name)) {
                return m;
            }
        }
        return null;
    }

    /** Locale code to (message id to text), in no particular order. */
    static Map<String, Map<Integer, String>> defaultTranslations() {
        Map<String, Map<Integer, String>> sets = new LinkedHashMap<>();
        sets.put("de", pairs(GERMAN));
        sets.put("fr", pairs(FRENCH));
        return sets;
    }

    private static Map<Integer, String> pairs(Object[] flat) {
        Map<Integer, String> texts = new TreeMap<>();
        for (int i = 0; i < flat.length; i += 2) {
            texts.put((Integer) flat[i], (String) flat[i + 1]);
        }
        return Collections.unmodifiableMap(texts);
    }
}
