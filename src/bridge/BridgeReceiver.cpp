#include "BridgeReceiver.h"

#include "BridgeLog.h"
#include "BulkTransfer.h"
#include "PortNames.h"
#include "Profile.h"
#include "ReceiverIdentity.h"
#include "Windows1252.h"

namespace {

const QString kAutoDetect = QStringLiteral("Auto-Detect");
const QByteArray kKeepAliveQuery = QByteArrayLiteral("Main.Source?");
// The tuner's live values (band, frequency, RDS) are not among the read's keys;
// the receiver reports them after this query, as the console asks after connecting.
const QByteArray kTunerQuery = QByteArrayLiteral("Tuner?");
// As the console routes tuner lines: compared case-sensitively on the line's start.
const QByteArray kTunerPrefix = QByteArrayLiteral("Tuner");

// A section query ("Tuner?") is answered by status lines only, none of which
// carries its key: it is sent without waiting, as the console sends it.
bool IsSectionQuery(const QByteArray& body, const QByteArray& key) {
    return body.endsWith('?') && !key.contains('.');
}

}  // namespace

BridgeReceiver::BridgeReceiver(const QString& portName, QObject* parent)
    : QObject(parent), m_portName(portName), m_channel(m_port) {
    m_channel.SetTerminalHook([this](const QByteArray& line) { emit LineReceived(line); });
    m_channel.SetStatusHook([this](const QByteArray& key, const QByteArray& value,
                                   const QByteArray&) { OnStatusLine(key, value); });
    m_channel.SetKeepAliveHook([this] { m_sinceLine.start(); });
    connect(&m_port, &SerialPort::DeviceLost, this, [this](const QString& reason) {
        if (m_state == State::Ready)
            GiveUp(reason);
        else
            m_port.Close();  // ends the attempt's wait at once
    });

    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &BridgeReceiver::Attempt);
    m_watch.setSingleShot(true);
    connect(&m_watch, &QTimer::timeout, this, &BridgeReceiver::OnWatch);
    m_replyTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, [this] { Finish(CommandChannel::kTimeout); });
}

BridgeReceiver::~BridgeReceiver() {
    m_channel.SetTerminalHook({});
    m_channel.SetStatusHook({});
    m_channel.SetKeepAliveHook({});
    m_port.Close();
}

void BridgeReceiver::Start() {
    if (m_state == State::Idle)
        QTimer::singleShot(0, this, &BridgeReceiver::Attempt);
}

void BridgeReceiver::Stop() {
    m_state = State::Stopped;
    m_retry.stop();
    m_watch.stop();
    m_replyTimer.stop();
    FailQueue();
    m_port.Close();
}

QByteArray BridgeReceiver::ValueOf(const QByteArray& key) const {
    const auto it = m_index.constFind(key.toUpper());
    return it == m_index.cend() ? QByteArray() : m_values[*it];
}

QByteArray BridgeReceiver::KnownKey(const QByteArray& key) const {
    const auto it = m_index.constFind(key.toUpper());
    return it == m_index.cend() ? QByteArray() : m_keys[*it];
}

void BridgeReceiver::Attempt() {
    if (m_state != State::Idle)
        return;
    m_state = State::Attempting;
    const QStringList names = m_portName.compare(kAutoDetect, Qt::CaseInsensitive) == 0
                                  ? AutoDetectPortNames(Profile::PortsFolder(), DeviceFolders{})
                                  : QStringList{m_portName};
    QString reason;
    for (const QString& name : names) {
        if (TryPort(name, &reason))
            return;
        if (m_state == State::Stopped)
            return;
    }
    FailAttempt(names.size() > 1 ? QStringLiteral("%1 found no receiver on %2 (last: %3)")
                                       .arg(kAutoDetect, names.join(", "), reason)
                                 : reason);
}

// The model check and the read run nested waits (up to a few seconds); what
// arrives meanwhile from MQTT or consoles is queued until the read is done.
bool BridgeReceiver::TryPort(const QString& portName, QString* reason) {
    const QString device = ResolvePortPath(portName, Profile::PortsFolder());
    const ReceiverIdentity identity = IdentifyReceiver(m_port, m_channel, device);
    if (m_state == State::Stopped)
        return false;
    switch (identity.outcome) {
        case ReceiverIdentity::Outcome::CannotOpen:
            *reason = QStringLiteral("cannot open %1: %2").arg(portName, m_port.LastError());
            return false;
        case ReceiverIdentity::Outcome::NoAnswer:
            *reason = QStringLiteral("no receiver answered on %1").arg(portName);
            return false;
        case ReceiverIdentity::Outcome::UnknownModel:
            *reason = QStringLiteral(
                          "the receiver on %1 reports the model \"%2\", which is not a "
                          "known Velmar model")
                          .arg(portName, FromWindows1252(identity.model));
            m_port.Close();
            return false;
        case ReceiverIdentity::Outcome::Known:
            break;
    }
    m_model = identity.model;
    m_modelBit = identity.modelBit;
    const QString label =
        QStringLiteral("Reading %1 on %2").arg(FromWindows1252(m_model), portName);
    if (!ReadAllFromReceiver(m_store, m_channel, nullptr, label, m_modelBit)) {
        if (m_state == State::Stopped)
            return false;
        *reason = QStringLiteral("the receiver on %1 went silent during the read").arg(portName);
        m_port.Close();
        return false;
    }
    m_state = State::Ready;
    m_session.connected = true;
    m_session.model = m_model;
    m_session.modelBit = m_modelBit;
    m_session.portName = portName.toLocal8Bit();
    m_connectedPort = portName;
    m_connectedSince = QDateTime::currentDateTimeUtc();
    m_lastFailure.clear();
    BridgeLog(QStringLiteral("connected to %1 on %2, %3 settings read")
                  .arg(FromWindows1252(m_model), portName)
                  .arg(m_store.LineCount()));
    TakeReadValues();
    m_sinceLine.start();
    m_watch.start(kQuietMs);
    Submit(kTunerQuery);
    emit Connected();
    return true;
}

