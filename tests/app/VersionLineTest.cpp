#include "VersionLine.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct VersionCase {
    const char* name;
    QByteArray line;
    bool parsed;
    int major;
    int minor;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.name;
}

const VersionCase kVersionCases[] = {
    {"Plain", "Version=1.3", true, 1, 3},
    {"BlanksAroundVersion", "Version = 1.3 ", true, 1, 3},
    {"TabsAndCarriageReturn", "Version=\t2.0\r", true, 2, 0},
    {"TextBeforeEqualsNotExamined", "anything at all=0.9", true, 0, 9},
    {"TrailingTextAfterDigits", "Version=1.3b", true, 1, 3},
    {"ThirdNumberIgnored", "Version=1.3.7", true, 1, 3},
    {"PlusSignAllowed", "Version=+1.+4", true, 1, 4},
    {"SecondEqualsBelongsToVersion", "Version=1.2=x", true, 1, 2},
    {"Empty", "", false, 0, 0},
    {"OneCharacter", "=", false, 0, 0},
    {"NoEquals", "Version 1.3", false, 0, 0},
    {"EqualsFirst", "=1.3", false, 0, 0},
    {"NoDot", "Version=13", false, 0, 0},
    {"DotFirst", "Version=.3", false, 0, 0},
    {"NoDigits", "Version=x.y", false, 0, 0},
    {"NoMinorDigits", "Version=1.", false, 0, 0},
    {"NegativeMajor", "Version=-1.0", false, 0, 0},
    {"HugeNumber", "Version=99999999999999999999.1", false, 0, 0},
    {"HtmlPage", "<html><head><title>Not Found</title>", false, 0, 0},
};

class ParseVersionLineCases : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ParseVersionLineCases, Reads) {
    const VersionCase& c = GetParam();
    int major = -7;
    int minor = -7;
    EXPECT_EQ(ParseVersionLine(c.line, major, minor), c.parsed);
    if (c.parsed) {
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
    } else {
        EXPECT_EQ(major, -7) << "a failed parse leaves the numbers alone";
        EXPECT_EQ(minor, -7);
    }
}

INSTANTIATE_TEST_SUITE_P(Upgrade, ParseVersionLineCases, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
    int major;
    int minor;
    bool newer;
};

TEST(IsNewerVersion, ComparesWithOurOneTwo) {
    const CompareCase cases[] = {{1, 2, false}, {1, 3, true},  {2, 0, true},
                                 {0, 9, false}, {1, 1, false}, {1, 10, true}};
    for (const CompareCase& c : cases)
        EXPECT_EQ(IsNewerVersion(c.major, c.minor, 1, 2), c.newer) << c.major << "." << c.minor;
}

}  // namespace
