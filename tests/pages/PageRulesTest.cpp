#include "PagesFixture.h"
#include "StepButtons.h"

#include <QTest>
#include <QToolButton>

namespace {

constexpr ControlId kFrontConfig = ControlId::SpeakerFrontConfig;
constexpr ControlId kSubwoofer = ControlId::SpeakerSub;
constexpr ControlId kEnhancedBass = ControlId::EnhancedBass;

class PageRulesTest : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        Build(true);
    }
    StepButtons* Arrows(PageIndex page, ControlId id) const {
        return qobject_cast<StepButtons*>(Page(page).Control(id));
    }
    // What a status line does: store, then reload the one control.
    void Receive(const QByteArray& key, const QByteArray& value) {
        ASSERT_TRUE(m_store.SetValue(key, value)) << key.constData();
        m_binding->RefreshKey(key);
    }
};

struct EnhancedBassCase {
    const char* name;
    int front;  // 0 "LARGE", 1 "SMALL"
    int sub;    // 0 "ON", 1 "OFF"
    bool enabled;
};

TEST_F(PageRulesTest, EnhancedBassNeedsLargeFrontsAndASubwoofer) {
    const EnhancedBassCase cases[] = {
        {"large with sub", 0, 0, true},
        {"small with sub", 1, 0, false},
        {"large without sub", 0, 1, false},
        {"small without sub", 1, 1, false},
    };
    SettingPage& speaker = Page(PageIndex::Speaker);
    for (const EnhancedBassCase& c : cases) {
        Choose(speaker, kFrontConfig, c.front);
        Choose(speaker, kSubwoofer, c.sub);
        EXPECT_EQ(speaker.Control(kEnhancedBass)->isEnabled(), c.enabled) << c.name;
        // The rule holds after a reload as after a choice.
        m_binding->RefreshAllPages();
        EXPECT_EQ(speaker.Control(kEnhancedBass)->isEnabled(), c.enabled) << c.name;
    }
    EXPECT_EQ(m_store.GetValue("Main.EnhancedBass"), "Off");
}

TEST_F(PageRulesTest, EnhancedBassNeverEnablesWhatThePresetViewDisables) {
    SettingPage& speaker = Page(PageIndex::Speaker);
    ASSERT_TRUE(m_store.SetValue("Preset2.Setup.Speaker", "No"));
    m_binding->RefreshAllPages();
    SetView(2);
    // Large fronts and a subwoofer shown, as a preset holding them would show.
    Combo(speaker, kFrontConfig)->setCurrentIndex(0);
    Combo(speaker, kSubwoofer)->setCurrentIndex(0);
    m_binding->ApplyEnableRule(*FindRowByControl(kEnhancedBass));
    EXPECT_FALSE(speaker.Control(kEnhancedBass)->isEnabled());
    SetView(0);
    Choose(speaker, kFrontConfig, 0);
    Choose(speaker, kSubwoofer, 0);
    EXPECT_TRUE(speaker.Control(kEnhancedBass)->isEnabled());
}

TEST_F(PageRulesTest, SetupSwitchFromTheStoreDecidesWhatThePresetViewEdits) {
    SetView(2);
    Receive("Preset2.Setup.Speaker", "Yes");
    EXPECT_TRUE(Page(PageIndex::Speaker).Control(ControlId::LevelLeft)->isEnabled());
    ASSERT_TRUE(m_store.SetValue("Preset2.Setup.Speaker", "No"));
    m_binding->RefreshAllPages();  // after connecting or loading a file
    EXPECT_FALSE(Page(PageIndex::Speaker).Control(ControlId::LevelLeft)->isEnabled());
}

TEST_F(PageRulesTest, RowWithoutItsKeyIsEmptyAndDisabledUntilTheKeyArrives) {
    // Preset 2's front speaker in neither spelling, as from a receiver that did not answer it.
    const std::vector<QByteArray> lines = m_store.Lines();
    m_store.Clear();
    for (const QByteArray& line : lines) {
        if (!line.startsWith("Preset2.Speaker.Front="))
            m_store.Append(line);
    }
    SetView(2);
    Choose(*m_avPreset, ControlId::Preset2SetupSpeaker, 0);  // preset 2 "Speaker Setup": "YES"
    QComboBox* front = Combo(Page(PageIndex::Speaker), kFrontConfig);
    for (const QString& reason : {PageBinding::kNotReadReason, QString()}) {
        EXPECT_EQ(front->isEnabled(), reason.isEmpty());
        EXPECT_EQ(front->toolTip(), reason);
        EXPECT_EQ(front->accessibleDescription(), reason);
        m_store.Append("Preset2.Speaker.Front.Config=Large");  // as a bulk read or a file brings it
        m_binding->RefreshAllPages();
    }
}

