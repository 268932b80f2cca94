#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/bounded.h"
#include "launch/vmoptions.h"
#include "tests/support/log_capture.h"

namespace {

FILE* fileWith(const std::string& content) {
    FILE* file = tmpfile();
    EXPECT_NE(file, nullptr);
    fwrite(content.data(), 1, content.size(), file);
    rewind(file);
    return file;
}

// Option files by name. A name resolves against its including file's
// folder (the default file's against "a\\"), and ${D} expands to "sub",
// noting which expansion form was asked for.
struct OptionFiles : OptionFileHooks {
    std::map<std::wstring, std::string> files;
    std::vector<std::wstring> opened;
    std::wstring ansiForms;
    OptionList options;
    ClassPathTexts texts;
    IncludeChain chain;

    bool expand(wchar_t* text, size_t cap, bool ansiPaths) override {
        ansiForms += ansiPaths ? L'A' : L'W';
        std::wstring s = text;
        size_t at = s.find(L"${D}");
        if (at != std::wstring::npos) s.replace(at, 4, L"sub");
        return copyTextW(text, cap, s.c_str());
    }
    bool resolve(wchar_t* out, size_t cap, const wchar_t* name, const wchar_t* base) override {
        std::wstring folder = base ? base : L"a\\";
        folder.erase(folder.rfind(L'\\') + 1);
        return copyTextW(out, cap, (folder + name).c_str());
    }
    std::wstring chainKey(const wchar_t* path) override { return path; }
    FILE* open(const wchar_t* path) override {
        opened.push_back(path);
        auto found = files.find(path);
        return found == files.end() ? nullptr : fileWith(found->second);
    }
    std::string narrow(const std::wstring& text) override { return std::string(text.begin(), text.end()); }
    void read(const std::wstring& name) {
        OptionFileTarget target{options, texts, chain};
        readDefaultVmOptionsFileWith(*this, target, name.c_str(), fileWith(files[name]));
    }
};

std::string trimmed(const char* raw, bool* keep = nullptr) {
    std::vector<char> line(raw, raw + strlen(raw) + 1);
    bool k = trimOptionLine(line.data());
    if (keep) *keep = k;
    return line.data();
}

std::vector<std::string> linesOf(const std::string& content) {
    FILE* file = fileWith(content);
    std::vector<std::string> lines;
    forEachOptionLine(file, [&](const char* line) { lines.push_back(line); });
    fclose(file);
    return lines;
}

}  // namespace

TEST(LaunchOptionLine, TrimsSpacesAndLineEndsButKeepsTabs) {
    bool keep = false;
    EXPECT_EQ(trimmed("  -Xmx256m  \r\n", &keep), "-Xmx256m");
    EXPECT_TRUE(keep);
    EXPECT_EQ(trimmed("\t-Dx=1 \t \n"), "\t-Dx=1 \t");
    EXPECT_EQ(trimmed("-Dpath=c:\\Program Files\\x\n"), "-Dpath=c:\\Program Files\\x");
    // Line ends are removed before the spaces, not the other way round.
    EXPECT_EQ(trimmed("-Da \r\r\n"), "-Da");
    EXPECT_EQ(trimmed("-Da\r \n"), "-Da\r");
}

TEST(LaunchOptionLine, SkipsEmptyAndCommentLines) {
    bool keep = true;
    trimmed("   \r\n", &keep);
    EXPECT_FALSE(keep);
    trimmed("# comment\n", &keep);
    EXPECT_FALSE(keep);
    trimmed("   # indented comment\n", &keep);
    EXPECT_FALSE(keep);
    // A tab is not trimmed, so this is not a comment.
    EXPECT_EQ(trimmed("\t# not a comment", &keep), "\t# not a comment");
    EXPECT_TRUE(keep);
    // A byte-order mark is not recognised and stays in front of the option.
    EXPECT_EQ(trimmed("\xEF\xBB\xBF-Xmx1m\n", &keep), "\xEF\xBB\xBF-Xmx1m");
    EXPECT_TRUE(keep);
}

TEST(LaunchOptionLine, ClassifiesDirectivesWithExactlyOneSpace) {
    // The directives themselves are read through a file below.
    std::wstring rest;
    EXPECT_EQ(classifyOptionLine(L"-classpath/a  two spaces", &rest), OptionLineKind::ClassPathSuffix);
    EXPECT_EQ(rest, L" two spaces");

    // Not directives: no space, a tab, another case, a bare word.
    for (const wchar_t* line : {L"-classpath", L"-classpath\tx.jar", L"-Classpath x.jar", L"-include-options",
                                L"-classpath/a", L"-cp x.jar", L"-classpath/x y"}) {
        EXPECT_EQ(classifyOptionLine(line, &rest), OptionLineKind::Option) << std::string(line, line + wcslen(line));
        EXPECT_EQ(rest, line);
    }
}

