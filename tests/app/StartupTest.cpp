#include "AppFixture.h"
#include "Prompts.h"

#include "ControlPage.h"
#include "DefaultSettings.h"
#include "Profile.h"
#include "ProgressWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTabWidget>

namespace {

QByteArray DefaultValue(const QByteArray& key) {
    for (const QByteArray& line : DefaultLines()) {
        if (line.startsWith(key + "="))
            return line.mid(key.size() + 1);
    }
    return {};
}

class Startup : public AppFixture {};

TEST_F(Startup, FirstRunShowsAutoDetectMainAndDefaults) {
    MainDialog& w = Window();
    EXPECT_EQ(w.windowTitle(), "Velmar AVR Ampdesk");
    EXPECT_EQ(w.PortCombo()->currentText(), "Auto-Detect");
    EXPECT_EQ(w.ViewCombo()->currentText(), "Main");
    EXPECT_EQ(w.StatusText(), "Not Connected to a Unit");
    EXPECT_EQ(w.Store().LineCount(), static_cast<int>(DefaultLines().size()));
    EXPECT_FALSE(w.State().connected);
    EXPECT_EQ(w.State().modelBit, 0u);

    auto* volume = qobject_cast<QLineEdit*>(ControlWidget(ControlId::Volume));
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->text(), QString::fromLatin1(DefaultValue("Main.Volume")));
    QComboBox* bass = ControlCombo(ControlId::Bass);
    ASSERT_NE(bass, nullptr);
    EXPECT_EQ(bass->currentText(), QString::fromLatin1(DefaultValue("Main.Bass")) + " dB");
    EXPECT_TRUE(w.ConnectButton()->isDefault());
}

TEST_F(Startup, WindowCarriesTabsCombosAndMenusInOrder) {
    MainDialog& w = Window();
    QStringList tabs;
    for (int i = 0; i < w.Tabs()->count(); ++i) {
        tabs << w.Tabs()->tabText(i);
        auto* scroll = qobject_cast<QScrollArea*>(w.Tabs()->widget(i));
        ASSERT_NE(scroll, nullptr);
        EXPECT_TRUE(scroll->widgetResizable());
    }
    EXPECT_EQ(tabs, (QStringList{"Source", "Amplifier", "Display", "Listening Mode", "Speaker",
                                 "Trigger", "Zone", "A/V Preset", "Control", "Tuner"}));

    QStringList views;
    for (int i = 0; i < w.ViewCombo()->count(); ++i)
        views << w.ViewCombo()->itemText(i);
    EXPECT_EQ(views, (QStringList{"Main", "Preset 1 Settings", "Preset 2 Settings",
                                  "Preset 3 Settings", "Preset 4 Settings", "Preset 5 Settings"}));
    EXPECT_TRUE(w.PortCombo()->isEditable());
    EXPECT_EQ(w.PortCombo()->count(), 10);

    QStringList items;
    for (QAction* menu : w.MenuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            items << (item->isSeparator() ? "-"
                                          : item->text() + (item->isEnabled() ? "" : "(off)"));
        }
    }
    EXPECT_EQ(items,
              (QStringList{"&Save Settings", "&Load Settings", "-", "&Compare with Receiver...",
                           "Sna&pshots...", "-", "E&xit", "&Terminal", "&Contents", "-",
                           "Check for &upgrade", "-", "&About"}));
}

TEST_F(Startup, ChosenPortIsPreselectedAfterRestartTypedNameIsNot) {
    Choose(Window().PortCombo(), "COM3");
    EXPECT_EQ(QSettings(Profile::FilePath(), QSettings::IniFormat).value("Settings/Port"), "COM3");
    Window().PortCombo()->setEditText("/dev/ttyUSB7");
    EXPECT_EQ(Restart().PortCombo()->currentText(), "COM3");
}

struct ProfileCase {
    const char* stored;
    int expectedIndex;  // -1: no selection
};

TEST_F(Startup, ProfilePreselectsFirstItemBeginningWithItIgnoringCase) {
    const ProfileCase cases[] = {{"com7", 7}, {"COM", 1}, {"auto", 0}, {"ttyUSB0", -1}};
    for (const ProfileCase& c : cases) {
        Profile::WritePort(c.stored);
        EXPECT_EQ(Restart().PortCombo()->currentIndex(), c.expectedIndex) << c.stored;
    }
}

TEST_F(Startup, ConnectAnsweredNoChangesNothing) {
    SimProcess& sim = StartSim(3);
    MainDialog& w = Window();
    w.PortCombo()->setCurrentIndex(3);
    const std::vector<QByteArray> before = w.Store().Lines();
    m_prompts.answerYes = false;
    w.OnConnect();
    EXPECT_EQ(m_prompts.questions,
              QStringList{"Warning: Connecting imports settings and overwrites any unsaved "
                          "changes, continue?"});
    EXPECT_EQ(w.StatusText(), "Not Connected to a Unit");
    EXPECT_FALSE(w.Session().IsOpen());
    EXPECT_EQ(w.Store().Lines(), before);
    EXPECT_TRUE(w.ConnectButton()->isEnabled());
    EXPECT_TRUE(sim.ReceivedCommands().isEmpty());
}

TEST_F(Startup, ProgressWindowShowsLabelBarAndCancelOnlyWhileRunning) {
    ProgressWindow* progress = Window().GetProgressWindow();
    progress->Begin("Restoring Receiver Settings...");
    EXPECT_EQ(progress->windowTitle(), "Progress");
    EXPECT_FALSE(progress->isModal());
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->Label(), "Restoring Receiver Settings...");
    EXPECT_TRUE(progress->CancelButton()->isEnabled());
    progress->SetPercent(42);
    EXPECT_EQ(progress->Percent(), 42);
    progress->SetPercent(250);
    EXPECT_EQ(progress->Percent(), 100);
    progress->End();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(progress->CancelButton()->isEnabled());
}

TEST_F(Startup, CloseClosesTheOpenPort) {
    StartSim(3);
    ASSERT_TRUE(ConnectOn("COM3"));
    Window().reject();
    EXPECT_FALSE(Window().Session().IsOpen());
    EXPECT_FALSE(Window().isVisible());
}

}  // namespace

namespace {

// A receiver's value may hold an ESC: a box shows it visibly, keeping the
// message's own line breaks and tabs.
TEST(MessageBoxText, ControlBytesShowVisibly) {
    EXPECT_EQ(DialogPrompts::Shown(QStringLiteral("a\x1b[2J\tb\nc\x7f")),
              QStringLiteral("a\\x1B[2J\tb\nc\\x7F"));
}

}  // namespace
