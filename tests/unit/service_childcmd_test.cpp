#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/state.h"
#include "service/childcmd.h"

namespace {

std::wstring build(const ArgumentVector& own, const std::wstring& name, const std::vector<std::wstring>& parameters,
                   size_t capacity = kLongCapacity, bool* fitted = nullptr) {
    std::vector<wchar_t> buffer(capacity + 1, L'#');
    bool ok = buildChildCommandLine(buffer.data(), capacity, own, name, parameters);
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

TEST(ServiceChildCommandLine, QuotesInsideArgumentsAreNotEscaped) {
    EXPECT_EQ(build({L"app.exe"}, L"svc", {L"a\"b", L"x \"y\""}), L"app.exe svc a\"b \"x \"y\"\" __vtl_restart");
}

TEST(ServiceChildCommandLine, SplitsBackIntoTheSameArguments) {
    std::wstring line = build({L"C:\\A B\\app.exe", L"-x"}, L"the svc", {L"one", L"two words"});
    ArgumentVector split;
    splitCommandLine(line.c_str(), split);
    ArgumentVector expected = {L"C:\\A B\\app.exe", L"the svc", L"-x", L"one", L"two words", L"__vtl_restart"};
    EXPECT_EQ(split, expected);
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
