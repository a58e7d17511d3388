#include "Await.h"
#include "FailureText.h"
#include "ReceiverSession.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <csignal>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    return WaitUntil(done, ms);
}

class SessionOnLine : public ::testing::TestWithParam<SimProcess::Line> {};

// Without a display: connect, follow a line the receiver sends of its own
// accord, and notice the receiver going away.
TEST_P(SessionOnLine, ConnectsFollowsStatusLinesAndNoticesLoss) {
    SimProcess sim({}, GetParam());
    ASSERT_TRUE(sim.IsRunning());
    ReceiverSession session;
    QStringList statuses;
    QList<QByteArray> changed;
    int connected = 0;
    int lost = 0;
    QObject::connect(&session, &ReceiverSession::StatusChanged,
                     [&](const QString& text) { statuses << text; });
    QObject::connect(&session, &ReceiverSession::Connected, [&] { ++connected; });
    QObject::connect(&session, &ReceiverSession::Lost, [&] { ++lost; });
    QObject::connect(&session, &ReceiverSession::KeyChanged,
                     [&](const QByteArray& key, const QByteArray& value) {
                         // The store holds the value before anyone is told.
                         if (session.Store().GetValue(key) == value)
                             changed << key + '=' + value;
                     });

    const QString port = sim.LinkPath();
    ASSERT_TRUE(Await(session.ConnectTo(port)));
    EXPECT_EQ(statuses,
              (QStringList{"Connecting on " + port + " ...", "Connecting to ZA11 on " + port,
                           "Connected to ZA11 on " + port}));
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(session.Model(), "ZA11");
    EXPECT_GT(session.Store().LineCount(), 500);
    EXPECT_TRUE(session.IsKeepAliveRunning());

    // A step is not waited for: its answer arrives as a status line.
    ASSERT_TRUE(session.Step("Main.Volume", true));
    ASSERT_TRUE(WaitFor([&] { return !changed.isEmpty(); }, 3000));
    EXPECT_TRUE(changed.first().startsWith("Main.Volume=")) << changed.first().constData();

    sim.Stop();
    ASSERT_TRUE(WaitFor([&] { return lost > 0; }, 5000));
    EXPECT_EQ(statuses.last(), ReceiverSession::kNotConnected);
    EXPECT_FALSE(session.IsOpen());
    EXPECT_FALSE(session.State().connected);
}

INSTANTIATE_TEST_SUITE_P(Lines, SessionOnLine,
                         ::testing::Values(SimProcess::Line::Pty, SimProcess::Line::Tcp),
                         [](const auto& info) {
                             return info.param == SimProcess::Line::Pty ? "Pty" : "Tcp";
                         });

// A receiver that takes one command at a time is found out on the first
// read, said once, and spoken to that way from then on; a depth of 1 (the
// profile's "off") never tries.
TEST(SessionPipeline, LockstepReceiverIsSaidOnceAndRemembered) {
    for (const int depth : {2, 1}) {
        SimProcess sim({"--baud", "0", "--lockstep-only", "--latency-ms", "1"});
        ASSERT_TRUE(sim.IsRunning());
        ReceiverSession session;
        session.SetPipelineDepth(depth);
        QStringList reasons;
        QObject::connect(&session, &ReceiverSession::StatusReasonChanged,
                         [&](const QString& reason) { reasons << reason; });
        ASSERT_TRUE(Await(session.ConnectTo(sim.LinkPath())));
        EXPECT_EQ(session.Store().LineCount(), 584);
        ASSERT_TRUE(Await(session.ReadAll("again")));
        EXPECT_EQ(reasons.filter("one command at a time").size(), depth > 1 ? 1 : 0) << depth;
        EXPECT_EQ(session.GetPipeline().state,
                  depth > 1 ? Pipeline::State::Refused : Pipeline::State::Untried);
    }
}