void BridgeReceiver::FailAttempt(const QString& reason) {
    if (m_state == State::Stopped)
        return;
    m_state = State::Idle;
    // The same failure every 5 s is logged once.
    if (reason != m_lastFailure)
        BridgeLog(QStringLiteral("%1; retrying every %2 s").arg(reason).arg(kRetryMs / 1000));
    m_lastFailure = reason;
    m_retry.start(kRetryMs);
}

void BridgeReceiver::GiveUp(const QString& reason) {
    m_state = State::Idle;
    m_watch.stop();
    m_replyTimer.stop();
    m_port.Close();
    FailQueue();
    BridgeLog(QStringLiteral("lost the receiver on %1: %2").arg(m_connectedPort, reason));
    m_lastFailure.clear();
    emit Lost(reason);
    if (m_state == State::Idle)
        m_retry.start(kRetryMs);
}

// The store now holds the read; every key whose value differs from the one
// held before (all of them on the first connection) is reported.
void BridgeReceiver::TakeReadValues() {
    for (const QByteArray& line : m_store.Lines()) {
        QByteArray key;
        QByteArray value;
        if (SplitLine(line, &key, &value))
            OnStatusLine(key, value);
    }
}

void BridgeReceiver::OnStatusLine(const QByteArray& key, const QByteArray& value) {
    const bool storeKey = m_store.SetValue(key, value);
    if (m_state != State::Ready)
        return;
    const QByteArray upper = key.toUpper();
    if (m_inFlight && CommandChannel::Answers(upper, m_inFlight->key))
        Finish(key + '=' + value);

    auto it = m_index.constFind(upper);
    if (it == m_index.cend()) {
        if (!storeKey && (!key.startsWith(kTunerPrefix) || m_tunerKeys >= kMaxTunerKeys))
            return;
        m_tunerKeys += storeKey ? 0 : 1;
        it = m_index.insert(upper, m_keys.size());
        m_keys.push_back(key);
        m_values.push_back({});
    } else if (m_values[*it] == value) {
        return;
    }
    m_values[*it] = value;
    emit KeyChanged(m_keys[*it], value);
}

void BridgeReceiver::OnWatch() {
    if (m_state != State::Ready)
        return;
    const qint64 quiet = m_sinceLine.elapsed();
    if (quiet >= kLostMs) {
        GiveUp(QStringLiteral("no answer for %1 ms").arg(quiet));
        return;
    }
    if (quiet < kQuietMs) {
        m_watch.start(static_cast<int>(kQuietMs - quiet));
        return;
    }
    // A command in flight asks the receiver already; its answer is proof enough.
    if (!m_inFlight && !m_polling) {
        m_polling = true;
        Submit(kKeepAliveQuery, [this](const QByteArray&) { m_polling = false; });
    }
    m_watch.start(static_cast<int>(kLostMs - quiet));
}

void BridgeReceiver::Submit(const QByteArray& body, Done done, std::function<void()> sent) {
    if (m_state == State::Stopped || m_queue.size() >= kMaxQueued) {
        if (done)
            done({});
        return;
    }
    m_queue.push_back({body, CommandChannel::KeyOf(body), std::move(done), std::move(sent)});
    RunQueue();
}

void BridgeReceiver::Set(const QByteArray& key, const QByteArray& value, Done done) {
    Submit(key + '=' + value, std::move(done));
}

void BridgeReceiver::Step(const QByteArray& key, bool up, Done done) {
    Submit(key + (up ? '+' : '-'), std::move(done));
}

void BridgeReceiver::Query(const QByteArray& key, Done done) {
    Submit(key + '?', std::move(done));
}

void BridgeReceiver::RunQueue() {
    while (m_state == State::Ready && !m_inFlight && !m_queue.empty()) {
        Pending next = std::move(m_queue.front());
        m_queue.pop_front();
        const bool fits = next.key.size() <= CommandChannel::kMaxKeyLength;
        const bool sent = fits && m_channel.SendLine(next.body);
        if (sent && next.sent)
            next.sent();
        if (!sent || next.key.isEmpty() || IsSectionQuery(next.body, next.key)) {
            // Refused, or sent with nothing that could answer it: done at once.
            if (next.done)
                next.done({});
            continue;
        }
        m_inFlight = std::move(next);
        m_port.SetReplyAwaited(true);
        m_replyTimer.start(CommandChannel::kReplyTimeoutMs);
    }
}

void BridgeReceiver::Finish(const QByteArray& reply) {
    if (!m_inFlight)
        return;
    m_replyTimer.stop();
    m_port.SetReplyAwaited(false);
    Done done = std::move(m_inFlight->done);
    m_inFlight.reset();
    if (done)
        done(reply);
    // Later, not from inside the line delivery that answered this command.
    QTimer::singleShot(0, this, &BridgeReceiver::RunQueue);
}

void BridgeReceiver::FailQueue() {
    std::deque<Pending> queue;
    queue.swap(m_queue);
    if (m_inFlight) {
        queue.push_front(std::move(*m_inFlight));
        m_inFlight.reset();
        m_port.SetReplyAwaited(false);
    }
    for (Pending& pending : queue) {
        if (pending.done)
            pending.done({});
    }
}
