// Project files with mistakes: each problem is named by line, with a
// suggestion where one helps, and all of them in file order.
#include <gtest/gtest.h>

#include "pack/project.h"
#include "pack/starter.h"
#include "pack/tests/test_support.h"

namespace {

// The single diagnostic of `text`, which must be on `line` and mention `words`.
void expectError(const std::string& text, int line, const std::string& words) {
    auto diagnostics = parseErrors(text);
    ASSERT_EQ(diagnostics.size(), 1u) << formatDiagnostic(diagnostics[0]);
    EXPECT_EQ(diagnostics[0].line, line) << formatDiagnostic(diagnostics[0]);
    EXPECT_NE(diagnostics[0].message.find(words), std::string::npos) << formatDiagnostic(diagnostics[0]);
}

TEST(ProjectErrors, UnknownNamesGetSuggestions) {
    expectError("[application]\nmain_clas = \"a.B\"\n", 2, "did you mean 'main_class'");
    expectError("main_class = \"a.B\"\n", 1, "belongs in [application]");
    expectError("\n[jvm]\nmin_version = \"1.8\"\nsearchh = []\n", 4, "did you mean 'search'");
    expectError("[splash.line1]\ncolor = \"0,0,0\"\n", 2, "did you mean 'colour'");
    expectError("[appliction]\n", 1, "did you mean 'application'");
    expectError("[messages]\nno_jvm_fund = \"x\"\n", 2, "did you mean 'no_jvm_found'");
    expectError("[messages]\n1999 = \"x\"\n", 2, "unknown message id 1999");
    expectError("[application]\nfiles = []\n", 2, "top-level section");
    expectError("[[classpath]]\ntype = \"archive\"\npath = \"a.jar\"\nmandatroy = true\n", 4, "did you mean 'mandatory'");
}

TEST(ProjectErrors, WrongTypesAndValues) {
    expectError("[application]\nsingle_instance = \"yes\"\n", 2, "true or false, not a string");
    expectError("[application]\nexecutable_type = \"window\"\n", 2, "\"gui\"");
    expectError("[application]\nexecutable_type = 12\n", 2, "between 0 and 9");
    expectError("[application]\nfamily = \"x\"\n", 2, "\"v\"");
    expectError("[application]\nmain_class = 5\n", 2, "must be a string");
    expectError("[jvm]\nmin_version = \"eleven\"\n", 2, "not a version");
    expectError("[jvm]\nmin_version = \"17\"\nmax_version = \"11\"\n", 3, "no runtime can match");
    expectError("[jvm]\nclass_data_sharing = \"on\"\n", 2, "jvm.class_data_sharing must be \"off\" or \"auto\"");
    expectError("[jvm]\nsearch = [{ type = \"bundled\", var = \"X\" }]\n", 2, "take 'path'");
    expectError("[jvm]\nsearch = [{ type = \"network\" }]\n", 2, "unknown type");
    expectError("[[classpath]]\ntype = \"scan\"\npath = \"lib\"\n", 3, "take 'dir'");
    expectError("[[classpath]]\npath = \"lib\"\n", 1, "needs 'type'");
    expectError("classpath = [\"a0lib\"]\n", 1, "not a class path entry");
    expectError("[splash.line1]\ncolour = \"300,0,0\"\n", 2, "0 to 255");
    expectError("[splash.line1]\nx = 3000000000\n", 2, "between");
    expectError("[application]\nnative_library_dirs = [\"a;b\"]\n", 2, "separates items");
    expectError("[service]\ndependencies = [\"a,b\"]\n", 2, "separates items");
    expectError("[service]\nstop_timeout = 0\n", 2, "between 1 and 86400");
    expectError("[service]\nstop_timeout = \"30\"\n", 2, "must be an integer");
    expectError("[service]\nrestart = \"on_failure\"\n", 2, "did you mean \"on-failure\"");
    expectError("[service]\nrestart = \"sometimes\"\n", 2, "use \"never\", \"on-failure\", \"always\"");
    expectError("[service]\nstart = \"delayed\"\n", 2, "\"delayed-auto\"");
    expectError("[service]\nrestart_delay = 86401\n", 2, "between 0 and 86400");
    expectError("[service]\nrestart_limit = -1\n", 2, "between 0 and 1000000");
    expectError("[service]\non_failure = [\"reboot 5\"]\n", 2, "is not \"restart N\"");
    expectError("[service]\non_failure = []\n", 2, "names no action");
    expectError("[service]\nfailure_reset_after = 60\n", 2, "without service.on_failure");
    expectError("[service]\naccount = \"Administrator\"\n", 2, "--user NAME --password-file FILE");
    expectError("[service]\nlog = \"\"\n", 2, "write \"none\"");
    expectError("[service]\nlog = \"none\"\nlog_max_size = \"1 MB\"\n", 3, "no effect with service.log");
    expectError("[service]\nlog_keep = 2\n", 2, "without service.log_max_size");
    expectError("[service]\nlog_max_size = \"10 TB\"\n", 2, "units B, KB, MB, GB");
    expectError("[service]\nlog_max_size = \"2000000 MB\"\n", 2, "between 1 KB and 1024 GB");
    expectError("[service]\nlog_max_size = 100\n", 2, "between 1 KB and 1024 GB, not 100 bytes");
    expectError("[service]\nlog_max_size = 1.5\n", 2, "not a floating-point number");
    expectError("[redirect]\nmax_size = \"1 MB\"\n", 2, "without redirect.stdout or redirect.stderr");
    expectError("[redirect]\nstdout = \"o.log\"\nkeep = 2\n", 3, "without redirect.max_size");
    expectError("[application]\nvm_options = [\"it's \\\"x\\\"\"]\n", 2, "both a single and a double quote");
    expectError("[redirect]\nstderr = \"\"\n", 2, "leave the setting out");
    expectError("[application]\nservice_name = 'My\\Service'\n", 2, "service names");
    expectError("[application]\nmain_class = \"a\\nb\"\n", 2, "control character");
    expectError("[application]\nservice_name = \"\xE4\xB8\xAD\"\n", 2, "U+4E2D");
    expectError("[messages.DE]\n1000 = \"x\"\n", 1, "not a locale code");
    expectError("[keys]\n\"abc\" = \"x\"\n", 2, "not a key number");
    expectError("[keys]\n\"2003\" = \"x.jar\"\n", 2, "[[files]]");
    expectError("[build]\narch = \"arm64\"\n", 2, "i686");
    expectError("[service]\ndescription = \"a\"\n[messages]\nservice_description = \"b\"\n", 4, "line 2");
    expectError("[messages]\n20017 = \"b\"\n[service]\ndescription = \"a\"\n", 4, "line 2");
    expectError("[application]\nwindowed = \"yes\"\n", 2, "true or false");
    expectError("[application]\nexecution_level = \"admin\"\n", 2, "\"requireAdministrator\"");
    expectError("[application]\nicon = \"nowhere.ico\"\n", 2, "the icon 'nowhere.ico' was not found");
    expectError("[version]\nfile_version = \"1.70000\"\n", 2, "above 65535");
    expectError("[version]\nproduct_version = \"next\"\n", 2, "does not start with a number");
    expectError("[version]\ncopyright = \"a\\tb\"\n", 2, "control character");
    expectError("[version]\ncompany_name = \"\"\n", 2, "leave the setting out");
    expectError("[version]\nproduct_name = \"" + std::string(1001, 'p') + "\"\n", 2, "at most 1000");
    expectError("[version]\nfile_versoin = \"1.0\"\n", 2, "did you mean 'file_version'");
    expectError("application = 5\n", 1, "must be a table");
    expectError("[application]\nmain_class = \"a.B\"\n[application]\n", 3, "not valid TOML");
}

TEST(ProjectErrors, LengthLimitsOfTheLauncher) {
    std::string longClass(6000, 'a');
    expectError("[application]\nmain_class = \"" + longClass + "\"\n", 2, "at most 5999");
    expectError("[application]\nfamily = \"m\"\n[keys]\n\"2001\" = \"vv\"\n", 4, "at most 1");
    std::string longArgs(2000, 'x');
    expectError("\n\n[application]\narguments = \"" + longArgs + "\"\n", 4, "at most 1999");
    parseOk("[application]\nmain_class = \"" + std::string(5999, 'a') + "\"\n");
    std::string longMessage(6000, 'm');
    expectError("[messages]\n1000 = \"" + longMessage + "\"\n", 2, "at most 5999");
}

TEST(ProjectErrors, AllProblemsAreReportedInFileOrder) {
    auto d = parseErrors("[jvm]\nrequire_jdk = 1\n[application]\nsingle_instance = 1\nfoo = 2\n");
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].line, 2);
    EXPECT_EQ(d[1].line, 4);
    EXPECT_EQ(d[2].line, 5);
    EXPECT_EQ(formatDiagnostic(d[0]).rfind("app.toml:2:", 0), 0u) << formatDiagnostic(d[0]);
}

TEST(ProjectFile, StarterProjectParsesAndMissingFilesAreReported) {
    Project project = parseOk(starterProjectText());
    auto config = configOf(project);
    EXPECT_EQ(config[122], "com.example.Main");
    EXPECT_EQ(config[121], "A1lib\\app.jar;S0lib");
    EXPECT_EQ(config[190], "1") << "the starter recommends class-data sharing";
    EXPECT_EQ(project.arch, "x86_64");

    std::vector<Diagnostic> diagnostics;
    EXPECT_FALSE(loadProjectFile("/nonexistent/project.toml", ProjectOptions(), &project, &diagnostics));
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_NE(diagnostics[0].message.find("cannot open"), std::string::npos);
}

}  // namespace
