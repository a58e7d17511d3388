#include "BridgeReceiver.h"

#include "BridgeLog.h"
#include "ByteText.h"
#include "KnownModels.h"
#include "Profile.h"
#include "Windows1252.h"

#include <algorithm>

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
    m_session.SetPortsFolder(Profile::PortsFolder());
    connect(&m_session, &ReceiverSession::LineReceived, this, &BridgeReceiver::LineReceived);
    connect(&m_session, &ReceiverSession::AttemptEnded, this, &BridgeReceiver::OnAttemptEnded);
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
    m_hold.setSingleShot(true);
    m_hold.setTimerType(Qt::PreciseTimer);
    connect(&m_hold, &QTimer::timeout, this, &BridgeReceiver::NextTurn);
}

BridgeReceiver::~BridgeReceiver() {
    // An attempt still running ends now, not into a half-destroyed bridge.
    m_session.disconnect(this);
    m_session.Close();
}

void BridgeReceiver::Start() {
    if (m_state == State::Idle)
        QTimer::singleShot(0, this, &BridgeReceiver::Attempt);
}

void BridgeReceiver::Stop() {
    m_state = State::Stopped;
    m_retry.stop();
    // Ends the attempt and every queued command.
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
    // The model check and the read take a few seconds; what arrives meanwhile
    // from MQTT or consoles waits in the session's queue. AttemptEnded follows.
    (void)m_session.ConnectTo(m_portName);
}

