#include "Await.h"
#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "ProgressRecorder.h"
#include "ScriptedReceiver.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kUntouched = "untouched";

class RestoreTest : public ::testing::Test {
protected:
    void Fill(const std::vector<QByteArray>& lines) {
        m_store.Clear();
        for (const QByteArray& line : lines)
            m_store.Append(line);
    }
    int Restore(Pipeline* pipeline = nullptr) {
        const RestoreResult result = Await(RestoreToReceiver(
            m_store.Lines(), m_channel, &m_progress, m_stop.get_token(), pipeline));
        if (!result.report.isEmpty())
            m_report = result.report;
        m_result = result;
        return result.Failed();
    }

    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel{m_port};
    ProgressRecorder m_progress;
    QByteArray m_report = kUntouched;
    RestoreResult m_result;
    std::stop_source m_stop;
};

std::vector<QByteArray> NumberedLines(int count) {
    std::vector<QByteArray> lines;
    for (int n = 1; n <= count; ++n)
        lines.push_back("Source" + QByteArray::number(n) + ".Name=x");
    return lines;
}

TEST_F(RestoreTest, EmptyStoreShowsNothingAndReportsNothing) {
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(m_progress.begins, 0);
    EXPECT_EQ(m_report, kUntouched);
}

TEST_F(RestoreTest, ClosedPortSendsNothingAndReportsNothing) {
    m_store.ResetToDefaults();
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(m_report, kUntouched);
    EXPECT_EQ(m_result.sent, 0);
    EXPECT_EQ(m_progress.begins, 0);
}