struct ArrowLimitCase {
    const char* key;
    PageIndex page;
    ControlId editId;
    ControlId arrowsId;
    int minimum;
    int maximum;
};

TEST_F(PageRulesTest, ArrowsSendTheNextNumberAndNothingAtTheirLimits) {
    const ArrowLimitCase cases[] = {
        {"Main.Level.Left", PageIndex::Speaker, ControlId::LevelLeft, ControlId::LevelLeftArrows,
         -12, 12},
        {"Main.Distance.Sub", PageIndex::Speaker, ControlId::DistanceSub,
         ControlId::DistanceSubArrows, 0, 30},
        {"Main.Trigger2.Delay", PageIndex::Trigger, ControlId::Trigger2Delay,
         ControlId::Trigger2DelayArrows, 0, 15},
        {"Zone3.VolumeFixed", PageIndex::Zone, ControlId::Zone3VolumeFixed,
         ControlId::Zone3VolumeFixedArrows, -72, 16},
    };
    for (const ArrowLimitCase& c : cases) {
        StepButtons* arrows = Arrows(c.page, c.arrowsId);
        ASSERT_NE(arrows, nullptr) << c.key;
        for (const bool up : {true, false}) {
            const int limit = up ? c.maximum : c.minimum;
            Receive(c.key, QByteArray::number(limit));
            m_updates.clear();
            (up ? arrows->UpButton() : arrows->DownButton())->click();
            EXPECT_TRUE(m_updates.empty()) << c.key << " at " << limit;
            (up ? arrows->DownButton() : arrows->UpButton())->click();
            ASSERT_FALSE(m_updates.empty()) << c.key;
            EXPECT_EQ(m_updates.back(),
                      (KeyValue{c.key, QByteArray::number(up ? limit - 1 : limit + 1)}))
                << c.key;
            EXPECT_EQ(Edit(Page(c.page), c.editId)->text().toInt(), up ? limit - 1 : limit + 1);
        }
    }
}

TEST_F(PageRulesTest, UpAndDownKeysInANumberPressItsArrows) {
    QLineEdit* delay = Edit(Page(PageIndex::Trigger), ControlId::Trigger1Delay);
    Receive("Main.Trigger1.Delay", "4");
    QTest::keyClick(delay, Qt::Key_Up);
    QTest::keyClick(delay, Qt::Key_Up);
    QTest::keyClick(delay, Qt::Key_Down);
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Main.Trigger1.Delay", "5"},
                                                {"Main.Trigger1.Delay", "6"},
                                                {"Main.Trigger1.Delay", "5"}}));
}

TEST_F(PageRulesTest, ArrowsFollowTheirNumbersEnabledState) {
    SetView(3);  // Preset3 carries no speaker setup by default.
    EXPECT_FALSE(Page(PageIndex::Speaker).Control(ControlId::LevelCenter)->isEnabled());
    EXPECT_FALSE(Arrows(PageIndex::Speaker, ControlId::LevelCenterArrows)->isEnabled());
    EXPECT_FALSE(Arrows(PageIndex::Trigger, ControlId::Trigger1DelayArrows)->isEnabled());
    SetView(0);
    EXPECT_TRUE(Arrows(PageIndex::Speaker, ControlId::LevelCenterArrows)->isEnabled());
    EXPECT_TRUE(Arrows(PageIndex::Trigger, ControlId::Trigger1DelayArrows)->isEnabled());
}

TEST_F(PageRulesTest, ZoneLevelSendsItsVolumeControlFirst) {
    Receive("Zone3.VolumeControl", "Fixed");
    Receive("Zone3.VolumeFixed", "-20");
    m_updates.clear();
    Arrows(PageIndex::Zone, ControlId::Zone3VolumeFixedArrows)->UpButton()->click();
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Zone3.VolumeControl", "Fixed"},
                                                {"Zone3.VolumeFixed", "-19"}}));
}

