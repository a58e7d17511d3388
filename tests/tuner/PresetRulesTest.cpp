#include "CaseLabel.h"
#include "PresetRecord.h"
#include "PresetRules.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>

using namespace PresetRules;

namespace {

using CaseLabels::PrintTo;

struct BandRuleCase {
    const char* label;
    int band;
    const char* channel;
    int amStep;
    const char* expectedChannel;
    bool nameEnabled;
    bool muteEnabled;
    bool channelEnabled;
    bool addEnabled;
    bool clearName;
};

class BandChoice : public ::testing::TestWithParam<BandRuleCase> {};

TEST_P(BandChoice, ResetsChannelAndSwitchesFields) {
    const BandRuleCase& c = GetParam();
    const BandRules rules = ApplyBandRules(c.band, c.channel, c.amStep);
    EXPECT_EQ(rules.channel, QByteArray(c.expectedChannel));
    EXPECT_EQ(rules.nameEnabled, c.nameEnabled);
    EXPECT_EQ(rules.muteEnabled, c.muteEnabled);
    EXPECT_EQ(rules.channelEnabled, c.channelEnabled);
    EXPECT_EQ(rules.addEnabled, c.addEnabled);
    EXPECT_EQ(rules.clearName, c.clearName);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, BandChoice,
    ::testing::Values(BandRuleCase{"XmKeepsFmTextWhoseLeading87IsAChannel", kXmPosition,
                                   "87.50 MHz", 10, "87.50 MHz", false, false, true, true, false},
                      BandRuleCase{"AmStep10ResetsFmText", kAmPosition, "87.50 MHz", 10, "530 kHz",
                                   true, false, true, true, false},
                      BandRuleCase{"AmStep9ResetsToItsOwnLowestEnd", kAmPosition, "530 kHz", 9,
                                   "531 kHz", true, false, true, true, false},
                      BandRuleCase{"AmStep9KeepsItsRange", kAmPosition, "1000 kHz", 9, "1000 kHz",
                                   true, false, true, true, false},
                      BandRuleCase{"AmStep10KeepsHighestEnd", kAmPosition, "1710 kHz", 10,
                                   "1710 kHz", true, false, true, true, false},
                      BandRuleCase{"FmResetsAmTextAndEmptiesName", kFmPosition, "530 kHz", 10,
                                   "87.50 MHz", true, true, true, true, true},
                      BandRuleCase{"FmKeepsHighestEnd", kFmPosition, "108.50 MHz", 10, "108.50 MHz",
                                   true, true, true, true, true},
                      BandRuleCase{"FmResetsBeyondHighestEnd", kFmPosition, "108.55 MHz", 10,
                                   "87.50 MHz", true, true, true, true, true},
                      BandRuleCase{"XmResetsOutOfRangeChannel", kXmPosition, "256", 10, "0", false,
                                   false, true, true, false},
                      BandRuleCase{"XmResetsText", kXmPosition, "none", 10, "0", false, false, true,
                                   true, false},
                      BandRuleCase{"DabCannotBeComposed", kDabPosition, "12", 10, "12", false,
                                   false, false, false, false},
                      BandRuleCase{"NoBandChosenComposesNothing", -1, "", 10, "", false, false,
                                   true, false, false}),
    CaseLabels::ByLabel());

struct StepCase {
    const char* label;
    const char* band;
    const char* channel;
    bool up;
    int amStep;
    const char* expected;
};

class ChannelArrows : public ::testing::TestWithParam<StepCase> {};

TEST_P(ChannelArrows, StepWithinTheBand) {
    const StepCase& c = GetParam();
    EXPECT_EQ(StepChannel(c.band, c.channel, c.up, c.amStep), QByteArray(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Editor, ChannelArrows,
    ::testing::Values(StepCase{"FmUpToHighestEnd", "FM", "108.45 MHz", true, 10, "108.50 MHz"},
                      StepCase{"FmStaysAtHighestEnd", "FM", "108.50 MHz", true, 10, "108.50 MHz"},
                      StepCase{"FmDownToLowestEnd", "FM", "87.55 MHz", false, 10, "87.50 MHz"},
                      StepCase{"FmStaysAtLowestEnd", "FM", "87.50 MHz", false, 10, "87.50 MHz"},
                      StepCase{"FmUp", "FM", "98.10 MHz", true, 10, "98.15 MHz"},
                      StepCase{"AmStep10Up", "AM", "1000 kHz", true, 10, "1010 kHz"},
                      StepCase{"AmStep10StaysAtHighestEnd", "AM", "1710 kHz", true, 10, "1710 kHz"},
                      StepCase{"AmStep10StaysAtLowestEnd", "AM", "530 kHz", false, 10, "530 kHz"},
                      StepCase{"AmStep9Up", "AM", "531 kHz", true, 9, "540 kHz"},
                      StepCase{"AmStep9StaysAtHighestEnd", "AM", "1602 kHz", true, 9, "1602 kHz"},
                      StepCase{"XmUp", "XM", "12", true, 10, "13"},
                      StepCase{"XmStaysAtHighestEnd", "XM", "255", true, 10, "255"},
                      StepCase{"XmStaysAtZero", "XM", "0", false, 10, "0"},
                      StepCase{"DabShowsTextUpToBlank", "DAB", "5 x", true, 10, "5"}),
    CaseLabels::ByLabel());

// A store with the defaults and the given presets.
class PresetStore : public ::testing::Test {
protected:
    void SetUp() override { m_store.ResetToDefaults(); }
    void Set(int number, const QByteArray& record) {
        ASSERT_TRUE(m_store.SetValue(PresetRecord::PresetKey(number), record));
    }
    ValueReader Reader() const {
        return [this](const QByteArray& key) { return m_store.GetValue(key); };
    }
    SettingsStore m_store;
};

const QByteArray kJazz = "01AC07004A415A5A0000000000000000FFFFFFFFFFFFFFFF";
const QByteArray kTalk = "00910054414C4B0000000000000000FFFFFFFFFFFFFFFFFF";
const QByteArray kXm12 = "030C000000000000000000000000FFFFFFFFFFFFFFFFFFFF";

TEST_F(PresetStore, AllEmptyListsNothing) {
    EXPECT_TRUE(ListPresets(Reader(), 10).empty());
}

TEST_F(PresetStore, PresetsThreeAndSevenGiveTwoRowsInOrder) {
    Set(7, kJazz);
    Set(3, kTalk);
    const std::vector<PresetRow> rows = ListPresets(Reader(), AmStepFrom(Reader()));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].number, 3);
    EXPECT_EQ(rows[0].band, "AM");
    EXPECT_EQ(rows[0].channel, "1000 kHz");
    EXPECT_EQ(rows[0].mute, "");
    EXPECT_EQ(rows[0].name, "TALK");
    EXPECT_EQ(rows[1].number, 7);
    EXPECT_EQ(rows[1].band, "FM");
    EXPECT_EQ(rows[1].mute, "No");
    EXPECT_EQ(rows[1].name, "JAZZ");
}

TEST_F(PresetStore, XmAndDabRowsShowNoName) {
    Set(1, kXm12);
    Set(2, "02" + QByteArray(46, 'F'));
    const std::vector<PresetRow> rows = ListPresets(Reader(), 10);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].channel, "12");
    EXPECT_EQ(rows[0].name, "");
    EXPECT_EQ(rows[1].band, "DAB");
    EXPECT_EQ(rows[1].channel, "");
}

