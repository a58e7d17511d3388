#include "CompareModel.h"

#include "PresetRecord.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

namespace {

SettingsStore StoreOf(std::initializer_list<QByteArray> lines) {
    SettingsStore store;
    for (const QByteArray& line : lines)
        store.Append(line);
    return store;
}

// The file's and the receiver's sides of one case each: a list, a preset's
// own copy, a source input and its format, a preset's joined speaker value, the
// tuner, a key the receiver lacks; and lines that do not differ or are not
// sent: the same value in other spacing and capitals, one only the receiver
// has, a value still in flight, a blank line, a comment, a line without a key.
const SettingsStore kFile =
    StoreOf({"Main.Bass=4", "Main.Speaker.Center.Config=Large",
             "Source3.DigitalAudioFormat=Optical", "Source3.DigitalAudioInput=1", "Preset2.Bass=2",
             "Tuner.Band=FM", "Main.Treble=0", "Preset2.Speaker.Front=Large100",
             " Main.Mute = off ", "", "# Main.Power=Off", "=5", "Main.Nonsense=1",
             "Tuner.Preset3=" + PresetRecord::Compose("FM", "98.50 MHz", false, "KISS", 10)});
const SettingsStore kReceiver = [] {
    SettingsStore store = StoreOf(
        {"Main.Bass=0", "MAIN.SPEAKER.CENTER.CONFIG=Small", "Source3.DigitalAudioFormat=HDMI",
         "Source3.DigitalAudioInput=2", "Preset2.Bass=0", "Tuner.Band=AM", "Main.Treble=0",
         "Main.Extra=1", "Preset2.Speaker.Front.Config=Small", "Preset2.Speaker.Front.Frequency=80",
         "Main.Mute=Off", "Tuner.Preset3=" + PresetRecord::kEmpty});
    store.SetPending("Main.Bass", "4");
    return store;
}();

struct ExpectedRow {
    const char* key;
    const char* page;
    const char* label;
    const char* fileText;
    const char* receiverText;
};

TEST(CompareModel, RowsShowPageLabelAndEntryTextsInTabOrder) {
    CompareModel model([](const BindingRow& row) {
        return row.controlId == ControlId::Bass ? QStringLiteral("Bass") : QString();
    });
    model.Compare(kFile, kReceiver, 0);
    const ExpectedRow expected[] = {
        {"Source3.DigitalAudioFormat", "Source", "DigitalAudioInput (format)", "OPTICAL 1",
         "HDMI 2"},
        {"Source3.DigitalAudioInput", "Source", "DigitalAudioInput", "OPTICAL 1", "HDMI 2"},
        {"Preset2.Speaker.Front", "Speaker",
         "Speaker Front Config / Speaker Front Frequency (A/V Preset 2)", "LARGE / 100Hz",
         "SMALL / 80Hz"},
        {"Main.Speaker.Center.Config", "Speaker", "Speaker Center Config", "LARGE", "SMALL"},
        {"Main.Bass", "Control", "Bass", "4 dB", "0 dB"},
        {"Preset2.Bass", "Control", "Bass (A/V Preset 2)", "2 dB", "0 dB"},
        {"Tuner.Band", "Tuner", "Band", "FM", "AM"},
        {"Tuner.Preset3", "Tuner", "Preset 3", "FM 98.50 MHz, FM Mute No, KISS", "(empty)"},
        {"Main.Nonsense", "Other", "Main.Nonsense", "1", "(none)"},
    };
    ASSERT_EQ(model.RowCount(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < model.RowCount(); ++i) {
        const CompareRow& row = model.Rows()[static_cast<std::size_t>(i)];
        SCOPED_TRACE(expected[i].key);
        EXPECT_EQ(row.key, expected[i].key);
        EXPECT_EQ(row.page, expected[i].page);
        EXPECT_EQ(row.label, expected[i].label);
        EXPECT_EQ(row.fileText, expected[i].fileText);
        EXPECT_EQ(row.receiverText, expected[i].receiverText);
    }
    EXPECT_EQ(model.Rows()[4].Spoken(), "Control, Bass: file 4 dB, receiver 0 dB");
}

TEST(CompareModel, FilterSortAndSelectionGiveTheCheckedFileLines) {
    CompareModel model;
    model.Compare(kFile, kReceiver, 0);
    model.SetFilter(QStringLiteral("  bass "));
    EXPECT_EQ(model.Shown(), (std::vector<int>{4, 5}));
    model.CheckShown(true);
    EXPECT_EQ(model.CountText(), "2 of 9 selected");
    model.SetFilter({});
    model.SortBy(CompareModel::Column::Setting, false);
    // Pages stay in tab order; within each the labels descend.
    EXPECT_EQ(model.Shown(), (std::vector<int>{0, 1, 2, 3, 5, 4, 7, 6, 8}));
    model.SortBy(CompareModel::Column::Page, false);
    EXPECT_EQ(model.Shown().front(), 8);
    EXPECT_EQ(model.CheckedLines(), (std::vector<QByteArray>{"Main.Bass=4", "Preset2.Bass=2"}));

    // A restored setting no longer differs; the other keeps its check.
    SettingsStore receiver = kReceiver;
    receiver.SetValue("Main.Bass", "4");
    model.Compare(kFile, receiver, 0);
    EXPECT_EQ(model.CheckedLines(), (std::vector<QByteArray>{"Preset2.Bass=2"}));
}

}  // namespace
