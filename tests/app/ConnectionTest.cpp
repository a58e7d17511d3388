#include "AppFixture.h"

#include "ControlPage.h"
#include "ProgressWindow.h"
#include "ReceiverSession.h"
#include "SnapshotStore.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

class ConnectionScenario : public AppFixture {};

// Closing the window while Auto-Detect waits on a silent COM1 stops it there:
// COM2, where a receiver would answer, is never opened.
TEST_F(ConnectionScenario, ClosingDuringAutoDetectOpensNoFurtherPort) {
    SimProcess silent({"--baud", "0", "--silent"});
    LinkPort(1, silent.LinkPath());
    SimProcess& answering = StartSim(2);
    MainDialog& w = Window();
    w.PortCombo()->setEditText("Auto-Detect");
    w.OnConnect();
    ASSERT_TRUE(WaitFor([&] { return silent.ReceivedCommands().contains("Main.Model?"); }, 3000));
    w.reject();
    ASSERT_TRUE(WaitFor([&] { return !w.Session().IsAttempting(); }, 3000));
    EXPECT_FALSE(w.Session().IsOpen());
    EXPECT_TRUE(w.ConnectButton()->isEnabled());
    EXPECT_EQ(w.StatusText(), "Not connected to a Unit");
    // COM2 was never tried, let alone opened or asked.
    for (const QString& status : StatusHistory())
        EXPECT_FALSE(status.contains("COM2")) << qPrintable(status);
    Restart();
    EXPECT_TRUE(answering.ReceivedCommands().isEmpty());
    EXPECT_FALSE(answering.Log().contains("line opened"));
}

// The Progress window's Cancel stops the connect-time read: the settings shown
// before stay, the port closes.
TEST_F(ConnectionScenario, CancelDuringTheReadKeepsTheOldSettings) {
    SimProcess& sim = StartSim(3, {"--latency-ms", "2"});
    MainDialog& w = Window();
    const std::vector<QByteArray> before = w.Store().Lines();
    w.PortCombo()->setEditText("COM3");
    w.OnConnect();
    ASSERT_TRUE(WaitFor([&] { return sim.ReceivedCommands().size() > 20; }, 5000));
    ASSERT_TRUE(w.GetProgressWindow()->IsRunning());
    QTest::mouseClick(const_cast<QPushButton*>(w.GetProgressWindow()->CancelButton()),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !w.Session().IsAttempting(); }, 3000));
    EXPECT_FALSE(w.GetProgressWindow()->IsRunning());
    EXPECT_FALSE(w.State().connected);
    EXPECT_FALSE(w.Session().IsOpen());
    EXPECT_EQ(w.StatusText(), "Not connected to a Unit");
    EXPECT_EQ(w.Store().Lines(), before);
    EXPECT_TRUE(SnapshotStore().List().empty()) << "a cancelled read keeps no snapshot";
}

TEST_F(ConnectionScenario, AutoDetectFindsReceiverOnCom3AndStopsThere) {
    // COM1 and COM2 point nowhere so that they fail whatever the machine has.
    LinkPort(1, m_home.path() + "/missing-1");
    LinkPort(2, m_home.path() + "/missing-2");
    SimProcess& sim = StartSim(3);
    MainDialog& w = Window();
    ASSERT_EQ(w.PortCombo()->currentText(), "Auto-Detect");
    EXPECT_TRUE(ConnectOn("Auto-Detect"));

    EXPECT_EQ(
        StatusHistory(),
        (QStringList{"Not Connected to a Unit", "Connecting on COM1 ...", "Cannot open Com Port",
                     "Connecting on COM2 ...", "Cannot open Com Port", "Connecting on COM3 ...",
                     "Connecting to ZA11 on COM3", "Connected to ZA11 on COM3"}));
    EXPECT_EQ(w.State().modelBit, 1u);
    EXPECT_EQ(w.State().portName, "COM3");
    EXPECT_TRUE(w.Session().IsKeepAliveRunning());
    EXPECT_TRUE(w.ConnectButton()->isEnabled());
    const QByteArrayList commands = sim.ReceivedCommands();
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(commands.first(), "Main.Model?");
    EXPECT_EQ(commands.at(1), "TUNER.DigitalMode?");
    // The bulk read filled the store with the receiver's own answers.
    EXPECT_GT(w.Store().LineCount(), 500);
    EXPECT_NE(w.Store().GetValue("Main.Volume"), SettingsStore::kError);
}

TEST_F(ConnectionScenario, AutoDetectWithoutReceiverEndsOnCom9) {
    for (int n = 1; n <= 9; ++n)
        LinkPort(n, m_home.path() + "/missing");
    EXPECT_FALSE(ConnectOn("auto-detect"));
    EXPECT_EQ(StatusHistory().size(), 1 + 2 * 9);
    EXPECT_EQ(StatusHistory().at(StatusHistory().size() - 2), "Connecting on COM9 ...");
    EXPECT_EQ(Window().StatusText(), "Cannot open Com Port");
}

TEST_F(ConnectionScenario, TypedDevicePathIsOpenedAsTyped) {
    SimProcess sim({"--baud", "0"});
    EXPECT_TRUE(ConnectOn(sim.LinkPath()));
    EXPECT_EQ(Window().StatusText(), "Connected to ZA11 on " + sim.LinkPath());
}

struct ModelCase {
    const char* name;
    const char* simModel;
    bool connected;
    unsigned modelBit;
    const char* status;
    bool portOpen;
};

