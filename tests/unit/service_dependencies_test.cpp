#include <gtest/gtest.h>

#include <string>

#include "service/commands.h"

namespace {

std::string list(const char* text) { return buildDependencyList(text); }

}  // namespace

TEST(ServiceDependencies, EmptyKeyGivesNoListAtAll) {
    EXPECT_TRUE(list("").empty());
    EXPECT_TRUE(list(nullptr).empty());
}

TEST(ServiceDependencies, NamesAreNulTerminatedWithOneMoreNulAtTheEnd) {
    EXPECT_EQ(list("a"), std::string("a\0\0", 3));
    EXPECT_EQ(list("Tcpip,Dhcp"), std::string("Tcpip\0Dhcp\0\0", 12));
}

TEST(ServiceDependencies, CommaRunsAndOuterCommasGiveNoEntry) {
    EXPECT_EQ(list(",a,,b,"), std::string("a\0b\0\0", 5));
    EXPECT_EQ(list(",,,a,,,,b,,,"), std::string("a\0b\0\0", 5));
}

TEST(ServiceDependencies, BlanksStayPartOfTheName) {
    EXPECT_EQ(list("a, b"), std::string("a\0 b\0\0", 6));
    EXPECT_EQ(list(" a b ,c"), std::string(" a b \0c\0\0", 9));
}

TEST(ServiceDependencies, OnlyCommasGiveAnEmptyList) {
    // Not "no list": the SCM receives a list that names nothing.
    EXPECT_EQ(list(",,,"), std::string(1, '\0'));
}

TEST(ServiceDependencies, LongestKeyFitsWithBothNuls) {
    std::string name(5999, 'd');
    std::string built = list(name.c_str());
    ASSERT_EQ(built.size(), 6001u);
    EXPECT_EQ(built.substr(0, 5999), name);
    EXPECT_EQ(built[5999], '\0');
    EXPECT_EQ(built[6000], '\0');
}
