#include "AppFixture.h"

#include "ControlPage.h"
#include "SettingPage.h"
#include "StepButtons.h"
#include "TypingLimit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <span>

namespace {

// One user action on a page and the commands the receiver must get, in order.
struct PageCase {
    const char* name;
    ControlId id;        // a combo, or the arrows of a number
    const char* choice;  // the entry to choose; "+" / "-" press the up / down arrow
    QByteArrayList sent;
};

class PagesScenario : public AppFixture {
protected:
    SettingPage* Page(const QString& title) {
        Window().SelectTab(title);
        auto* scroll = qobject_cast<QScrollArea*>(Window().Tabs()->currentWidget());
        return scroll == nullptr ? nullptr : qobject_cast<SettingPage*>(scroll->widget());
    }
    // A status line from the receiver: stored and shown, never answered.
    void Receive(const QByteArray& line) { Window().Session().TakeLine(line); }

    void Run(const QString& title, std::span<const PageCase> cases) {
        SettingPage* page = Page(title);
        ASSERT_NE(page, nullptr) << qPrintable(title);
        for (const PageCase& c : cases) {
            const qsizetype mark = CommandMark();
            const QByteArray choice(c.choice);
            if (choice == "+" || choice == "-") {
                auto* arrows = qobject_cast<StepButtons*>(page->Control(c.id));
                ASSERT_NE(arrows, nullptr) << c.name;
                (choice == "+" ? arrows->UpButton() : arrows->DownButton())->click();
            } else {
                auto* combo = qobject_cast<QComboBox*>(page->Control(c.id));
                ASSERT_NE(combo, nullptr) << c.name;
                ASSERT_TRUE(combo->isEnabled()) << c.name;
                Choose(combo, QString::fromLatin1(c.choice));
            }
            EXPECT_EQ(CommandsSince(mark), c.sent) << c.name;
        }
    }
};

TEST_F(PagesScenario, SourceInputsSendTheFormatBeforeTheInput) {
    ConnectToSim(3);
    const PageCase cases[] = {
        {"optical front",
         ControlId::Source2DigitalAudioInput,
         "OPTICAL FRONT",
         {"Source2.DigitalAudioFormat=Optical", "Source2.DigitalAudioInput=4"}},
        {"ext 7.1 sends the format only",
         ControlId::Source3AnalogAudioInput,
         "EXT 7.1",
         {"Source3.AnalogAudioFormat=7.1"}},
        {"audio mp",
         ControlId::Source3AnalogAudioInput,
         "AUDIO MP",
         {"Source3.AnalogAudioFormat=Stereo", "Source3.AnalogAudioInput=8"}},
        {"analog off",
         ControlId::Source1AnalogAudioInput,
         "OFF",
         {"Source1.AnalogAudioFormat=Off"}},
        {"svideo front",
         ControlId::Source1VideoInput,
         "SVIDEO FRONT",
         {"Source1.VideoFormat=SVideo", "Source1.VideoInput=6"}},
        {"component 3",
         ControlId::Source3VideoInput,
         "COMPONENT 3",
         {"Source3.VideoFormat=Component", "Source3.VideoInput=3"}},
        {"video off", ControlId::Source3VideoInput, "OFF", {"Source3.VideoFormat=Off"}},
        {"preset", ControlId::Source4Preset, "3", {"Source4.Preset=3"}},
    };
    Run("Source", cases);
    Receive("Source5.AnalogAudioInput=3");
    Receive("Source5.AnalogAudioFormat=7.1");
    EXPECT_EQ(qobject_cast<QComboBox*>(Page("Source")->Control(ControlId::Source5AnalogAudioInput))
                  ->currentText(),
              "EXT 7.1");
}

TEST_F(PagesScenario, SourceTriggersOfferTheTriggersUnderSourceControl) {
    ConnectToSim(3);
    const PageCase targets[] = {
        {"trigger 1 to source", ControlId::Trigger1Out, "Source", {"Main.Trigger1.Out=Source"}},
        {"trigger 2 to main", ControlId::Trigger2Out, "Main", {"Main.Trigger2.Out=Main"}},
        {"trigger 3 to source", ControlId::Trigger3Out, "Source", {"Main.Trigger3.Out=Source"}},
    };
    Run("Trigger", targets);
    SettingPage* source = Page("Source");
    for (int n = 1; n <= 10; ++n) {
        auto* combo = qobject_cast<QComboBox*>(
            source->Control(kSourceTriggerIds.at(static_cast<std::size_t>(n - 1))));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, (QStringList{"None", "1", "3", "1+3"})) << n;
    }
    const PageCase choice[] = {
        {"1+3 is stored as 5", ControlId::Source5TriggerOut, "1+3", {"Source5.TriggerOut=5"}}};
    Run("Source", choice);
}

