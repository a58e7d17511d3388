#include "PtyPeer.h"
#include "SerialDevice.h"
#include "SerialWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Long enough that a line held back by the rest cannot be mistaken for one
// delivered at once, even on a loaded machine.
constexpr auto kLongRest = 10s;

// A worker on a pseudo-terminal whose hand-offs are recorded as they come.
class WorkerOnPty {
public:
    explicit WorkerOnPty(std::chrono::milliseconds restTime) {
        LinkDeviceResult device = OpenSerialDevice(m_peer.DevicePath(), 115200);
        SerialWorker::Callbacks callbacks;
        callbacks.linesReceived = [this](QList<QByteArray> lines) {
            std::lock_guard lock(m_mutex);
            m_lineCount += lines.size();
            m_handOffs.push_back(std::move(lines));
            m_changed.notify_all();
        };
        callbacks.deviceLost = [this](QString) {
            std::lock_guard lock(m_mutex);
            m_lost = true;
            m_changed.notify_all();
        };
        if (device.device) {
            m_worker = std::make_unique<SerialWorker>(std::move(device.device), m_peer.DevicePath(),
                                                      std::move(callbacks), restTime);
            QString error;
            if (!m_worker->Start(&error))
                m_worker.reset();
        }
    }

    bool Started() const { return m_worker != nullptr; }
    PtyPeer& Peer() { return m_peer; }
    SerialWorker& Worker() { return *m_worker; }

    // Waits until `count` hand-offs arrived; false on time-out.
    bool WaitForHandOffs(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_handOffs.size() >= count; });
    }
    bool WaitForLines(qsizetype count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_lineCount >= count; });
    }
    bool WaitForLoss(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_lost; });
    }
    std::vector<QList<QByteArray>> HandOffs() {
        std::lock_guard lock(m_mutex);
        return m_handOffs;
    }

private:
    PtyPeer m_peer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QList<QByteArray>> m_handOffs;
    bool m_lost = false;
    qsizetype m_lineCount = 0;
    std::unique_ptr<SerialWorker> m_worker;
};

QByteArray Lines(char prefix, int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += prefix + QByteArray::number(i).rightJustified(40, '.') + '\r';
    return bytes;
}

TEST(SerialWorkerRest, StreamIsHandedOverTogetherAfterTheRest) {
    WorkerOnPty pty(1000ms);
    ASSERT_TRUE(pty.Started());
    // The first line after a quiet spell goes at once.
    ASSERT_TRUE(pty.Peer().WriteAll("A\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(1, 3s));

    // What follows while the worker rests waits for the rest to end, then
    // comes in one hand-off, more than one read's worth included.
    const QByteArray stream = Lines('B', 60);
    ASSERT_TRUE(pty.Peer().WriteAll("B\r"));
    ASSERT_TRUE(pty.Peer().WriteAll(stream));
    EXPECT_FALSE(pty.WaitForHandOffs(2, 200ms));
    ASSERT_TRUE(pty.WaitForHandOffs(2, 5s));

    // Lines were waiting when the rest ended: the stream goes on, and the next
    // rest is twice as long.
    ASSERT_TRUE(pty.Peer().WriteAll("C\r"));
    EXPECT_FALSE(pty.WaitForHandOffs(3, 1400ms));
    ASSERT_TRUE(pty.WaitForHandOffs(3, 5s));

    const auto handOffs = pty.HandOffs();
    EXPECT_EQ(handOffs[0], QList<QByteArray>{"A"});
    QList<QByteArray> expected{"B"};
    expected += stream.chopped(1).split('\r');
    EXPECT_EQ(handOffs[1], expected);
    EXPECT_EQ(handOffs[2], QList<QByteArray>{"C"});
}

TEST(SerialWorkerRest, AwaitedReplyIsNotHeldBackByTheRest) {
    WorkerOnPty pty(kLongRest);
    ASSERT_TRUE(pty.Started());
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Volume=-30\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(1, 3s));

    // Awaiting a reply wakes the resting worker; a line already waiting and
    // one arriving later are both handed over at once.
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Mute=On\r"));
    pty.Worker().SetReplyAwaited(true);
    ASSERT_TRUE(pty.WaitForHandOffs(2, 3s));
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Source=3\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(3, 3s));

    const auto handOffs = pty.HandOffs();
    EXPECT_EQ(handOffs[1], QList<QByteArray>{"Main.Mute=On"});
    EXPECT_EQ(handOffs[2], QList<QByteArray>{"Main.Source=3"});
}

TEST(SerialWorkerRest, LoneFramingCarriageReturnDoesNotStartTheRest) {
    WorkerOnPty pty(kLongRest);
    ASSERT_TRUE(pty.Started());
    // On a paced line the carriage return that opens a line arrives on its own.
    ASSERT_TRUE(pty.Peer().WriteAll("\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(1, 3s));
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Volume=-30\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(2, 3s));
    EXPECT_EQ(pty.HandOffs()[1], QList<QByteArray>{"Main.Volume=-30"});
}

TEST(SerialWorkerFlowControl, StopsReadingWhileTheOwnerIsBehind) {
    WorkerOnPty pty(0ms);
    ASSERT_TRUE(pty.Started());
    pty.Worker().SetReplyAwaited(true);
    const int max = SerialWorker::kMaxLinesInFlight;
    std::thread writer([&] { EXPECT_TRUE(pty.Peer().WriteAll(Lines('F', 3 * max))); });
    EXPECT_TRUE(pty.WaitForLines(max, 5s));
    EXPECT_FALSE(pty.WaitForLines(max + 513, 300ms));
    pty.Worker().LinesTaken(3 * max);
    EXPECT_TRUE(pty.WaitForLines(3 * max, 5s));
    writer.join();
}

TEST(SerialWorkerRest, HangUpDuringTheRestIsReportedAtOnce) {
    WorkerOnPty pty(kLongRest);
    ASSERT_TRUE(pty.Started());
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Volume=-30\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(1, 3s));
    pty.Peer().CloseMaster();
    EXPECT_TRUE(pty.WaitForLoss(3s));
}

}  // namespace
