#include "PagesFixture.h"
#include "StepButtons.h"

#include <QRadioButton>
#include <QToolButton>

namespace {

class ControlPageTest : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        Build();
    }
    StepButtons* Spin(ControlId id) const {
        return qobject_cast<StepButtons*>(m_control->Control(id));
    }
};

TEST_F(ControlPageTest, FillChoicesGivesEachItemItsStoredValue) {
    QComboBox* bass = Combo(*m_control, ControlId::Bass);
    ASSERT_EQ(bass->count(), 11);
    EXPECT_EQ(bass->itemText(0), "-10 dB");
    EXPECT_EQ(bass->itemText(10), "10 dB");
    for (int i = 0; i < bass->count(); ++i)
        EXPECT_EQ(bass->itemData(i), Entry(ControlId::Bass, i));
    QComboBox* surround = Combo(*m_control, ControlId::ListeningMode);
    ASSERT_EQ(surround->count(), 9);
    EXPECT_EQ(surround->itemText(8), "Analog Bypass");
    EXPECT_EQ(Combo(*m_control, ControlId::Audyssey)->count(), 4);
    EXPECT_EQ(Combo(*m_avPreset, ControlId::Preset2SetupToneControls)->itemText(0), "YES");
    EXPECT_EQ(Combo(*m_avPreset, ControlId::Preset2SetupToneControls)->itemText(1), "NO");
}

TEST_F(ControlPageTest, RefreshAllPagesShowsTheStoredDefaults) {
    EXPECT_EQ(Shown(*m_control, ControlId::Bass), "0 dB");
    EXPECT_EQ(Shown(*m_control, ControlId::Power), "ON");
    EXPECT_EQ(Shown(*m_control, ControlId::Mute), "OFF");
    EXPECT_EQ(Shown(*m_control, ControlId::ListeningMode), "None");
    EXPECT_EQ(Edit(*m_control, ControlId::Volume)->text(), "-20");
    EXPECT_EQ(Edit(*m_control, ControlId::LipSyncDelay)->text(), "0");
    EXPECT_TRUE(m_control->SourceButton(1)->isChecked());
    EXPECT_EQ(Edit(*m_avPreset, ControlId::Preset2Name)->text(), "Preset 2");
    // The refresh wrote edits, whose handlers ran, but nothing reached the store.
    EXPECT_FALSE(m_binding->IsReloading());
}

TEST_F(ControlPageTest, ValueNotInTheListLeavesTheComboBlank) {
    m_store.SetValue("Main.Bass", "5");
    m_binding->RefreshAllPages();
    EXPECT_EQ(Combo(*m_control, ControlId::Bass)->currentIndex(), -1);
}

TEST_F(ControlPageTest, StatusLineRefreshSendsNothingBack) {
    m_store.SetValue("Main.Bass", "4");
    m_store.SetValue("Main.Volume", "-31");
    m_store.SetValue("Main.LipSyncDelay", "40");
    m_store.SetValue("Main.Source", "10");
    for (const char* key : {"Main.Bass", "Main.Volume", "Main.LipSyncDelay", "Main.Source"}) {
        m_binding->RefreshKey(key);
    }
    EXPECT_TRUE(m_updates.empty());
    EXPECT_EQ(Shown(*m_control, ControlId::Bass), "4 dB");
    EXPECT_EQ(Edit(*m_control, ControlId::Volume)->text(), "-31");
    EXPECT_EQ(Edit(*m_control, ControlId::LipSyncDelay)->text(), "40");
    EXPECT_TRUE(m_control->IsTunerSelected());
    EXPECT_EQ(m_tuner, std::vector<bool>{true});
    EXPECT_FALSE(m_control->IsLoading());
}

TEST_F(ControlPageTest, RefreshKeyIgnoresKeysOfNoRowAndOtherCase) {
    m_store.SetValue("Main.Bass", "4");
    m_binding->RefreshKey("main.bass");
    m_binding->RefreshKey("Main.Sleep");
    EXPECT_EQ(Shown(*m_control, ControlId::Bass), "0 dB");
    EXPECT_TRUE(m_updates.empty());
}

