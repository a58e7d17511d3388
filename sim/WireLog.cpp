#include "WireLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

WireLog::~WireLog() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool WireLog::Open(const QString& path, Clock::time_point start, QString* error) {
    m_start = start;
    if (path.isEmpty())
        return true;
    m_fd = ::open(path.toLocal8Bit().constData(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        *error = QStringLiteral("Cannot open log %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void WireLog::Received(Clock::time_point when, qint64 wireBytes, const QByteArray& command) {
    Write(when, 'R', wireBytes, command);
}

void WireLog::Sent(Clock::time_point when, qint64 wireBytes, const QByteArray& line) {
    Write(when, 'S', wireBytes, line);
}

void WireLog::Dropped(Clock::time_point when, qint64 wireBytes, qint64 length) {
    Write(when, 'D', wireBytes, "command of " + QByteArray::number(length) + " bytes dropped");
}

void WireLog::Note(Clock::time_point when, const QByteArray& text) {
    Write(when, 'N', 0, text);
}

QByteArray WireLog::Escape(const QByteArray& text) {
    QByteArray escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            escaped += hex;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void WireLog::Write(Clock::time_point when, char tag, qint64 wireBytes, const QByteArray& text) {
    if (m_fd < 0)
        return;
    const double ms = std::chrono::duration<double, std::milli>(when - m_start).count();
    char head[64];
    std::snprintf(head, sizeof head, "%.3f %c %lld ", ms, tag, static_cast<long long>(wireBytes));
    const QByteArray line = head + Escape(text) + '\n';
    // A full disk must not stop the receiver; the record just has a gap then.
    if (::write(m_fd, line.constData(), line.size()) < 0)
        return;
}
