#include "WindowTestSupport.h"

#include "ControlIds.h"
#include "ProgressWindow.h"
#include "SettingPage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "Profile.h"

#include <functional>

namespace {

class WindowFaults : public WindowFixture {
protected:
    QString PathOf(const char* name) const { return m_home.path() + "/" + name; }
    // Runs `during` once, from inside the bulk read or restore that `operation` starts.
    void WhileStoreIsBusy(const std::function<void()>& operation,
                          const std::function<void()>& during) {
        bool done = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done || !Window().Session().IsBusy())
                return;
            done = true;
            during();
        });
        poll.start(1);
        operation();
        WaitUntilFree();
        EXPECT_TRUE(done) << "the operation ended before the store was seen busy";
    }
    QAction* MenuItem(const QString& text) {
        for (QAction* menu : Window().MenuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (item->text().remove('&') == text)
                    return item;
            }
        }
        return nullptr;
    }
};

TEST_F(WindowFaults, WindowIsAMainWindowWithTheProgramIcon) {
    MainDialog& w = Window();
    EXPECT_EQ(w.windowType(), Qt::Window);
    for (Qt::WindowType hint :
         {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint}) {
        EXPECT_TRUE(w.windowFlags().testFlag(hint)) << hint;
    }
    const QIcon icon = w.windowIcon();
    ASSERT_FALSE(icon.isNull());
    // Drawn from the SVG at any size a desktop asks for.
    for (int size : {16, 48, 256})
        EXPECT_FALSE(icon.pixmap(size).isNull()) << size;
}

TEST_F(WindowFaults, AboutShowsTheBetaVersionWithoutHoldingUpTheWindow) {
    QAction* about = MenuItem("About");
    ASSERT_NE(about, nullptr);
    about->trigger();
    // Back here while the box is up: nothing waited for it.
    auto* box = Window().findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains("BETA v1.2")) << qPrintable(box->text());
    box->accept();
}

struct CloseAttempt {
    const char* name;
    std::function<void(ProgressWindow&)> attempt;
};

void PrintTo(const CloseAttempt& c, std::ostream* os) {
    *os << c.name;
}

class ProgressWindowStays : public WindowFixture,
                            public ::testing::WithParamInterface<CloseAttempt> {};

