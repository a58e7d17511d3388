#include "BridgeReceiver.h"

#include "BridgeLog.h"
#include "ByteText.h"
#include "KnownModels.h"
#include "Windows1252.h"

namespace {

// A section query ("Tuner?") is answered by status lines only, none of which
// carries its key: it is sent without waiting, as the console sends it.
bool IsSectionQuery(const QByteArray& body, const QByteArray& key) {
    return body.endsWith('?') && !key.contains('.');
}

}  // namespace

BridgeReceiver::BridgeReceiver(const QString& portName, QObject* parent)
    : QObject(parent), m_portName(portName) {
    // One unanswered poll after 500 ms of quiet gives up after about 1.5 s,
    // so a lost receiver is reported well within 2 s.
    m_session.SetKeepAlivePolls(1);
    connect(&m_session, &ReceiverSession::LineReceived, this, &BridgeReceiver::OnLine);
    connect(&m_session, &ReceiverSession::KeyChanged, this,
            [this](const QByteArray& key, const QByteArray& value) { OnValue(key, value, true); });
    // Tuner lines the read does not cover (band, frequency, RDS text).
    connect(&m_session, &ReceiverSession::TunerLine, this, [this](const QByteArray& line) {
        QByteArray key;
        QByteArray value;
        if (SplitLine(line, &key, &value))
            OnValue(key, value, false);
    });
    connect(&m_session, &ReceiverSession::Lost, this, &BridgeReceiver::OnLost);

    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &BridgeReceiver::Attempt);
    m_replyTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, [this] { Finish(CommandChannel::kTimeout); });
}

BridgeReceiver::~BridgeReceiver() = default;

void BridgeReceiver::Start() {
    if (m_state == State::Idle)
        QTimer::singleShot(0, this, &BridgeReceiver::Attempt);
}

void BridgeReceiver::Stop() {
    m_state = State::Stopped;
    m_retry.stop();
    m_replyTimer.stop();
    FailQueue();
    m_session.Close();
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
    const QString& autoDetect = ReceiverSession::kAutoDetect;
    const QStringList names = m_portName.compare(autoDetect, Qt::CaseInsensitive) == 0
                                  ? m_session.AutoDetectPorts()
                                  : QStringList{m_portName};
    QString reason;
    for (const QString& name : names) {
        if (TryPort(name, &reason))
            return;
        if (m_state == State::Stopped)
            return;
    }
    FailAttempt(names.size() > 1 ? QStringLiteral("%1 found no receiver on %2 (last: %3)")
                                       .arg(autoDetect, names.join(", "), reason)
                                 : reason);
}

// The model check and the read run nested waits (up to a few seconds); what
// arrives meanwhile from MQTT or consoles is queued until the read is done.
bool BridgeReceiver::TryPort(const QString& portName, QString* reason) {
    const bool connected = m_session.Connect(portName);
    if (m_state == State::Stopped)
        return false;
    if (!connected) {
        const QByteArray model = m_session.Model();
        if (model.isEmpty() && !m_session.IsLost() && !m_session.Port().LastError().isEmpty())
            *reason =
                QStringLiteral("cannot open %1: %2").arg(portName, m_session.Port().LastError());
        else if (model.isEmpty())
            *reason = QStringLiteral("no receiver answered on %1").arg(portName);
        else if (!IsKnownModel(model))
            *reason = QStringLiteral(
                          "the receiver on %1 reports the model \"%2\", which is not a "
                          "known Velmar model")
                          .arg(portName, FromWindows1252(model));
        else
            *reason =
                QStringLiteral("the receiver on %1 went silent during the read").arg(portName);
        // An unknown model keeps its port open in the session; the bridge has no use for it.
        m_session.Close();
        return false;
    }
    m_state = State::Ready;
    m_connectedSince = QDateTime::currentDateTimeUtc();
    m_lastFailure.clear();
    BridgeLog(QStringLiteral("connected to %1 on %2, %3 settings read")
                  .arg(FromWindows1252(Model()), portName)
                  .arg(Store().LineCount()));
    // The store now holds the read; every key whose value differs from the one
    // held before (all of them on the first connection) is reported.
    for (const QByteArray& line : Store().Lines()) {
        QByteArray key;
        QByteArray value;
        if (SplitLine(line, &key, &value))
            OnValue(key, value, true);
    }
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

// The session closed the port: hung up, dropped, or silent through a poll.
void BridgeReceiver::OnLost() {
    if (m_state != State::Ready)
        return;  // an attempt's wait ends on the closed port and reports itself
    const QString reason =
        m_session.IsLost() ? m_session.LostReason() : QStringLiteral("no answer to the keep-alive");
    m_state = State::Idle;
    m_replyTimer.stop();
    FailQueue();
    BridgeLog(QStringLiteral("lost the receiver on %1: %2").arg(PortName(), reason));
    m_lastFailure.clear();
    emit Lost(reason);
    if (m_state == State::Idle)
        m_retry.start(kRetryMs);
}

void BridgeReceiver::OnLine(const QByteArray& line) {
    emit LineReceived(line);
    const qsizetype equals = line.indexOf('=');
    if (m_state == State::Ready && m_inFlight && equals >= 0 &&
        CommandChannel::Answers(UpperAscii(line.left(equals)), m_inFlight->key))
        Finish(line.left(equals + 1) + EscapedControlBytes(line.mid(equals + 1), true));
}

void BridgeReceiver::OnValue(const QByteArray& key, const QByteArray& value, bool storeKey) {
    if (m_state != State::Ready)
        return;
    auto it = m_index.constFind(key.toUpper());
    if (it == m_index.cend()) {
        if (!storeKey && m_tunerKeys >= kMaxTunerKeys)
            return;
        m_tunerKeys += storeKey ? 0 : 1;
        it = m_index.insert(key.toUpper(), m_keys.size());
        m_keys.push_back(key);
        m_values.push_back({});
    } else if (m_values[*it] == value) {
        return;
    }
    m_values[*it] = value;
    emit KeyChanged(m_keys[*it], value);
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
        const bool sent = fits && m_session.Channel().SendLine(next.body);
        if (sent && next.sent)
            next.sent();
        if (!sent || next.key.isEmpty() || IsSectionQuery(next.body, next.key)) {
            // Refused, or sent with nothing that could answer it: done at once.
            if (next.done)
                next.done({});
            continue;
        }
        m_inFlight = std::move(next);
        m_session.Port().SetReplyAwaited(true);
        m_replyTimer.start(CommandChannel::kReplyTimeoutMs);
    }
}

void BridgeReceiver::Finish(const QByteArray& reply) {
    if (!m_inFlight)
        return;
    m_replyTimer.stop();
    m_session.Port().SetReplyAwaited(false);
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
        m_session.Port().SetReplyAwaited(false);
    }
    for (Pending& pending : queue) {
        if (pending.done)
            pending.done({});
    }
}
