#include "CommandChannel.h"
#include "LinkTestSupport.h"
#include "PtyPeer.h"
#include "SerialPort.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class CommandChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.IsOpen());
        ASSERT_TRUE(m_port.Open(m_peer.DevicePath())) << m_port.LastError().toStdString();
        m_channel.SetTerminalHook(
            [this](const QByteArray& line) { m_events << "terminal:" + line; });
        m_channel.SetStatusHook(
            [this](const QByteArray& key, const QByteArray& value, const QByteArray& line) {
                m_events << "status:" + key + "|" + value;
                m_statusLines << line;
            });
        m_channel.SetKeepAliveHook([this] { m_events << "keepalive"; });
    }

    // Plays the receiver while a Request waits: reads the command, then sends
    // the answer bytes.
    void AnswerWhenAsked(const QByteArray& command, const QByteArray& answer) {
        QTimer::singleShot(0, [this, command, answer] {
            m_asked = m_peer.ReadUntil(command, 3s);
            EXPECT_TRUE(m_peer.WriteAll(answer));
        });
    }

    PtyPeer m_peer;
    SerialPort m_port;
    CommandChannel m_channel{m_port};
    QList<QByteArray> m_events;
    QList<QByteArray> m_statusLines;
    QByteArray m_asked;
};

struct ReplyCase {
    const char* name;
    QByteArray command;
    QByteArray answer;
    QByteArray expectedReply;
    QList<QByteArray> expectedStatus;
};

const ReplyCase kReplyCases[] = {
    {"AnswerEqualToKey", "\rMain.Model?\r", "\rMain.Model=ZA01\r", "Main.Model=ZA01", {}},
    {"AnswerInOtherCaseKeepsItsCase",
     "\rMain.Model?\r",
     "\rMAIN.model=ZA01\r",
     "MAIN.model=ZA01",
     {}},
    {"LongerKeyIsStatusControlBytesInValuesEscaped",
     "\rZone2.Volume?\r",
     "\rZone2.VolumeControl=1\x1b[2J\t\rZone2.Volume=-20\nMain.Power=On\r",
     "Zone2.Volume=-20\\nMain.Power=On",
     {"Zone2.VolumeControl=1\\x1B[2J\t"}},
    {"StatusLineDuringWaitDoesNotAnswer",
     "\rMain.Source?\r",
     "\rMain.Volume=-30\r\rMain.Source=3\r",
     "Main.Source=3",
     {"Main.Volume=-30"}},
    {"KeyContainingPendingKeyFurtherInIsStatus",
     "\rMain.Source?\r",
     "\rXMain.Source=1\r\rMain.Source=2\r",
     "Main.Source=2",
     {"XMain.Source=1"}},
    {"LeadingLineFeedDoesNotAnswer",
     "\rMain.Source?\r",
     "\r\nMain.Source=1\rMain.Source=2\r",
     "Main.Source=2",
     {"\nMain.Source=1"}},
    {"SetWithMinusInValueWaitsForItsKey",
     "\rMain.Volume=-20\r",
     "\rMain.Volume=-20\r",
     "Main.Volume=-20",
     {}},
    {"ValueKeepsBlanksAndLaterEquals",
     "\rSource1.Name?\r",
     "\rSource1.Name= My = TV \r",
     "Source1.Name= My = TV ",
     {}},
};

// Test names list the row by name, not by its bytes.
void PrintTo(const ReplyCase& row, std::ostream* out) {
    *out << row.name;
}

class ReplyMatchingTest : public CommandChannelTest,
                          public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyMatchingTest, ReturnsTheAnsweringLine) {
    const ReplyCase& row = GetParam();
    AnswerWhenAsked(row.command, row.answer);
    EXPECT_EQ(m_channel.Request(row.command), row.expectedReply);
    EXPECT_EQ(m_asked, row.command);
    EXPECT_EQ(m_statusLines, row.expectedStatus);
    EXPECT_FALSE(m_channel.IsWaiting());
}

