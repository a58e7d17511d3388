#pragma once

#include <QByteArray>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

// Timing of a serial line of a given speed, both directions. A byte takes ten
// bit times on the wire (start, 8 data, stop); bytes queue back to back, so
// every deadline is computed from when the wire became free, never from when
// the program happened to wake up, and lateness does not add up.
namespace LinePacer {

using Clock = std::chrono::steady_clock;
using Duration = std::chrono::nanoseconds;

// 0 baud: no pacing at all.
Duration ByteTime(int baud);

// The longest command body kept; longer ones are dropped whole.
inline constexpr qsizetype kMaxCommandBytes = 1024;

struct Command {
    Clock::time_point due;     // when its last byte has crossed the wire
    QByteArray body;           // without framing CRs and stray LFs
    qint64 wireBytes = 0;      // bytes it took on the wire, with framing and empty commands
    qint64 droppedLength = 0;  // > 0: too long, body is empty and it is not executed
};

// Cuts received bytes into CR-framed commands, each due when its CR arrived.
class Inbound {
public:
    explicit Inbound(Duration byteTime) : m_byteTime(byteTime) {}

    void Receive(const char* data, qsizetype size, Clock::time_point arrival);
    // When the last byte received so far has crossed the wire: the line takes
    // no more bytes before then, so a fast writer meets a real line's pace.
    Clock::time_point WireFree() const { return m_wireFree; }
    std::optional<Clock::time_point> NextDue() const;
    std::size_t Queued() const { return m_commands.size(); }
    // The oldest command due at `now`, if any.
    std::optional<Command> TakeDue(Clock::time_point now);
    // The console closed the line: a half-received command is gone.
    void DropPartial();

private:
    Duration m_byteTime;
    Clock::time_point m_wireFree{};
    QByteArray m_body;
    qint64 m_pendingBytes = 0;
    qint64 m_overflowLength = 0;
    std::deque<Command> m_commands;
};

// Sends framed lines at the line's pace: written in chunks, each when its last
// byte would have left the wire. Answers go ahead of unsolicited (front-panel)
// lines, so an answer waits at most for the one line already on the wire. The
// unsolicited queue is short and holds one line per key: a key reported again
// before its line went out is sent once, with its latest value.
class Outbound {
public:
    using Writer = std::function<qint64(const char*, qsizetype)>;  // like write(2)
    // `sent`: when the line's last byte leaves the wire.
    using Logger =
        std::function<void(Clock::time_point sent, qint64 wireBytes, const QByteArray& line)>;

    enum class Kind { Answer, Unsolicited };

    Outbound(Duration byteTime, bool leadingCr) : m_byteTime(byteTime), m_leadingCr(leadingCr) {}

    // False when the queue is full (a console that stopped reading): the line
    // is dropped rather than held without bound.
    bool Queue(const QByteArray& line, Clock::time_point ready, Kind kind = Kind::Answer);
    // Whether an unsolicited line would be taken now.
    bool HasUnsolicitedRoom() const { return m_unsolicited.size() < kMaxUnsolicited; }
    bool IsEmpty() const { return m_answers.empty() && m_unsolicited.empty(); }
    void Clear();

    enum class Result { Done, Waiting, Blocked, Failed };
    // Writes every chunk due at `now`. Done: nothing queued; Waiting: NextWake()
    // says when to come back; Blocked: the terminal is full (wait for POLLOUT);
    // Failed: the write failed otherwise (errno is set).
    Result Pump(Clock::time_point now, const Writer& write, const Logger& log);
    std::optional<Clock::time_point> NextWake() const { return m_nextWake; }

private:
    struct Line {
        QByteArray framed;
        QByteArray text;
        Clock::time_point ready;
        qsizetype written = 0;
        bool logged = false;
    };

    // The queue whose head goes next: a line begun is finished first; then the
    // line that can start first, an answer on a tie.
    std::deque<Line>* NextQueue();
    Clock::time_point StartOf(const Line& line) const;

    static constexpr qsizetype kChunkBytes = 64;
    static constexpr std::size_t kMaxQueuedLines = 10000;
    static constexpr std::size_t kMaxUnsolicited = 8;

    Duration m_byteTime;
    bool m_leadingCr;
    Clock::time_point m_wireFree{};
    std::deque<Line> m_answers;
    std::deque<Line> m_unsolicited;
    std::optional<Clock::time_point> m_nextWake;
};

}  // namespace LinePacer
