#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// What a `set` from MQTT may send. Keys the page binding knows are checked as
// the pages would (a choice from the control's value list, a number in the
// range its field accepts, a name of at most 12 characters the receiver's code
// page can carry); a few controls that only the bridge offers (zone power,
// mute and volume, trims, the tuner band) carry their own rows here. Every
// value is refused when it would break the line (CR, LF, NUL) or is overlong.
struct SetCheck {
    QByteArray value;  // what to send, in the receiver's spelling and code page
    QString refusal;   // empty when the value may go
};

// `key` is the receiver's spelling of a key it has; `payload` is UTF-8.
SetCheck CheckSetValue(const QByteArray& key, const QByteArray& payload, std::uint32_t modelBit);

// May `key` be stepped with "+" and "-" (volumes, trims, the tuner)?
bool IsSteppable(const QByteArray& key);

// A number's range for the controls the bridge announces.
struct NumberRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;
};
// False when `key` is not a ranged number.
bool RangeOf(const QByteArray& key, NumberRange* range);
// The stored values of the key's choice list; empty when it has none.
QStringList ChoicesOf(const QByteArray& key);

// A line or value as it may travel: no CR, LF or NUL.
bool IsLineSafe(const QByteArray& text);
