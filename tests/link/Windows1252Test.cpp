#include "Windows1252.h"

#include <gtest/gtest.h>

namespace {

struct ConversionCase {
    const char* name;
    QByteArray bytes;
    QString text;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
    *os << c.name;
}

// Bytes from the receiver or a file and the text the window shows for them;
// the text converts back to the same bytes.
const ConversionCase kRoundTrips[] = {
    {"PlainAscii", "DVD 2", QStringLiteral("DVD 2")},
    {"EuroSign", "Caf\xE9 \x80", QString::fromUtf8("Café €")},
    {"TypographicQuotes", "\x93Hi\x94 \x91x\x92", QString::fromUtf8("“Hi” ‘x’")},
    {"DashesAndEllipsis", "\x96\x97\x85", QString::fromUtf8("–—…")},
    {"UndefinedBytesStandForThemselves", "\x81\x8D\x8F\x90\x9D",
     QString(QChar(0x81)) + QChar(0x8D) + QChar(0x8F) + QChar(0x90) + QChar(0x9D)},
    {"LatinOneUpperHalf", "\xA0\xC4\xFF", QString(QChar(0xA0)) + QChar(0xC4) + QChar(0xFF)},
};

class Windows1252RoundTrip : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Windows1252RoundTrip, BytesShowAsTheCodePageSaysAndGoBackUnchanged) {
    const ConversionCase& c = GetParam();
    EXPECT_EQ(FromWindows1252(c.bytes), c.text);
    EXPECT_EQ(ToWindows1252(c.text), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, Windows1252RoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Windows1252, CharactersTheCodePageLacksBecomeOneQuestionMarkEach) {
    EXPECT_EQ(ToWindows1252(QString::fromUtf8("A中B😀C")), "A?B?C");
    // C1 controls the code page uses for its own characters have no byte.
    EXPECT_EQ(ToWindows1252(QString(QChar(0x80))), "?");
}

}  // namespace
