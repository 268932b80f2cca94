#include "pack/translations.h"

namespace {

// Same placeholders and line breaks as the English texts, so "{0}" is
// filled in the same way whatever the language.
const Translation kGerman[] = {
    {1000, L"Fehler"},
    {1001, L"Auf Ihrem System wurde keine Java Virtual Machine gefunden.\nBitte definieren Sie MORLIN_JAVA_HOME "
           L"so, dass es auf ein installiertes JDK oder JRE zeigt, oder laden Sie ein JRE von www.java.com herunter."},
    {1002, L"Die im Suchpfad gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
           L"MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt."},
    {1003, L"Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes JDK oder JRE."},
    {1004, L"Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
           L"MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt."},
    {1005, L"Die JVM konnte nicht gestartet werden. Möglicherweise ist die maximale Heap-Größe (-Xmx) zu groß, "
           L"oder ein Antiviren- oder Firewall-Programm verhindert die Ausführung."},
    {1006, L"Datei oder Verzeichnis {0} nicht gefunden oder leer\n"},
    {1007, L"Falsche Verwendung der Parameter"},
    {1008, L"Die Umgebungsvariable {0} muss definiert sein"},
    {1009, L"Ein interner Fehler ist aufgetreten (Fehlercode: {0})"},
    {1010, L"Die Hauptklasse konnte nicht geladen werden."},
    {1011, L"Die main-Methode wurde nicht gefunden."},
    {1012, L"Fehler"},
    {1013, L"OK"},
    {1014, L"Beim Starten von {0} ist ein Fehler aufgetreten:"},
    {1015, L"Sie benötigen mindestens Hauptbenutzerrechte, um dieses Programm auszuführen."},
    {1016, L"Auf Ihrem System wurde keine Java Virtual Machine gefunden.\nBitte definieren Sie MORLIN_JAVA_HOME "
           L"so, dass es auf ein installiertes {0}-Bit-JDK oder -JRE zeigt, oder laden Sie ein JRE von www.java.com "
           L"herunter."},
    {1017, L"Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes 32-Bit-JDK oder -JRE."},
    {1018, L"Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes 64-Bit-JDK oder -JRE."},
    {1019, L"Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
           L"MORLIN_JAVA_HOME so, dass es auf ein installiertes 32-Bit-JDK oder -JRE zeigt."},
    {1020, L"Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
           L"MORLIN_JAVA_HOME so, dass es auf ein installiertes 64-Bit-JDK oder -JRE zeigt."},
};

const Translation kFrench[] = {
    {1000, L"Erreur"},
    {1001, L"Aucune machine virtuelle Java n'a été trouvée sur votre système.\nVeuillez définir MORLIN_JAVA_HOME "
           L"pour qu'elle pointe vers un JDK ou JRE installé, ou téléchargez un JRE sur www.java.com."},
    {1002, L"La JVM trouvée dans le chemin de recherche est endommagée.\nVeuillez la réinstaller ou définir "
           L"MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE installé."},
    {1003, L"La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE fonctionnel."},
    {1004, L"La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir MORLIN_JAVA_HOME pour "
           L"qu'elle pointe vers un JDK ou JRE installé."},
    {1005, L"La JVM n'a pas pu être démarrée. La taille maximale du tas (-Xmx) est peut-être trop grande, ou un "
           L"antivirus ou un pare-feu bloque son exécution."},
    {1006, L"Fichier ou répertoire {0} introuvable ou vide\n"},
    {1007, L"Utilisation incorrecte des paramètres"},
    {1008, L"La variable d'environnement {0} doit être définie"},
    {1009, L"Une erreur interne s'est produite (code d'erreur : {0})"},
    {1010, L"Impossible de charger la classe principale."},
    {1011, L"Méthode main introuvable."},
    {1012, L"Erreur"},
    {1013, L"OK"},
    {1014, L"Une erreur s'est produite lors du démarrage de {0} :"},
    {1015, L"Vous devez être au moins membre du groupe Utilisateurs avec pouvoir pour exécuter ce programme."},
    {1016, L"Aucune machine virtuelle Java n'a été trouvée sur votre système.\nVeuillez définir MORLIN_JAVA_HOME "
           L"pour qu'elle pointe vers un JDK ou JRE {0} bits installé, ou téléchargez un JRE sur www.java.com."},
    {1017, L"La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE 32 bits fonctionnel."},
    {1018, L"La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE 64 bits fonctionnel."},
    {1019, L"La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir MORLIN_JAVA_HOME pour "
           L"qu'elle pointe vers un JDK ou JRE 32 bits installé."},
    {1020, L"La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir MORLIN_JAVA_HOME pour "
           L"qu'elle pointe vers un JDK ou JRE 64 bits installé."},
};

const TranslationSet kSets[] = {
    {"de", kGerman, sizeof kGerman / sizeof kGerman[0]},
    {"fr", kFrench, sizeof kFrench / sizeof kFrench[0]},
};

}  // namespace

const TranslationSet* defaultTranslations(size_t* count) {
    *count = sizeof kSets / sizeof kSets[0];
    return kSets;
}
