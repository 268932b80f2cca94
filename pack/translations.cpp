#include "pack/translations.h"

#include "config/keys.h"

namespace {

// Same placeholders and line breaks as the English texts, so "{0}" is
// filled in the same way whatever the language.
const Translation kGerman[] = {
    {msg::ErrorCaption, L"Fehler"},
    {msg::NoJvmFoundGeneric,
     L"Auf Ihrem System wurde keine Java Virtual Machine gefunden.\nBitte definieren Sie MORLIN_JAVA_HOME "
     L"so, dass es auf ein installiertes JDK oder JRE zeigt, oder laden Sie ein JRE von www.java.com herunter."},
    {msg::PathJvmDamaged,
     L"Die im Suchpfad gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
     L"MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt."},
    {msg::EnvVarJvmBrokenGeneric, L"Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes JDK oder JRE."},
    {msg::DirectoryJvmBrokenGeneric,
     L"Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
     L"MORLIN_JAVA_HOME so, dass es auf ein installiertes JDK oder JRE zeigt."},
    {msg::JvmStartFailed,
     L"Die JVM konnte nicht gestartet werden. Möglicherweise ist die maximale Heap-Größe (-Xmx) zu groß, "
     L"oder ein Antiviren- oder Firewall-Programm verhindert die Ausführung."},
    {msg::ClassPathEntryMissing, L"Datei oder Verzeichnis {0} nicht gefunden oder leer\n"},
    {msg::WrongParameterUsage, L"Falsche Verwendung der Parameter"},
    {msg::EnvVarUndefined, L"Die Umgebungsvariable {0} muss definiert sein"},
    {msg::InternalError, L"Ein interner Fehler ist aufgetreten (Fehlercode: {0})"},
    {msg::MainClassNotFound, L"Die Hauptklasse konnte nicht geladen werden."},
    {msg::MainMethodNotFound, L"Die main-Methode wurde nicht gefunden."},
    {msg::ErrorTitle, L"Fehler"},
    {msg::OkButton, L"OK"},
    {msg::StartupError, L"Beim Starten von {0} ist ein Fehler aufgetreten:"},
    {msg::NoTempDirectory, L"Sie benötigen mindestens Hauptbenutzerrechte, um dieses Programm auszuführen."},
    {msg::NoJvmFound,
     L"Auf Ihrem System wurde keine Java Virtual Machine gefunden.\nBitte definieren Sie MORLIN_JAVA_HOME "
     L"so, dass es auf ein installiertes {0}-Bit-JDK oder -JRE zeigt, oder laden Sie ein JRE von www.java.com "
     L"herunter."},
    {msg::EnvVarJvmBroken, L"Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes 32-Bit-JDK oder -JRE."},
    {msg::EnvVarJvmBroken64, L"Die Umgebungsvariable {0} zeigt nicht\nauf ein funktionierendes 64-Bit-JDK oder -JRE."},
    {msg::DirectoryJvmBroken,
     L"Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
     L"MORLIN_JAVA_HOME so, dass es auf ein installiertes 32-Bit-JDK oder -JRE zeigt."},
    {msg::DirectoryJvmBroken64,
     L"Die unter {0} gefundene JVM ist beschädigt.\nBitte installieren Sie sie neu oder definieren Sie "
     L"MORLIN_JAVA_HOME so, dass es auf ein installiertes 64-Bit-JDK oder -JRE zeigt."},
};

const Translation kFrench[] = {
    {msg::ErrorCaption, L"Erreur"},
    {msg::NoJvmFoundGeneric,
     L"Aucune machine virtuelle Java n'a été trouvée sur votre système.\nVeuillez définir MORLIN_JAVA_HOME "
     L"pour qu'elle pointe vers un JDK ou JRE installé, ou téléchargez un JRE sur www.java.com."},
    {msg::PathJvmDamaged,
     L"La JVM trouvée dans le chemin de recherche est endommagée.\nVeuillez la réinstaller ou définir "
     L"MORLIN_JAVA_HOME pour qu'elle pointe vers un JDK ou JRE installé."},
    {msg::EnvVarJvmBrokenGeneric, L"La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE fonctionnel."},
    {msg::DirectoryJvmBrokenGeneric,
     L"La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir MORLIN_JAVA_HOME pour "
     L"qu'elle pointe vers un JDK ou JRE installé."},
    {msg::JvmStartFailed,
     L"La JVM n'a pas pu être démarrée. La taille maximale du tas (-Xmx) est peut-être trop grande, ou un "
     L"antivirus ou un pare-feu bloque son exécution."},
    {msg::ClassPathEntryMissing, L"Fichier ou répertoire {0} introuvable ou vide\n"},
    {msg::WrongParameterUsage, L"Utilisation incorrecte des paramètres"},
    {msg::EnvVarUndefined, L"La variable d'environnement {0} doit être définie"},
    {msg::InternalError, L"Une erreur interne s'est produite (code d'erreur : {0})"},
    {msg::MainClassNotFound, L"Impossible de charger la classe principale."},
    {msg::MainMethodNotFound, L"Méthode main introuvable."},
    {msg::ErrorTitle, L"Erreur"},
    {msg::OkButton, L"OK"},
    {msg::StartupError, L"Une erreur s'est produite lors du démarrage de {0} :"},
    {msg::NoTempDirectory,
     L"Vous devez être au moins membre du groupe Utilisateurs avec pouvoir pour exécuter ce programme."},
    {msg::NoJvmFound,
     L"Aucune machine virtuelle Java n'a été trouvée sur votre système.\nVeuillez définir MORLIN_JAVA_HOME "
     L"pour qu'elle pointe vers un JDK ou JRE {0} bits installé, ou téléchargez un JRE sur www.java.com."},
    {msg::EnvVarJvmBroken, L"La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE 32 bits fonctionnel."},
    {msg::EnvVarJvmBroken64, L"La variable d'environnement {0} ne pointe pas\nvers un JDK ou JRE 64 bits fonctionnel."},
    {msg::DirectoryJvmBroken,
     L"La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir MORLIN_JAVA_HOME pour "
     L"qu'elle pointe vers un JDK ou JRE 32 bits installé."},
    {msg::DirectoryJvmBroken64,
     L"La JVM trouvée dans {0} est endommagée.\nVeuillez la réinstaller ou définir MORLIN_JAVA_HOME pour "
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
