#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/state.h"
#include "service/childcmd.h"

namespace {

std::wstring build(const ArgumentVector& own, const std::wstring& name, const std::vector<std::wstring>& parameters,
                   size_t capacity = kLongCapacity, bool* fitted = nullptr) {
    std::vector<wchar_t> buffer(capacity + 1, L'#');
    bool ok = buildChildCommandLine(buffer.data(), capacity, own, name, parameters) == ChildLineResult::Built;
    if (fitted) *fitted = ok;
    EXPECT_EQ(buffer[capacity], L'#') << "wrote past the buffer";
    return buffer.data();
}

}  // namespace

TEST(ServiceChildCommandLine, PlainNamesAreNotQuoted) {
    EXPECT_EQ(build({L"C:\\apps\\app.exe"}, L"svc", {}), L"C:\\apps\\app.exe svc __vtl_restart");
}

TEST(ServiceChildCommandLine, BlanksAreQuotedEverywhere) {
    EXPECT_EQ(build({L"C:\\Program Files\\app.exe"}, L"my svc", {}),
              L"\"C:\\Program Files\\app.exe\" \"my svc\" __vtl_restart");
}

TEST(ServiceChildCommandLine, OrderIsOwnArgumentsThenStartParametersThenMarker) {
    EXPECT_EQ(build({L"app.exe", L"own1", L"own two"}, L"svc", {L"p1", L"p 2"}),
              L"app.exe svc own1 \"own two\" p1 \"p 2\" __vtl_restart");
}

TEST(ServiceChildCommandLine, QuotesAreWrappedInTheOtherQuote) {
    EXPECT_EQ(build({L"app.exe"}, L"svc", {L"a\"b", L"it's", L""}), L"app.exe svc 'a\"b' \"it's\" \"\" __vtl_restart");
    EXPECT_EQ(build({L"C:\\Apps\\O'Brien\\svc.exe"}, L"svc", {}), L"\"C:\\Apps\\O'Brien\\svc.exe\" svc __vtl_restart");
}

// Whatever goes in comes back out of splitCommandLine, marker last, so the
// child always knows it is the child.
TEST(ServiceChildCommandLine, HostileArgumentsSplitBackUnchanged) {
    const std::vector<std::vector<std::wstring>> vectors = {
        {L"C:\\Apps\\O'Brien\\svc.exe", L"svc", L"--name=\"x\""},
        {L"C:\\A B\\it's here\\app.exe", L"O'Brien's svc", L"", L"say \"hi\"", L"'", L"\""},
        {L"app.exe", L"\"quoted\"", L"'single'", L"  ", L" lead", L"trail ", L"a''b", L"x\"\"y"},
        {L"app.exe", L"svc", L"__vtl_restart", L"/run", L"-J-Xmx1g", L"tab\there", L"\u00e9t\u00e9"},
    };
    for (const auto& input : vectors) {
        ArgumentVector own = {input[0]};
        std::vector<std::wstring> parameters(input.begin() + 2, input.end());
        bool fitted = false;
        std::wstring line = build(own, input[1], parameters, kLongCapacity, &fitted);
        ASSERT_TRUE(fitted);
        ArgumentVector split;
        splitCommandLine(line.c_str(), split);
        ArgumentVector expected(input.begin(), input.end());
        expected.push_back(L"__vtl_restart");
        EXPECT_EQ(split, expected);
    }
}

TEST(ServiceChildCommandLine, TextWithBothQuotesIsRefusedAndNamed) {
    std::vector<wchar_t> buffer(kLongCapacity, L'#');
    std::wstring offending;
    EXPECT_EQ(buildChildCommandLine(buffer.data(), kLongCapacity, {L"app.exe"}, L"svc", {L"ok", L"it's \"x\""},
                                    &offending),
              ChildLineResult::Unquotable);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(offending, L"it's \"x\"");
    EXPECT_EQ(buildChildCommandLine(buffer.data(), kLongCapacity, {L"app.exe"}, L"a'b\"c", {}, &offending),
              ChildLineResult::Unquotable);
    EXPECT_EQ(offending, L"a'b\"c");
    EXPECT_EQ(buildChildCommandLine(buffer.data(), kLongCapacity, {L"C:\\a\"b.exe"}, L"svc", {}, &offending),
              ChildLineResult::Unquotable);
    EXPECT_FALSE(childArgumentQuotable(L"'\""));
    EXPECT_TRUE(childArgumentQuotable(L"'''"));
}

TEST(ServiceChildCommandLine, ExactlyFullBufferFits) {
    // "app.exe svc " + parameter + " __vtl_restart" filling 11999 characters.
    std::wstring fixed = L"app.exe svc  __vtl_restart";
    std::wstring parameter(kLongCapacity - 1 - fixed.size(), L'p');
    bool fitted = false;
    std::wstring line = build({L"app.exe"}, L"svc", {parameter}, kLongCapacity, &fitted);
    EXPECT_TRUE(fitted);
    EXPECT_EQ(line.size(), kLongCapacity - 1);
    EXPECT_EQ(line.substr(line.size() - 14), L" __vtl_restart");
}

TEST(ServiceChildCommandLine, OverlongLineIsRefusedWithoutOverflow) {
    std::wstring fixed = L"app.exe svc  __vtl_restart";
    std::wstring parameter(kLongCapacity - fixed.size(), L'p');  // one character too many
    bool fitted = true;
    std::wstring line = build({L"app.exe"}, L"svc", {parameter}, kLongCapacity, &fitted);
    EXPECT_FALSE(fitted);
    EXPECT_TRUE(line.empty());

    std::vector<std::wstring> many(5, std::wstring(5999, L'q'));
    line = build({L"app.exe"}, std::wstring(5999, L'n'), many, kLongCapacity, &fitted);
    EXPECT_FALSE(fitted);
    EXPECT_TRUE(line.empty());
}

TEST(ServiceChildCommandLine, QuotedArgumentCutAtTheEndIsRefused) {
    // The closing quote is the one character that does not fit.
    std::wstring name = L"a b";
    std::wstring prefix = L"app.exe ";
    size_t capacity = prefix.size() + name.size() + 2;  // room for the opening quote only
    bool fitted = true;
    std::wstring line = build({L"app.exe"}, name, {}, capacity, &fitted);
    EXPECT_FALSE(fitted);
    EXPECT_TRUE(line.empty());
}