TEST_F(PresetStore, StepIsReadFromTheStoreAndMissingMeansTen) {
    ASSERT_TRUE(m_store.SetValue("Tuner.AMStep", "9"));
    EXPECT_EQ(AmStepFrom(Reader()), 9);
    m_store.Clear();
    EXPECT_EQ(AmStepFrom(Reader()), 10);
    EXPECT_TRUE(ListPresets(Reader(), 10).empty());
}

struct MoveCase {
    const char* label;
    std::map<int, QByteArray> presets;
    int number;
    bool up;
    bool allowed;
    QList<QByteArray> commands;
    int rowChange;
};

class PresetMoves : public PresetStore, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(PresetMoves, SendsTheExchangeAndMovesTheRow) {
    const MoveCase& c = GetParam();
    for (const auto& [number, record] : c.presets)
        Set(number, record);
    const std::optional<PresetMove> move = MovePreset(c.number, c.up, Reader());
    ASSERT_EQ(move.has_value(), c.allowed);
    if (!move)
        return;
    EXPECT_EQ(move->commands, c.commands);
    EXPECT_EQ(move->selectedRowChange, c.rowChange);
}

using PresetRecord::kEmpty;
using PresetRecord::SetCommand;

INSTANTIATE_TEST_SUITE_P(
    Editor, PresetMoves,
    ::testing::Values(MoveCase{"SevenUpIntoEmptySixKeepsItsRow",
                               {{3, kTalk}, {7, kJazz}},
                               7,
                               true,
                               true,
                               {SetCommand(7, kEmpty), SetCommand(6, kJazz)},
                               0},
                      MoveCase{"ThreeUpPastTwoFollowsToRowAbove",
                               {{2, kXm12}, {3, kTalk}},
                               3,
                               true,
                               true,
                               {SetCommand(3, kXm12), SetCommand(2, kTalk)},
                               -1},
                      MoveCase{"ThreeDownPastFourFollowsToRowBelow",
                               {{3, kTalk}, {4, kJazz}},
                               3,
                               false,
                               true,
                               {SetCommand(3, kJazz), SetCommand(4, kTalk)},
                               1},
                      MoveCase{"FirstCannotMoveUp", {{1, kTalk}}, 1, true, false, {}, 0},
                      MoveCase{"LastCannotMoveDown", {{40, kTalk}}, 40, false, false, {}, 0},
                      MoveCase{"NoPresetChosen", {}, 0, false, false, {}, 0},
                      MoveCase{"FortyUpIntoThirtyNine",
                               {{39, kXm12}, {40, kTalk}},
                               40,
                               true,
                               true,
                               {SetCommand(40, kXm12), SetCommand(39, kTalk)},
                               -1}),
    CaseLabels::ByLabel());

TEST_F(PresetStore, MoveNextToAKeyTheStoreLacksSendsAnEmptyPreset) {
    m_store.Clear();
    m_store.Append("Tuner.Preset2=" + kTalk);
    const std::optional<PresetMove> move = MovePreset(2, true, Reader());
    ASSERT_TRUE(move);
    EXPECT_EQ(move->commands, (QList<QByteArray>{SetCommand(2, kEmpty), SetCommand(1, kTalk)}));
    EXPECT_EQ(move->selectedRowChange, 0);
}

TEST_F(PresetStore, NeighbourWithUnknownBandCountsAsEmptyForTheRow) {
    Set(4, "07" + QByteArray(46, '0'));
    Set(5, kTalk);
    const std::optional<PresetMove> move = MovePreset(5, true, Reader());
    ASSERT_TRUE(move);
    EXPECT_EQ(move->selectedRowChange, 0);
}

}  // namespace
