#include "AppFixture.h"

#include "AvPresetPage.h"
#include "ControlPage.h"
#include "StepButtons.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

namespace {

class ControlScenario : public AppFixture {
protected:
    void ConnectToSim(const QStringList& extraArgs = {}) {
        AppFixture::ConnectToSim(3, extraArgs);
        Window().SelectTab("Control");
    }
    bool HasSetCommand(const QByteArrayList& commands) {
        for (const QByteArray& command : commands) {
            if (command.contains('='))
                return true;
        }
        return false;
    }
};

TEST_F(ControlScenario, BassInMainViewSendsMainBass) {
    ConnectToSim();
    const qsizetype mark = CommandMark();
    QComboBox* bass = ControlCombo(ControlId::Bass);
    Choose(bass, "4 dB");
    EXPECT_EQ(CommandsSince(mark), QByteArrayList{"Main.Bass=4"});
    EXPECT_EQ(Window().Store().GetValue("Main.Bass"), "4");
}

TEST_F(ControlScenario, BassInPresetTwoViewSendsPreset2Bass) {
    ConnectToSim();
    MainDialog& w = Window();
    ASSERT_TRUE(w.Store().SetValue("Preset2.Setup.ToneControls", "Yes"));
    w.ViewCombo()->setCurrentIndex(2);
    QComboBox* bass = ControlCombo(ControlId::Bass);
    ASSERT_TRUE(bass->isEnabled());
    const qsizetype mark = CommandMark();
    Choose(bass, "4 dB");
    EXPECT_EQ(CommandsSince(mark), QByteArrayList{"Preset2.Bass=4"});
    EXPECT_EQ(w.Store().GetValue("Preset2.Bass"), "4");
}

TEST_F(ControlScenario, PresetViewEnablesOnlyGroupsThePresetCovers) {
    MainDialog& w = Window();
    ASSERT_TRUE(w.Store().SetValue("Preset2.Setup.ToneControls", "Yes"));
    ASSERT_TRUE(w.Store().SetValue("Preset2.Setup.ListeningMode", "No"));
    ASSERT_TRUE(w.Store().SetValue("Preset2.Setup.DSPOptions", "No"));
    w.Binding().RefreshAllPages();
    w.ViewCombo()->setCurrentIndex(2);
    EXPECT_EQ(w.State().viewIndex, 2);
    for (ControlId id :
         {ControlId::Bass, ControlId::Treble, ControlId::CenterDialog, ControlId::ToneDefeat})
        EXPECT_TRUE(ControlWidget(id)->isEnabled()) << id;
    for (ControlId id : {ControlId::Power, ControlId::Mute, ControlId::Volume,
                         ControlId::ListeningMode, ControlId::LipSyncDelay, ControlId::Audyssey}) {
        EXPECT_FALSE(ControlWidget(id)->isEnabled()) << id;
    }
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(w.GetControlPage()->SourceButton(n)->isEnabled());

    ASSERT_TRUE(w.Store().SetValue("Preset2.Setup.ToneControls", "No"));
    w.Binding().RefreshAllPages();
    w.Binding().RefreshView();
    EXPECT_FALSE(ControlWidget(ControlId::Bass)->isEnabled());

    w.ViewCombo()->setCurrentIndex(0);
    for (ControlId id :
         {ControlId::Bass, ControlId::Power, ControlId::Volume, ControlId::ListeningMode})
        EXPECT_TRUE(ControlWidget(id)->isEnabled()) << id;
    EXPECT_TRUE(w.GetControlPage()->SourceButton(1)->isEnabled());
}

TEST_F(ControlScenario, VolumeUpSendsStepOnlyAndShowsReceiverAnswer) {
    ConnectToSim();
    MainDialog& w = Window();
    auto* volume = qobject_cast<QLineEdit*>(ControlWidget(ControlId::Volume));
    ASSERT_NE(volume, nullptr);
    auto* spin = qobject_cast<StepButtons*>(ControlWidget(ControlId::VolumeArrows));
    ASSERT_NE(spin, nullptr) << "volume spin ControlId::VolumeArrows is not registered";
    const QByteArray before = w.Store().GetValue("Main.Volume");
    const qsizetype mark = CommandMark();

    spin->UpButton()->click();
    // Nothing changes here until the receiver reports the new volume.
    EXPECT_EQ(w.Store().GetValue("Main.Volume"), before);
    EXPECT_EQ(volume->text(), QString::fromLatin1(before));

    ASSERT_TRUE(WaitFor([&] { return w.Store().GetValue("Main.Volume") != before; }, 3000));
    EXPECT_EQ(volume->text(), QString::fromLatin1(w.Store().GetValue("Main.Volume")));
    EXPECT_EQ(volume->text().toInt(), before.toInt() + 1);
    EXPECT_EQ(CommandsSince(mark), QByteArrayList{"Main.Volume+"});
}

TEST_F(ControlScenario, FrontPanelChangesReachStoreWithoutCommandSentBack) {
    ConnectToSim({"--front-panel-ms", "50"});
    MainDialog& w = Window();
    const std::vector<QByteArray> before = w.Store().Lines();
    const qsizetype mark = CommandMark();
    // A few changes arrive; none may be echoed.
    const qsizetype reported = m_sim->SentLines().size();
    ASSERT_TRUE(WaitFor([&] { return m_sim->SentLines().size() >= reported + 3; }, 4000));
    ASSERT_TRUE(WaitFor([&] { return w.Store().Lines() != before; }, 4000));
    EXPECT_FALSE(HasSetCommand(CommandsBeforeBarrier(mark)));

    // The Control page shows what the store now holds.
    EXPECT_EQ(qobject_cast<QLineEdit*>(ControlWidget(ControlId::Volume))->text(),
              QString::fromLatin1(w.Store().GetValue("Main.Volume")));
}

TEST_F(ControlScenario, StatusLineForBassSelectsComboWithoutEcho) {
    ConnectToSim();
    MainDialog& w = Window();
    const qsizetype mark = CommandMark();
    w.Session().TakeLine("Main.Bass=-6");
    EXPECT_EQ(ControlCombo(ControlId::Bass)->currentText(), "-6 dB");
    EXPECT_FALSE(HasSetCommand(CommandsBeforeBarrier(mark)));
}

TEST_F(ControlScenario, DiscAndTunerButtonsSendSourceNumbers) {
    ConnectToSim();
    ControlPage* page = Window().GetControlPage();
    const qsizetype mark = CommandMark();
    page->SourceButton(8)->click();
    EXPECT_FALSE(page->IsTunerSelected());
    page->SourceButton(10)->click();
    EXPECT_TRUE(page->IsTunerSelected());
    EXPECT_EQ(CommandsSince(mark), (QByteArrayList{"Main.Source=8", "Main.Source=10"}));
    EXPECT_EQ(Window().Store().GetValue("Main.Source"), "10");
}

struct MaskCase {
    const char* model;
    bool speakersEnabled;
    bool audysseyEnabled;
};

class ModelMask : public ControlScenario, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(ModelMask, ModelDecidesSpeakerAndAudysseyControls) {
    const MaskCase& c = GetParam();
    ConnectToSim({"--model", c.model});
    EXPECT_EQ(ControlWidget(ControlId::SpeakerA)->isEnabled(), c.speakersEnabled);
    EXPECT_EQ(ControlWidget(ControlId::SpeakerB)->isEnabled(), c.speakersEnabled);
    EXPECT_EQ(ControlWidget(ControlId::Audyssey)->isEnabled(), c.audysseyEnabled);
}

INSTANTIATE_TEST_SUITE_P(Models, ModelMask,
                         ::testing::Values(MaskCase{"ZA05", true, false},
                                           MaskCase{"ZA01", false, true},
                                           MaskCase{"ZA11", true, true}),
                         [](const auto& info) { return std::string(info.param.model); });

}  // namespace
