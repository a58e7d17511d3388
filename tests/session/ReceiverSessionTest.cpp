#include "ReceiverSession.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
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
    ASSERT_TRUE(session.ConnectTo(port));
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

}  // namespace
