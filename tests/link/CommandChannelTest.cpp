#include "Await.h"
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
        m_channel.SetLineHook([this](const CommandChannel::ReceivedLine& line) {
            m_events << "line:" + line.raw;
            if (line.status && !line.key.isEmpty()) {
                m_events << "status:" + line.key + "|" + line.value;
                m_statusLines << line.answer;
            }
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

    // Reads what the port writes while its answers are delivered.
    QByteArray ReadWhileDelivering(const QByteArray& suffix) {
        QByteArray read;
        (void)QTest::qWaitFor(
            [&] {
                read += m_peer.ReadFor(5ms);
                return read.endsWith(suffix);
            },
            3000);
        return read;
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
    QByteArray command;  // the body; it goes on the wire framed
    QByteArray answer;
    QByteArray expectedReply;
    QList<QByteArray> expectedStatus;
};

const ReplyCase kReplyCases[] = {
    {"AnswerEqualToKey", "Main.Model?", "\rMain.Model=ZA01\r", "Main.Model=ZA01", {}},
    {"AnswerInOtherCaseKeepsItsCase", "Main.Model?", "\rMAIN.model=ZA01\r", "MAIN.model=ZA01", {}},
    {"LongerKeyIsStatusOnlyLineFeedsInValuesEscaped",
     "Zone2.Volume?",
     "\rZone2.VolumeControl=1\x1b[2J\t\rZone2.Volume=-20\nMain.Power=On\r",
     "Zone2.Volume=-20\\nMain.Power=On",
     {"Zone2.VolumeControl=1\x1b[2J\t"}},
    {"LineFeedsAtTheEndsAreNoPartOfTheValue",
     "Main.Bass?",
     "\rSource1.Name=\na\nb\rMain.Bass=\n4\n\r",
     "Main.Bass=4",
     {"Source1.Name=a\\nb"}},
    {"KeyWithTrailingBlanksAnswers",
     "Main.Volume?",
     "\rMain.Volume  =-20\r",
     "Main.Volume=-20",
     {}},
    {"StatusLineDuringWaitDoesNotAnswer",
     "Main.Source?",
     "\rMain.Volume=-30\r\rMain.Source=3\r",
     "Main.Source=3",
     {"Main.Volume=-30"}},
    {"KeyContainingPendingKeyFurtherInIsStatus",
     "Main.Source?",
     "\rXMain.Source=1\r\rMain.Source=2\r",
     "Main.Source=2",
     {"XMain.Source=1"}},
    {"LeadingLineFeedDoesNotAnswer",
     "Main.Source?",
     "\r\nMain.Source=1\rMain.Source=2\r",
     "Main.Source=2",
     {"\nMain.Source=1"}},
    {"SetWithMinusInValueWaitsForItsKey",
     "Main.Volume=-20",
     "\rMain.Volume=-20\r",
     "Main.Volume=-20",
     {}},
    {"ValueKeepsBlanksAndLaterEquals",
     "Source1.Name?",
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
    const QByteArray framed = CommandChannel::Framed(row.command);
    AnswerWhenAsked(framed, row.answer);
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Query, row.command), row.expectedReply);
    EXPECT_EQ(m_asked, framed);
    EXPECT_EQ(m_statusLines, row.expectedStatus);
    EXPECT_TRUE(m_channel.IsIdle());
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
    const QByteArray command = QByteArray(200, 'K') + "=1";
    EXPECT_FALSE(CommandChannel::KeyFits(command));
    EXPECT_TRUE(CommandChannel::KeyFits(QByteArray(128, 'K') + "=1"));
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Command, command), "");
    EXPECT_TRUE(m_channel.IsIdle());
    EXPECT_EQ(m_peer.ReadFor(100ms), "");
}

// The only test that waits out the full time.
TEST_F(CommandChannelTest, SilentReceiverTimesOutJustAfterOneSecond) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Query, "Main.Source?"),
              CommandChannel::kTimeout);
    // Nanoseconds: whole milliseconds would round 1000.9 ms down to the limit.
    const qint64 elapsedNs = clock.nsecsElapsed();
    EXPECT_GT(elapsedNs, qint64{CommandChannel::kReplyTimeoutMs} * 1'000'000);
    EXPECT_LT(elapsedNs, qint64{1100} * 1'000'000);  // generous for a loaded machine
}

TEST_F(CommandChannelTest, ClosedPortRefusesAtOnce) {
    m_port.Close();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Query, "Main.Source?"), "");
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_FALSE(m_channel.Step("Main.Volume", true));
    EXPECT_TRUE(m_channel.IsIdle());
}

