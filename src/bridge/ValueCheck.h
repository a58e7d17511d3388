#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class BindingModel;

// What a `set` from MQTT may send. A key the page binding knows is checked
// with the binding model's shape of it, as the pages would take it (a choice
// from the control's list, a whole number in its range, a name of at most 12
// characters the receiver's code page carries) and only on a model that has
// the control; a few controls that only the bridge offers (zone power, mute,
// volume and source, trims, the tuner's band and preset) carry their own rows
// here. Every value is refused when it would break the line (CR, LF, NUL) or
// is overlong.
struct SetCheck {
    QByteArray value;  // what to send, in the receiver's spelling and code page
    QString refusal;   // empty when the value may go
};

// `key` is the receiver's spelling of a key it has; `payload` is UTF-8.
SetCheck CheckSetValue(const BindingModel& binding, const QByteArray& key,
                       const QByteArray& payload);

// May `key` be stepped with "+" and "-" (volumes, trims, the tuner)?
bool IsSteppable(const QByteArray& key);

// The range and step of a number control the bridge announces.
struct StepRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;
};
// False when `key` is not such a number.
bool RangeOf(const QByteArray& key, StepRange* range);
// The stored values of the key's choice list; empty when it has none.
QStringList ChoicesOf(const QByteArray& key);

// A line or value as it may travel: no CR, LF or NUL.
bool IsLineSafe(const QByteArray& text);