TEST(LaunchOptionFile, LongLinesArriveInPiecesOf29999Bytes) {
    std::string longLine(70000, 'a');
    for (size_t i = 0; i < longLine.size(); i += 1000) longLine[i] = 'b';
    std::vector<std::string> lines = linesOf("-Dfirst=1\n" + longLine + "\n-Dnext=2\n");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "-Dfirst=1");
    EXPECT_EQ(lines[1], longLine.substr(0, 29999));
    EXPECT_EQ(lines[2], longLine.substr(29999, 29999));
    EXPECT_EQ(lines[3], longLine.substr(59998));
    EXPECT_EQ(lines[4], "-Dnext=2");

    // Exactly one piece long: the line feed arrives alone and is skipped.
    std::string exact(29999, 'x');
    lines = linesOf(exact + "\n-Dy=1\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], exact);
    EXPECT_EQ(lines[1], "-Dy=1");

    // Each piece is trimmed on its own: a piece boundary inside a run of
    // spaces leaves neither piece with them.
    std::string spaced = std::string(29990, 'c') + std::string(20, ' ') + "-Dz=1";
    lines = linesOf(spaced + "\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(29990, 'c'));
    EXPECT_EQ(lines[1], "-Dz=1");
}

TEST(LaunchIncludeChain, RefusesAFileAlreadyOpenAndTooDeepChains) {
    IncludeChain chain;
    EXPECT_EQ(enterInclude(chain, L"c:\\app\\server.vmoptions"), IncludeCheck::Entered);
    EXPECT_EQ(enterInclude(chain, L"c:\\app\\sub\\more.vmoptions"), IncludeCheck::Entered);
    EXPECT_EQ(enterInclude(chain, L"C:\\APP\\Server.VMOPTIONS"), IncludeCheck::Cycle);
    EXPECT_EQ(enterInclude(chain, L"c:\\app\\sub\\more.vmoptions"), IncludeCheck::Cycle);
    EXPECT_EQ(chain.files.size(), 2u);

    // Once a file is closed it may be included again (a diamond, not a cycle).
    leaveInclude(chain);
    EXPECT_EQ(enterInclude(chain, L"c:\\app\\sub\\more.vmoptions"), IncludeCheck::Entered);
    leaveInclude(chain);
    leaveInclude(chain);
    EXPECT_TRUE(chain.files.empty());
    leaveInclude(chain);  // harmless on an empty chain

    for (size_t i = 0; i < kMaxIncludeDepth; ++i)
        ASSERT_EQ(enterInclude(chain, L"c:\\f" + std::to_wstring(i)), IncludeCheck::Entered);
    EXPECT_EQ(enterInclude(chain, L"c:\\one-more"), IncludeCheck::TooDeep);
    EXPECT_EQ(chain.files.size(), kMaxIncludeDepth);
}

TEST(LaunchOptionFile, DirectivesSetTheClassPathTextsAndIncludesReadInPlace) {
    OptionFiles f;
    f.files[L"main"] = "-Xmx1m\n# comment\n-classpath/p p1.jar\n-include-options ${D}.vmoptions\n"
                       "-classpath/a a.jar\n-classpath\tno.jar\n-Dlast=1\n";
    f.files[L"a\\sub.vmoptions"] = "-Dinner=1\n-classpath/p p2.jar\n-classpath c.jar\n";
    f.read(L"main");
    EXPECT_EQ(f.options, (OptionList{"-Xmx1m", "-Dinner=1", "-classpath\tno.jar", "-Dlast=1"}));
    EXPECT_EQ(f.opened, std::vector<std::wstring>{L"a\\sub.vmoptions"});
    // The later directive replaces the earlier one.
    EXPECT_TRUE(f.texts.hasPrefix && f.texts.hasReplacement && f.texts.hasSuffix);
    EXPECT_EQ(f.texts.prefix, "p2.jar");
    EXPECT_EQ(f.texts.replacement, "c.jar");
    EXPECT_EQ(f.texts.suffix, "a.jar");
    // Lines are expanded in the VM's narrow form, include names in the true wide one.
    EXPECT_EQ(f.ansiForms, L"AAAWAAAAAA");
    EXPECT_TRUE(f.chain.files.empty());
}

TEST(LaunchOptionFile, IncludeLoopsAndCutNamesAreRefused) {
    OptionFiles f;
    f.files[L"a\\main"] = "-include-options main\n-Dmain=1\n-include-options loop\n";
    f.files[L"a\\loop"] = "-include-options inner\n-Dloop=1\n";
    f.files[L"a\\inner"] = "-include-options loop\n-Dinner=1\n";
    clearCapturedLog();
    f.read(L"a\\main");
    // The default file cannot include itself, nor two files each other.
    EXPECT_EQ(f.options, (OptionList{"-Dmain=1", "-Dinner=1", "-Dloop=1"}));
    EXPECT_EQ(f.opened, (std::vector<std::wstring>{L"a\\loop", L"a\\inner"}));
    EXPECT_TRUE(logContains(L"ERROR: vmoptions include of a\\main skipped: that file is already being read"));
    EXPECT_TRUE(logContains(L"ERROR: vmoptions include of a\\loop skipped: that file is already being read"));
    EXPECT_TRUE(f.chain.files.empty());

    f.files[L"a\\main"] = "-include-options " + std::string(7000, 'n') + "\n-Dafter=1\n";
    f.options.clear();
    f.read(L"a\\main");
    EXPECT_EQ(f.options, OptionList{"-Dafter=1"});
    EXPECT_TRUE(logContains(L"ERROR: vmoptions include name too long (7000 characters), skipped"));
}