// A change is pending, and shown, until the receiver answers; then the store
// holds what the receiver kept (a clamped value), or, with no answer, what it
// said before, and the reason line says why.
TEST(SessionAnswers, PendingValueGivesWayToTheReceiversWord) {
    SimProcess sim({"--baud", "0"});
    ReceiverSession session;
    ASSERT_TRUE(Await(session.ConnectTo(sim.LinkPath())));
    const QByteArray before = session.Store().GetValue("Main.Volume");
    QList<QByteArray> shown;
    QStringList reasons;
    QObject::connect(&session, &ReceiverSession::KeyChanged,
                     [&](const QByteArray&, const QByteArray& value) { shown << value; });
    QObject::connect(&session, &ReceiverSession::StatusReasonChanged,
                     [&](const QString& reason) { reasons << reason; });
    EXPECT_TRUE(session.UpdateSetting("Main.Volume", "200"));
    EXPECT_EQ(session.Store().GetValue("Main.Volume"), "200");
    EXPECT_EQ(session.Store().GetConfirmed("Main.Volume"), before);
    ASSERT_TRUE(WaitFor([&] { return !session.Store().HasAnyPending(); }, 3000));
    EXPECT_EQ(shown.last(), "16");
    EXPECT_EQ(session.Store().GetValue("Main.Volume"), "16");

    sim.Signal(SIGUSR1);  // the receiver goes silent
    EXPECT_TRUE(session.UpdateSetting("Main.Bass", "4"));
    ASSERT_TRUE(WaitFor([&] { return !session.Store().HasAnyPending(); }, 3000));
    EXPECT_EQ(session.Store().GetValue("Main.Bass"), session.Store().GetConfirmed("Main.Bass"));
    EXPECT_NE(session.Store().GetValue("Main.Bass"), "4");
    ASSERT_FALSE(reasons.isEmpty());
    EXPECT_TRUE(reasons.last().startsWith("Main.Bass was not changed: "))
        << reasons.last().toStdString();
}

// Loss is judged by evidence, whoever keeps the line busy: a receiver gone
// silent shows as lost within about 2 s, idle or polled by another caller.
TEST(SessionLoss, SilentReceiverIsLostWithinTwoSecondsUnderAnyLoad) {
    for (const int pollEveryMs : {0, 100}) {
        SimProcess sim({"--baud", "0"});
        ReceiverSession session;
        ASSERT_TRUE(Await(session.ConnectTo(sim.LinkPath())));
        QTimer load;
        QObject::connect(&load, &QTimer::timeout, [&] {
            session.Submit({CommandChannel::Kind::Query, "Main.Power?", {}, {}, 0, {}});
        });
        if (pollEveryMs > 0)
            load.start(pollEveryMs);
        // A barrier: the load's first answers are in before the silence.
        (void)Await(session.Ask(CommandChannel::Kind::Query, "Main.Mute?"));
        bool lost = false;
        QObject::connect(&session, &ReceiverSession::Lost, [&] { lost = true; });
        QElapsedTimer silence;
        sim.Signal(SIGUSR1);
        silence.start();
        ASSERT_TRUE(WaitFor([&] { return lost; }, 10000)) << pollEveryMs;
        EXPECT_LT(silence.elapsed(), 2300) << "polled every " << pollEveryMs << " ms";
    }
}

// A read on a paced line takes seconds: what stops it (Cancel, Close, the
// session itself going) ends it at once, with the store as it was.
enum class StopBy { Cancel, Close, Destroy, NextAttempt };

class SessionStop : public ::testing::TestWithParam<StopBy> {};

