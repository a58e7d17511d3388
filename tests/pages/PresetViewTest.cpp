#include "PagesFixture.h"
#include "StepButtons.h"

#include <QRadioButton>

namespace {

constexpr int kBass = 1004;
constexpr int kToneControlIds[] = {1004, 1237, 1048, 1236};
constexpr int kMainOnlyIds[] = {1124, 1120, 1220, 1221, 1248, 1324, 1253, 1257};
constexpr int kDspIds[] = {1011, 1019};
// The A/V Preset page's controls per preset: name, then the five setup switches.
constexpr int kPresetRowIds[5][6] = {
    {1100, 1017, 1084, 1023, 1033, 1047}, {1103, 1043, 1091, 1025, 1035, 1050},
    {1105, 1067, 1093, 1027, 1037, 1052}, {1107, 1087, 1095, 1029, 1039, 1054},
    {1109, 1089, 1021, 1031, 1045, 1056},
};

class PresetViewTest : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        // Preset 2 carries its tone controls and nothing else.
        for (const char* setup : {"ListeningMode", "DSPOptions", "Speaker", "Display"}) {
            ASSERT_TRUE(m_store.SetValue(QByteArray("Preset2.Setup.") + setup, "No"));
        }
        ASSERT_TRUE(m_store.SetValue("Preset2.Setup.ToneControls", "Yes"));
        Build();
    }
    bool Enabled(SettingPage& page, int id) const { return page.Control(id)->isEnabled(); }
    // View 0 enables every row; a preset view only that preset's row.
    void ExpectPresetRowsEnabled(int view) {
        for (int p = 1; p <= 5; ++p) {
            for (int id : kPresetRowIds[p - 1]) {
                EXPECT_EQ(Enabled(*m_avPreset, id), view == 0 || p == view)
                    << "view " << view << " id " << id;
            }
        }
    }
};

TEST_F(PresetViewTest, PresetViewEnablesOnlyTheGroupsThePresetCarries) {
    SetView(2);
    m_control->SetSourceEnabled(3, true);  // what the receiver's "Source3.Enabled=Yes" does
    for (int id : kToneControlIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    for (int id : kMainOnlyIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
    for (int id : kDspIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
    EXPECT_FALSE(Enabled(*m_control, 1016));
    EXPECT_FALSE(Enabled(*m_control, 1323));
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(m_control->SourceButton(n)->isEnabled()) << n;
    ExpectPresetRowsEnabled(2);
}

TEST_F(PresetViewTest, ReturnToMainEnablesEverythingAgain) {
    SetView(2);
    SetView(0);
    for (int id : kMainOnlyIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    for (int id : kDspIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    for (int n = 1; n <= 10; ++n)
        EXPECT_TRUE(m_control->SourceButton(n)->isEnabled()) << n;
    ExpectPresetRowsEnabled(0);
}

TEST_F(PresetViewTest, OtherPresetViewEnablesOnlyItsOwnRow) {
    SetView(4);
    ExpectPresetRowsEnabled(4);
}

TEST_F(PresetViewTest, PresetViewShowsAndEditsThePresetsValues) {
    ASSERT_TRUE(m_store.SetValue("Preset2.Bass", "6"));
    SetView(2);
    EXPECT_EQ(Shown(*m_control, kBass), "6 dB");
    EXPECT_TRUE(m_updates.empty());

    Choose(*m_control, kBass, 7);  // "4 dB"
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Main.Bass", "4"}}));
    EXPECT_EQ(m_store.GetValue("Preset2.Bass"), "4");
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "0");

    SetView(0);
    EXPECT_EQ(Shown(*m_control, kBass), "0 dB");
    Choose(*m_control, kBass, 7);
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "4");
    EXPECT_EQ(m_store.GetValue("Preset2.Bass"), "4");
}

TEST_F(PresetViewTest, SetupSwitchInPresetViewTakesEffectAtOnce) {
    SetView(2);
    Choose(*m_avPreset, 1091, 0);  // preset 2 "DSP Options": "YES"
    EXPECT_EQ(m_store.GetValue("Preset2.Setup.DSPOptions"), "Yes");
    for (int id : kDspIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    EXPECT_TRUE(Enabled(*m_control, 1323));
    EXPECT_FALSE(m_state.refreshingPages);

    Choose(*m_avPreset, 1091, 1);  // "NO"
    EXPECT_EQ(m_store.GetValue("Preset2.Setup.DSPOptions"), "No");
    for (int id : kDspIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
    EXPECT_FALSE(Enabled(*m_control, 1323));
}

TEST_F(PresetViewTest, SetupSwitchInMainViewStoresAndChangesNoEnabling) {
    Choose(*m_avPreset, 1025, 1);  // preset 2 "Tone Controls": "NO"
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Preset2.Setup.ToneControls", "No"}}));
    EXPECT_EQ(m_store.GetValue("Preset2.Setup.ToneControls"), "No");
    for (int id : kToneControlIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    SetView(2);
    for (int id : kToneControlIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
}

TEST_F(PresetViewTest, PresetNameIsSentWithEachKeystroke) {
    QLineEdit* name = Edit(*m_avPreset, 1107);
    name->setText("Mo");
    name->setText("Movie Night Longer");
    EXPECT_EQ(m_store.GetValue("Preset4.Name"), "Movie Night Longer");
    EXPECT_EQ(m_updates.front(), (KeyValue{"Preset4.Name", "Mo"}));
}

}  // namespace
