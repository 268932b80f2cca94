// Project files: every setting reaches its key, and the structured
// sections (files, messages) are encoded as the launcher reads them.
#include <gtest/gtest.h>

#include "config/catalogue.h"
#include "pack/executable_resources.h"
#include "pack/project.h"
#include "pack/tests/test_support.h"

namespace {

const char* const kFullProject = R"(
[application]
family = "m"
service_name = "MyService"
main_class = "com.example.Main"
executable_type = "gui"
working_directory = "work"
app_dir = "app"
vm_options = ["-Xmx512m", "-Dmy.prop=a b"]
arguments = "--fast --mode=x"
java_args_as_vm_options = true
native_library_dirs = ["native", 'native\x86']
single_instance = true
bring_to_front = true
global_semaphore = false
application_id = "1234-5678"

[jvm]
min_version = "1.8"
max_version = "17"
search = [
  { type = "bundled", path = 'jre' },
  { type = "directory", path = 'c:\java' },
  { type = "relative", path = "rt" },
  { type = "env", var = "JAVA_HOME" },
  { type = "path" },
  { type = "registry" },
  "EJDK_HOME",
]
preferred_vm_type = "server"
allow_prerelease = true
require_jdk = false
only_own_runtimes = true
class_data_sharing = "auto"

[[classpath]]
type = "archive"
path = 'lib\app.jar'
mandatory = true
[[classpath]]
type = "directory"
path = "classes"
[[classpath]]
type = "env"
var = "EXTRA_CP"
mandatory = true
[[classpath]]
type = "scan"
dir = "lib"

[redirect]
stderr = "error.log+"
stdout = "output.log"
runtime_flag = true
max_size = "10 MB"
keep = 3

[splash]
enabled = true
text_settings = true
secondary_flag = true
[splash.line1]
text = "Loading..."
x = 10
y = 20
colour = "255,0,0"
extra1 = 12
extra2 = 1
font = "Arial"
[splash.line2]
text = "Version 1.0"
x = -1
y = 40
colour = [0, 128, 255]
extra1 = 10
extra2 = 0
font = "Tahoma"

[[version_options]]
prefix = "1.8"
options = "-XX:MaxPermSize=256m"
[[version_options]]
prefix = ""
options = ["-Xss2m", "-Da=b c"]

[service]
dependencies = ["Tcpip", "Dnscache"]
description = "Runs the application"
stop_timeout = 45
restart = "on-failure"
restart_delay = 1
restart_max_delay = 60
restart_reset_after = 3600
restart_limit = 10
on_failure = ["restart 60", "RESTART  300", "none"]
failure_reset_after = 86400
start = "delayed-auto"
account = "NT AUTHORITY\\NetworkService"
log = "logs\\service.log"
log_max_size = 2048
log_keep = 0
)";

TEST(ProjectSettings, EverySettingReachesItsKey) {
    Project project = parseOk(kFullProject);
    const std::map<int, std::string> expected = {
        {101, "MyService"},
        {102, "1"},
        {103, "error.log+"},
        {104, "1"},
        {105, "output.log"},
        {106, "1"},
        {107, "1"},
        {108, "1"},
        {121, "A1lib\\app.jar;D0classes;E1EXTRA_CP;S0lib"},
        {122, "com.example.Main"},
        {123, "-Xmx512m \"-Dmy.prop=a b\""},
        {124, "--fast --mode=x"},
        {125, "1"},
        {126, "1.8"},
        {127, "17"},
        {128, "Bjre;Ac:\\java;Rrt;EJAVA_HOME;S;Y;EJDK_HOME"},
        {130, "1"},
        {131, "0"},
        {146, "work"},
        {149, "Tcpip,Dnscache"},
        {152, "server"},
        {158, "0"},
        {160, "1234-5678"},
        {163, "1"},
        {165, "1"},
        {170, "45"},
        {171, "on-failure"},
        {172, "1"},
        {173, "60"},
        {174, "3600"},
        {175, "10"},
        {176, "restart 60;restart 300;none"},
        {177, "86400"},
        {178, "delayed-auto"},
        {179, "NT AUTHORITY\\NetworkService"},
        {180, "logs\\service.log"},
        {181, "2048"},
        {182, "0"},
        {183, "10485760"},
        {184, "3"},
        {190, "1"},
        {2001, "m"},
        {10003, "app"},
        {10004, "native;native\\x86"},
        {10005, "1"},
        {10007, "1"},
        {10109, "10"},
        {10110, "20"},
        {10111, "Loading..."},
        {10112, "Arial"},
        {10113, "12"},
        {10114, "255,0,0"},
        {10115, "1"},
        {10116, "-1"},
        {10117, "40"},
        {10118, "Version 1.0"},
        {10119, "Tahoma"},
        {10120, "10"},
        {10121, "0,128,255"},
        {10122, "0"},
        {10123, "1"},
        {10200, "2"},
        {10201, "1.8"},
        {10202, "-XX:MaxPermSize=256m"},
        {10203, ""},
        {10204, "-Xss2m \"-Da=b c\""},
    };
    EXPECT_EQ(configOf(project), expected);

    // Every key the launcher reads can be set by name (the file keys are
    // covered with [[files]] below).
    size_t count = 0;
    const ConfigKeyInfo* keys = configKeyCatalogue(&count);
    for (size_t i = 0; i < count; ++i) {
        if (!keys[i].readByLauncher || keys[i].key == 2002 || keys[i].key == 2003) continue;
        EXPECT_TRUE(expected.count(keys[i].key)) << keys[i].name;
    }
    EXPECT_EQ(project.block.messages.size(), 22u);
}

