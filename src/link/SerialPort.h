#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "LinkDevice.h"

#include <deque>
#include <functional>
#include <memory>

// One serial device, opened raw at a given baud rate, 8N1, no flow control,
// exclusively (a second opener, even another copy of the program, fails); or,
// named "tcp://host:port", a serial device server's TCP connection, which
// carries the same bytes (the baud rate is then the server's business).
//
// A worker thread sleeps in poll() on the device and on a wake-up descriptor.
// It cuts the received bytes into lines at each carriage return (LF is an
// ordinary byte; a NUL ends the delivered text; of a line longer than 99 bytes
// only its last 99 bytes arrive) and posts every line to the thread that owns
// the SerialPort, where LineReceived is emitted: one line at a time, in order.
// At most a few thousand lines wait for the owner; while that many wait the
// device is not read, so a sender faster than the owner is slowed down by
// flow control instead of filling memory.
// Writes are queued and written one at a time in order; a write that cannot
// finish within 100 ms is given up.
//
// A device that hangs up (adapter unplugged, other end of a pseudo-terminal
// closed, the device server's connection closed or reset) is reported at once
// by DeviceLost and no longer read: the port stays "open" for its owner, which notices
// the silence, and Close works as usual.
class SerialPort : public QObject {
    Q_OBJECT

public:
    static constexpr unsigned kDefaultBaud = 115200;

    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Closes an open port first. On failure the port stays closed, no thread
    // runs, and LastError() says why. A "tcp://" connect blocks the calling
    // thread (up to 3 s): a program that must stay alive uses OpenAsync.
    bool Open(const QString& devicePath, unsigned baud = kDefaultBaud);
    // The same, with the device server's connect on a helper thread: `opened`
    // runs once with the result, before the call returns for a tty, later for
    // "tcp://". Close (or another Open) meanwhile ends it with false.
    void OpenAsync(const QString& devicePath, unsigned baud, std::function<void(bool)> opened);
    bool IsOpen() const;
    // An OpenAsync still connecting.
    bool IsOpening() const { return static_cast<bool>(m_openingDone); }
    // Always true; safe when closed. Discards queued writes; lines not yet
    // delivered are dropped. Never waits for the owner's thread.
    bool Close();
    // Queues the bytes (up to the first NUL). False when the port is closed.
    // On a lost device the bytes are accepted and go nowhere, as on a cut cable.
    bool Write(const QByteArray& text);

    bool IsLost() const;
    // A line is handed over the moment it is read while this thread has
    // taken every line before it; lines read while it is still busy with
    // earlier ones come together once it has taken those, and a receiver that
    // floods the line is read every 50 ms (SerialWorker), so a flood costs a
    // wake-up per batch, not per line. While a reply is awaited every line is
    // handed over the moment it is read.
    void SetReplyAwaited(bool awaited);
    QString LastError() const;
    // The errno behind LastError(), for advice (SystemError.h); 0 when none.
    int LastErrorNumber() const;
    QString DevicePath() const;

signals:
    void LineReceived(const QByteArray& line);
    // Emitted once when the device hung up or failed.
    void DeviceLost(const QString& reason);
    // Emitted by Close when the port was open.
    void Closed();

private:
    struct Worker;
    // A line or the loss of the device, on its way from the worker to the
    // owner's thread; `session` tells stale deliveries from a closed port.
    struct Delivery {
        quint64 session = 0;
        QByteArray line;
        bool deviceLost = false;
        QString reason;
    };

    void BeginOpen(const QString& devicePath);
    // Starts the worker on an opened device; false (closed) on failure.
    bool Attach(LinkDeviceResult device);
    void CancelOpening();
    void Post(std::deque<Delivery> deliveries);
    void DeliverPending();

    std::unique_ptr<Worker> m_worker;
    QString m_lastError;
    int m_lastErrorNumber = 0;
    QString m_devicePath;
    unsigned m_baud = kDefaultBaud;
    quint64 m_session = 0;
    std::deque<Delivery> m_inbox;
    bool m_replyAwaited = false;
    // A device server's connect in progress and the one to tell of its end.
    QObject* m_opening = nullptr;
    std::function<void(bool)> m_openingDone;
};
