#include "SerialPort.h"

#include "SerialDevice.h"
#include "SerialWorker.h"
#include "TcpLink.h"

#include <QMetaObject>
#include <QPointer>

#include <utility>

struct SerialPort::Worker : SerialWorker {
    using SerialWorker::SerialWorker;
};

SerialPort::SerialPort(QObject* parent) : QObject(parent) {}

SerialPort::~SerialPort() {
    Close();
}

void SerialPort::BeginOpen(const QString& devicePath) {
    Close();
    m_devicePath = devicePath;
    m_lastError.clear();
    m_lastErrorNumber = 0;
}

bool SerialPort::Open(const QString& devicePath, unsigned baud) {
    BeginOpen(devicePath);
    m_baud = baud;
    return Attach(IsTcpTarget(devicePath) ? TcpLink::Connect(devicePath)
                                          : OpenSerialDevice(devicePath, baud));
}

void SerialPort::OpenAsync(const QString& devicePath, unsigned baud,
                           std::function<void(bool)> opened) {
    BeginOpen(devicePath);
    m_baud = baud;
    if (!IsTcpTarget(devicePath)) {
        opened(Attach(OpenSerialDevice(devicePath, baud)));
        return;
    }
    m_openingDone = std::move(opened);
    m_opening = TcpLink::ConnectAsync(devicePath, this, [this](LinkDeviceResult device) {
        m_opening = nullptr;
        const bool attached = Attach(std::move(device));
        if (auto done = std::exchange(m_openingDone, {}))
            done(attached);
    });
}

void SerialPort::CancelOpening() {
    if (m_opening == nullptr && !m_openingDone)
        return;
    delete std::exchange(m_opening, nullptr);
    m_lastError =
        QStringLiteral("Cannot open %1: the port was closed while connecting").arg(m_devicePath);
    m_lastErrorNumber = 0;
    if (auto done = std::exchange(m_openingDone, {}))
        done(false);
}

bool SerialPort::Attach(LinkDeviceResult device) {
    if (!device.device) {
        m_lastError = device.error;
        m_lastErrorNumber = device.errorNumber;
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

    auto worker = std::make_unique<Worker>(std::move(device.device), m_devicePath, m_baud,
                                           std::move(callbacks));
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
    CancelOpening();
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

// Lines reach the owner one at a time, in order; a handler that closes or
// destroys the port ends the delivery.
void SerialPort::DeliverPending() {
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
}
