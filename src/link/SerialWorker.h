#pragma once

#include "LineAssembler.h"
#include "LinkDevice.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The thread behind an open SerialPort. It sleeps in poll() on the device (a
// tty or a device server's socket alike) and
// on an eventfd that Stop and Enqueue signal, assembles received lines, and
// writes queued requests one at a time, each given up after 100 ms. A request
// with none before it is written by Enqueue itself, as far as the device takes
// it at once; the worker writes the rest.
//
// Lines streaming in back to back (a receiver reporting every turn of a knob)
// are handed over together: after each hand-off the device is left to fill for
// a rest before it is read again, so neither thread wakes for every line. The
// first rest is kRestTime; while lines are waiting each time a rest ends, the
// stream goes on and the next rest is twice as long, up to kLongestRestFactor
// times the first, since on a virtual machine each wake-up costs more than the
// lines it carries. A look that finds nothing waiting starts over. While a
// reply is awaited the worker does not rest, so replies go at once; a line
// after a quiet spell goes at once all the same.
//
// Lines handed over wait in memory until the owner takes them. A device that
// sends faster than the owner takes its lines (a flood of status lines, a
// handler holding the rest back) is no longer read once kMaxLinesInFlight
// wait: the kernel's buffers then fill and flow control slows the sender.
// Reading resumes when the owner has taken half of them.
//
// The callbacks run on the worker thread; they must only hand their data on.
class SerialWorker {
public:
    static constexpr std::chrono::milliseconds kWriteTimeout{100};
    static constexpr std::chrono::milliseconds kRestTime{20};
    static constexpr int kLongestRestFactor = 5;
    static constexpr int kMaxLinesInFlight = 4096;

    struct Callbacks {
        std::function<void(QList<QByteArray> lines)> linesReceived;
        std::function<void(QString reason)> deviceLost;  // at most once
    };

    SerialWorker(std::unique_ptr<LinkDevice> device, QString devicePath, Callbacks callbacks,
                 std::chrono::milliseconds restTime = kRestTime);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // False (with the reason) when the thread could not be started.
    bool Start(QString* error);
    // Ends the thread, drops queued writes and closes the device. Never waits
    // for anything but the worker leaving poll().
    void Stop();
    // Once the device is lost the bytes are dropped, as on a cut cable.
    void Enqueue(QByteArray bytes);
    bool IsLost() const { return m_lost.load(); }
    // While set, received lines are handed over the moment they are read.
    void SetReplyAwaited(bool awaited);
    // The owner has taken (handled or dropped) this many handed-over lines.
    void LinesTaken(int count);

private:
    using Clock = std::chrono::steady_clock;

    struct OutgoingWrite {
        QByteArray data;
        qsizetype written = 0;
        Clock::time_point deadline;
        bool active = false;
    };

    void Run();
    void Wake();
    void DrainWake();
    bool TakeNextWrite();
    void ContinueWrite();
    void EndWrite();
    // Writes what the device takes now and returns how much that was; `full`
    // tells a device that takes no more yet from one that refused the bytes.
    qsizetype WriteNow(const char* data, qsizetype size, bool* full);
    // `afterRest`: the read is the first look after a rest.
    void ReadDevice(short revents, bool afterRest);
    void LoseDevice(const QString& reason);
    bool Resting(Clock::time_point now) const;
    bool OwnerIsBehind() const { return m_linesInFlight.load() >= kMaxLinesInFlight; }
    int PollTimeoutMs(Clock::time_point now) const;

    std::unique_ptr<LinkDevice> m_device;
    int m_fd = -1;  // the device's descriptor while it is open
    int m_wakeFd = -1;
    QString m_devicePath;
    Callbacks m_callbacks;
    std::thread m_thread;

    std::mutex m_mutex;  // guards m_queue, m_stop and m_writing
    std::deque<QByteArray> m_queue;
    bool m_stop = false;
    bool m_writing = false;  // the worker has a write under way

    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_replyAwaited{false};
    std::atomic<int> m_linesInFlight{0};
    // Worker-thread state.
    bool m_watchDevice = true;
    OutgoingWrite m_current;
    LineAssembler m_assembler;
    const std::chrono::milliseconds m_restTime;
    std::chrono::milliseconds m_rest;  // the current one, grown by a stream
    Clock::time_point m_lastHandOff;
    // A rest began; when it ends, one look without waiting tells a stream
    // (lines waiting) from a quiet line.
    bool m_restToJudge = false;
};
