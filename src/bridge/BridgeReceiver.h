#pragma once

#include "CommandChannel.h"
#include "ReceiverSession.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// The bridge's view of its ReceiverSession, which owns the port (opened by
// name: COM1..COM9, "Auto-Detect", a device path, "tcp://host:port"), the
// model check, the full read, the status lines and the keep-alive. On top the
// bridge keeps a retry every 5 s that reads everything again, and the values
// the receiver answered, so that MQTT hears of a key only when it changes.
//
// Commands go out through the session's one command queue, each waiting for
// its answer or the reply time-out before the next is written, so answers
// never interleave however many parties (MQTT, shared consoles, the
// keep-alive) talk. The parties take turns: each keeps its own queue here, and
// only one command of theirs at a time is in the session's queue; when it
// completes, the party served least recently that has one waiting goes next.
// So a console's command waits behind at most one command of each other
// party, however many MQTT has queued. Each party has a fair share: at most
// kShare commands of its own waiting, and a set for a key it already has a
// set waiting for takes that set's place (the latest value wins) without
// using more of the share. A party beyond its share is told so and waits or
// refuses; nobody's commands are dropped for somebody else's. The session's
// own commands (the read, the keep-alive) do not take turns.
//
// A console asks, waits for the answer, then asks again, so when its command
// completes its next one is not here yet; with plain turns MQTT would slip in
// between every two of its commands and double a backup's time. So a console
// keeps the turn for up to kConsoleRun commands in a row while MQTT waits:
// its next command goes at once when it is already waiting, and when it is
// not, the turn is held kConsoleHoldMs for it to come (ended at once by its
// arrival). Then MQTT has its one command, and a console still waits behind at
// most one command of each other party.
class BridgeReceiver : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 5000;
    // Commands of one party waiting in the queue (sets for distinct keys
    // count once each).
    static constexpr int kShare = 8;
    // Commands of one console in a row while others wait, and how long its
    // turn waits for the next one.
    static constexpr int kConsoleRun = 3;
    static constexpr int kConsoleHoldMs = 10;
    // Who submits: MQTT is 0, a console its own number.
    using Party = quintptr;
    static constexpr Party kMqtt = 0;
    // Tuner lines the read does not cover (band, frequency, RDS text) are kept
    // as they come, up to this many keys.
    static constexpr int kMaxTunerKeys = 64;

    // The outcome: Answered with the line as "key=value", Timeout, Written
    // when nothing answers it (no operator, or a section query such as
    // "Tuner?", whose report comes as status lines), Closed or Aborted when it
    // was not sent or the receiver went while it waited.
    using Done = std::function<void(const CommandChannel::Reply& reply)>;

    explicit BridgeReceiver(const QString& portName, QObject* parent = nullptr);
    ~BridgeReceiver() override;

    // Commands the receiver's read keeps on the wire (1: one at a time).
    void SetPipelineDepth(int depth) { m_session.SetPipelineDepth(depth); }
    // The first attempt now, then one every 5 s until the receiver answers.
    void Start();
    // Stops an attempt, closes the port; nothing is retried.
    void Stop();

    bool IsReady() const { return m_state == State::Ready; }
    QByteArray Model() const { return m_session.Model(); }
    std::uint32_t ModelBit() const { return m_session.ModelBit(); }
    // The port of the connection (for Auto-Detect, the one that answered).
    QString PortName() const { return m_session.PortName(); }
    QDateTime ConnectedSince() const { return m_connectedSince; }
    // What the binding model judges values by: the read and the model.
    const SettingsStore& Store() const { return m_session.Store(); }
    const SessionState& Session() const { return m_session.State(); }

    // The keys the receiver answered, in its own spelling and read order.
    const std::vector<QByteArray>& Keys() const { return m_keys; }
    QByteArray ValueOf(const QByteArray& key) const;
    // The receiver's spelling of a key given in any letter case; "" when unknown.
    QByteArray KnownKey(const QByteArray& key) const;

    // Whether `party` may queue another command (and a set for `body`'s key).
    bool HasRoom(Party party, const QByteArray& body = {}) const;
    // Queues a command body (the text between the framing carriage returns).
    // `sent` runs when the command goes on the wire. A set ("Key=value")
    // replaces the party's set of the same key still waiting. False, with
    // `done` not run, when the party's share is used up.
    bool Submit(Party party, const QByteArray& body, Done done = {},
                std::function<void()> sent = {});
    // Drops what a party has waiting, without completing it; the completion
    // of its command in the session's queue is not called either, and the
    // turn passes on at once.
    void Forget(Party party);
    bool Set(const QByteArray& key, const QByteArray& value, Done done = {});
    bool Step(const QByteArray& key, bool up, Done done = {});
    bool Query(const QByteArray& key, Done done = {});

signals:
    void Connected();
    void Lost(const QString& reason);
    // A key's value differs from the one held (after a read, or from a line).
    void KeyChanged(const QByteArray& key, const QByteArray& value);
    // Every line the receiver sends, as it came.
    void LineReceived(const QByteArray& line);

private:
    enum class State { Idle, Attempting, Ready, Stopped };

    bool Submit(Party party, CommandChannel::Kind kind, const QByteArray& body, Done done,
                std::function<void()> sent);

    struct Waiting {
        CommandChannel::Kind kind;
        QByteArray body;
        QByteArray setKey;  // a set's key, in capitals
        // A set that replaced waiting ones answers their callers too.
        std::vector<Done> dones;
        std::function<void()> sent;
    };
    struct PartyQueue {
        // The Owner context of the party's commands: gone with the party, so
        // that nothing of a forgotten party completes.
        std::unique_ptr<QObject> context = std::make_unique<QObject>();
        std::deque<Waiting> waiting;
        std::uint64_t lastTurn = 0;  // 0: never served
    };
    int Used(Party party) const;
    // Hands the next party its turn unless a command of the parties is in the
    // session's queue or the turn is held for a console.
    void NextTurn();
    bool OthersWait(Party party) const;

    void Attempt();
    void OnAttemptEnded(bool connected);
    void FailAttempt(const QString& reason);
    void OnLost();
    void OnValue(const QByteArray& key, const QByteArray& value, bool storeKey);

    QString m_portName;
    ReceiverSession m_session;
    State m_state = State::Idle;
    QDateTime m_connectedSince;
    QString m_lastFailure;

    std::vector<QByteArray> m_keys;
    std::vector<QByteArray> m_values;
    QHash<QByteArray, std::size_t> m_index;  // key in capitals -> position
    int m_tunerKeys = 0;

    QTimer m_retry;
    // After m_session: the parties' contexts go first, so that the session's
    // teardown completes nothing into a half-destroyed bridge.
    std::map<Party, PartyQueue> m_parties;
    std::optional<Party> m_turnOf;  // whose command is in the session's queue
    std::uint64_t m_turns = 0;
    // The party served last and how many of its commands in a row.
    std::optional<Party> m_lastServed;
    int m_run = 0;
    // Running while the turn waits for the last served console's next command.
    QTimer m_hold;
};
