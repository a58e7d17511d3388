#include "LinePacer.h"

#include <algorithm>
#include <cerrno>

namespace LinePacer {

Duration ByteTime(int baud) {
    if (baud <= 0)
        return Duration::zero();
    return Duration(10'000'000'000LL / baud);
}

void Inbound::Receive(const char* data, qsizetype size, Clock::time_point arrival) {
    const Clock::time_point start = std::max(m_wireFree, arrival);
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        ++m_pendingBytes;
        if (c == '\r') {
            const Clock::time_point due = start + m_byteTime * (i + 1);
            if (m_overflowLength > 0) {
                m_commands.push_back({due, {}, m_pendingBytes, m_overflowLength});
            } else if (!m_body.isEmpty()) {
                m_commands.push_back({due, m_body, m_pendingBytes, 0});
            } else {
                continue;  // an empty command: its CR counts with the next one
            }
            m_body.clear();
            m_pendingBytes = 0;
            m_overflowLength = 0;
        } else if (c == '\n') {
            continue;
        } else if (m_overflowLength > 0) {
            ++m_overflowLength;
        } else if (m_body.size() >= kMaxCommandBytes) {
            m_overflowLength = m_body.size() + 1;
            m_body.clear();
        } else {
            m_body.append(c);
        }
    }
    m_wireFree = start + m_byteTime * size;
}

std::optional<Clock::time_point> Inbound::NextDue() const {
    if (m_commands.empty())
        return std::nullopt;
    return m_commands.front().due;
}

std::optional<Command> Inbound::TakeDue(Clock::time_point now) {
    if (m_commands.empty() || m_commands.front().due > now)
        return std::nullopt;
    Command command = std::move(m_commands.front());
    m_commands.pop_front();
    return command;
}

void Inbound::DropPartial() {
    m_body.clear();
    m_pendingBytes = 0;
    m_overflowLength = 0;
}

namespace {

QByteArray KeyOf(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    return equals < 0 ? line : line.left(equals);
}

}  // namespace

bool Outbound::Queue(const QByteArray& line, Clock::time_point ready, Kind kind) {
    // The unit frames an answer as CR text CR, so the console sees an empty line
    // before each answer.
    QByteArray framed = m_leadingCr ? QByteArray("\r") : QByteArray();
    framed += line;
    framed += '\r';
    if (kind == Kind::Unsolicited) {
        const QByteArray key = KeyOf(line);
        for (Line& queued : m_unsolicited) {
            if (queued.written == 0 && KeyOf(queued.text) == key) {
                queued.framed = framed;
                queued.text = line;
                return true;
            }
        }
        if (!HasUnsolicitedRoom())
            return false;
        m_unsolicited.push_back({framed, line, ready, 0, false});
        return true;
    }
    if (m_answers.size() >= kMaxQueuedLines)
        return false;
    m_answers.push_back({framed, line, ready, 0, false});
    return true;
}

void Outbound::Clear() {
    m_answers.clear();
    m_unsolicited.clear();
}

Clock::time_point Outbound::StartOf(const Line& line) const {
    return line.written == 0 ? std::max(line.ready, m_wireFree) : m_wireFree;
}

std::deque<Outbound::Line>* Outbound::NextQueue() {
    if (!m_answers.empty() && m_answers.front().written > 0)
        return &m_answers;
    if (!m_unsolicited.empty() && m_unsolicited.front().written > 0)
        return &m_unsolicited;
    if (m_unsolicited.empty())
        return m_answers.empty() ? nullptr : &m_answers;
    if (m_answers.empty())
        return &m_unsolicited;
    return StartOf(m_answers.front()) <= StartOf(m_unsolicited.front()) ? &m_answers
                                                                        : &m_unsolicited;
}

Outbound::Result Outbound::Pump(Clock::time_point now, const Writer& write, const Logger& log) {
    m_nextWake.reset();
    while (std::deque<Line>* queue = NextQueue()) {
        Line& line = queue->front();
        const Clock::time_point start = StartOf(line);
        const qsizetype chunk = std::min(kChunkBytes, line.framed.size() - line.written);
        const Clock::time_point end = start + m_byteTime * chunk;
        if (end > now) {
            m_nextWake = end;
            return Result::Waiting;
        }
        // Logged before its last bytes go out, so whoever reads the answer
        // finds it in the log already.
        if (line.written + chunk == line.framed.size() && !line.logged) {
            log(end, line.framed.size(), line.text);
            line.logged = true;
        }
        const qint64 done = write(line.framed.constData() + line.written, chunk);
        if (done < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? Result::Blocked : Result::Failed;
        m_wireFree = start + m_byteTime * done;
        line.written += done;
        if (line.written == line.framed.size())
            queue->pop_front();
        if (done < chunk)
            return Result::Blocked;
    }
    return Result::Done;
}

}  // namespace LinePacer
