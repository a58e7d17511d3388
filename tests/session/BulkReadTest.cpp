#include "Await.h"
#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "ProgressRecorder.h"
#include "PtyPeer.h"
#include "ScriptedReceiver.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

using namespace std::chrono_literals;

class BulkReadTest : public ::testing::Test {
protected:
    // Reads everything from a simulated receiver of the given model.
    QList<QByteArray> ReadFromSimulator(const char* model) {
        SimProcess sim({"--model", model, "--baud", "0"});
        EXPECT_TRUE(sim.IsRunning());
        EXPECT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
        m_store.ResetToDefaults();
        EXPECT_TRUE(Await(ReadAllFromReceiver(m_store, m_channel, &m_progress, "Connecting to ZA08",
                                              ModelBitOf(model), {})));
        m_port.Close();
        return sim.ReceivedCommands();
    }

    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel{m_port};
    ProgressRecorder m_progress;
};

TEST_F(BulkReadTest, Za08SkipsSpeakerSetsAndBackAmp) {
    const QList<QByteArray> sent = ReadFromSimulator("ZA08");
    ASSERT_EQ(sent.size(), 581);
    EXPECT_EQ(sent.front(), "TUNER.DigitalMode?");
    EXPECT_EQ(sent.back(), "AUDYSSEY.Distance.Sub?");
    for (const char* absent : {"MAIN.SpeakerA?", "MAIN.SpeakerB?", "MAIN.Amp.Back?"}) {
        EXPECT_FALSE(sent.contains(absent)) << absent;
    }
    for (const char* present : {"MAIN.IR.Channel?", "MAIN.Audyssey?", "PRESET5.Audyssey?",
                                "SOURCE10.Preset?", "TUNER.Preset40?", "ZONE4.Mode?"}) {
        EXPECT_TRUE(sent.contains(present)) << present;
    }
    // Every answer is stored in query order, in the receiver's own spelling.
    EXPECT_EQ(m_store.LineCount(), 581);
    EXPECT_TRUE(m_store.Lines().front().startsWith("Tuner.DigitalMode="))
        << m_store.Lines().front().constData();
    EXPECT_EQ(m_store.GetValue("Main.SpeakerA"), "error");
}

TEST_F(BulkReadTest, Za04AsksNoAudysseyMode) {
    const QList<QByteArray> sent = ReadFromSimulator("ZA04");
    ASSERT_EQ(sent.size(), 578);
    EXPECT_EQ(sent.front(), "TUNER.DigitalMode?");
    EXPECT_EQ(sent.back(), "AUDYSSEY.Distance.Sub?");
    for (const char* absent : {"MAIN.Audyssey?", "PRESET1.Audyssey?", "PRESET2.Audyssey?",
                               "PRESET3.Audyssey?", "PRESET4.Audyssey?", "PRESET5.Audyssey?"}) {
        EXPECT_FALSE(sent.contains(absent)) << absent;
    }
    EXPECT_TRUE(sent.contains("MAIN.SpeakerA?"));
    EXPECT_TRUE(sent.contains("AUDYSSEY.Level.Sub?"));
}

TEST_F(BulkReadTest, ProgressAdvancesForEveryPairFromZeroTo99) {
    ReadFromSimulator("ZA08");
    EXPECT_EQ(m_progress.begins, 1);
    EXPECT_EQ(m_progress.ends, 1);
    EXPECT_EQ(m_progress.labels, QList<QString>{"Connecting to ZA08"});
    ASSERT_EQ(m_progress.percents.size(), 2877);
    for (int k = 0; k < 2877; ++k)
        ASSERT_EQ(m_progress.percents[k], k * 100 / 2877) << k;
}

TEST_F(BulkReadTest, ModelBitZeroAsksNothingAndEmptiesTheStore) {
    PtyPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    ASSERT_TRUE(m_port.Open(peer.DevicePath())) << m_port.LastError().toStdString();
    m_store.ResetToDefaults();
    EXPECT_TRUE(Await(ReadAllFromReceiver(m_store, m_channel, &m_progress, "x", 0, {})));
    EXPECT_TRUE(m_store.IsEmpty());
    EXPECT_EQ(peer.ReadFor(50ms), QByteArray());
    EXPECT_EQ(m_progress.percents.size(), 2877);
}

