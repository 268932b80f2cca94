#include <gtest/gtest.h>

#include "core/cmdline.h"

namespace {
ArgumentVector split(const wchar_t* text) {
    ArgumentVector v;
    splitCommandLine(text, v);
    return v;
}
}  // namespace

TEST(SplitCommandLine, SeparatesOnSpacesOnly) {
    EXPECT_EQ(split(L"a  b"), (ArgumentVector{L"a", L"b"}));
    EXPECT_EQ(split(L"a\tb c"), (ArgumentVector{L"a\tb", L"c"}));
    EXPECT_EQ(split(L"  lead trail  "), (ArgumentVector{L"lead", L"trail"}));
    EXPECT_TRUE(split(L"").empty());
    EXPECT_TRUE(split(L"   ").empty());
}

TEST(SplitCommandLine, QuotesGroupWithoutEscapes) {
    EXPECT_EQ(split(L"\"C:\\Program Files\\x.exe\" /run"), (ArgumentVector{L"C:\\Program Files\\x.exe", L"/run"}));
    EXPECT_EQ(split(L"-Dp=\"a b\""), (ArgumentVector{L"-Dp=a b"}));
    EXPECT_EQ(split(L"\"\""), (ArgumentVector{L""}));
    EXPECT_EQ(split(L"\"a b\"c"), (ArgumentVector{L"a b", L"c"}));
    EXPECT_EQ(split(L"'say \"hi\"' x"), (ArgumentVector{L"say \"hi\"", L"x"}));
    EXPECT_EQ(split(L"\"a b"), (ArgumentVector{L"a b"}));
    EXPECT_EQ(split(L"a\\\"b c\""), (ArgumentVector{L"a\\b c"}));
}

TEST(SplitCommandLine, EarliestQuoteDecides) {
    // A single quote before a double quote groups, keeping the double quote.
    EXPECT_EQ(split(L"x'a\"b' y"), (ArgumentVector{L"xa\"b", L"y"}));
    // A space before any quote ends the argument first.
    EXPECT_EQ(split(L"ab \"c d\""), (ArgumentVector{L"ab", L"c d"}));
}

TEST(CommandTail, WordsAndPrefixes) {
    EXPECT_EQ(parseCommandTail("/install").command, ServiceCommand::Install);
    EXPECT_EQ(parseCommandTail("-install").command, ServiceCommand::Install);
    EXPECT_EQ(parseCommandTail("--status").command, ServiceCommand::Status);
    EXPECT_EQ(parseCommandTail("/-status").command, ServiceCommand::Status);
    EXPECT_EQ(parseCommandTail("/?").command, ServiceCommand::Help);
    EXPECT_EQ(parseCommandTail("/help").command, ServiceCommand::Help);
    EXPECT_EQ(parseCommandTail("/install-and-start").command, ServiceCommand::InstallAndStart);
    EXPECT_EQ(parseCommandTail("/install-auto").command, ServiceCommand::InstallAuto);
    EXPECT_EQ(parseCommandTail("/install-demand").command, ServiceCommand::InstallDemand);
    EXPECT_EQ(parseCommandTail("/uninstall").command, ServiceCommand::Uninstall);
    EXPECT_EQ(parseCommandTail("/stop").command, ServiceCommand::Stop);
    EXPECT_EQ(parseCommandTail("/start").command, ServiceCommand::Start);
    // Case-sensitive, whole words, and a third dash is part of the word.
    EXPECT_EQ(parseCommandTail("/Status").command, ServiceCommand::None);
    EXPECT_EQ(parseCommandTail("---status").command, ServiceCommand::None);
    EXPECT_EQ(parseCommandTail("/stat").command, ServiceCommand::None);
    EXPECT_EQ(parseCommandTail("status").command, ServiceCommand::None);
    EXPECT_EQ(parseCommandTail("").command, ServiceCommand::None);
}

TEST(CommandTail, ServiceNameAndNonInteractive) {
    CommandRequest r = parseCommandTail("/install myservice");
    EXPECT_EQ(r.command, ServiceCommand::Install);
    EXPECT_TRUE(r.interactive);
    EXPECT_TRUE(r.hasServiceName);
    EXPECT_EQ(r.serviceName, "myservice");

    r = parseCommandTail("/install non-interactive myservice");
    EXPECT_EQ(r.command, ServiceCommand::Install);
    EXPECT_FALSE(r.interactive);
    EXPECT_EQ(r.serviceName, "myservice");

    r = parseCommandTail("/install myservice non-interactive");
    EXPECT_TRUE(r.interactive);
    EXPECT_EQ(r.serviceName, "myservice non-interactive");

    r = parseCommandTail("/install non-interactive");
    EXPECT_EQ(r.command, ServiceCommand::Install);
    EXPECT_FALSE(r.interactive);
    EXPECT_FALSE(r.hasServiceName);

    r = parseCommandTail("/install non-interactive my long  name");
    EXPECT_FALSE(r.interactive);
    EXPECT_EQ(r.serviceName, "my long  name");
}