void BridgeReceiver::OnAttemptEnded(bool connected) {
    if (m_state != State::Attempting)
        return;
    if (!connected) {
        const QString reason = m_session.FailureReason();
        // An unknown model keeps its port open in the session; the bridge has no use for it.
        m_session.Close();
        FailAttempt(reason);
        return;
    }
    m_state = State::Ready;
    m_connectedSince = QDateTime::currentDateTimeUtc();
    m_lastFailure.clear();
    BridgeLog(QStringLiteral("connected to %1 on %2, %3 settings read")
                  .arg(FromWindows1252(Model()), PortName())
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
    // The session names the loss before it says Lost, a silent receiver too.
    const QString reason = m_session.LostReason();
    m_state = State::Idle;
    BridgeLog(QStringLiteral("lost the receiver on %1: %2").arg(PortName(), reason));
    m_lastFailure.clear();
    emit Lost(reason);
    if (m_state == State::Idle)
        m_retry.start(kRetryMs);
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

namespace {

CommandChannel::Kind KindOf(const QByteArray& body, const QByteArray& key) {
    // Refused when too long; sent without waiting when nothing could answer it.
    // The answer of anything else is also a status line, so MQTT hears of it.
    if (key.isEmpty() || IsSectionQuery(body, key))
        return CommandChannel::Kind::Write;
    const qsizetype equals = body.indexOf('=');
    const bool set = equals > 0 && CommandChannel::KeyOf(body.left(equals + 1)) == key;
    return set ? CommandChannel::Kind::Set : CommandChannel::Kind::Command;
}

}  // namespace

int BridgeReceiver::Used(Party party) const {
    const auto it = m_parties.find(party);
    const int waiting = it == m_parties.end() ? 0 : static_cast<int>(it->second.waiting.size());
    return waiting + (m_turnOf == party ? 1 : 0);
}

bool BridgeReceiver::HasRoom(Party party, const QByteArray& body) const {
    const auto it = m_parties.find(party);
    const QByteArray key = CommandChannel::KeyOf(body);
    if (it != m_parties.end() && !body.isEmpty() &&
        KindOf(body, key) == CommandChannel::Kind::Set) {
        for (const Waiting& waiting : it->second.waiting) {
            if (waiting.setKey == key)
                return true;
        }
    }
    return Used(party) < kShare;
}

bool BridgeReceiver::Submit(Party party, const QByteArray& body, Done done,
                            std::function<void()> sent) {
    const QByteArray key = CommandChannel::KeyOf(body);
    return Submit(party, KindOf(body, key), body, std::move(done), std::move(sent));
}

bool BridgeReceiver::Submit(Party party, CommandChannel::Kind kind, const QByteArray& body,
                            Done done, std::function<void()> sent) {
    const bool set = kind == CommandChannel::Kind::Set;
    if (!HasRoom(party, set ? body : QByteArray()))
        return false;
    if (m_state == State::Stopped) {
        if (done)
            done({CommandChannel::Outcome::Closed, {}});
        return true;
    }
    PartyQueue& queue = m_parties[party];
    const QByteArray key = set ? CommandChannel::KeyOf(body) : QByteArray();
    for (Waiting& waiting : queue.waiting) {
        if (key.isEmpty() || waiting.setKey != key)
            continue;
        waiting.body = body;
        if (done)
            waiting.dones.push_back(std::move(done));
        if (sent && waiting.sent)
            waiting.sent = [first = std::move(waiting.sent), sent = std::move(sent)] {
                first();
                sent();
            };
        else if (sent)
            waiting.sent = std::move(sent);
        return true;
    }
    queue.waiting.push_back({kind, body, key, {}, std::move(sent)});
    if (done)
        queue.waiting.back().dones.push_back(std::move(done));
    NextTurn();
    return true;
}

void BridgeReceiver::Forget(Party party) {
    // Destroying the context drops the completion of its command in the session's queue.
    if (m_parties.erase(party) == 0)
        return;
    if (m_lastServed == party) {
        m_lastServed.reset();
        m_hold.stop();
    }
    if (m_turnOf == party)
        m_turnOf.reset();
    NextTurn();
}

bool BridgeReceiver::OthersWait(Party party) const {
    return std::any_of(m_parties.cbegin(), m_parties.cend(), [party](const auto& entry) {
        return entry.first != party && !entry.second.waiting.empty();
    });
}

void BridgeReceiver::NextTurn() {
    if (m_turnOf)
        return;
    auto next = m_parties.end();
    // The console served last goes on within its run, or its turn is held.
    if (m_lastServed && *m_lastServed != kMqtt && m_run < kConsoleRun) {
        const auto last = m_parties.find(*m_lastServed);
        if (last != m_parties.end() && !last->second.waiting.empty())
            next = last;
        else if (m_hold.isActive())
            return;
    }
    if (next == m_parties.end()) {
        for (auto it = m_parties.begin(); it != m_parties.end(); ++it) {
            if (!it->second.waiting.empty() &&
                (next == m_parties.end() || it->second.lastTurn < next->second.lastTurn))
                next = it;
        }
    }
    if (next == m_parties.end())
        return;
    m_hold.stop();
    const Party party = next->first;
    m_run = m_lastServed == party ? m_run + 1 : 1;
    m_lastServed = party;
    PartyQueue& queue = next->second;
    Waiting command = std::move(queue.waiting.front());
    queue.waiting.pop_front();
    queue.lastTurn = ++m_turns;
    m_turnOf = party;
    m_session.Submit(
        {command.kind, command.body, CommandChannel::Owner::Within(queue.context.get()),
         CommandChannel::Place::Back, 0, std::move(command.sent)},
        [this, party, dones = std::move(command.dones)](const CommandChannel::Reply& reply) {
            // The next party's command is queued before this one's callers
            // hear of it: they may forget any party, this one too.
            m_turnOf.reset();
            const auto it = m_parties.find(party);
            if (party != kMqtt && m_run < kConsoleRun && it != m_parties.end() &&
                it->second.waiting.empty() && OthersWait(party))
                m_hold.start(kConsoleHoldMs);
            NextTurn();
            for (const Done& done : dones)
                done(reply);
        });
}

bool BridgeReceiver::Set(const QByteArray& key, const QByteArray& value, Done done) {
    // A newer value for the same key replaces one still queued.
    return Submit(kMqtt, CommandChannel::Kind::Set, key + '=' + value, std::move(done), {});
}

bool BridgeReceiver::Step(const QByteArray& key, bool up, Done done) {
    return Submit(kMqtt, key + (up ? '+' : '-'), std::move(done));
}

bool BridgeReceiver::Query(const QByteArray& key, Done done) {
    return Submit(kMqtt, key + '?', std::move(done));
}
