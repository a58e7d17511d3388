#pragma once

#include "MqttClient.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

// Two bridges on one base topic would carry out every command twice and
// overwrite each other's states. Each bridge therefore claims its base with a
// retained message on <base>/instance, {"id": a random instance id,
// "started": its start time}, over a connection of its own whose last will
// clears the claim (an empty retained message): the connection that publishes
// the states already has "offline" on availability as its will, and MQTT
// gives a connection one will.
//
// Every bridge watching the topic sees the claims in the broker's order, so
// all agree: the first claim after the topic was empty (or the one the broker
// held when a bridge subscribed) holds the base. A later claim yields (the
// holder answers it with its own claim again), and the bridge that yields
// publishes nothing until the claim is cleared, then claims at once. A holder
// repeats its claim now and then; a claim not repeated for kStaleMs (left
// behind by a broker that kept it across a restart) is cleared, and the race
// for it starts again.
class BaseClaim : public QObject {
    Q_OBJECT

public:
    static constexpr int kRepeatMs = 20'000;
    static constexpr int kStaleMs = 60'000;

    // `settings`: the broker and login; the client id and will are this class's.
    BaseClaim(MqttClient::Settings settings, const QByteArray& baseTopic,
              QObject* parent = nullptr);

    void Start();
    // Clears the claim if this bridge holds it, and disconnects.
    void Release();
    bool IsHeld() const { return m_state == State::Held; }

signals:
    // This bridge may publish under the base.
    void Held();
    // Another bridge holds the base; publish nothing.
    void HeldBack();

private:
    enum class State { Unknown, Held, HeldBack };

    void OnConnected();
    void OnMessage(const QByteArray& topic, const QByteArray& payload);
    void PublishClaim();
    void SetState(State state, const QByteArray& otherClaim = {});

    QByteArray m_topic;
    QByteArray m_id;
    QByteArray m_claim;
    // The id that holds the base as this bridge saw it; empty: nobody.
    QByteArray m_holder;
    State m_state = State::Unknown;
    MqttClient m_client;
    QTimer m_repeat;
    QTimer m_stale;
};