TEST_F(ControlPageTest, VolumeArrowsSendRawStepsAndChangeNothingLocally) {
    StepButtons* spin = Spin(ControlId::VolumeArrows);
    ASSERT_NE(spin, nullptr);
    spin->UpButton()->click();
    spin->DownButton()->click();
    EXPECT_EQ(m_raw, (std::vector<QByteArray>{"Main.Volume+", "Main.Volume-"}));
    EXPECT_EQ(m_store.GetValue("Main.Volume"), "-20");
    EXPECT_EQ(Edit(*m_control, ControlId::Volume)->text(), "-20");
    EXPECT_TRUE(m_updates.empty());
}

TEST_F(ControlPageTest, StepArrowsSendWhateverTheViewAndLoadingFlag) {
    SetView(3);
    // Pressed while a reload runs (the tuner hook is called within it).
    m_control->SetHooks(
        {[this](const QByteArray& key, bool up) {
             m_raw.push_back(key + (up ? '+' : '-'));
             return true;
         },
         [this](bool) {
             EXPECT_TRUE(m_binding->IsReloading());
             Spin(ControlId::VolumeArrows)->UpButton()->click();
             // A change made while reloading is no user's and writes nothing.
             EXPECT_FALSE(m_binding->ControlChanged(ControlId::Bass, Entry(ControlId::Bass, 7)));
         },
         {}});
    m_binding->RefreshKey("Main.Source");
    EXPECT_EQ(m_raw, std::vector<QByteArray>{"Main.Volume+"});
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "0");
}

struct TrimCase {
    ControlId spinId;
    bool up;
    const char* command;
};

TEST_F(ControlPageTest, TrimUpArrowSendsPlusAndDownArrowMinus) {
    const TrimCase cases[] = {
        {ControlId::TrimCenterArrows, true, "Main.Trim.Center+"},
        {ControlId::TrimCenterArrows, false, "Main.Trim.Center-"},
        {ControlId::TrimSurroundArrows, true, "Main.Trim.Surround+"},
        {ControlId::TrimSurroundArrows, false, "Main.Trim.Surround-"},
        {ControlId::TrimSubArrows, true, "Main.Trim.Sub+"},
        {ControlId::TrimSubArrows, false, "Main.Trim.Sub-"},
    };
    for (const TrimCase& c : cases) {
        m_raw.clear();
        StepButtons* spin = Spin(c.spinId);
        ASSERT_NE(spin, nullptr) << c.spinId;
        (c.up ? spin->UpButton() : spin->DownButton())->click();
        EXPECT_EQ(m_raw, std::vector<QByteArray>{c.command}) << c.spinId;
    }
    EXPECT_EQ(m_store.GetValue("Main.Trim.Center"), "0");
}

TEST_F(ControlPageTest, LipSyncArrowsSetTheDelayWithinZeroTo120) {
    StepButtons* spin = Spin(ControlId::LipSyncDelayArrows);
    ASSERT_NE(spin, nullptr);
    spin->UpButton()->click();
    EXPECT_EQ(Edit(*m_control, ControlId::LipSyncDelay)->text(), "1");
    EXPECT_EQ(m_store.GetValue("Main.LipSyncDelay"), "1");
    spin->DownButton()->click();
    spin->DownButton()->click();
    EXPECT_EQ(m_store.GetValue("Main.LipSyncDelay"), "0");
    m_store.SetValue("Main.LipSyncDelay", "120");
    m_binding->RefreshKey("Main.LipSyncDelay");
    m_updates.clear();
    spin->UpButton()->click();
    EXPECT_TRUE(m_updates.empty());
    EXPECT_EQ(Edit(*m_control, ControlId::LipSyncDelay)->text(), "120");
    EXPECT_TRUE(m_raw.empty());
}

