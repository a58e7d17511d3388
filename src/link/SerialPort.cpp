#include "SerialPort.h"

#include "SerialDevice.h"
#include "SerialWorker.h"
#include "TcpLink.h"

#include <QMetaObject>
#include <QPointer>

struct SerialPort::Worker : SerialWorker {
    using SerialWorker::SerialWorker;
};

SerialPort::SerialPort(QObject* parent) : QObject(parent) {}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const QString& devicePath, unsigned baud) {
    Close();
    m_devicePath = devicePath;
    m_lastError.clear();
    m_lastErrorNumber = 0;

    // A device server's connect can take seconds; it runs while the event loop
    // dispatches, so Close may be called meanwhile and must win.
    const quint64 opening = m_session;
    QPointer<SerialPort> alive(this);
    LinkDeviceResult device = IsTcpTarget(devicePath) ? TcpLink::ConnectDispatching(devicePath)
                                                      : OpenSerialDevice(devicePath, baud);
    if (!alive)
        return false;  // the owner destroyed the port meanwhile
    if (!device.device) {
        m_lastError = device.error;
        m_lastErrorNumber = device.errorNumber;
        return false;
    }
    if (opening != m_session || m_worker) {
        m_lastError =
            QStringLiteral("Cannot open %1: the port was closed while connecting").arg(devicePath);
        return false;
    }

    // The worker hands lines over by posting to this object's thread, so it
    // never waits for the owner, and Close (which joins the worker) cannot
    // deadlock with a delivery in progress.
    const quint64 session = m_session;
    SerialWorker::Callbacks callbacks;
    callbacks.linesReceived = [this, session](QList<QByteArray> lines) {
        std::deque<Delivery> deliveries;
        for (QByteArray& line : lines)
            deliveries.push_back({session, std::move(line), false, {}});
        Post(std::move(deliveries));
    };
    callbacks.deviceLost = [this, session](QString reason) {
        std::deque<Delivery> deliveries;
        deliveries.push_back({session, {}, true, std::move(reason)});
        Post(std::move(deliveries));
    };

    auto worker =
        std::make_unique<Worker>(std::move(device.device), devicePath, std::move(callbacks));
    worker->SetReplyAwaited(m_replyAwaited);
    if (!worker->Start(&m_lastError))
        return false;  // the worker closes the device
    m_worker = std::move(worker);
    return true;
}

bool SerialPort::IsOpen() const {
    return m_worker != nullptr;
}

bool SerialPort::Close() {
    const bool wasOpen = m_worker != nullptr;
    if (m_worker) {
        m_worker->Stop();
        m_worker.reset();
    }
    // Whatever the old worker posted and is not delivered yet belongs to this
    // session; it must not reach the owner after Close or in a new session.
    ++m_session;
    m_inbox.clear();
    if (wasOpen)
        emit Closed();
    return true;
}

bool SerialPort::Write(const QByteArray& text) {
    if (!m_worker)
        return false;
    const qsizetype nul = text.indexOf('\0');
    QByteArray bytes = nul < 0 ? text : text.left(nul);
    if (!bytes.isEmpty())
        m_worker->Enqueue(std::move(bytes));
    return true;
}

void SerialPort::SetReplyAwaited(bool awaited) {
    m_replyAwaited = awaited;
    if (m_worker)
        m_worker->SetReplyAwaited(awaited);
}

bool SerialPort::IsLost() const {
    return m_worker && m_worker->IsLost();
}

QString SerialPort::LastError() const {
    return m_lastError;
}

int SerialPort::LastErrorNumber() const {
    return m_lastErrorNumber;
}

QString SerialPort::DevicePath() const {
    return m_devicePath;
}

QList<QByteArray> SerialPort::HeldBackLines() const {
    QList<QByteArray> lines;
    if (!m_delivering)
        return lines;
    for (const Delivery& delivery : m_inbox) {
        if (delivery.session == m_session && !delivery.deviceLost)
            lines.append(delivery.line);
    }
    return lines;
}

// Runs on the worker thread. The posted call is dropped by Qt if this object is
// destroyed first; the worker itself never outlives it (Close joins it).
void SerialPort::Post(std::deque<Delivery> deliveries) {
    QMetaObject::invokeMethod(
        this,
        [this, deliveries = std::move(deliveries)]() mutable {
            for (Delivery& delivery : deliveries)
                m_inbox.push_back(std::move(delivery));
            DeliverPending();
        },
        Qt::QueuedConnection);
}

// Lines reach the owner one at a time: a handler that runs a nested event loop
// does not receive the next line until it returns, as with the receiver's
// synchronous delivery.
void SerialPort::DeliverPending() {
    if (m_delivering)
        return;
    m_delivering = true;
    QPointer<SerialPort> alive(this);
    while (!m_inbox.empty()) {
        Delivery delivery = std::move(m_inbox.front());
        m_inbox.pop_front();
        if (delivery.session != m_session || !m_worker)
            continue;
        if (delivery.deviceLost) {
            m_lastError = delivery.reason;
            m_lastErrorNumber = 0;
            emit DeviceLost(delivery.reason);
        } else {
            m_worker->LinesTaken(1);
            emit LineReceived(delivery.line);
        }
        if (!alive)
            return;  // the owner destroyed the port from its handler
    }
    m_delivering = false;
}