TEST(ProjectSettings, FamilyDefaultsToVAndStringFormsAreKept) {
    Project project = parseOk(R"(
classpath = "A0a.jar;;S1lib"
[application]
executable_type = 4
vm_options = """
  -Xmx1g
  -Dx=1"""
native_library_dirs = "a;b"
[jvm]
search = 'B.\jre;;Y;EJAVA_HOME;'
[service]
dependencies = "a,,b"
)");
    auto config = configOf(project);
    EXPECT_EQ(config[2001], "v");
    EXPECT_EQ(config[107], "4");
    EXPECT_EQ(config[123], "-Xmx1g   -Dx=1");  // line breaks become blanks
    EXPECT_EQ(config[10004], "a;b");
    EXPECT_EQ(config[128], "B.\\jre;Y;EJAVA_HOME");
    EXPECT_EQ(config[121], "A0a.jar;S1lib");
    EXPECT_EQ(config[149], "a,,b");
    EXPECT_EQ(config.count(102), 0u);  // nothing redirected, nothing written
}

TEST(ProjectSettings, RawKeysOverrideReadableSettings) {
    Project project = parseOk(R"(
[application]
main_class = "a.B"
[keys]
"122" = "c.D"
"141" = "legacy"
"10005" = true
"107" = 5
)");
    auto config = configOf(project);
    EXPECT_EQ(config[122], "c.D");
    EXPECT_EQ(config[141], "legacy");
    EXPECT_EQ(config[10005], "1");
    EXPECT_EQ(config[107], "5");
}

TEST(ProjectFiles, EmbeddedFilesSetCountNamesAndSources) {
    TempDir dir;
    dir.file("build/app.jar", "jar");
    dir.file("native/x.dll", "dll");
    Project project = parseOk(R"(
[[files]]
source = "build/app.jar"
[[files]]
source = "native/x.dll"
name = "bin/x.dll"
)",
                              dir.path());
    auto config = configOf(project);
    EXPECT_EQ(config[2002], "2");
    EXPECT_EQ(config[2003], "app.jar;bin\\x.dll");
    ASSERT_EQ(project.block.files.size(), 2u);
    EXPECT_EQ(readBytes(project.block.files[1].source), "dll");
}

TEST(ProjectFiles, BadNamesAndMissingSourcesAreNamedByLine) {
    TempDir dir;
    dir.file("a.jar", "a");
    const std::string text = "[[files]]\n"
                             "source = \"a.jar\"\n"
                             "name = 'c:\\a.jar'\n"
                             "[[files]]\n"
                             "source = \"missing.jar\"\n"
                             "[[files]]\n"
                             "source = \"a.jar\"\n"
                             "name = 'lib\\deep\\a.jar'\n"
                             "[[files]]\n"
                             "source = \"a.jar\"\n"
                             "name = '..\\a.jar'\n"
                             "[[files]]\n"
                             "source = \"a.jar\"\n"
                             "[[files]]\n"
                             "source = \"a.jar\"\n"
                             "name = \"A.JAR\"\n";
    auto d = parseErrors(text, dir.path());
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0].line, 3);
    EXPECT_NE(d[0].message.find("drive"), std::string::npos) << d[0].message;
    EXPECT_EQ(d[1].line, 5);
    EXPECT_NE(d[1].message.find("missing.jar"), std::string::npos);
    EXPECT_EQ(d[2].line, 8);
    EXPECT_NE(d[2].message.find("one directory level"), std::string::npos);
    EXPECT_EQ(d[3].line, 11);
    EXPECT_NE(d[3].message.find(".."), std::string::npos);
    EXPECT_EQ(d[4].line, 16);
    EXPECT_NE(d[4].message.find("twice"), std::string::npos);
}