TEST_P(SessionStop, StopsTheReadAndPutsTheStoreBack) {
    SimProcess sim({"--baud", "115200"});
    auto session = std::make_unique<ReceiverSession>();
    session->Store().ResetToDefaults();
    const std::vector<QByteArray> before = session->Store().Lines();
    std::optional<bool> ended;
    QStringList said;
    QObject::connect(session.get(), &ReceiverSession::AttemptEnded, [&](bool connected) {
        if (!ended)
            ended = connected;
        said << QStringLiteral("ended");
    });
    QObject::connect(session.get(), &ReceiverSession::StatusChanged,
                     [&](const QString& status) { said << status; });
    (void)session->ConnectTo(sim.LinkPath());
    ASSERT_TRUE(WaitFor([&] { return sim.ReceivedCommands().size() > 20; }, 5000));
    const qsizetype sent = sim.ReceivedCommands().size();
    switch (GetParam()) {
        case StopBy::Cancel:
            session->Cancel();
            break;
        case StopBy::Close:
            session->Close();
            break;
        case StopBy::Destroy:
            session.reset();
            break;
        case StopBy::NextAttempt:
            said.clear();
            (void)session->ConnectTo(QStringLiteral("/nonexistent/tty"));
            break;
    }
    ASSERT_TRUE(WaitFor([&] { return ended.has_value(); }, 3000));
    EXPECT_FALSE(*ended);
    if (GetParam() == StopBy::NextAttempt) {
        // The stopped attempt has said so before the next one begins.
        ASSERT_TRUE(WaitFor([&] { return said.count("ended") == 2; }, 3000));
        EXPECT_EQ(said.mid(0, 3), (QStringList{ReceiverSession::kNotConnected, "ended",
                                               "Connecting on /nonexistent/tty ..."}));
        return;
    }
    // The line is ordered: one more command at most was on its way.
    EXPECT_LE(sim.ReceivedCommands().size(), sent + 1);
    if (session) {
        EXPECT_EQ(session->Store().Lines(), before);
        EXPECT_FALSE(session->IsOpen());
        EXPECT_FALSE(session->IsBusy());
        EXPECT_EQ(session->LastFailure(), ReceiverSession::Failure::Stopped);
        EXPECT_EQ(session->FailureReason(), "the connection attempt was stopped");
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, SessionStop,
                         ::testing::Values(StopBy::Cancel, StopBy::Close, StopBy::Destroy,
                                           StopBy::NextAttempt));

// A cancelled restore says which lines it did not send and leaves the store
// as the receiver has it; the user's set queued meanwhile still goes out, and
// the connection stays.
TEST(SessionStops, CancelledRestoreEndsOnlyItsOwnCommands) {
    SimProcess sim({"--baud", "115200"});
    ReceiverSession session;
    ASSERT_TRUE(Await(session.ConnectTo(sim.LinkPath())));
    const QByteArray volume = session.Store().GetValue("Main.Volume");
    SettingsStore file;
    file.ResetToDefaults();
    file.SetValue("Main.Volume", "-33");
    std::optional<RestoreResult> result;
    QObject::connect(&session, &ReceiverSession::RestoreEnded,
                     [&](const RestoreResult& r) { result = r; });
    (void)session.LoadSettings(file);
    ASSERT_TRUE(WaitFor([&] { return sim.ReceivedCommands().size() > 600; }, 5000));
    ASSERT_TRUE(session.UpdateSetting("Main.Bass", "4"));
    session.Cancel();
    ASSERT_TRUE(WaitFor([&] { return result.has_value(); }, 3000));
    EXPECT_GT(result->notSent, 400);
    EXPECT_EQ(result->sent, result->confirmed);
    EXPECT_TRUE(result->report.contains(" not sent: the restore was cancelled."))
        << result->report.left(200).constData();
    ASSERT_TRUE(WaitFor([&] { return !session.Store().HasAnyPending(); }, 3000));
    EXPECT_TRUE(sim.ReceivedCommands().contains("Main.Bass=4"));
    EXPECT_EQ(session.Store().GetValue("Main.Bass"), "4");
    EXPECT_EQ(session.Store().GetValue("Main.Volume"), volume);
    EXPECT_TRUE(session.IsOpen());
}

// Whoever hears the session may destroy it from the handler.
TEST(SessionLifetime, HandlerMayDestroyTheSession) {
    SimProcess sim({"--baud", "0"});
    const std::function<void(ReceiverSession&, std::function<void()>)> kWays[] = {
        [](ReceiverSession& s, std::function<void()> end) {
            QObject::connect(&s, &ReceiverSession::LineReceived, end);
            s.SendLine("Main.Volume+");
        },
        [](ReceiverSession& s, std::function<void()> end) {
            QObject::connect(&s, &ReceiverSession::KeyChanged, end);
            s.Step("Main.Volume", true);
        },
        [](ReceiverSession& s, std::function<void()> end) {
            QObject::connect(&s, &ReceiverSession::RestoreEnded, end);
            (void)s.Restore({"Main.Mute=On"});
        },
        [](ReceiverSession& s, std::function<void()> end) {
            QObject::connect(&s, &ReceiverSession::AttemptEnded, end);
            (void)s.ConnectTo(QStringLiteral("/nonexistent/tty"));
        },
        [&sim](ReceiverSession& s, std::function<void()> end) {
            QObject::connect(&s, &ReceiverSession::Lost, end);
            sim.Signal(SIGUSR1);
        },
    };
    for (const auto& way : kWays) {
        auto session = std::make_unique<ReceiverSession>();
        ASSERT_TRUE(Await(session->ConnectTo(sim.LinkPath())));
        way(*session, [&session] { session.reset(); });
        ASSERT_TRUE(WaitFor([&] { return !session; }, 5000));
    }
}

// The port's own words name the device; the name the user chose leads only
// when it stands for another path, and a sentence of ours is not named twice.
TEST(FailureSentences, NameThePortOnce) {
    using F = ConnectionFailure;
    const QString error = "Cannot open /dev/ttyUSB0: no such device";
    const struct {
        F failure;
        FailureFacts facts;
        QString sentence;
    } kRows[] = {
        {F::CannotOpen, {"COM3", "/dev/ttyUSB0", {}, error, {}}, "COM3: " + error},
        {F::CannotOpen, {"/dev/ttyUSB0", "/dev/ttyUSB0", {}, error, {}}, error},
        {F::ReadFailed,
         {"COM3", "/dev/ttyUSB0", {}, {}, SilentReceiverText("COM3")},
         "the receiver on COM3 stopped answering"},
        {F::UnknownModel,
         {"{ms}", "{ms}", "ZZ\x80", {}, {}},
         "the receiver on {ms} reports the model \"ZZ\u20ac\", which is not a known Velmar model"},
    };
    for (const auto& row : kRows)
        EXPECT_EQ(FailureText(row.failure, row.facts), row.sentence) << row.sentence.toStdString();
}

}  // namespace