TEST(CommandTail, AccountOptionsOfTheInstallWords) {
    CommandRequest r = parseCommandTail("/install --user .\\svc --password-file \"C:\\my files\\pw.txt\" My Service");
    EXPECT_EQ(r.command, ServiceCommand::Install);
    EXPECT_EQ(r.user, ".\\svc");
    EXPECT_TRUE(r.hasPasswordFile);
    EXPECT_EQ(r.passwordFile, "C:\\my files\\pw.txt");
    EXPECT_EQ(r.serviceName, "My Service");
    EXPECT_TRUE(r.optionProblem.empty());

    // Any order, with non-interactive, and a user in quotes; no name.
    r = parseCommandTail("/install-auto --password-file pw non-interactive --user \"DOMAIN\\John Smith\"");
    EXPECT_EQ(r.command, ServiceCommand::InstallAuto);
    EXPECT_FALSE(r.interactive);
    EXPECT_EQ(r.user, "DOMAIN\\John Smith");
    EXPECT_EQ(r.passwordFile, "pw");
    EXPECT_FALSE(r.hasServiceName);
    EXPECT_TRUE(r.optionProblem.empty());

    // A managed account needs no password.
    r = parseCommandTail("/install-and-start --user CORP\\svc$");
    EXPECT_EQ(r.user, "CORP\\svc$");
    EXPECT_FALSE(r.hasPasswordFile);
    EXPECT_TRUE(r.optionProblem.empty());

    // After the name they are part of the name; other words take none.
    r = parseCommandTail("/install name --user x");
    EXPECT_EQ(r.serviceName, "name --user x");
    EXPECT_TRUE(r.user.empty());
    r = parseCommandTail("/status --user x");
    EXPECT_EQ(r.command, ServiceCommand::Status);
    EXPECT_EQ(r.serviceName, "--user x");
    EXPECT_TRUE(r.optionProblem.empty());
}

TEST(CommandTail, AccountOptionsThatCannotBeUsed) {
    const struct {
        const char* tail;
        const char* problem;
    } cases[] = {
        {"/install --password-file pw", "--password-file needs --user"},
        {"/install --user", "--user needs a value"},
        {"/install --user  x", "--user needs a value"},
        {"/install --user \"\" x", "--user needs a value"},
        {"/install --password-file", "--password-file needs a value"},
        {"/install --user \"open name", "--user: the closing quote is missing"},
        {"/install --user a --user b", "--user is given twice"},
        {"/install --user a --password-file p --password-file q", "--password-file is given twice"},
    };
    for (const auto& c : cases) {
        CommandRequest r = parseCommandTail(c.tail);
        EXPECT_EQ(r.command, ServiceCommand::Install) << c.tail;
        EXPECT_EQ(r.optionProblem, c.problem) << c.tail;
    }
}

TEST(CommandTail, TrailingSpaceStaysWithTheWord) {
    CommandRequest r = parseCommandTail("/install ");
    EXPECT_EQ(r.command, ServiceCommand::None);
    EXPECT_EQ(r.word, "install ");
    EXPECT_FALSE(r.hasServiceName);
}

TEST(CommandTail, NameIsTakenEvenWhenTheWordMatchesNothing) {
    // /run a b reaches the launch, with the service name set to "a b".
    CommandRequest r = parseCommandTail("/run a b");
    EXPECT_EQ(r.command, ServiceCommand::None);
    EXPECT_TRUE(r.hasServiceName);
    EXPECT_EQ(r.serviceName, "a b");
}

TEST(CommandTail, ProgramNameIsSkipped) {
    EXPECT_STREQ(skipProgramName("\"C:\\a b\\app.exe\"  /install x"), "/install x");
    EXPECT_STREQ(skipProgramName("app.exe\t/run"), "/run");
    EXPECT_STREQ(skipProgramName("app.exe"), "");
    EXPECT_STREQ(skipProgramName("\"unterminated"), "");
}
