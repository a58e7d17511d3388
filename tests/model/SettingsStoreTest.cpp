#include "DefaultSettings.h"
#include "SessionState.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kEmptyTunerPreset(48, 'F');

SettingsStore Defaults() {
    SettingsStore store;
    store.ResetToDefaults();
    return store;
}

TEST(SettingsStore, GetValueTakesFirstKeyContainingTheAskedOne) {
    const SettingsStore store = Defaults();
    struct Row {
        const char* key;
        QByteArray value;
    };
    const Row rows[] = {
        {"Main.ListeningMode.DolbyDigital", "PLIIxMovie"},
        {"Main.ListeningMode.DolbyDigital2ch", "PLIIxMusic"},
        {"Main.ListeningMode", "None"},
        {"Zone2.Volume", "-20"},
        {"Zone2.VolumeControl", "Variable"},
        {"Tuner.Preset1", kEmptyTunerPreset},
        {"Source1.Name", "Source 1"},
        {"Source10.Name", "Tuner"},
        {"Preset3.Name", "Preset 3"},
        {"Main.Volume", "-20"},
        {"main.volume", "error"},  // reads are case-sensitive
        {"Preset1.Speaker.Front.Config", "error"},
        {"Preset5.ListeningMode.DTS", "NEO6Music"},  // the last line is found too
        {"DigitalMode", "XM"},                       // a part of a key is enough
    };
    for (const Row& row : rows)
        EXPECT_EQ(store.GetValue(row.key), row.value) << row.key;
}

TEST(SettingsStore, SetValueIgnoresCaseAndKeepsTheStoredSpelling) {
    SettingsStore store = Defaults();
    EXPECT_TRUE(store.SetValue("main.volume", "-30"));
    EXPECT_EQ(store.Lines()[42], "Main.Volume=-30");
    EXPECT_EQ(store.GetValue("Main.Volume"), "-30");
}

TEST(SettingsStore, SetValueMatchesWholeKeysOnly) {
    SettingsStore store = Defaults();
    EXPECT_TRUE(store.SetValue("Main.ListeningMode", "EARS"));
    EXPECT_EQ(store.GetValue("Main.ListeningMode.Analog"), "None");
    EXPECT_EQ(store.GetValue("Main.ListeningMode"), "EARS");
    EXPECT_FALSE(store.SetValue("Main.Listening", "EARS"));
}

TEST(SettingsStore, SetValueOfAbsentKeyNeverAddsALine) {
    SettingsStore store = Defaults();
    EXPECT_FALSE(store.SetValue("Preset1.Speaker.Front.Config", "Large"));
    EXPECT_EQ(store.LineCount(), 537);
    EXPECT_EQ(store.Lines(), DefaultLines());
}

TEST(SettingsStore, ValueMayHoldEqualsSigns) {
    SettingsStore store;
    store.Append("Source1.Name=A=B");
    EXPECT_EQ(store.GetValue("Source1.Name"), "A=B");
    EXPECT_TRUE(store.SetValue("SOURCE1.NAME", "C=D"));
    EXPECT_EQ(store.Lines()[0], "Source1.Name=C=D");
}

TEST(SettingsStore, EmptyStoreFindsNothing) {
    SettingsStore store;
    EXPECT_EQ(store.GetValue("Main.Volume"), "error");
    EXPECT_FALSE(store.SetValue("Main.Volume", "1"));
    EXPECT_TRUE(store.IsEmpty());
}

TEST(SettingsStore, SingleLineStoreIsSearchedToItsEnd) {
    SettingsStore store;
    store.Append("Main.Mute=Off");
    EXPECT_EQ(store.GetValue("Main.Mute"), "Off");
    EXPECT_TRUE(store.SetValue("Main.Mute", "On"));
    EXPECT_EQ(store.Lines()[0], "Main.Mute=On");
}

TEST(SettingsStore, LinesWithoutEqualsSignHaveNoKey) {
    SettingsStore store;
    store.Append("Main.Power");
    store.Append("");
    store.Append("Main.Power=Off");
    EXPECT_EQ(store.GetValue("Main.Power"), "Off");
    EXPECT_TRUE(store.SetValue("Main.Power", "On"));
    EXPECT_EQ(store.Lines()[0], "Main.Power");
    EXPECT_EQ(store.Lines()[2], "Main.Power=On");
}

TEST(SettingsStore, CaseFoldingLeavesBytesAbove127Alone) {
    SettingsStore store;
    store.Append("Source1.Name=Caf\xe9");
    store.Append("Source2.N\xe9=x");
    EXPECT_EQ(store.GetValue("Source1.Name"), "Caf\xe9");
    // 0xC9 is the Latin-1 capital of 0xE9, but only ASCII letters fold.
    EXPECT_FALSE(store.SetValue("Source2.N\xc9", "y"));
    EXPECT_TRUE(store.SetValue("SOURCE2.N\xe9", "y"));
    EXPECT_EQ(store.Lines()[1], "Source2.N\xe9=y");
}

TEST(SettingsStore, ResetToDefaultsReplacesEverything) {
    SettingsStore store;
    store.Append("Main.Volume=5");
    store.ResetToDefaults();
    EXPECT_EQ(store.Lines(), DefaultLines());
}

TEST(SplitLine, KeyIsTextBeforeFirstEqualsSign) {
    struct Row {
        const char* line;
        bool split;
        const char* key;
        const char* value;
    };
    const Row rows[] = {
        {"Main.Volume=-20", true, "Main.Volume", "-20"},
        {"A=B=C", true, "A", "B=C"},
        {"=x", true, "", "x"},
        {"Key=", true, "Key", ""},
        {"NoEquals", false, "", ""},
        {"", false, "", ""},
    };
    for (const Row& row : rows) {
        QByteArray key;
        QByteArray value;
        EXPECT_EQ(SplitLine(row.line, &key, &value), row.split) << row.line;
        if (row.split) {
            EXPECT_EQ(key, row.key) << row.line;
            EXPECT_EQ(value, row.value) << row.line;
        }
    }
}

TEST(ViewRedirect, PresetViewsReplaceTheSectionEverywhereInTheKey) {
    struct Row {
        const char* key;
        int view;
        const char* redirected;
    };
    const Row rows[] = {
        {"Main.Treble", 0, "Main.Treble"},
        {"Main.Treble", 3, "Preset3.Treble"},
        {"Main.Bass", 2, "Preset2.Bass"},
        {"Main.ListeningMode.Main", 1, "Preset1.ListeningMode.Preset1"},
        {"Main.VFD.Line1", 5, "Preset5.VFD.Line1"},
        {"Main.Bass", 9, "Unknown.Bass"},
        {"Main.Bass", -1, "Unknown.Bass"},
        {"NoDot", 2, "Preset2"},
        {".Bass", 2, ".Bass"},  // no section: nothing to replace
        {"", 2, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RedirectKeyToView(row.key, row.view), row.redirected)
            << row.key << " in view " << row.view;
    }
}

TEST(ViewRedirect, ViewSectionNames) {
    const char* const sections[] = {"Main",    "Preset1", "Preset2", "Preset3",
                                    "Preset4", "Preset5", "Unknown"};
    for (int view = 0; view <= 6; ++view)
        EXPECT_EQ(ViewSectionOf(view), sections[view]);
    EXPECT_EQ(ViewSectionOf(-1), "Unknown");
}

}  // namespace
