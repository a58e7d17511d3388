#pragma once

#include "ReceiverState.h"

#include <QByteArray>
#include <QList>

#include <random>

// One Velmar receiver's command interpreter: takes the body of a command (the
// text between its framing carriage returns) and returns the lines the unit
// sends back, as "Key=value" texts without framing.
class Receiver {
public:
    explicit Receiver(const QByteArray& model);

    QList<QByteArray> Handle(const QByteArray& command);
    // Someone at the front panel changes a random setting within its vocabulary.
    QList<QByteArray> FrontPanelChange(std::mt19937& random);

    const ReceiverState& State() const { return m_state; }
    // Takes a stored value without a command (a saved state being loaded); the
    // value is held to the key's vocabulary. False when refused or unknown.
    bool Restore(const QByteArray& key, const QByteArray& value);
    // True once after any setting changed.
    bool TakeChanged();

private:
    QList<QByteArray> Query(const QByteArray& name);
    QList<QByteArray> Set(const QByteArray& key, const QByteArray& value);
    QList<QByteArray> Step(const QByteArray& key, bool up);
    QList<QByteArray> RemoteCode(const QByteArray& code);
    void Store(const QByteArray& key, const QByteArray& value);

    ReceiverState m_state;
    bool m_changed = false;
};
