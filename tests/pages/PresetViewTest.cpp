#include "PagesFixture.h"

#include "StepButtons.h"

#include <QRadioButton>
#include <QTest>

namespace {

constexpr ControlId kBass = ControlId::Bass;
constexpr ControlId kToneControlIds[] = {ControlId::Bass, ControlId::Treble,
                                         ControlId::CenterDialog, ControlId::ToneDefeat};
constexpr ControlId kMainOnlyIds[] = {
    ControlId::Power,  ControlId::Mute,       ControlId::SpeakerA,     ControlId::SpeakerB,
    ControlId::Volume, ControlId::TrimCenter, ControlId::TrimSurround, ControlId::TrimSub};
constexpr ControlId kDspIds[] = {ControlId::LipSyncDelay, ControlId::Audyssey};
// The A/V Preset page's controls per preset: name, then the five setup switches.
constexpr ControlId kPresetRowIds[5][6] = {
    {ControlId::Preset1Name, ControlId::Preset1SetupListeningMode,
     ControlId::Preset1SetupDSPOptions, ControlId::Preset1SetupToneControls,
     ControlId::Preset1SetupSpeaker, ControlId::Preset1SetupDisplay},
    {ControlId::Preset2Name, ControlId::Preset2SetupListeningMode,
     ControlId::Preset2SetupDSPOptions, ControlId::Preset2SetupToneControls,
     ControlId::Preset2SetupSpeaker, ControlId::Preset2SetupDisplay},
    {ControlId::Preset3Name, ControlId::Preset3SetupListeningMode,
     ControlId::Preset3SetupDSPOptions, ControlId::Preset3SetupToneControls,
     ControlId::Preset3SetupSpeaker, ControlId::Preset3SetupDisplay},
    {ControlId::Preset4Name, ControlId::Preset4SetupListeningMode,
     ControlId::Preset4SetupDSPOptions, ControlId::Preset4SetupToneControls,
     ControlId::Preset4SetupSpeaker, ControlId::Preset4SetupDisplay},
    {ControlId::Preset5Name, ControlId::Preset5SetupListeningMode,
     ControlId::Preset5SetupDSPOptions, ControlId::Preset5SetupToneControls,
     ControlId::Preset5SetupSpeaker, ControlId::Preset5SetupDisplay},
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
    bool Enabled(SettingPage& page, ControlId id) const { return page.Control(id)->isEnabled(); }
    // View 0 enables every row; a preset view only that preset's row.
    void ExpectPresetRowsEnabled(int view) {
        for (int p = 1; p <= 5; ++p) {
            for (ControlId id : kPresetRowIds[p - 1]) {
                EXPECT_EQ(Enabled(*m_avPreset, id), view == 0 || p == view)
                    << "view " << view << " id " << id;
            }
        }
    }
};

TEST_F(PresetViewTest, PresetViewEnablesOnlyTheGroupsThePresetCarries) {
    SetView(2);
    m_control->SetSourceEnabled(3, true);  // what the receiver's "Source3.Enabled=Yes" does
    for (ControlId id : kToneControlIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    for (ControlId id : kMainOnlyIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
    for (ControlId id : kDspIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
    EXPECT_FALSE(Enabled(*m_control, ControlId::ListeningMode));
    EXPECT_FALSE(Enabled(*m_control, ControlId::LipSyncDelayArrows));
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(m_control->SourceButton(n)->isEnabled()) << n;
    ExpectPresetRowsEnabled(2);
}

TEST_F(PresetViewTest, ReturnToMainEnablesEverythingAgain) {
    SetView(2);
    SetView(0);
    for (ControlId id : kMainOnlyIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    for (ControlId id : kDspIds)
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
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Preset2.Bass", "4"}}));
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
    Choose(*m_avPreset, ControlId::Preset2SetupDSPOptions, 0);  // preset 2 "DSP Options": "YES"
    EXPECT_EQ(m_store.GetValue("Preset2.Setup.DSPOptions"), "Yes");
    for (ControlId id : kDspIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    EXPECT_TRUE(Enabled(*m_control, ControlId::LipSyncDelayArrows));
    EXPECT_FALSE(m_binding->IsReloading());

    Choose(*m_avPreset, ControlId::Preset2SetupDSPOptions, 1);  // "NO"
    EXPECT_EQ(m_store.GetValue("Preset2.Setup.DSPOptions"), "No");
    for (ControlId id : kDspIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
    EXPECT_FALSE(Enabled(*m_control, ControlId::LipSyncDelayArrows));
}

TEST_F(PresetViewTest, SetupSwitchInMainViewStoresAndChangesNoEnabling) {
    Choose(*m_avPreset, ControlId::Preset2SetupToneControls, 1);  // preset 2 "Tone Controls": "NO"
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Preset2.Setup.ToneControls", "No"}}));
    EXPECT_EQ(m_store.GetValue("Preset2.Setup.ToneControls"), "No");
    for (ControlId id : kToneControlIds)
        EXPECT_TRUE(Enabled(*m_control, id)) << id;
    SetView(2);
    for (ControlId id : kToneControlIds)
        EXPECT_FALSE(Enabled(*m_control, id)) << id;
}

TEST_F(PresetViewTest, TypedPresetNameIsSentOnceWhenTypingPauses) {
    QLineEdit* name = Edit(*m_avPreset, ControlId::Preset4Name);
    name->selectAll();
    QTest::keyClicks(name, "Movie");
    EXPECT_TRUE(m_updates.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_updates.empty(); }, 2000));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Preset4.Name", "Movie"}}));
}

}  // namespace