TEST_F(PagesScenario, SourceNameAndEnabledBoxDriveTheControlPage) {
    ConnectToSim(3);
    SettingPage* source = Page("Source");
    ControlPage* control = Window().GetControlPage();
    auto* name = qobject_cast<QLineEdit*>(source->Control(ControlId::Source1Name));
    // Typing is held to 12 characters; a longer stored name is shown whole.
    auto* limit = qobject_cast<const TypingLimit*>(name->validator());
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->Maximum(), 12);
    qsizetype mark = CommandMark();
    name->selectAll();
    QTest::keyClicks(name, "TV");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(CommandsSince(mark), QByteArrayList{"Source1.Name=TV"});
    EXPECT_EQ(control->SourceButton(1)->text(), "TV");

    auto* tuner = qobject_cast<QCheckBox*>(source->Control(ControlId::Source10Enabled));
    ASSERT_TRUE(tuner->isChecked());
    mark = CommandMark();
    tuner->click();
    EXPECT_EQ(CommandsSince(mark), QByteArrayList{"Source10.Enabled=No"});
    EXPECT_FALSE(control->SourceButton(10)->isEnabled());
}

TEST_F(PagesScenario, SpeakerChoicesAndArrowsSendTheirValues) {
    ConnectToSim(3);
    Receive("Main.Level.Left=12");
    Receive("Main.Distance.Center=7");
    const PageCase cases[] = {
        {"back config",
         ControlId::SpeakerBackConfig1,
         "2 Speakers",
         {"Main.Speaker.Back.Config1=2"}},
        {"center crossover",
         ControlId::SpeakerCenterFrequency,
         "120Hz",
         {"Main.Speaker.Center.Frequency=120"}},
        {"front left level at +12", ControlId::LevelLeftArrows, "+", {}},
        {"front left level down", ControlId::LevelLeftArrows, "-", {"Main.Level.Left=11"}},
        {"center distance up", ControlId::DistanceCenterArrows, "+", {"Main.Distance.Center=8"}},
        {"front small",
         ControlId::SpeakerFrontConfig,
         "SMALL",
         {"Main.Speaker.Front.Config=Small"}},
    };
    Run("Speaker", cases);
    EXPECT_FALSE(Page("Speaker")->Control(ControlId::EnhancedBass)->isEnabled());
}

TEST_F(PagesScenario, PresetViewWithSpeakerSetupEditsThePresetsLevels) {
    ConnectToSim(3);
    const PageCase setup[] = {
        {"preset 3 speaker setup",
         ControlId::Preset3SetupSpeaker,
         "YES",
         {"Preset3.Setup.Speaker=Yes"}},
    };
    Run("A/V Preset", setup);
    Window().ViewCombo()->setCurrentIndex(3);
    SettingPage* speaker = Page("Speaker");
    auto* center = qobject_cast<QLineEdit*>(speaker->Control(ControlId::LevelCenter));
    ASSERT_TRUE(center->isEnabled());
    const QByteArray next = QByteArray::number(center->text().toInt() + 1);
    const PageCase cases[] = {
        {"center level up", ControlId::LevelCenterArrows, "+", {"Preset3.Level.Center=" + next}}};
    Run("Speaker", cases);
    EXPECT_EQ(Window().Store().GetValue("Preset3.Level.Center"), next);
    // Pages the preset does not carry stay closed.
    EXPECT_FALSE(Page("Source")->Control(ControlId::Source1Name)->isEnabled());
    EXPECT_FALSE(Page("Zone")->Control(ControlId::Zone2VolumeControl)->isEnabled());
}

