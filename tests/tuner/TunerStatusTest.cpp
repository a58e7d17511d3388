#include "CaseLabel.h"
#include "TunerStatus.h"

#include <QByteArrayList>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using CaseLabels::PrintTo;

// Lines fed in order and what the page then shows.
struct DisplayCase {
    const char* label;
    QByteArrayList lines;
    TunerBand band;
    const char* channel;
    const char* information;
    const char* preset;
};

class TunerDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(TunerDisplay, ShowsWhatTheLinesSay) {
    const DisplayCase& c = GetParam();
    TunerStatus status;
    for (const QByteArray& line : c.lines)
        status.OnTunerStatus(line);
    EXPECT_EQ(status.Band(), c.band);
    EXPECT_EQ(status.ShownChannel(), QByteArray(c.channel));
    EXPECT_EQ(status.ShownInformation(), QByteArray(c.information));
    EXPECT_EQ(status.ShownPreset(), QByteArray(c.preset));
}

INSTANTIATE_TEST_SUITE_P(
    Page, TunerDisplay,
    ::testing::Values(
        DisplayCase{"DabEmptiesTheChannel",
                    {"Tuner.Band=FM", "Tuner.FM.Frequency=87.50", "Tuner.Band=DAB"},
                    TunerBand::Dab,
                    "",
                    "",
                    ""},
        DisplayCase{"XmShowsNumberAndName",
                    {"Tuner.Band=XM", "Tuner.XM.Channel=12", "Tuner.XM.ChannelName=JAZZ"},
                    TunerBand::Xm,
                    "XM 12 - JAZZ",
                    "",
                    ""},
        DisplayCase{"FmFrequencyAfterBand",
                    {"Tuner.Band=FM", "Tuner.FM.Frequency=87.50"},
                    TunerBand::Fm,
                    "87.50 MHz",
                    "",
                    ""},
        DisplayCase{"FmFrequencyBeforeBand",
                    {"Tuner.FM.Frequency=87.50", "Tuner.Band=FM"},
                    TunerBand::Fm,
                    "87.50 MHz",
                    "",
                    ""},
        DisplayCase{"AmShowsKHz",
                    {"Tuner.Band=AM", "Tuner.AM.Frequency=1000"},
                    TunerBand::Am,
                    "1000 KHz",
                    "",
                    ""},
        DisplayCase{"UnknownBandChangesNothing",
                    {"Tuner.Band=FM", "Tuner.FM.Frequency=98.10", "Tuner.Band=LW"},
                    TunerBand::Fm,
                    "98.10 MHz",
                    "",
                    ""},
        DisplayCase{"RdsNameThenText",
                    {"Tuner.Band=FM", "Tuner.FM.RDSName=JAZZ FM", "Tuner.FM.RDSText=Blue Harbour"},
                    TunerBand::Fm,
                    " MHz",
                    "RDS Name:\tJAZZ FM\r\nRDS Text:\tBlue Harbour",
                    ""},
        DisplayCase{
            "NewRdsTextKeepsTheName",
            {"Tuner.Band=FM", "Tuner.FM.RDSName=A", "Tuner.FM.RDSText=B", "Tuner.FM.RDSText=C"},
            TunerBand::Fm,
            " MHz",
            "RDS Name:\tA\r\nRDS Text:\tC",
            ""},
        DisplayCase{"XmTitleBeforeName",
                    {"Tuner.Band=XM", "Tuner.XM.Title=Blue Harbour"},
                    TunerBand::Xm,
                    "XM  - ",
                    "\r\nTitle:\tBlue Harbour",
                    ""},
        DisplayCase{"XmNameAndTitle",
                    {"Tuner.Band=XM", "Tuner.XM.Name=The Corner Trio", "Tuner.XM.Title=Blue Harbour"},
                    TunerBand::Xm,
                    "XM  - ",
                    "Name:\tThe Corner Trio\r\nTitle:\tBlue Harbour",
                    ""},
        DisplayCase{
            "BandChangeKeepsTheOldInformation",
            {"Tuner.Band=FM", "Tuner.FM.RDSName=X", "Tuner.Band=AM", "Tuner.AM.Frequency=530"},
            TunerBand::Am,
            "530 KHz",
            "RDS Name:\tX\r\n",
            ""},
        DisplayCase{"RdsLineOfAnotherBandIsNotShown",
                    {"Tuner.Band=AM", "Tuner.FM.RDSName=X"},
                    TunerBand::Am,
                    " KHz",
                    "",
                    ""},
        DisplayCase{"NoBandYetShowsOnlyThePreset",
                    {"Tuner.FM.Frequency=87.50", "Tuner.FM.RDSName=X", "Tuner.Preset=7"},
                    TunerBand::None,
                    "",
                    "",
                    "7"},
        DisplayCase{"StoredPresetLineLeavesPresetDisplay",
                    {"Tuner.Preset=7", "Tuner.Preset7=FFFF"},
                    TunerBand::None,
                    "",
                    "",
                    "7"},
        DisplayCase{
            "LineWithoutValueChangesNothing",
            {"Tuner.Band=FM", "Tuner.FM.Frequency=87.50", "Tuner.FM.Frequency", "Tuner.FM.RDSName"},
            TunerBand::Fm,
            "87.50 MHz",
            "",
            ""},
        DisplayCase{"ChannelNameIsNotTakenForTheNumber",
                    {"Tuner.Band=XM", "Tuner.XM.ChannelName=NEWS", "Tuner.XM.Channel=20"},
                    TunerBand::Xm,
                    "XM 20 - NEWS",
                    "",
                    ""}),
    CaseLabels::ByLabel());

