#include "Await.h"
#include "ReceiverSession.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

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
    ASSERT_TRUE(session.Channel().Step("Main.Volume", true));
    ASSERT_TRUE(WaitFor([&] { return !changed.isEmpty(); }, 3000));
    EXPECT_TRUE(changed.first().startsWith("Main.Volume=")) << changed.first().constData();

    sim.Stop();
    ASSERT_TRUE(WaitFor([&] { return lost > 0; }, 5000));
    EXPECT_EQ(statuses.last(), ReceiverSession::kNotConnected);
    EXPECT_FALSE(session.Port().IsOpen());
    EXPECT_FALSE(session.State().connected);
}

INSTANTIATE_TEST_SUITE_P(Lines, SessionOnLine,
                         ::testing::Values(SimProcess::Line::Pty, SimProcess::Line::Tcp),
                         [](const auto& info) {
                             return info.param == SimProcess::Line::Pty ? "Pty" : "Tcp";
                         });

// The receiver keeps a value within its range and answers what it kept: that
// answer, not the user's choice, is what the store holds and a save writes.
TEST(SessionAnswers, ClampedSetShowsTheReceiversValue) {
    SimProcess sim({"--baud", "0"});
    ReceiverSession session;
    ASSERT_TRUE(Await(session.ConnectTo(sim.LinkPath())));
    QList<QByteArray> shown;
    QObject::connect(&session, &ReceiverSession::KeyChanged,
                     [&](const QByteArray&, const QByteArray& value) { shown << value; });
    EXPECT_TRUE(session.UpdateSetting("Main.Volume", "200"));
    EXPECT_EQ(session.Store().GetValue("Main.Volume"), "200");
    ASSERT_TRUE(WaitFor([&] { return !shown.isEmpty(); }, 3000));
    EXPECT_EQ(shown.last(), "16");
    EXPECT_EQ(session.Store().GetValue("Main.Volume"), "16");
}

// A read on a paced line takes seconds: what stops it (Cancel, Close, the
// session itself going) ends it at once, with the store as it was.
enum class StopBy { Cancel, Close, Destroy };

class SessionStop : public ::testing::TestWithParam<StopBy> {};

TEST_P(SessionStop, StopsTheReadAndPutsTheStoreBack) {
    SimProcess sim({"--baud", "115200"});
    auto session = std::make_unique<ReceiverSession>();
    session->Store().ResetToDefaults();
    const std::vector<QByteArray> before = session->Store().Lines();
    std::optional<bool> ended;
    QObject::connect(session.get(), &ReceiverSession::AttemptEnded,
                     [&](bool connected) { ended = connected; });
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
    }
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(*ended);
    // The line is ordered: one more command at most was on its way.
    EXPECT_LE(sim.ReceivedCommands().size(), sent + 1);
    if (session) {
        EXPECT_EQ(session->Store().Lines(), before);
        EXPECT_FALSE(session->Port().IsOpen());
        EXPECT_FALSE(session->IsBusy());
        EXPECT_EQ(session->LastFailure(), ReceiverSession::Failure::Stopped);
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, SessionStop,
                         ::testing::Values(StopBy::Cancel, StopBy::Close, StopBy::Destroy));

// A cancelled restore says which lines it did not send; the connection stays.
TEST(SessionStops, CancelledRestoreListsWhatWasNotSent) {
    SimProcess sim({"--baud", "115200"});
    ReceiverSession session;
    session.SetKeepAliveEnabled(false);
    ASSERT_EQ(Await(session.OpenPort(sim.LinkPath())), ReceiverIdentity::Outcome::Known);
    session.State().connected = true;
    session.Store().ResetToDefaults();
    std::optional<RestoreResult> result;
    QObject::connect(&session, &ReceiverSession::RestoreEnded,
                     [&](const RestoreResult& r) { result = r; });
    (void)session.RestoreStore();
    ASSERT_TRUE(WaitFor([&] { return sim.ReceivedCommands().size() > 10; }, 5000));
    session.Cancel();
    ASSERT_TRUE(result.has_value());
    EXPECT_GT(result->failed, 400);
    EXPECT_TRUE(result->report.contains("The restore was cancelled; "))
        << result->report.left(200).constData();
    EXPECT_TRUE(session.Port().IsOpen());
}

}  // namespace