TEST_P(ProgressWindowStays, UntilTheOperationEnds) {
    ShownWindow();
    ProgressWindow& progress = *Window().GetProgressWindow();
    EXPECT_FALSE(progress.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    progress.Begin("Connecting to ZA11 on COM3");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&progress));
    GetParam().attempt(progress);
    QApplication::processEvents();
    EXPECT_TRUE(progress.isVisible());
    progress.End();
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(Window().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Progress, ProgressWindowStays,
                         ::testing::Values(CloseAttempt{"Escape",
                                                        [](ProgressWindow& p) {
                                                            p.activateWindow();
                                                            QTest::keyClick(&p, Qt::Key_Escape);
                                                        }},
                                           CloseAttempt{"WindowManagerClose",
                                                        [](ProgressWindow& p) { p.close(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class BusyOperation { ConnectTimeRead, Restore };

void PrintTo(BusyOperation operation, std::ostream* os) {
    *os << (operation == BusyOperation::Restore ? "Restore" : "ConnectTimeRead");
}

class SaveWhileBusy : public WindowFaults, public ::testing::WithParamInterface<BusyOperation> {};

// A store half refilled is no backup: Save is refused as Connect and Load are.
TEST_P(SaveWhileBusy, IsRefusedWithTheBusyMessage) {
    MainDialog& w = Window();
    StartSim(3, {"--latency-ms", "1"});
    const QString during = PathOf("during.kvx");
    QString toldAtOnce;
    auto saveDuring = [&] {
        m_prompts.savePath = during;
        w.SaveSettings();
        toldAtOnce = w.StatusReason();
    };
    if (GetParam() == BusyOperation::ConnectTimeRead) {
        WhileStoreIsBusy([&] { ASSERT_TRUE(ConnectOn("COM3")); }, saveDuring);
    } else {
        ASSERT_TRUE(ConnectOn("COM3"));
        m_prompts.savePath = PathOf("backup.kvx");
        w.SaveSettings();
        ASSERT_TRUE(QFile::exists(m_prompts.savePath));
        m_prompts.openPaths = {m_prompts.savePath};
        WhileStoreIsBusy([&] { w.LoadSettings(); }, saveDuring);
    }
    EXPECT_FALSE(QFile::exists(during));
    // Said at once on the status line, not by a box that waits for the operation.
    EXPECT_EQ(toldAtOnce, MainDialog::kBusyMessage);
    EXPECT_EQ(w.StatusReason(), "");
    EXPECT_TRUE(m_prompts.messages.isEmpty()) << qPrintable(m_prompts.messages.join('|'));
    // Once the operation is over the same command saves.
    saveDuring();
    EXPECT_TRUE(QFile::exists(during));
}

INSTANTIATE_TEST_SUITE_P(Operations, SaveWhileBusy,
                         ::testing::Values(BusyOperation::ConnectTimeRead, BusyOperation::Restore),
                         [](const auto& info) {
                             return info.param == BusyOperation::Restore ? "Restore"
                                                                         : "ConnectTimeRead";
                         });

// Typed at an ordinary pace while each set's answer comes 200 ms later, a
// name stays as typed and reaches the receiver whole, not letter by letter.
TEST_F(WindowFaults, NameTypedWhileAnswersArriveIsKeptAndSentWhole) {
    MainDialog& w = ShownWindow();
    ConnectToSim(3, {"--set-latency-ms", "200"});
    ASSERT_TRUE(w.SelectTab("Source"));
    auto* name = qobject_cast<QLineEdit*>(
        w.Binding().Page(static_cast<int>(PageIndex::Source))->Control(kSourceNameIds[0]));
    name->setFocus(Qt::TabFocusReason);
    name->selectAll();
    const qsizetype mark = CommandMark();
    const QString typed = "Den Stereo";
    qsizetype keys = 0;
    QTimer pace;
    // A key every 150 ms, and a rest after "Den" in which it goes out: its
    // answer comes while " Stereo" is typed.
    QObject::connect(&pace, &QTimer::timeout, [&] {
        QTest::keyClick(name, keys < typed.size() ? typed[keys].toLatin1() : '\t');
        pace.setInterval(++keys == 3 ? 500 : 150);
    });
    pace.start(150);
    ASSERT_TRUE(WaitFor([&] { return !name->hasFocus(); }, 5000));
    pace.stop();
    ASSERT_TRUE(
        WaitFor([&] { return m_sim->SentLines().contains("Source1.Name=Den Stereo"); }, 3000));
    QByteArrayList sets = m_sim->ReceivedCommands().mid(mark);
    sets.removeIf([](const QByteArray& command) { return !command.startsWith("Source1.Name="); });
    EXPECT_LE(sets.size(), 3) << sets.join('|').constData();
    EXPECT_EQ(sets.value(sets.size() - 1), "Source1.Name=Den Stereo");
    EXPECT_EQ(name->text(), typed);
}

TEST_F(WindowFaults, EscapeDuringTheReadLeavesWindowAndReadAlone) {
    MainDialog& w = ShownWindow();
    StartSim(3, {"--latency-ms", "2"});
    WhileStoreIsBusy([&] { ConnectOn("COM3"); }, [&] { QTest::keyClick(&w, Qt::Key_Escape); });
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.State().connected);
}

enum class CloseBy { Button, ExitItem, WindowManager };

struct CloseCase {
    const char* name;
    CloseBy by;
    bool yes;  // the answer to "stop and close?"
};

class CloseDuringRestore : public WindowFaults, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringRestore, AsksFirstAndReportsBeforeClosing) {
    const CloseCase& c = GetParam();
    MainDialog& w = ShownWindow();
    StartSim(3, {"--latency-ms", "3"});
    ASSERT_TRUE(ConnectOn("COM3"));
    m_prompts.savePath = PathOf("backup.kvx");
    w.SaveSettings();
    m_prompts.openPaths = {m_prompts.savePath};
    m_prompts.answerYes = c.yes;
    QStringList reportsWhileShown;
    m_prompts.whileShowing = [&] {
        if (w.isVisible())
            reportsWhileShown << m_prompts.messages.last();
    };
    WhileStoreIsBusy([&] { w.LoadSettings(); },
                     [&] {
                         if (c.by == CloseBy::Button)
                             w.CloseButton()->click();
                         else if (c.by == CloseBy::ExitItem)
                             MenuItem("Exit")->trigger();
                         else
                             w.close();
                     });
    EXPECT_EQ(m_prompts.questions.value(1), MainDialog::kStopRestoreToClose);
    EXPECT_EQ(WaitFor([&] { return !w.isVisible(); }, c.yes ? 3000 : 0), c.yes);
    EXPECT_EQ(reportsWhileShown.filter("cancelled").size(), c.yes ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Window, CloseDuringRestore,
    ::testing::Values(CloseCase{"CloseButtonAnsweredNoKeepsRestoring", CloseBy::Button, false},
                      CloseCase{"ExitAnsweredYesStopsAndReports", CloseBy::ExitItem, true},
                      CloseCase{"WindowManagerCloseAnsweredYesStopsAndReports",
                                CloseBy::WindowManager, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct PortEntryCase {
    const char* name;
    const char* typed;       // typed over the combo's text, nullptr: nothing typed
    Qt::Key key;             // pressed afterwards
    const char* remembered;  // the profile's port afterwards, nullptr: none written
    bool connects;           // the key pressed Connect
};

void PrintTo(const PortEntryCase& c, std::ostream* os) {
    *os << c.name;
}

class PortEntry : public WindowFixture, public ::testing::WithParamInterface<PortEntryCase> {};

TEST_P(PortEntry, OnlyAChoiceFromTheListIsRemembered) {
    const PortEntryCase& c = GetParam();
    MainDialog& w = ShownWindow();
    QComboBox* port = w.PortCombo();
    port->setFocus();
    if (c.typed != nullptr) {
        port->lineEdit()->selectAll();
        QTest::keyClicks(port->lineEdit(), c.typed);
    }
    m_prompts.answerYes = false;
    QTest::keyClick(QApplication::focusWidget(), c.key);

    const QSettings profile(Profile::FilePath(), QSettings::IniFormat);
    if (c.remembered != nullptr) {
        EXPECT_EQ(profile.value("Settings/Port").toString(), c.remembered);
    } else {
        EXPECT_FALSE(profile.contains("Settings/Port"));
    }
    EXPECT_EQ(m_prompts.questions.size(), c.connects ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    ComPort, PortEntry,
    ::testing::Values(
        PortEntryCase{"TypedMatchingNameThenTabAway", "com5", Qt::Key_Tab, nullptr, false},
        PortEntryCase{"TypedMatchingNameThenEnter", "com5", Qt::Key_Return, nullptr, true},
        PortEntryCase{"TypedOtherNameThenEnter", "/dev/ttyUSB0", Qt::Key_Return, nullptr, true},
        PortEntryCase{"ArrowKeyChoosesFromTheList", nullptr, Qt::Key_Down, "COM1", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
