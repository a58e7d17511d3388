#include "BindingModel.h"
#include "SessionState.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Stored = std::vector<SettingWrite>;

class BindingModelTest : public ::testing::Test {
protected:
    BindingModelTest() { m_store.ResetToDefaults(); }
    const BindingRow& Row(ControlId id) const { return *FindRowByControl(id); }

    SettingsStore m_store;
    SessionState m_state;
    BindingModel m_model{m_store, m_state};
};

struct EnableCase {
    const char* name;
    int view;
    const char* setupKey;  // stored as setupValue first, when given
    const char* setupValue;
    std::uint32_t modelBit;
    ControlId control;
    bool enabled;
};

TEST_F(BindingModelTest, EnableRuleReadsModelViewAndThePresetsStoredSwitch) {
    const EnableCase cases[] = {
        {"main view", 0, nullptr, nullptr, 1, ControlId::Bass, true},
        {"tone covered", 2, "Preset2.Setup.ToneControls", "YES", 1, ControlId::Bass, true},
        {"tone not covered", 2, "Preset2.Setup.ToneControls", "No", 1, ControlId::Bass, false},
        {"main only in a view", 2, nullptr, nullptr, 1, ControlId::Power, false},
        {"model without speaker B", 0, nullptr, nullptr, 8, ControlId::SpeakerB, false},
        {"preset's joined speaker key", 3, "Preset3.Setup.Speaker", "Yes", 1,
         ControlId::SpeakerFrontConfig, true},
    };
    for (const EnableCase& c : cases) {
        m_state.viewIndex = c.view;
        m_state.modelBit = c.modelBit;
        if (c.setupKey != nullptr)
            m_store.SetValue(c.setupKey, c.setupValue);
        EXPECT_EQ(m_model.EnableOf(Row(c.control)).enabled, c.enabled) << c.name;
    }
    EXPECT_EQ(m_model.ReadKey(Row(ControlId::SpeakerFrontConfig)), "Preset3.Speaker.Front");
}

struct ChooseCase {
    ControlId control;
    const char* value;
    Stored writes;
};

TEST_F(BindingModelTest, AChoiceWritesTheRowsSettingsOrNothing) {
    const ChooseCase cases[] = {
        {ControlId::Bass, "4", {{"Main.Bass", "4"}}},
        {ControlId::ListeningMode, "analogbypass", {{"Main.ListeningMode", "AnalogBypass"}}},
        {ControlId::Bass, "5", {}},
        {ControlId::Source3VideoInput,
         "SVIDEO 2",
         {{"Source3.VideoFormat", "SVideo"}, {"Source3.VideoInput", "2"}}},
        {ControlId::Source1AnalogAudioInput, "7.1", {{"Source1.AnalogAudioFormat", "7.1"}}},
        {ControlId::MainSource, "11", {}},
        {ControlId::Source2Enabled, "No", {{"Source2.Enabled", "No"}}},
    };
    for (const ChooseCase& c : cases)
        EXPECT_EQ(m_model.Choose(Row(c.control), c.value).writes, c.writes) << c.value;
    // A preset holding a speaker's size and crossover joined keeps them joined.
    m_state.viewIndex = 2;
    EXPECT_EQ(m_model.Choose(Row(ControlId::SpeakerFrontFrequency), "100").writes,
              (Stored{{"Preset2.Speaker.Front", "Small100"}}));
}

TEST_F(BindingModelTest, RulesOfSourceTriggersEnhancedBassAndZoneLevels) {
    m_store.SetValue("Main.Trigger1.Out", "Source");
    m_store.SetValue("Main.Trigger2.Out", "Main");
    m_store.SetValue("Main.Trigger3.Out", "Source ");
    m_store.SetValue("Source4.TriggerOut", "2");
    const BindingRow& trigger = Row(ControlId::Source4TriggerOut);
    ASSERT_EQ(m_model.Offered(trigger).size(), 4u);
    EXPECT_STREQ(m_model.ShownChoice(trigger)->shown, "None");

    m_store.SetValue("Main.Speaker.Front.Config", "large");
    m_store.SetValue("Main.Speaker.Sub", "On");
    EXPECT_TRUE(m_model.EnhancedBassPossible());
    m_store.SetValue("Main.Speaker.Sub", "Off");
    EXPECT_FALSE(m_model.EnhancedBassPossible());

    m_store.SetValue("Zone2.VolumeControl", "VARIABLE");
    EXPECT_FALSE(m_model.ZoneLevelShown("Zone2"));
    m_store.SetValue("Zone3.VolumeControl", "Fixed");
    EXPECT_TRUE(m_model.ZoneLevelShown("Zone3"));
}

TEST_F(BindingModelTest, EachKeyDescribesWhatItAccepts) {
    const std::optional<SettingShape> bass = m_model.ShapeOf("Main.Bass");
    ASSERT_TRUE(bass.has_value());
    ASSERT_EQ(bass->choices.size(), 11u);
    EXPECT_EQ(bass->choices[0].shown, "-10 dB");
    EXPECT_EQ(bass->choices[0].stored, "-10");
    const std::optional<SettingShape> volume = m_model.ShapeOf("Main.Volume");
    EXPECT_EQ(volume->kind, SettingShape::Kind::Number);
    EXPECT_EQ(volume->minimum, -72);
    EXPECT_EQ(volume->maximum, 16);
    EXPECT_EQ(m_model.ShapeOf("Preset4.Name")->maximumLength, 12);
    EXPECT_FALSE(m_model.ShapeOf("Main.Sleep").has_value());
    m_state.modelBit = 8;
    EXPECT_FALSE(m_model.ModelHas("Main.SpeakerA"));
    EXPECT_TRUE(m_model.ModelHas("Main.Bass"));
}

}  // namespace
