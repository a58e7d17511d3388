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
// A line goes to the owner the moment it is read while the owner has taken
// every line handed over before: an idle owner hears of each line at once.
// While lines handed over are still untaken (the owner is busy with them), the
// worker reads on and holds what it reads; when the owner takes the last line
// (LinesTaken), the worker is woken and hands the held lines over in one
// batch. So lines are batched while the owner is behind, and then each
// wake-up of either thread carries every line that came meanwhile.
//
// A receiver that floods, sending its lines back to back so that they keep
// the line busy (more than kFloodShare of the time at the baud rate, in two
// windows of 100 ms in a row; a device server's receiver is taken to run at
// that rate too), would otherwise cost both threads a wake-up per line, far
// more than the lines themselves: on a virtual machine some 50 us each, 3 %
// of a core at 115200 baud. While it floods, the device is left to fill for
// kFloodRest after each hand-off; a rest that ends with nothing to read ends
// the flood at once. A line with pauses around it, however many come a
// second, and a line while a reply is awaited go at once.
//
// A device that sends faster than the owner takes its lines (a flood of status
// lines, a handler holding the rest back) is no longer read once
// kMaxLinesInFlight lines are handed over or held: the kernel's buffers then
// fill and flow control slows the sender. Reading resumes when the owner has
// taken the lines handed over.
//
// The callbacks run on the worker thread; they must only hand their data on.
class SerialWorker {
public:
    static constexpr std::chrono::milliseconds kWriteTimeout{100};
    static constexpr int kMaxLinesInFlight = 4096;
    static constexpr double kFloodShare = 0.85;
    static constexpr std::chrono::milliseconds kFloodRest{100};

    struct Callbacks {
        std::function<void(QList<QByteArray> lines)> linesReceived;
        std::function<void(QString reason)> deviceLost;  // at most once
    };

    // `baud`: the rate the receiver's line runs at, which tells a flood.
    SerialWorker(std::unique_ptr<LinkDevice> device, QString devicePath, unsigned baud,
                 Callbacks callbacks);
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
    // While set, received lines are handed over the moment they are read,
    // even while the owner is behind.
    void SetReplyAwaited(bool awaited);
    // The owner has taken (handled or dropped) this many handed-over lines.
    // Taking the last one wakes a worker that holds lines back.
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
    void ReadDevice(short revents);
    // Hands the held lines over if the owner has taken the earlier ones (or
    // `now` says so); otherwise asks the owner to wake the worker when it has.
    void HandOver(bool now = false);
    void LoseDevice(const QString& reason);
    // Counts the bytes read, and judges whether the receiver floods.
    void CountBytes(qint64 bytes, Clock::time_point now);
    void EndFlood(Clock::time_point now);
    bool Resting(Clock::time_point now) const;
    bool AtLineLimit() const { return m_linesInFlight.load() + m_held.size() >= kMaxLinesInFlight; }
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
    // Set by the worker while it holds lines for an owner that is behind, or
    // stops reading at the line limit; whoever clears it goes on (the worker)
    // or wakes the worker (the owner).
    std::atomic<bool> m_wakeWhenTaken{false};
    // Worker-thread state.
    bool m_watchDevice = true;
    OutgoingWrite m_current;
    LineAssembler m_assembler;
    QList<QByteArray> m_held;          // read while the owner was behind
    const Clock::duration m_byteTime;  // 10 bits on the receiver's line
    // The bytes read since the line's use was last judged, and when that was.
    qint64 m_windowBytes = 0;
    Clock::time_point m_windowStart;
    bool m_busyWindow = false;  // the last window judged was a flood's
    bool m_flooding = false;
    Clock::time_point m_restEnds;  // while flooding, after each hand-off
    // A rest began; when it ends, one look without waiting tells a flood that
    // goes on (lines waiting) from a receiver that paused.
    bool m_restToJudge = false;
};
