#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The simulator's record of the wire, one line per event, each written with a
// single write() so a reader sees whole lines as soon as the event happened:
//
//   <ms since start, 3 decimals> <tag> <wire bytes> <text>
//
//   tag R  a command counted as received; text is its body without the framing
//          CRs; wire bytes include the framing and any empty commands before it
//   tag S  a line sent; text without framing; wire bytes as written
//   tag D  an overlong command dropped; text says how long it was
//   tag N  a note (silence toggled, the console opened or closed the line)
//
// Texts are escaped: backslash as "\\", CR "\r", LF "\n", other bytes outside
// printable ASCII as "\xHH".
class WireLog {
public:
    using Clock = std::chrono::steady_clock;

    WireLog() = default;
    ~WireLog();
    WireLog(const WireLog&) = delete;
    WireLog& operator=(const WireLog&) = delete;

    // Without a path the log is off and every call does nothing.
    bool Open(const QString& path, Clock::time_point start, QString* error);

    void Received(Clock::time_point when, qint64 wireBytes, const QByteArray& command);
    void Sent(Clock::time_point when, qint64 wireBytes, const QByteArray& line);
    void Dropped(Clock::time_point when, qint64 wireBytes, qint64 length);
    void Note(Clock::time_point when, const QByteArray& text);

    static QByteArray Escape(const QByteArray& text);

private:
    void Write(Clock::time_point when, char tag, qint64 wireBytes, const QByteArray& text);

    int m_fd = -1;
    Clock::time_point m_start;
};
