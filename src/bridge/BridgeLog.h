#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

// One line per event on standard error, where systemd's journal takes it.
inline void BridgeLog(const QString& text) {
    std::fprintf(stderr, "ampdesk-bridge: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// One kind of line that a peer can make repeat at will (a refused message):
// at most one a second reaches the log, and the lines left out are counted in
// one more line a second later.
class LimitedLog {
public:
    static constexpr int kIntervalMs = 1000;

    LimitedLog() {
        m_quiet.setSingleShot(true);
        QObject::connect(&m_quiet, &QTimer::timeout, &m_quiet, [this] { WriteLeftOut(); });
    }
    LimitedLog(const LimitedLog&) = delete;
    LimitedLog& operator=(const LimitedLog&) = delete;

    void Write(const QString& text) {
        if (m_quiet.isActive()) {
            ++m_leftOut;
            m_last = text;
            return;
        }
        BridgeLog(text);
        m_quiet.start(kIntervalMs);
    }

private:
    void WriteLeftOut() {
        if (m_leftOut == 0)
            return;
        BridgeLog(
            QStringLiteral("%1 more like it left out, the last: %2").arg(m_leftOut).arg(m_last));
        m_leftOut = 0;
        m_quiet.start(kIntervalMs);
    }

    QTimer m_quiet;
    int m_leftOut = 0;
    QString m_last;
};
