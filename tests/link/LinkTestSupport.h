#pragma once

#include "SerialPort.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QList>
#include <QSignalSpy>

#include <sys/resource.h>
#include <chrono>

// Collects the lines a port delivers and waits for them on the event loop.
class LineLog {
public:
    explicit LineLog(SerialPort& port) : m_spy(&port, &SerialPort::LineReceived) {}

    // Waits until at least `count` lines arrived; false on time-out.
    bool WaitFor(qsizetype count, int timeoutMs = 3000) {
        QDeadlineTimer deadline(timeoutMs);
        while (m_spy.count() < count) {
            if (deadline.hasExpired())
                return false;
            m_spy.wait(static_cast<int>(deadline.remainingTime()));
        }
        return true;
    }

    QList<QByteArray> Lines() const {
        QList<QByteArray> lines;
        for (const QList<QVariant>& arguments : m_spy)
            lines.append(arguments.at(0).toByteArray());
        return lines;
    }

private:
    QSignalSpy m_spy;
};

inline qsizetype ThreadCount() {
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

inline std::chrono::microseconds ProcessCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto toUs = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return toUs(usage.ru_utime) + toUs(usage.ru_stime);
}