TEST_F(ControlPageTest, ComboChoiceStoresTheEntrysStoredValue) {
    Choose(*m_control, ControlId::Bass, 7);           // "4 dB"
    Choose(*m_control, ControlId::ListeningMode, 8);  // "Analog Bypass"
    Choose(*m_control, ControlId::Power, 1);          // "OFF"
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Main.Bass", "4"},
                                                {"Main.ListeningMode", "AnalogBypass"},
                                                {"Main.Power", "Off"}}));
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "4");
    EXPECT_EQ(m_store.GetValue("Main.ListeningMode"), "AnalogBypass");
    EXPECT_EQ(m_store.GetValue("Main.Power"), "Off");
}

TEST_F(ControlPageTest, BadControlIdOrMissingEntryChangesNothing) {
    EXPECT_FALSE(m_binding->ControlChanged(static_cast<ControlId>(4242), 0));
    EXPECT_FALSE(m_binding->ControlChanged(ControlId::Bass, Entry(ControlId::Bass, -1)));
    EXPECT_FALSE(m_binding->ControlChanged(ControlId::Bass, Entry(ControlId::Bass, 11)));
    EXPECT_FALSE(m_binding->ControlChanged(ControlId::MainSource, 11));
    EXPECT_TRUE(m_updates.empty());
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "0");
}

TEST_F(ControlPageTest, SourceButtonClickSetsTheSourceAndSwitchesTheTuner) {
    m_control->SourceButton(8)->click();   // "DISC"
    m_control->SourceButton(10)->click();  // "TUNER"
    m_control->SourceButton(10)->click();  // already checked: sent again
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{
                             {"Main.Source", "8"}, {"Main.Source", "10"}, {"Main.Source", "10"}}));
    EXPECT_EQ(m_tuner, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(m_store.GetValue("Main.Source"), "10");
    EXPECT_EQ(m_control->SourceButton(8)->text(), "DISC");
}

TEST_F(ControlPageTest, SourceNumberOutsideOneToTenIsReportedAndKeepsTheButtons) {
    const char* const values[] = {"0", "11", "-3", "abc", "", "error"};
    for (const char* value : values) {
        m_messages.clear();
        m_tuner.clear();
        m_store.SetValue("Main.Source", value);
        m_binding->RefreshKey("Main.Source");
        EXPECT_EQ(m_messages, QStringList{"invalid source number"}) << value;
        EXPECT_EQ(m_tuner, std::vector<bool>{false}) << value;
        EXPECT_TRUE(m_control->SourceButton(1)->isChecked()) << value;
    }
    m_messages.clear();
    m_store.SetValue("Main.Source", " 7 ");
    m_binding->RefreshKey("Main.Source");
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_TRUE(m_control->SourceButton(7)->isChecked());
}

TEST_F(ControlPageTest, SourceNameIsShownAsTypedEvenWithAmpersand) {
    m_control->SetSourceName(2, "R&B");
    EXPECT_EQ(m_control->SourceButton(2)->text(), "R&&B");
    m_control->SetSourceName(0, "x");
    m_control->SetSourceName(11, "x");
}

struct ModelCase {
    std::uint32_t modelBit;
    bool speakers;
    bool audyssey;
};

TEST_F(ControlPageTest, ModelMasksDisableTheControlsAModelLacks) {
    const ModelCase cases[] = {
        {0, true, true},      // no model known: everything allowed
        {64, true, false},    // ZA05
        {128, true, false},   // ZA04
        {1024, false, true},  // ZA01
        {1, true, true},      // ZA11
    };
    for (const ModelCase& c : cases) {
        m_state.modelBit = c.modelBit;
        m_binding->RefreshAllPages();
        EXPECT_EQ(m_control->Control(ControlId::SpeakerA)->isEnabled(), c.speakers) << c.modelBit;
        EXPECT_EQ(m_control->Control(ControlId::SpeakerB)->isEnabled(), c.speakers) << c.modelBit;
        EXPECT_EQ(m_control->Control(ControlId::Audyssey)->isEnabled(), c.audyssey) << c.modelBit;
        EXPECT_TRUE(m_control->Control(ControlId::Power)->isEnabled()) << c.modelBit;
    }
}

}  // namespace