// A line without an operator, a step, a section query: written in their place,
// done once written.
TEST_F(CommandChannelTest, WritesCompleteWhenWrittenInTheirPlace) {
    QList<QByteArray> done;
    const auto note = [&](const char* name) {
        return [&done, name](const CommandChannel::Reply& reply) {
            done << name +
                        QByteArray(reply.outcome == CommandChannel::Outcome::Written ? ":w" : ":?");
        };
    };
    ASSERT_TRUE(m_channel.Query("Main.Model", note("query")));
    ASSERT_TRUE(m_channel.SendLine("Tuner?", note("line")));
    ASSERT_TRUE(m_channel.Step("Main.Volume", false, note("step")));
    EXPECT_EQ(m_peer.ReadUntil("Main.Model?\r", 3s), "\rMain.Model?\r");
    EXPECT_EQ(m_peer.ReadFor(100ms), "");  // the rest waits for the answer
    ASSERT_TRUE(m_peer.WriteAll("\rMain.Model=ZA01\r"));
    EXPECT_EQ(ReadWhileDelivering("Main.Volume-\r"), "\rTuner?\r\rMain.Volume-\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.size() == 3; }, 3000));
    EXPECT_EQ(done, (QList<QByteArray>{"query:?", "line:w", "step:w"}));
}

TEST_F(CommandChannelTest, EveryLineRestartsKeepAliveThenReachesTheLineHook) {
    ASSERT_TRUE(m_peer.WriteAll("\rMain.Mute=1\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_events.size() >= 5; }, 3000));
    EXPECT_EQ(m_events, (QList<QByteArray>{"keepalive", "line:", "keepalive", "line:Main.Mute=1",
                                           "status:Main.Mute|1"}));
}

// A query's answer is its asker's alone; a set's answer is what the receiver
// kept, which the store must learn like any status line.
TEST_F(CommandChannelTest, QueryAnswerIsNoStatusLineSetAnswerIs) {
    AnswerWhenAsked("\rMain.Model?\r", "\rMain.Model=ZA01\r");
    EXPECT_EQ(QueryReply(m_channel, "Main.Model"), "Main.Model=ZA01");
    EXPECT_TRUE(m_statusLines.isEmpty());
    AnswerWhenAsked("\rMain.Bass=30\r", "\rMain.Bass=12\r");
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Set, "Main.Bass=30"), "Main.Bass=12");
    EXPECT_EQ(m_statusLines, QList<QByteArray>{"Main.Bass=12"});
}

// Commands wait in order behind the one on the wire; a set whose key has a set
// still queued takes its place, and both askers hear the outcome.
TEST_F(CommandChannelTest, QueueKeepsOrderAndCoalescesQueuedSets) {
    QList<QByteArray> replies;
    const auto keep = [&](const CommandChannel::Reply& reply) { replies << reply.Text(); };
    m_channel.Query("Main.Model", keep);
    for (const char* name : {"A", "Ab", "Abc"})
        m_channel.Set("Source1.Name", name, keep);
    m_channel.Query("Main.Source", keep);
    EXPECT_EQ(m_channel.QueuedCount(), 2u);
    EXPECT_EQ(m_peer.ReadUntil("Main.Model?\r", 3s), "\rMain.Model?\r");
    ASSERT_TRUE(m_peer.WriteAll("\rMain.Model=ZA01\r"));
    EXPECT_EQ(ReadWhileDelivering("Abc\r"), "\rSource1.Name=Abc\r");
    ASSERT_TRUE(m_peer.WriteAll("\rSource1.Name=Abc\r"));
    EXPECT_EQ(ReadWhileDelivering("Main.Source?\r"), "\rMain.Source?\r");
    ASSERT_TRUE(m_peer.WriteAll("\rMain.Source=3\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return replies.size() == 5; }, 3000));
    EXPECT_EQ(replies, (QList<QByteArray>{"Main.Model=ZA01", "Source1.Name=Abc", "Source1.Name=Abc",
                                          "Source1.Name=Abc", "Main.Source=3"}));
}

// Closing the port or tearing down ends the command on the wire and every
// queued one, each exactly once and from the event loop; stopping an operation
// ends its own commands only, and a `done` whose context is gone is not run.
TEST_F(CommandChannelTest, EndingCommandsReachesOnlyTheirOwners) {
    using Outcome = CommandChannel::Outcome;
    const struct {
        const char* name;
        int ending;                // 0 stop the operation, 1 close the port, 2 abort all
        QList<Outcome> operation;  // its query on the wire, its queued step
        QList<Outcome> others;     // a user's set queued between them, a gone context's query
    } cases[] = {
        {"Stop", 0, {Outcome::Aborted, Outcome::Aborted}, {Outcome::Answered}},
        {"Close", 1, {Outcome::Closed, Outcome::Closed}, {Outcome::Closed}},
        {"AbortAll", 2, {Outcome::Aborted, Outcome::Aborted}, {Outcome::Aborted}},
    };
    for (const auto& c : cases) {
        if (!m_port.IsOpen()) {
            ASSERT_TRUE(m_port.Open(m_peer.DevicePath()));
        }
        std::stop_source operation;
        const auto owned = CommandChannel::Owner::Of(operation.get_token());
        QList<Outcome> ofOperation;
        QList<Outcome> ofOthers;
        const auto keep = [](QList<Outcome>& into) {
            return [&into](const CommandChannel::Reply& reply) { into << reply.outcome; };
        };
        auto context = std::make_unique<QObject>();
        m_channel.Query("Main.Volume", keep(ofOperation), owned);
        m_channel.Set("Main.Bass", "2", keep(ofOthers));
        m_channel.Step("Main.Volume", true, keep(ofOperation), owned);
        m_channel.Query("Main.Mute", keep(ofOthers), CommandChannel::Owner::Within(context.get()));
        context.reset();
        ASSERT_EQ(m_peer.ReadUntil("Main.Volume?\r", 3s), "\rMain.Volume?\r") << c.name;
        if (c.ending == 0) {
            operation.request_stop();
            m_channel.Abort(operation.get_token());
        } else if (c.ending == 1) {
            m_port.Close();
        } else {
            m_channel.AbortAll();
        }
        // Nothing completes inside the call that ended it.
        EXPECT_TRUE(ofOperation.isEmpty()) << c.name;
        if (c.ending == 0) {
            EXPECT_EQ(m_peer.ReadUntil("Main.Bass=2\r", 3s), "\rMain.Bass=2\r");
            ASSERT_TRUE(m_peer.WriteAll("\rMain.Bass=2\r"));
            EXPECT_EQ(ReadWhileDelivering("Main.Mute?\r"), "\rMain.Mute?\r");
            ASSERT_TRUE(m_peer.WriteAll("\rMain.Mute=Off\r"));
        }
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return m_channel.IsIdle() && ofOthers.size() >= 1; }, 3000))
            << c.name;
        // A barrier: a completion told twice would have arrived by now.
        (void)Reply(m_channel, CommandChannel::Kind::Write, "x");
        EXPECT_EQ(ofOperation, c.operation) << c.name;
        EXPECT_EQ(ofOthers, c.others) << c.name;
        EXPECT_EQ(m_peer.ReadFor(50ms).contains("Main.Volume+"), false) << c.name;
    }
}