INSTANTIATE_TEST_SUITE_P(Rows, ReplyMatchingTest, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandChannelKey, KeyOfTakesTextBeforeFirstOperator) {
    const struct {
        QByteArray command;
        QByteArray key;
    } cases[] = {
        {"\rMain.Model?\r", "MAIN.MODEL"},
        {"\rMain.Volume=-20\r", "MAIN.VOLUME"},
        {"\rMain.Volume-\r", "MAIN.VOLUME"},
        {"\rTuner.Preset+\r", "TUNER.PRESET"},
        {"\r  zone2.volume ?\r", "ZONE2.VOLUME"},
        {"\rhello\r", ""},
        {"", ""},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(CommandChannel::KeyOf(row.command), row.key) << row.command.data();
    }
}

TEST_F(CommandChannelTest, OverlongKeyIsRefusedWithoutSending) {
    const QByteArray command = "\r" + QByteArray(200, 'K') + "=1\r";
    EXPECT_FALSE(CommandChannel::KeyFits(command));
    EXPECT_TRUE(CommandChannel::KeyFits("\r" + QByteArray(128, 'K') + "=1\r"));
    EXPECT_EQ(m_channel.Request(command), "");
    EXPECT_FALSE(m_channel.IsWaiting());
    EXPECT_EQ(m_peer.ReadFor(100ms), "");
}

// The only test that waits out the full time. Without an operator character
// the pending key stays empty, so even a line with the same text cannot answer.
TEST_F(CommandChannelTest, SilentReceiverTimesOutJustAfterOneSecond) {
    AnswerWhenAsked("\rhello\r", "\rhello=1\r");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(m_channel.Request("\rhello\r"), CommandChannel::kTimeout);
    // Nanoseconds: whole milliseconds would round 1000.9 ms down to the limit.
    const qint64 elapsedNs = clock.nsecsElapsed();
    EXPECT_GT(elapsedNs, qint64{CommandChannel::kReplyTimeoutMs} * 1'000'000);
    EXPECT_LT(elapsedNs, qint64{1100} * 1'000'000);  // generous for a loaded machine
    EXPECT_EQ(m_statusLines, QList<QByteArray>{"hello=1"});
}

TEST_F(CommandChannelTest, ClosedPortRefusesAtOnce) {
    m_port.Close();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(m_channel.Request("\rMain.Source?\r"), "");
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_FALSE(m_channel.Send("\rMain.Volume+\r"));
    EXPECT_FALSE(m_channel.IsWaiting());
}

TEST_F(CommandChannelTest, SendWritesWithoutWaiting) {
    EXPECT_TRUE(m_channel.Send("\rTuner?\r"));
    EXPECT_EQ(m_peer.ReadUntil("Tuner?\r", 3s), "\rTuner?\r");
    EXPECT_FALSE(m_channel.IsWaiting());
}

TEST_F(CommandChannelTest, EveryLineReachesTerminalThenStatusThenKeepAlive) {
    ASSERT_TRUE(m_peer.WriteAll("\rMain.Mute=1\r"));
    for (int i = 0; i < 100 && m_events.size() < 5; ++i)
        CommandChannel::PumpMessages(20);
    EXPECT_EQ(m_events, (QList<QByteArray>{"terminal:", "keepalive", "terminal:Main.Mute=1",
                                           "status:Main.Mute|1", "keepalive"}));
}

TEST_F(CommandChannelTest, AnswerGoesToTerminalButNotToStatus) {
    AnswerWhenAsked("\rMain.Model?\r", "\rMain.Model=ZA01\r");
    EXPECT_EQ(m_channel.Request("\rMain.Model?\r"), "Main.Model=ZA01");
    EXPECT_EQ(m_events, (QList<QByteArray>{"terminal:", "keepalive", "terminal:Main.Model=ZA01",
                                           "keepalive"}));
}