TEST_F(PagesScenario, ListeningModeChoicesSendStoredValues) {
    ConnectToSim(3);
    const PageCase cases[] = {
        {"dts mode",
         ControlId::ListeningModeDTS,
         "NEO:6 Music",
         {"Main.ListeningMode.DTS=NEO6Music"}},
        {"dimension", ControlId::DolbyDimension, "-3", {"Main.Dolby.Dimension=-3"}},
        {"dts drc", ControlId::DTSDRC, "75%", {"Main.DTS.DRC=75"}},
        {"analog bypass",
         ControlId::ListeningModeAnalog,
         "Analog Bypass",
         {"Main.ListeningMode.Analog=AnalogBypass"}},
        {"enhanced stereo back",
         ControlId::EnhancedStereoBack,
         "OFF",
         {"Main.EnhancedStereo.Back=Off"}},
    };
    Run("Listening Mode", cases);
    SettingPage* page = Page("Listening Mode");
    auto* dimension = qobject_cast<QComboBox*>(page->Control(ControlId::DolbyDimension));
    EXPECT_EQ(dimension->itemText(0), "7");
    EXPECT_EQ(dimension->itemText(dimension->count() - 1), "-7");
    Receive("Main.DTS.CenterGain=1.5");
    EXPECT_EQ(qobject_cast<QComboBox*>(page->Control(ControlId::DTSCenterGain))->currentIndex(),
              -1);
}

TEST_F(PagesScenario, ZoneLevelsAndModes) {
    ConnectToSim(3);
    Receive("Zone3.VolumeControl=Fixed");
    Receive("Zone3.VolumeFixed=-20");
    Receive("Zone4.VolumeFixed=16");
    Receive("Zone4.VolumeControl=Fixed");
    const PageCase cases[] = {
        {"zone 2 fixed", ControlId::Zone2VolumeControl, "Fixed", {"Zone2.VolumeControl=Fixed"}},
        {"zone 3 level up",
         ControlId::Zone3VolumeFixedArrows,
         "+",
         {"Zone3.VolumeControl=Fixed", "Zone3.VolumeFixed=-19"}},
        {"zone 4 level at +16", ControlId::Zone4VolumeFixedArrows, "+", {}},
        {"zone 4 record out", ControlId::Zone4Mode, "Record Out", {"Zone4.Mode=Record"}},
        {"zone 2 variable",
         ControlId::Zone2VolumeControl,
         "Variable",
         {"Zone2.VolumeControl=Variable"}},
    };
    Run("Zone", cases);
    SettingPage* zone = Page("Zone");
    EXPECT_FALSE(zone->Control(ControlId::Zone2VolumeFixed)->isVisibleTo(zone));
    EXPECT_TRUE(zone->Control(ControlId::Zone3VolumeFixed)->isVisibleTo(zone));

    const qsizetype mark = CommandMark();
    Receive("Zone2.VolumeFixed=-7");
    EXPECT_EQ(qobject_cast<QLineEdit*>(zone->Control(ControlId::Zone2VolumeFixed))->text(), "-7");
    EXPECT_FALSE(zone->Control(ControlId::Zone2VolumeFixed)->isVisibleTo(zone));
    EXPECT_TRUE(CommandsBeforeBarrier(mark).isEmpty());
}

TEST_F(PagesScenario, TriggerAmplifierAndDisplayChoices) {
    ConnectToSim(3);
    Receive("Main.Trigger2.Delay=15");
    const PageCase trigger[] = {
        {"zone234", ControlId::Trigger3Out, "Zone234", {"Main.Trigger3.Out=Zone234"}},
        {"delay at 15", ControlId::Trigger2DelayArrows, "+", {}},
        {"delay down", ControlId::Trigger2DelayArrows, "-", {"Main.Trigger2.Delay=14"}},
    };
    Run("Trigger", trigger);
    const PageCase amplifier[] = {
        {"bi-amp", ControlId::AmpBack, "Front (Bi-Amp)", {"Main.Amp.Back=Front"}},
    };
    Run("Amplifier", amplifier);
    const PageCase display[] = {
        {"dim", ControlId::Dimmer, "Dim", {"Main.Dimmer=On"}},
        {"line 2",
         ControlId::VFDLine2,
         "Audio Source Format",
         {"Main.VFD.Line2=AudioSourceFormat"}},
        {"temp", ControlId::VFDDisplay, "TEMP", {"Main.VFD.Display=Temp"}},
    };
    Run("Display", display);
    Receive("Main.Dimmer=Off");
    EXPECT_EQ(qobject_cast<QComboBox*>(Page("Display")->Control(ControlId::Dimmer))->currentText(),
              "Bright");
}

TEST_F(PagesScenario, BackAmpIsDisabledOnAModelWithoutIt) {
    ConnectToSim(3, {"--model", "ZA08"});
    EXPECT_FALSE(Page("Amplifier")->Control(ControlId::AmpBack)->isEnabled());
}

}  // namespace
