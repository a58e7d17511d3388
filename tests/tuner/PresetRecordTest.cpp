#include "CaseLabel.h"
#include "PresetRecord.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace PresetRecord;

namespace {

using CaseLabels::PrintTo;

// One entry of the editor, the record it composes and what the list reads back.
struct ComposeCase {
    const char* label;
    const char* band;
    const char* channel;
    bool muted;
    const char* name;
    int amStep;
    const char* frequencyChars;  // characters 2-5 (2-3 for XM)
    const char* record;          // the whole record where it is written out
    const char* readChannel;
};

class ComposeAndRead : public ::testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeAndRead, ComposesTheCodeAndReadsItBack) {
    const ComposeCase& c = GetParam();
    const QByteArray record = Compose(c.band, c.channel, c.muted, c.name, c.amStep);
    ASSERT_EQ(record.size(), kLength);
    const QByteArray chars = QByteArray(c.frequencyChars);
    EXPECT_EQ(record.mid(2, chars.size()), chars);
    if (*c.record != '\0') {
        EXPECT_EQ(record, QByteArray(c.record));
    }
    const int band = BandOf(record);
    EXPECT_EQ(BandCode(c.band), record.left(2));
    EXPECT_EQ(ChannelText(record, band, c.amStep), QByteArray(c.readChannel));
    if (band == kAm || band == kFm) {
        EXPECT_EQ(NameText(record, band), QByteArray(c.name));
    }
    if (band == kFm) {
        EXPECT_EQ(MuteText(record), c.muted ? "Yes" : "No");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ComposeAndRead,
    ::testing::Values(
        ComposeCase{"FmJazz", "FM", "87.50 MHz", false, "JAZZ", 10, "AC07",
                    "01AC07004A415A5A0000000000000000FFFFFFFFFFFFFFFF", "87.50 MHz"},
        ComposeCase{"AmTalk", "AM", "1000 kHz", false, "TALK", 10, "9100",
                    "00910054414C4B0000000000000000FFFFFFFFFFFFFFFFFF", "1000 kHz"},
        ComposeCase{"XmTwelveNoName", "XM", "12", false, "", 10, "0C",
                    "030C000000000000000000000000FFFFFFFFFFFFFFFFFFFF", "12"},
        ComposeCase{"FmMutedIsFlagged", "FM", "98.10 MHz", true, "ROCK", 10, "8008",
                    "01800801524F434B0000000000000000FFFFFFFFFFFFFFFF", "98.10 MHz"},
        ComposeCase{"FmLowestEnd", "FM", "87.50", false, "", 10, "AC07", "", "87.50 MHz"},
        ComposeCase{"Fm108", "FM", "108.00 MHz", false, "", 10, "4609", "", "108.00 MHz"},
        ComposeCase{"FmHighestEnd", "FM", "108.50 MHz", false, "", 10, "5009", "", "108.50 MHz"},
        ComposeCase{"FmCodesTruncateNotRound", "FM", "87.52 MHz", false, "", 10, "AC07", "",
                    "87.50 MHz"},
        ComposeCase{"AmStep10LowestEnd", "AM", "530 kHz", false, "", 10, "6200", "", "530 kHz"},
        ComposeCase{"AmStep10HighestEnd", "AM", "1710 kHz", false, "", 10, "D800", "", "1710 kHz"},
        ComposeCase{"AmStep9LowestEnd", "AM", "531 kHz", false, "", 9, "6D00", "", "531 kHz"},
        ComposeCase{"AmStep9HighestEnd", "AM", "1602 kHz", false, "", 9, "E400", "", "1602 kHz"},
        ComposeCase{"AmOffRasterTruncates", "AM", "535 kHz", false, "", 10, "6200", "", "530 kHz"},
        ComposeCase{"XmChannelOutOfRangeWritesZero", "XM", "300", false, "", 10, "00", "", "0"},
        ComposeCase{"XmHighestChannel", "XM", "255", false, "", 10, "FF", "", "255"},
        ComposeCase{"FmUnreadableChannelStillComposes", "FM", "tuned", false, "", 10, "D600", "",
                    "0.00 MHz"}),
    CaseLabels::ByLabel());

struct StepCase {
    int amStep;
    const char* shown;
};

class AmStepReading : public ::testing::TestWithParam<StepCase> {};

// The same record means different frequencies under the two AM steps.
TEST_P(AmStepReading, StepIsAppliedWhenReading) {
    const QByteArray record = Compose("AM", "535 kHz", false, "", 10);
    EXPECT_EQ(ChannelText(record, kAm, GetParam().amStep), QByteArray(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Records, AmStepReading,
                         ::testing::Values(StepCase{10, "530 kHz"}, StepCase{9, "432 kHz"}),
                         [](const auto& info) {
                             return "Step" + std::to_string(info.param.amStep);
                         });

TEST(AmStepOfTest, OnlyNineGivesNine) {
    EXPECT_EQ(AmStepOf("9"), 9);
    EXPECT_EQ(AmStepOf("10"), 10);
    EXPECT_EQ(AmStepOf("error"), 10);
    EXPECT_EQ(AmStepOf(" 9"), 10);
}

// Records too short for a field give that field's message.
struct ShortCase {
    const char* label;
    const char* record;
    int band;
    const char* channel;
    const char* name;
    const char* mute;
};

class ShortRecord : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortRecord, GivesMessagesForMissingFields) {
    const ShortCase& c = GetParam();
    EXPECT_EQ(BandOf(c.record), c.band);
    EXPECT_EQ(ChannelText(c.record, c.band, 10), QByteArray(c.channel));
    EXPECT_EQ(NameText(c.record, c.band), QByteArray(c.name));
    EXPECT_EQ(MuteText(c.record), QByteArray(c.mute));
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShortRecord,
    ::testing::Values(
        ShortCase{"SixCharactersGiveOnlyAFrequency", "01AC07", kFm, "87.50 MHz", "Invalid Name",
                  "Invalid Preset"},
        ShortCase{"FiveCharactersGiveNoFrequency", "01AC0", kFm, "Invalid Frequency",
                  "Invalid Name", "Invalid Preset"},
        ShortCase{"AmBandByteAlone", "00", kAm, "Invalid Frequency", "Invalid Name",
                  "Invalid Preset"},
        ShortCase{"XmBandByteAlone", "03", kXm, "Invalid Frequency", "", "Invalid Preset"},
        ShortCase{"NineCharactersGiveNoName", "01AC07004", kFm, "87.50 MHz", "Invalid Name",
                  "Invalid Preset"},
        ShortCase{"TenCharactersGiveOneNameByte", "01AC07014A", kFm, "87.50 MHz", "J", "Yes"},
        ShortCase{"LowerCaseHexReads", "01ac07004a415a5a", kFm, "87.50 MHz", "JAZZ", "No"},
        ShortCase{"DabHasNoChannelOrName", "02FFFFFFFFFF", kDab, "", "", "No"}),
    CaseLabels::ByLabel());

struct BandCase {
    const char* label;
    const char* record;
    int band;
    bool listed;
};

class BandByte : public ::testing::TestWithParam<BandCase> {};

TEST_P(BandByte, OnlyBandsZeroToThreeAreListed) {
    EXPECT_EQ(BandOf(GetParam().record), GetParam().band);
    EXPECT_EQ(IsListed(BandOf(GetParam().record)), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Records, BandByte,
    ::testing::Values(BandCase{"EmptyPreset", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                               255, false},
                      BandCase{"Xm", "030C", kXm, true}, BandCase{"BandFour", "04AC07", 4, false},
                      BandCase{"StoreHasNoSuchKey", "error", kUnreadableBand, false},
                      BandCase{"HalfHexBandByte", "0G", kUnreadableBand, false},
                      BandCase{"EmptyText", "", kUnreadableBand, false},
                      BandCase{"OneCharacter", "0", kUnreadableBand, false}),
    CaseLabels::ByLabel());

// Names are bytes in the window's 8-bit code page both ways: what the user
// typed comes back from the record unchanged.
struct NameCase {
    const char* label;
    QString typed;
};

class NameRoundTrip : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRoundTrip, ComesBackAsTyped) {
    const QByteArray bytes = ToWindows1252(GetParam().typed);
    for (const char* band : {"AM", "FM"}) {
        const QByteArray record =
            Compose(band, band == QByteArray("AM") ? "1000" : "99.90", false, bytes, 10);
        EXPECT_EQ(record.size(), kLength) << band;
        EXPECT_EQ(FromWindows1252(NameText(record, BandOf(record))), GetParam().typed) << band;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameRoundTrip,
    ::testing::Values(NameCase{"TwelveCharactersNeedNoTerminator", "ABCDEFGHIJKL"},
                      NameCase{"AccentAboveAscii", QString::fromUtf8("Café")},
                      NameCase{"EuroSignOfTheCodePage", QString::fromUtf8("€uro 1")},
                      NameCase{"TwelveWithHighBytes", QString::fromUtf8("ÄÖÜßäöüéèêëï")},
                      NameCase{"Empty", QString()}),
    CaseLabels::ByLabel());

TEST(PresetRecordNames, ByteAbove127IsWrittenAsItsTwoDigits) {
    const QByteArray record =
        Compose("AM", "530", false, ToWindows1252(QString::fromUtf8("é")), 10);
    EXPECT_EQ(record.mid(6, 4), "E900");
}

TEST(PresetRecordNames, EmptyNameComposesTwentyFourZeros) {
    const QByteArray record = Compose("FM", "87.50", false, "", 10);
    EXPECT_EQ(record.mid(8, 24), QByteArray(24, '0'));
    EXPECT_EQ(record.mid(32), QByteArray(16, 'F'));
}

TEST(PresetRecordNames, ReadingStopsAtTheFirstZeroByte) {
    EXPECT_EQ(NameText("00620041420043FFFF", kAm), "AB");
}

// The receiver sends only valid records; anything else is read as far as it
// is hexadecimal and never fails.
struct GarbageCase {
    const char* label;
    const char* record;
    const char* channel;
    const char* name;
};

class LenientReading : public ::testing::TestWithParam<GarbageCase> {};

TEST_P(LenientReading, ReadsWhatIsHexadecimal) {
    EXPECT_EQ(ChannelText(GetParam().record, kFm, 10), QByteArray(GetParam().channel));
    EXPECT_EQ(NameText(GetParam().record, kFm), QByteArray(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Records, LenientReading,
    ::testing::Values(GarbageCase{"BadLowByteReadsZero", "01ZZ07004A4B00", "78.90 MHz", "JK"},
                      GarbageCase{"HalfHexPairReadsItsLeadingDigit", "01AC0G004A4B00", "-2.10 MHz",
                                  "JK"},
                      GarbageCase{"BadNamePairEndsTheName", "01AC07004A??4B", "87.50 MHz", "J"},
                      GarbageCase{"OddLengthDropsTheLastDigit", "01AC07004A4", "87.50 MHz", "J"}),
    CaseLabels::ByLabel());

TEST(PresetRecordCompose, HugeNumbersStayWithinTheCodes) {
    const QByteArray digits(60, '9');
    for (const char* band : {"FM", "AM", "XM"}) {
        const QByteArray record = Compose(band, digits, false, "", 10);
        EXPECT_EQ(record.size(), kLength) << band;
        EXPECT_EQ(record.left(2), BandCode(band));
    }
    EXPECT_EQ(Compose("FM", "-5", false, "", 10).size(), kLength);
}

TEST(PresetRecordCompose, UnknownBandKeepsTheChannelUpToItsBlank) {
    EXPECT_TRUE(Compose("DAB", "5A extra", false, "", 10).startsWith("025A0000"));
    EXPECT_TRUE(Compose("??", " 7", false, "", 10).startsWith(" 7"));
}

TEST(PresetRecordCompose, SetCommandFramesKeyAndRecord) {
    EXPECT_EQ(SetCommand(12, kEmpty), "Tuner.Preset12=" + kEmpty);
    EXPECT_EQ(BandCode("Am"), "");
}

}  // namespace