TEST_F(RestoreTest, DefaultsAreTakenBySimulatedReceiver) {
    SimProcess sim({"--baud", "0"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    m_store.ResetToDefaults();
    EXPECT_EQ(Restore(), 0) << m_report.constData();
    EXPECT_EQ(m_store.LineCount(), 537);
    const QList<QByteArray> sent = sim.ReceivedCommands();
    ASSERT_EQ(sent.size(), 537);
    EXPECT_EQ(sent.front(), "Tuner.DigitalMode=XM");
    EXPECT_EQ(sent.back(), "Preset5.ListeningMode.DTS=NEO6Music");
}

// A line is confirmed by an answer with its key and value; a value the
// receiver clamped or cut is what it keeps, reported once and not sent again,
// one at a time or pipelined.
class RestoreAtEitherPace : public RestoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RestoreAtEitherPace, AnswerWithAnotherValueIsKeptDifferentlyAndNotResent) {
    Pipeline pipeline{2, Pipeline::State::Proven};
    SimProcess sim({"--baud", "0"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    const QByteArray longName(31, 'n');
    Fill({"Main.Mute=on ", "Main.Bass=-100", "Main.Dolby.CenterWidth=70",
          "Source1.Name=" + longName, "Main.Power=On"});
    EXPECT_EQ(Restore(GetParam() ? &pipeline : nullptr), 3);
    EXPECT_EQ(m_result.sent, 5);
    EXPECT_EQ(m_result.confirmed, 2);
    EXPECT_EQ(m_result.keptDifferently, 3);
    EXPECT_EQ(m_report,
              "5 setting(s) sent: 2 confirmed, 3 kept differently by the receiver.\n"
              "Main.Bass=-100: the receiver kept -10\n"
              "Main.Dolby.CenterWidth=70: the receiver kept 7\n"
              "Source1.Name=" +
                  longName + ": the receiver kept " + longName.left(20) + "\n");
    EXPECT_EQ(sim.ReceivedCommands().size(), 5);
    EXPECT_EQ(pipeline.state, Pipeline::State::Proven);
}

INSTANTIATE_TEST_SUITE_P(Pipelined, RestoreAtEitherPace, ::testing::Bool());

// A receiver that stops answering ends the restore after two unanswered
// commands (the first line, sent twice) and an unanswered model query,
// instead of two seconds per line; a long list of unsent lines is cut.
TEST_F(RestoreTest, SilentReceiverStopsTheRestoreAndListsWhatWasNotSent) {
    SimProcess sim({"--baud", "0", "--silent"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    Fill(NumberedLines(14));
    EXPECT_EQ(Restore(), 14);
    EXPECT_TRUE(
        m_report.startsWith("1 setting(s) sent: 0 confirmed, 1 unanswered. 13 not sent: "
                            "the receiver stopped answering.\n"
                            "Source1.Name=x: the receiver did not answer\n"
                            "Not sent:\nSource2.Name=x\n"))
        << m_report.constData();
    EXPECT_TRUE(m_report.endsWith("Source11.Name=x\n... and 3 more\n")) << m_report.constData();
    EXPECT_EQ(sim.ReceivedCommands(),
              (QList<QByteArray>{"Source1.Name=x", "Source1.Name=x", "Main.Model?"}));
    EXPECT_EQ(m_progress.ends, 1);
}

// The adapter is pulled half-way: the owner closes the port on the lost device,
// which ends the restore at once.
TEST_F(RestoreTest, LostDeviceStopsTheRestoreAtOnce) {
    ScriptedReceiver receiver([](const QByteArray& command, int) -> ScriptedReceiver::Answer {
        if (command.startsWith("Source3."))
            return ScriptedReceiver::Answer::HangUp();
        return command;
    });
    ASSERT_TRUE(receiver.IsRunning());
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();
    QObject::connect(&m_port, &SerialPort::DeviceLost, [this] { m_port.Close(); });
    Fill(NumberedLines(5));
    EXPECT_EQ(Restore(), 3);
    EXPECT_EQ(m_report,
              "2 setting(s) sent: 2 confirmed. 3 not sent: the connection was lost.\n"
              "Not sent:\nSource3.Name=x\nSource4.Name=x\nSource5.Name=x\n");
}

TEST_F(RestoreTest, LinesThatAreNoSettingsAreSkippedAndListed) {
    ScriptedReceiver receiver([](const QByteArray& command, int) { return command; });
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();
    Fill({"Main.Power=On", "", "# x", "=1", "Main.Bass=2"});
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(receiver.ReceivedCommands(), (QList<QByteArray>{"Main.Power=On", "Main.Bass=2"}));
    EXPECT_EQ(m_report,
              "2 setting(s) sent: 2 confirmed. 3 line(s) are not settings and were skipped.\n"
              "Skipped:\n(blank line)\n# x\n=1\n");
}

struct RefusedLineCase {
    const char* name;
    QByteArray line;
    QByteArray reported;  // the report's line about it
};

void PrintTo(const RefusedLineCase& c, std::ostream* os) {
    *os << c.name;
}

const QByteArray kLongKey = "Main." + QByteArray(CommandChannel::kMaxKeyLength - 4, 'k') + "=1";

// Lines that would not reach the receiver as they stand: a CR or LF splits the
// command in two on the wire, a NUL cuts it, an overlong key would be cut.
// None is sent; each fails with its reason, quoted at a readable length.
const RefusedLineCase kRefusedLines[] = {
    {"LoneCrWouldSplitTheCommand", "Main.Treble=\r1",
     "Main.Treble=\\r1: not sent: it holds a carriage return"},
    {"LineFeedWouldSplitTheCommand", "Main.Bass=2\nMain.Power=Off",
     "Main.Bass=2\\nMain.Power=Off: not sent: it holds a line feed"},
    {"NulWouldCutTheCommand", QByteArray("Main.Vol\0ume=-20", 16),
     "Main.Vol\\x00ume=-20: not sent: it holds a NUL byte"},
    {"OverlongKeyWouldBeCut", kLongKey,
     kLongKey.left(kReportQuoteBytes) + "...: not sent: its key is too long"},
    {"TenKilobyteKeyIsQuotedShort", QByteArray(10000, 'K') + "=1",
     QByteArray(kReportQuoteBytes, 'K') + "...: not sent: its key is too long"},
};

class RefusedLineTest : public RestoreTest,
                        public ::testing::WithParamInterface<RefusedLineCase> {};

TEST_P(RefusedLineTest, IsNotSentAndFailsWithItsReason) {
    ScriptedReceiver receiver([](const QByteArray& command, int) { return command; });
    ASSERT_TRUE(receiver.IsRunning());
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();

    Fill({"Main.Power=On", GetParam().line, "Main.Mute=On"});
    EXPECT_EQ(Restore(), 1);
    EXPECT_EQ(m_report, "2 setting(s) sent: 2 confirmed. 1 could not be sent as they stand.\n" +
                            GetParam().reported + '\n');
    // The line after it went out: nothing of the refused line reached the wire.
    EXPECT_EQ(receiver.ReceivedCommands(), (QList<QByteArray>{"Main.Power=On", "Main.Mute=On"}));
}

INSTANTIATE_TEST_SUITE_P(Rows, RefusedLineTest, ::testing::ValuesIn(kRefusedLines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