const ModelCase kModelCases[] = {
    {"BlanksTrimmed", " ZA04 ", true, 128, "Connected to ZA04 on COM3", true},
    {"OtherCaseAcceptedWithItsBit", "za04", true, 128, "Connected to za04 on COM3", true},
    {"UnknownModelLeavesPortOpen", "ZZ99", false, 0, "Not connected to a Unit", true},
};

class ModelAnswer : public AppFixture, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ModelAnswer, DecidesConnectionAndModelBit) {
    const ModelCase& c = GetParam();
    SimProcess& sim = StartSim(3, {"--model", c.simModel});
    MainDialog& w = Window();
    EXPECT_EQ(ConnectOn("COM3"), c.connected);
    EXPECT_EQ(w.State().modelBit, c.modelBit);
    EXPECT_EQ(w.StatusText(), c.status);
    EXPECT_EQ(w.Session().IsOpen(), c.portOpen);
    const QByteArrayList commands = sim.ReceivedCommands();
    if (c.modelBit == 0) {
        // No known bit: the bulk read asks nothing, only the model and the tuner.
        for (const QByteArray& command : commands) {
            EXPECT_TRUE(command == "Main.Model?" || command == "Tuner?" ||
                        command == "Main.Source?")
                << command.constData();
        }
    } else {
        EXPECT_GT(commands.size(), 500);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, ModelAnswer, ::testing::ValuesIn(kModelCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectionScenario, UnknownModelStillTakesStepsButNoSettings) {
    SimProcess& sim = StartSim(3, {"--model", "ZZ99"});
    ASSERT_FALSE(ConnectOn("COM3"));
    const qsizetype mark = CommandMark();
    Choose(ControlCombo(ControlId::Bass), "4 dB");
    Window().Session().SendLine("Main.Volume+");
    ASSERT_TRUE(WaitFor([&] { return CommandsSince(mark).contains("Main.Volume+"); }, 3000));
    EXPECT_FALSE(sim.ReceivedCommands().mid(mark).contains("Main.Bass=4"));
}

TEST_F(ConnectionScenario, SilentReceiverIsGivenUpAfterTwoTimeouts) {
    ConnectToSim(3);
    SimProcess& sim = *m_sim;
    MainDialog& w = Window();
    w.SelectTab("Control");
    const qsizetype mark = CommandMark();
    sim.Signal(SIGUSR1);
    ASSERT_TRUE(WaitFor([&] { return w.StatusText() == "Not connected to a Unit"; }, 6000));
    EXPECT_FALSE(w.State().connected);
    EXPECT_FALSE(w.Session().IsOpen());
    EXPECT_FALSE(w.Session().IsKeepAliveRunning());
    EXPECT_EQ(CommandsSince(mark, true), (QByteArrayList{"Main.Source?", "Main.Source?"}));
}

TEST_F(ConnectionScenario, OneTimeoutFollowedByAnAnswerKeepsConnection) {
    ConnectToSim(3);
    SimProcess& sim = *m_sim;
    MainDialog& w = Window();
    w.SelectTab("Control");
    const qsizetype mark = CommandMark();
    sim.Signal(SIGUSR1);
    // The poll waits inside the window's own event loop, so the test watches the
    // wire from a timer: the receiver speaks again once it has ignored one poll.
    bool resumed = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!resumed && CommandsSince(mark, true).size() >= 1) {
            sim.Signal(SIGUSR1);
            resumed = true;
        }
    });
    watcher.start(10);
    ASSERT_TRUE(WaitFor([&] { return CommandsSince(mark, true).size() >= 3; }, 6000));
    EXPECT_TRUE(resumed);
    EXPECT_TRUE(w.State().connected);
    EXPECT_TRUE(w.Session().IsOpen());
    EXPECT_TRUE(w.StatusText().startsWith("Connected to ZA11"));
}

TEST_F(ConnectionScenario, KeepAliveOnTunerTabPollsTunerWhenTunerSourceChecked) {
    ConnectToSim(3);
    MainDialog& w = Window();
    w.GetControlPage()->SourceButton(10)->click();
    w.SelectTab("Tuner");
    const qsizetype mark = CommandMark();
    ASSERT_TRUE(WaitFor([&] { return CommandsSince(mark).contains("Tuner?"); }, 4000));
    EXPECT_TRUE(CommandsSince(mark, true).contains("Main.Source?"));
}

TEST_F(ConnectionScenario, SecondConnectOrLoadDuringBulkReadIsRefused) {
    StartSim(3, {"--latency-ms", "2"});
    MainDialog& w = Window();
    bool tried = false;
    QString toldAtOnce;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (tried || !w.Store().IsBusy())
            return;
        tried = true;
        w.OnConnect();
        m_prompts.openPaths = {"/nonexistent.kvx"};
        w.LoadSettings();
        toldAtOnce = w.StatusReason();
    });
    during.start(5);
    ASSERT_TRUE(ConnectOn("COM3"));
    EXPECT_TRUE(tried);
    EXPECT_EQ(m_prompts.questions.size(), 1);
    EXPECT_EQ(toldAtOnce, MainDialog::kBusyMessage);
    EXPECT_TRUE(m_prompts.messages.isEmpty());
    EXPECT_EQ(w.StatusText(), "Connected to ZA11 on COM3");
    EXPECT_EQ(w.StatusReason(), "");
}

}  // namespace