struct VisibilityCase {
    const char* name;
    const char* key;
    const char* value;
    bool shown;
};

TEST_F(PageRulesTest, ZoneLevelIsShownUnlessTheVolumeIsVariable) {
    const VisibilityCase cases[] = {
        {"fixed by status line", "Zone2.VolumeControl", "Fixed", true},
        {"level by status line", "Zone2.VolumeFixed", "-5", true},
        {"variable by status line", "Zone2.VolumeControl", "Variable", false},
        {"level while variable", "Zone2.VolumeFixed", "-6", false},
        {"unknown control", "Zone2.VolumeControl", "Loud", true},
    };
    SettingPage& zone = Page(PageIndex::Zone);
    for (const VisibilityCase& c : cases) {
        Receive(c.key, c.value);
        EXPECT_EQ(zone.Control(ControlId::Zone2VolumeFixed)->isVisibleTo(&zone), c.shown) << c.name;
        EXPECT_EQ(zone.Control(ControlId::Zone2VolumeFixedArrows)->isVisibleTo(&zone), c.shown)
            << c.name;
    }
    EXPECT_EQ(Edit(zone, ControlId::Zone2VolumeFixed)->text(), "-6");
    EXPECT_TRUE(m_updates.empty());

    Choose(zone, ControlId::Zone2VolumeControl, 1);  // "Fixed"
    EXPECT_TRUE(zone.Control(ControlId::Zone2VolumeFixed)->isVisibleTo(&zone));
    Choose(zone, ControlId::Zone2VolumeControl, 0);  // "Variable"
    EXPECT_FALSE(zone.Control(ControlId::Zone2VolumeFixed)->isVisibleTo(&zone));
    EXPECT_EQ(m_updates, (std::vector<KeyValue>{{"Zone2.VolumeControl", "Fixed"},
                                                {"Zone2.VolumeControl", "Variable"}}));
}

TEST_F(PageRulesTest, StatusLineForAFormatShowsTheInputAnew) {
    SettingPage& source = Page(PageIndex::Source);
    Receive("Source5.AnalogAudioInput", "3");
    Receive("Source5.AnalogAudioFormat", "Stereo");
    EXPECT_EQ(Shown(source, ControlId::Source5AnalogAudioInput), "AUDIO 3");
    Receive("Source5.AnalogAudioFormat", "7.1");
    EXPECT_EQ(Shown(source, ControlId::Source5AnalogAudioInput), "EXT 7.1");
    Receive("Source2.VideoFormat", "Component");
    EXPECT_EQ(Shown(source, ControlId::Source2VideoInput), "COMPONENT 2");
    EXPECT_TRUE(m_updates.empty());
}

TEST_F(PageRulesTest, StatusLineForATriggerTargetFiltersTheSourceTriggers) {
    SettingPage& source = Page(PageIndex::Source);
    Receive("Main.Trigger3.Out", "Zone2");
    EXPECT_EQ(Combo(source, SourceTriggerId(4))->count(), 1);
    Receive("Main.Trigger1.Out", "Source");
    QComboBox* trigger = Combo(source, SourceTriggerId(4));
    ASSERT_EQ(trigger->count(), 2);
    EXPECT_EQ(trigger->itemText(1), "1");
    EXPECT_TRUE(m_updates.empty());
}

TEST_F(PageRulesTest, TunerInputsStandDisabledAndUnbound) {
    SettingPage& source = Page(PageIndex::Source);
    for (ControlId id : {ControlId::Source10AnalogAudioInput, ControlId::Source10DigitalAudioInput,
                         ControlId::Source10VideoInput}) {
        ASSERT_NE(source.Control(id), nullptr) << id;
        EXPECT_FALSE(source.Control(id)->isEnabled()) << id;
        EXPECT_FALSE(m_binding->ControlChanged(id, QByteArray("HDMI 1"))) << id;
    }
    EXPECT_TRUE(source.Control(ControlId::Source9VideoInput)->isEnabled());
}

}  // namespace