TEST(ProjectMessages, OverridesLanguagesAndDefaultTranslations) {
    Project project = parseOk(R"(
[messages]
1016 = "Install Java {0} from example.com"
error_caption = "MyApp"
[messages.de]
main_class_not_found = "Hauptklasse fehlt"
[messages.de_CH]
1010 = "Hauptklass fählt"
[messages.es]
1000 = "Error de MyApp"
[service]
description = "Runs MyApp"
)");
    const auto& messages = project.block.messages;
    auto text = [&](int id) {
        for (const auto& m : messages)
            if (m.id == id) return m.text;
        return std::u16string(u"<absent>");
    };
    EXPECT_EQ(text(1016), u"Install Java {0} from example.com");
    EXPECT_EQ(text(1000), u"MyApp");
    EXPECT_EQ(text(1010), u"Couldn't load main class.");
    EXPECT_EQ(text(20017), u"Runs MyApp");

    std::vector<std::string> codes;
    for (const auto& s : project.block.sections) codes.push_back(s.code);
    EXPECT_EQ(codes, (std::vector<std::string>{"de", "es", "fr", "de_CH"}));
    const LanguageSection& de = project.block.sections[0];
    std::map<int, std::u16string> german;
    for (const auto& m : de.messages) german[m.id] = m.text;
    EXPECT_EQ(german[1010], u"Hauptklasse fehlt");
    EXPECT_EQ(german[1011], u"Die main-Methode wurde nicht gefunden.");
    // Rewritten English texts lose the default translations that no
    // longer say the same.
    EXPECT_EQ(german.count(1016), 0u);
    EXPECT_EQ(german.count(1000), 0u);

    // Through the launcher's reader: a Swiss user sees de_CH over de.
    StringSink sink;
    BlockWriteResult result;
    std::string error;
    ASSERT_TRUE(writeBlock(project.block, sink, &result, &error));
    ASSERT_TRUE(parseWithLauncher(sink.bytes, "de_CH"));
    EXPECT_EQ(launcherMessage(1010), L"Hauptklass f\u00e4hlt");
    EXPECT_EQ(launcherMessage(1011), L"Die main-Methode wurde nicht gefunden.");
    EXPECT_EQ(launcherMessage(1016), L"Install Java {0} from example.com");
    ASSERT_TRUE(parseWithLauncher(sink.bytes, "fr_CA"));
    EXPECT_EQ(launcherMessage(1011), L"M\u00e9thode main introuvable.");
}

TEST(ProjectMessages, DefaultTranslationsCanBeSwitchedOff) {
    Project fromFile = parseOk("[build]\ndefault_translations = false\n");
    EXPECT_TRUE(fromFile.block.sections.empty());
    ProjectOptions options;
    options.defaultTranslations = false;
    Project fromOption = parseOk("[messages.de]\n1000 = \"Fehler!\"\n", ".", options);
    ASSERT_EQ(fromOption.block.sections.size(), 1u);
    EXPECT_EQ(fromOption.block.sections[0].messages.size(), 1u);
    Project withDefaults = parseOk("");
    EXPECT_EQ(withDefaults.block.sections.size(), 2u);
}

}  // namespace

namespace {

TEST(ProjectResources, StubChoiceVersionTextsAndExecutionLevel) {
    Project project = parseOk(R"(
[application]
executable_type = "console"
windowed = true
execution_level = "requireAdministrator"
[version]
file_version = "2.1.0-SNAPSHOT"
product_name = "Tool"
copyright = "© 2026 Example"
)");
    EXPECT_TRUE(wantsWindowedStub(project));
    // The executable type decides unless windowed is given, either way.
    EXPECT_TRUE(wantsWindowedStub(parseOk("[application]\nexecutable_type = \"gui\"\n")));
    EXPECT_TRUE(wantsWindowedStub(parseOk("[keys]\n\"107\" = 1\n")));
    EXPECT_FALSE(wantsWindowedStub(parseOk("[application]\nexecutable_type = \"gui\"\nwindowed = false\n")));
    EXPECT_FALSE(wantsWindowedStub(parseOk("[application]\nexecutable_type = 5\n")));

    VersionTexts texts = completeVersionTexts(project.resources.version, u"MyTool", u"MyTool.exe");
    EXPECT_EQ(texts.productVersion, u"2.1.0-SNAPSHOT");
    EXPECT_EQ(texts.fileDescription, u"Tool");
    EXPECT_EQ(texts.internalName, u"MyTool");
    EXPECT_EQ(texts.originalFilename, u"MyTool.exe");
    EXPECT_EQ(texts.copyright, u"© 2026 Example");
    EXPECT_TRUE(texts.companyName.empty());
    // Without a [version] section the application's name fills in.
    VersionTexts plain = completeVersionTexts(VersionTexts(), u"MyTool", u"MyTool.exe");
    EXPECT_EQ(plain.productName, u"MyTool");
    EXPECT_EQ(plain.fileDescription, u"MyTool");
    EXPECT_TRUE(plain.fileVersion.empty());

    std::vector<Resource> resources;
    std::string error;
    ASSERT_TRUE(executableResources(project.resources, u"MyTool", u"MyTool.exe", &resources, &error)) << error;
    ASSERT_EQ(resources.size(), 2u);  // no icon: version information and manifest
    EXPECT_EQ(resources[0].type, rt::Version);
    VersionReport report;
    ASSERT_TRUE(decodeVersionResource(resources[0].data, &report, &error)) << error;
    EXPECT_EQ(report.fileVersion, (VersionNumber{2, 1, 0, 0}));
    EXPECT_EQ(report.productVersion, (VersionNumber{2, 1, 0, 0}));
    EXPECT_EQ(resources[1].type, rt::Manifest);
    EXPECT_NE(resources[1].data.find("level=\"requireAdministrator\""), std::string::npos);
    ASSERT_TRUE(executableResources(ResourceSettings(), u"A", u"A.exe", &resources, &error));
    EXPECT_NE(resources[1].data.find("level=\"asInvoker\""), std::string::npos);
}

}  // namespace