// A Request started while another waits (a setting changed during the
// connect-time read, a keep-alive poll): the receiver answers both in the order
// asked, and each Request gets its own answer, whichever line comes during
// which wait.
struct NestingCase {
    const char* name;
    QByteArray outer;
    QByteArray inner;
    QByteArray answers;  // sent once the inner command has arrived
    QByteArray outerReply;
    QByteArray innerReply;
};

void PrintTo(const NestingCase& c, std::ostream* os) {
    *os << c.name;
}

const NestingCase kNestingCases[] = {
    {"OuterAnswerArrivesDuringInnerWait", "\rMAIN.Bass?\r", "\rMain.Volume=-20\r",
     "\rMain.Bass=0\r\rMain.Volume=-20\r", "Main.Bass=0", "Main.Volume=-20"},
    {"SameKeyAskedTwiceGetsOneAnswerEach", "\rMain.Source?\r", "\rMain.Source?\r",
     "\rMain.Source=5\r\rMain.Source=7\r", "Main.Source=5", "Main.Source=7"},
    {"ExactKeyBeatsLongerKeyStartingWithIt", "\rZone2.Volume=-20\r", "\rZone2.VolumeControl?\r",
     "\rZone2.VolumeControl=Fixed\r\rZone2.Volume=-20\r", "Zone2.Volume=-20",
     "Zone2.VolumeControl=Fixed"},
};

class NestedRequestTest : public CommandChannelTest,
                          public ::testing::WithParamInterface<NestingCase> {};

TEST_P(NestedRequestTest, EachRequestGetsItsOwnAnswer) {
    const NestingCase& c = GetParam();
    QByteArray inner;
    QTimer::singleShot(0, [&] {
        m_peer.ReadUntil(c.outer, 3s);
        QTimer::singleShot(0, [&] {
            m_peer.ReadUntil(c.inner, 3s);
            EXPECT_TRUE(m_peer.WriteAll(c.answers));
        });
        inner = m_channel.Request(c.inner);
    });
    EXPECT_EQ(m_channel.Request(c.outer), c.outerReply);
    EXPECT_EQ(inner, c.innerReply);
    EXPECT_TRUE(m_statusLines.isEmpty()) << m_statusLines.join(' ').constData();
    EXPECT_FALSE(m_channel.IsWaiting());
}

INSTANTIATE_TEST_SUITE_P(Rows, NestedRequestTest, ::testing::ValuesIn(kNestingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Exit or a lost device closes the port while the receiver is silent: every
// waiting Request ends at once with "" instead of waiting out its second.
TEST_F(CommandChannelTest, CloseWakesEveryWaitingRequest) {
    QByteArray inner = "unset";
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            m_peer.ReadUntil("Main.Volume?\r", 3s);
            m_port.Close();
        });
        inner = m_channel.Request("\rMain.Volume?\r");
    });
    EXPECT_EQ(m_channel.Request("\rMain.Source?\r"), "");
    EXPECT_EQ(inner, "");
    EXPECT_FALSE(m_channel.IsWaiting());
}

// A status-line handler that itself waits (here: asks the receiver) holds back
// the lines behind it. An answer among them has arrived: no time-out.
TEST_F(CommandChannelTest, AnswerHeldBackBehindARunningHandlerIsNoTimeout) {
    QByteArray inner;
    bool asked = false;
    m_channel.SetStatusHook([&](const QByteArray&, const QByteArray&, const QByteArray&) {
        if (asked)
            return;
        asked = true;
        QTimer::singleShot(0, [&] {
            m_peer.ReadUntil("Main.Source?\r", 3s);
            EXPECT_TRUE(m_peer.WriteAll("\rMain.Source=3\r"));
        });
        inner = m_channel.Request("\rMain.Source?\r");
    });
    ASSERT_TRUE(m_peer.WriteAll("\rMain.Source=0\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !inner.isEmpty(); }, 3000));
    EXPECT_EQ(inner, "Main.Source=3");
}

}  // namespace
