#pragma once

#include "KeyRules.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// What a `set` from MQTT may send, by the key-level rules: a choice in the
// list's spelling, a number in its range and step, printable text the
// receiver's code page carries and no longer than the key takes. A key the
// rules do not know is taken as printable text of at most 64 bytes; a preset
// record only with --allow-raw (it replaces a station whole); a key only on a
// model that has it. Every value is refused when it would break the line
// (CR, LF, NUL) or is overlong.
struct SetCheck {
    QByteArray value;  // what to send, in the receiver's spelling and code page
    QString refusal;   // empty when the value may go
};

struct SetContext {
    std::uint32_t modelBit = 0;  // the connected model's bit; 0 checks no model
    bool allowRaw = false;
};

// `key` is the receiver's spelling of a key it has; `payload` is UTF-8.
SetCheck CheckSetValue(const QByteArray& key, const QByteArray& payload, const SetContext& context);

// May `key` be stepped with "+" and "-" (volumes, trims, the tuner)?
bool IsSteppable(const QByteArray& key);

// The range and step of a number control the bridge announces; false when
// `key` is not such a number.
bool RangeOf(const QByteArray& key, WholeRange* range);
// The stored values of the key's choice list; empty when it has none.
QStringList ChoicesOf(const QByteArray& key);
// Whether the broker should keep the key's state: only keys of the receiver's
// vocabulary, so junk a receiver invents does not stay on the broker.
bool IsRetainedState(const QByteArray& key);

// A line or value as it may travel: no CR, LF or NUL.
bool IsLineSafe(const QByteArray& text);