// Pipelined queries share the wire, each matched by its key; anything else
// waits for an empty wire. An answer that overtakes another, or a line that is
// no key=value, marks the replies as troubled.
TEST_F(CommandChannelTest, PipelinedCommandsShareTheWireAndReportTrouble) {
    const struct {
        const char* name;
        QByteArray answers;
        QList<QByteArray> replies;  // in the order they end; "!" marks trouble
    } cases[] = {
        {"InOrder", "\rA=1\r\rB=2\r", {"A=1", "B=2"}},
        {"Overtaken", "\rB=2\r\rA=1\r", {"B=2!", "A=1"}},
        {"Garbled", "\rA=1\r\rjunk\r\rB=2\r", {"A=1", "B=2!"}},
    };
    for (const auto& c : cases) {
        QList<QByteArray> replies;
        const auto keep = [&](const CommandChannel::Reply& reply) {
            replies << reply.Text() + (reply.troubled ? "!" : "");
        };
        for (const char* key : {"A?", "B?"})
            m_channel.Submit({CommandChannel::Kind::Query, key, {}, {}, 0, {}, true}, keep);
        m_channel.Query("C", keep);
        m_channel.Submit({CommandChannel::Kind::Query, "A?", {}, {}, 0, {}, true}, keep);
        EXPECT_EQ(m_peer.ReadUntil("B?\r", 3s), "\rA?\r\rB?\r") << c.name;
        EXPECT_EQ(m_peer.ReadFor(50ms), "") << c.name;
        ASSERT_TRUE(m_peer.WriteAll(c.answers));
        EXPECT_EQ(ReadWhileDelivering("C?\r"), "\rC?\r") << c.name;
        ASSERT_TRUE(m_peer.WriteAll("\rC=3\r"));
        EXPECT_EQ(ReadWhileDelivering("A?\r"), "\rA?\r") << c.name;
        ASSERT_TRUE(m_peer.WriteAll("\rA=4\r"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return replies.size() == 4; }, 3000)) << c.name;
        EXPECT_EQ(replies, c.replies + QList<QByteArray>({"C=3", "A=4"})) << c.name;
    }
}

// A `done` may destroy the channel's owner; every other command still ends once.
// Whatever the build, a test program stops at a step completed twice.
TEST(CompletionDeathTest, StepCompletedTwiceStopsTheTest) {
    EXPECT_DEATH(Await([]() -> QCoro::Task<int> {
                     co_return co_await Completion<int>([](auto done) { done(1), done(2); });
                 }()),
                 "completed twice");
}

TEST(CommandChannelLifetime, DoneThatDestroysTheChannelStillEndsTheRest) {
    PtyPeer peer;
    auto port = std::make_unique<SerialPort>();
    ASSERT_TRUE(port->Open(peer.DevicePath()));
    auto channel = std::make_unique<CommandChannel>(*port);
    int calls = 0;
    channel->Query("Main.Model", [&](const CommandChannel::Reply&) {
        ++calls;
        channel.reset();
    });
    channel->Query("Main.Source", [&](const CommandChannel::Reply&) { ++calls; });
    port->Close();
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 3000));
}

}  // namespace
