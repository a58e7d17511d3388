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
    int Restore() {
        const RestoreResult result =
            Await(RestoreToReceiver(m_store, m_channel, &m_progress, m_stop.get_token()));
        if (result.failed > 0 || !result.report.isEmpty())
            m_report = result.report;
        return result.failed;
    }

    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel{m_port};
    ProgressRecorder m_progress;
    QByteArray m_report = kUntouched;
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

TEST_F(RestoreTest, ClosedPortCountsEveryLineAsConfirmed) {
    m_store.ResetToDefaults();
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(m_report, kUntouched);
    EXPECT_EQ(m_progress.labels, QList<QString>{"Restoring Receiver Settings..."});
    EXPECT_EQ(m_progress.percents.size(), 537);
    EXPECT_EQ(m_progress.percents.back(), 100);
    EXPECT_EQ(m_progress.ends, 1);
    EXPECT_FALSE(m_store.IsBusy());
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

TEST_F(RestoreTest, OtherValueInAnswerFailsTwiceAndIsReportedInCapitals) {
    SimProcess sim({"--baud", "0"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    // The unit holds its volume within range and answers the value it kept.
    Fill({"Main.Mute=On", "Main.Volume=200", "Main.Power=On"});
    EXPECT_EQ(Restore(), 1);
    EXPECT_TRUE(m_report.startsWith("\tERROR: MAIN.VOLUME=200 \treturned: MAIN.VOLUME="))
        << m_report.constData();
    EXPECT_TRUE(m_report.endsWith('\n'));
    EXPECT_EQ(m_report.count('\n'), 1);
    EXPECT_FALSE(m_report.endsWith("=200\n"));
    EXPECT_EQ(sim.ReceivedCommands().count("Main.Volume=200"), 2);
    EXPECT_EQ(sim.ReceivedCommands().count("Main.Mute=On"), 1);
}

// A receiver that stops answering ends the restore after two unanswered
// commands (the first line, sent twice) and an unanswered model query,
// instead of two seconds per line.
TEST_F(RestoreTest, SilentReceiverStopsTheRestoreAndListsWhatWasNotSent) {
    SimProcess sim({"--baud", "0", "--silent"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    Fill({"Main.Mute=On", "Zone2.Volume=-20", "Source1.Name=Dvd"});
    EXPECT_EQ(Restore(), 3);
    EXPECT_EQ(m_report,
              "\tERROR: MAIN.MUTE=ON \treturned: TIMEOUT\n"
              "The receiver stopped answering; 2 line(s) were not sent:\n"
              "\tZone2.Volume=-20\n"
              "\tSource1.Name=Dvd\n");
    EXPECT_EQ(sim.ReceivedCommands(),
              (QList<QByteArray>{"Main.Mute=On", "Main.Mute=On", "Main.Model?"}));
    EXPECT_EQ(m_progress.ends, 1);
}

TEST_F(RestoreTest, LongListOfUnsentLinesIsCut) {
    SimProcess sim({"--baud", "0", "--silent"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    Fill(NumberedLines(14));
    EXPECT_EQ(Restore(), 14);
    EXPECT_TRUE(m_report.contains("13 line(s) were not sent:\n\tSource2.Name=x\n"));
    EXPECT_TRUE(m_report.endsWith("\tSource11.Name=x\n\t... and 3 more\n")) << m_report.constData();
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
              "The connection was lost; 3 line(s) were not sent:\n"
              "\tSource3.Name=x\n\tSource4.Name=x\n\tSource5.Name=x\n");
}

// A receiver that answers every set with another value fails every line fast.
TEST_F(RestoreTest, NineErrorsAreListedTenAreSummarised) {
    ScriptedReceiver receiver([](const QByteArray& command, int) -> QByteArray {
        return command.left(command.indexOf('=')) + "=y";
    });
    ASSERT_TRUE(receiver.IsRunning());
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();

    Fill(NumberedLines(9));
    EXPECT_EQ(Restore(), 9);
    EXPECT_EQ(m_report.count("\tERROR: "), 9);
    EXPECT_TRUE(m_report.startsWith("\tERROR: SOURCE1.NAME=X \treturned: SOURCE1.NAME=Y\n"));

    Fill(NumberedLines(10));
    EXPECT_EQ(Restore(), 10);
    EXPECT_EQ(m_report, "ERROR: too many errors to report");
}

TEST_F(RestoreTest, ShortReplyCountsOnFirstSendButNotOnRetry) {
    // "A=" occurs in "A=1" by chance: good enough at once, not after a miss.
    ScriptedReceiver receiver([](const QByteArray& command, int occurrence) -> QByteArray {
        const QByteArray key = command.left(command.indexOf('='));
        if (key == "A")
            return "A=";
        if (key == "B")
            return occurrence == 0 ? "B=9" : "B=";
        return "Bcd=" + command.mid(command.indexOf('=') + 1) + (occurrence == 0 ? "x" : "");
    });
    ASSERT_TRUE(receiver.IsRunning());
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();

    Fill({"A=1", "B=1", "Bcd=12"});
    EXPECT_EQ(Restore(), 1);
    EXPECT_EQ(m_report, "\tERROR: B=1 \treturned: B=\n");
    const QList<QByteArray> sent = receiver.ReceivedCommands();
    EXPECT_EQ(sent, (QList<QByteArray>{"A=1", "B=1", "B=1", "Bcd=12", "Bcd=12"}));
}

TEST_F(RestoreTest, LinesThatAreNoSettingsAreSkippedAndListed) {
    ScriptedReceiver receiver([](const QByteArray& command, int) { return command; });
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();
    Fill({"Main.Power=On", "", "# x", "=1", "Main.Bass=2"});
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(receiver.ReceivedCommands(), (QList<QByteArray>{"Main.Power=On", "Main.Bass=2"}));
    EXPECT_EQ(m_report,
              "3 line(s) are not settings and were skipped:\n\t(blank line)\n\t# x\n\t=1\n");
}

struct RefusedLineCase {
    const char* name;
    QByteArray line;
    QByteArray reported;  // the report line after "\tERROR: "
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
     "MAIN.TREBLE=\\r1 \treturned: NOT SENT, HOLDS A CARRIAGE RETURN"},
    {"LineFeedWouldSplitTheCommand", "Main.Bass=2\nMain.Power=Off",
     "MAIN.BASS=2\\nMAIN.POWER=OFF \treturned: NOT SENT, HOLDS A LINE FEED"},
    {"NulWouldCutTheCommand", QByteArray("Main.Vol\0ume=-20", 16),
     "MAIN.VOL\\x00UME=-20 \treturned: NOT SENT, HOLDS A NUL BYTE"},
    {"OverlongKeyWouldBeCut", kLongKey,
     kLongKey.toUpper().left(kReportQuoteBytes) + "... \treturned: NOT SENT, KEY TOO LONG"},
    {"TenKilobyteKeyIsQuotedShort", QByteArray(10000, 'K') + "=1",
     QByteArray(kReportQuoteBytes, 'K') + "... \treturned: NOT SENT, KEY TOO LONG"},
};

class RefusedLineTest : public RestoreTest,
                        public ::testing::WithParamInterface<RefusedLineCase> {};

TEST_P(RefusedLineTest, IsNotSentAndFailsWithItsReason) {
    ScriptedReceiver receiver([](const QByteArray& command, int) { return command; });
    ASSERT_TRUE(receiver.IsRunning());
    ASSERT_TRUE(m_port.Open(receiver.DevicePath())) << m_port.LastError().toStdString();

    Fill({"Main.Power=On", GetParam().line, "Main.Mute=On"});
    EXPECT_EQ(Restore(), 1);
    EXPECT_EQ(m_report, "\tERROR: " + GetParam().reported + '\n');
    // The line after it went out: nothing of the refused line reached the wire.
    EXPECT_EQ(receiver.ReceivedCommands(), (QList<QByteArray>{"Main.Power=On", "Main.Mute=On"}));
}

INSTANTIATE_TEST_SUITE_P(Rows, RefusedLineTest, ::testing::ValuesIn(kRefusedLines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