TEST_F(BulkReadTest, StoreIsBusyOnlyWhileReading) {
    PtyPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    ASSERT_TRUE(m_port.Open(peer.DevicePath()));
    struct BusyProbe : ProgressSink {
        explicit BusyProbe(SettingsStore& s) : store(s) {}
        void Begin(const QString&) override { busyAtBegin = store.IsBusy(); }
        void SetPercent(int) override {}
        void End() override { busyAtEnd = store.IsBusy(); }
        SettingsStore& store;
        bool busyAtBegin = false;
        bool busyAtEnd = false;
    } probe(m_store);
    (void)Await(ReadAllFromReceiver(m_store, m_channel, &probe, "x", 0, {}));
    EXPECT_TRUE(probe.busyAtBegin);
    EXPECT_TRUE(probe.busyAtEnd);
    EXPECT_FALSE(m_store.IsBusy());
}

}  // namespace

namespace {

TEST(BulkReadReplies, RepliesAreTrimmedAndUnansweredKeysLeftOut) {
    // Answers with blanks after the value and with its keys in capitals, which
    // are stored as the pages read them; stays silent on two keys in a row (a
    // receiver without them), which then costs two time-outs and a model query
    // that shows it is still there.
    std::atomic<int> asked{0};
    ScriptedReceiver receiver([&asked](const QByteArray& command, int) -> QByteArray {
        const int n = ++asked;
        if (n == 20 || n == 21)
            return QByteArray();
        const QByteArray key = command.left(command.size() - 1);
        return key + "= x \t";
    });
    ASSERT_TRUE(receiver.IsRunning());
    SerialPort port;
    CommandChannel channel(port);
    ASSERT_TRUE(port.Open(receiver.DevicePath())) << port.LastError().toStdString();

    SettingsStore store;
    EXPECT_TRUE(Await(ReadAllFromReceiver(store, channel, nullptr, "x", ModelBitOf("za11"), {})));
    EXPECT_EQ(store.LineCount(), 582);
    EXPECT_EQ(store.Lines().front(), "Tuner.DigitalMode= x");
    EXPECT_EQ(store.GetValue("Main.Power"), " x");
    EXPECT_TRUE(receiver.ReceivedCommands().contains("Main.Model?"));
}

}  // namespace

namespace {

// How a receiver can fail the connect-time read part-way: after answering the
// first queries it falls silent, or its adapter is pulled. Either way the read
// ends (after two unanswered queries, or at once) and the store is as before.
struct BrokenReadCase {
    const char* name;
    int answered;  // queries answered before the trouble
    bool hangUp;
    int queriesSent;
};

void PrintTo(const BrokenReadCase& c, std::ostream* os) {
    *os << c.name;
}

const BrokenReadCase kBrokenReads[] = {
    {"SilentAfterFiftyQueries", 50, false, 53},
    {"HungUpAtQuery291", 290, true, 291},
};

class BrokenRead : public ::testing::TestWithParam<BrokenReadCase> {};

TEST_P(BrokenRead, EndsEarlyAndLeavesTheStoreAsItWas) {
    const BrokenReadCase& c = GetParam();
    std::atomic<int> seen{0};
    ScriptedReceiver broken([&seen, c](const QByteArray& command, int) -> ScriptedReceiver::Answer {
        const int n = ++seen;
        if (n > c.answered)
            return c.hangUp ? ScriptedReceiver::Answer::HangUp() : ScriptedReceiver::Answer();
        return command.chopped(1) + "=1";
    });
    ASSERT_TRUE(broken.IsRunning());
    SerialPort port;
    CommandChannel channel(port);
    QObject::connect(&port, &SerialPort::DeviceLost, [&port] { port.Close(); });
    ASSERT_TRUE(port.Open(broken.DevicePath())) << port.LastError().toStdString();

    SettingsStore store;
    store.ResetToDefaults();
    const std::vector<QByteArray> before = store.Lines();
    ProgressRecorder progress;
    EXPECT_FALSE(
        Await(ReadAllFromReceiver(store, channel, &progress, "x", ModelBitOf("ZA11"), {})));
    EXPECT_EQ(store.Lines(), before);
    EXPECT_FALSE(store.IsBusy());
    EXPECT_EQ(progress.ends, 1);
    EXPECT_EQ(broken.CommandCount(), c.queriesSent);
}

INSTANTIATE_TEST_SUITE_P(Rows, BrokenRead, ::testing::ValuesIn(kBrokenReads),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