struct ButtonCase {
    const char* label;
    const char* line;
    std::optional<TunerBand> button;
    std::optional<bool> mute;
    bool presetRecord;
};

class TunerButtons : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(TunerButtons, LineChecksTheRightButton) {
    TunerStatus status;
    const TunerStatusUpdate update = status.OnTunerStatus(GetParam().line);
    EXPECT_EQ(update.bandButton, GetParam().button);
    EXPECT_EQ(update.fmMuteChecked, GetParam().mute);
    EXPECT_EQ(update.presetRecordChanged, GetParam().presetRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Page, TunerButtons,
    ::testing::Values(ButtonCase{"FmBand", "Tuner.Band=FM", TunerBand::Fm, {}, false},
                      ButtonCase{"AmBand", "Tuner.Band=AM", TunerBand::Am, {}, false},
                      ButtonCase{"XmBandChecksDabXm", "Tuner.Band=XM", TunerBand::Xm, {}, false},
                      ButtonCase{"DabBandChecksDabXm", "Tuner.Band=DAB", TunerBand::Xm, {}, false},
                      ButtonCase{"UnknownBand", "Tuner.Band=SW", {}, {}, false},
                      ButtonCase{"MuteOn", "Tuner.FM.Mute=On", {}, true, false},
                      ButtonCase{"MuteOff", "Tuner.FM.Mute=Off", {}, false, false},
                      ButtonCase{"MuteOtherValue", "Tuner.FM.Mute=1", {}, false, false},
                      ButtonCase{"StoredPresetRebuildsTheEditor",
                                 "Tuner.Preset12=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                                 {},
                                 {},
                                 true},
                      ButtonCase{"CurrentPresetDoesNot", "Tuner.Preset=12", {}, {}, false},
                      ButtonCase{"OtherCaseIsNotRecognised", "tuner.band=FM", {}, {}, false}),
    CaseLabels::ByLabel());

TEST(TunerDisplayRepaint, UnchangedTextIsNotHandedOutAgain) {
    TunerStatus status;
    status.OnTunerStatus("Tuner.Band=FM");
    const TunerStatusUpdate first = status.OnTunerStatus("Tuner.FM.Frequency=87.50");
    ASSERT_TRUE(first.channelDisplay);
    EXPECT_EQ(*first.channelDisplay, "87.50 MHz");
    const TunerStatusUpdate again = status.OnTunerStatus("Tuner.FM.Frequency=87.50");
    EXPECT_FALSE(again.channelDisplay);
    EXPECT_FALSE(again.information);
    EXPECT_FALSE(again.presetDisplay);
    const TunerStatusUpdate moved = status.OnTunerStatus("Tuner.FM.Frequency=87.55");
    ASSERT_TRUE(moved.channelDisplay);
    EXPECT_EQ(*moved.channelDisplay, "87.55 MHz");
}

}  // namespace
