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

// A worker on a pseudo-terminal whose hand-offs are recorded as they come.
// An owner that keeps up takes each hand-off at once; otherwise the test
// takes the lines (LinesTaken).
class WorkerOnPty {
public:
    enum class Owner { Behind, KeepsUp };

    explicit WorkerOnPty(Owner owner = Owner::Behind) {
        LinkDeviceResult device = OpenSerialDevice(m_peer.DevicePath(), 115200);
        SerialWorker::Callbacks callbacks;
        callbacks.linesReceived = [this, owner](QList<QByteArray> lines) {
            if (owner == Owner::KeepsUp)
                m_worker->LinesTaken(static_cast<int>(lines.size()));
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
                                                      115200, std::move(callbacks));
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

TEST(SerialWorkerHandOff, LinesReadWhileTheOwnerIsBehindComeTogetherWhenItHasTakenTheLast) {
    WorkerOnPty pty;
    ASSERT_TRUE(pty.Started());
    ASSERT_TRUE(pty.Peer().WriteAll("A1\rA2\r"));
    ASSERT_TRUE(pty.WaitForLines(2, 3s));
    // The owner has not taken A1 and A2: what follows waits for it.
    const QByteArray stream = Lines('B', 60);
    ASSERT_TRUE(pty.Peer().WriteAll("B\r"));
    ASSERT_TRUE(pty.Peer().WriteAll(stream));
    EXPECT_FALSE(pty.WaitForHandOffs(2, 200ms));
    pty.Worker().LinesTaken(1);
    EXPECT_FALSE(pty.WaitForHandOffs(2, 100ms));
    // Taking the last one wakes the worker: all of it in one hand-off.
    pty.Worker().LinesTaken(1);
    ASSERT_TRUE(pty.WaitForHandOffs(2, 3s));
    QList<QByteArray> expected{"B"};
    expected += stream.chopped(1).split('\r');
    EXPECT_EQ(pty.HandOffs()[1], expected);
    // The owner idle again: the next line goes at once, on its own.
    pty.Worker().LinesTaken(static_cast<int>(expected.size()));
    ASSERT_TRUE(pty.Peer().WriteAll("C\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(3, 3s));
    EXPECT_EQ(pty.HandOffs()[2], QList<QByteArray>{"C"});
}

TEST(SerialWorkerHandOff, AwaitedReplyIsNotHeldBackForABusyOwner) {
    WorkerOnPty pty;
    ASSERT_TRUE(pty.Started());
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Volume=-30\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(1, 3s));
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Mute=On\r"));
    EXPECT_FALSE(pty.WaitForHandOffs(2, 200ms));
    // Awaiting a reply hands over the line held and the next one at once.
    pty.Worker().SetReplyAwaited(true);
    ASSERT_TRUE(pty.WaitForHandOffs(2, 3s));
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Source=3\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(3, 3s));
    const auto handOffs = pty.HandOffs();
    EXPECT_EQ(handOffs[1], QList<QByteArray>{"Main.Mute=On"});
    EXPECT_EQ(handOffs[2], QList<QByteArray>{"Main.Source=3"});
}

// Eight lines of 42 bytes every millisecond keep a 115200-baud line busier
// than it can be, even when a loaded machine stretches the millisecond: the
// receiver floods. An owner that keeps up would otherwise get each write's
// lines in a hand-off of their own.
TEST(SerialWorkerHandOff, FloodIsHandedOverInBatches) {
    WorkerOnPty pty(WorkerOnPty::Owner::KeepsUp);
    ASSERT_TRUE(pty.Started());
    constexpr int kWrites = 600;
    for (int i = 0; i < kWrites; ++i) {
        ASSERT_TRUE(pty.Peer().WriteAll(Lines('F', 8)));
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(pty.WaitForLines(8 * kWrites, 5s));
    EXPECT_LT(pty.HandOffs().size(), kWrites * 2 / 3);
}

TEST(SerialWorkerFlowControl, StopsReadingWhileTheOwnerIsBehind) {
    WorkerOnPty pty;
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

TEST(SerialWorkerHandOff, HangUpWhileLinesWaitForTheOwnerIsReportedAfterThem) {
    WorkerOnPty pty;
    ASSERT_TRUE(pty.Started());
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Volume=-30\r"));
    ASSERT_TRUE(pty.WaitForHandOffs(1, 3s));
    ASSERT_TRUE(pty.Peer().WriteAll("Main.Mute=On\r"));
    EXPECT_FALSE(pty.WaitForHandOffs(2, 200ms));
    pty.Peer().CloseMaster();
    EXPECT_TRUE(pty.WaitForLoss(3s));
    ASSERT_EQ(pty.HandOffs().size(), 2u);
    EXPECT_EQ(pty.HandOffs()[1], QList<QByteArray>{"Main.Mute=On"});
}

}  // namespace
