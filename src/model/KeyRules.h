#pragma once

#include "ValueLists.h"

#include <QByteArray>

#include <cstdint>

// What each key of the receiver takes, written once for everything that sends
// values: the binding model (what a page row accepts) and the MQTT bridge
// (what a message may set). A key is its section and parameter; the sections
// that come numbered (Zone2..Zone4, Preset1..Preset5, Source1..Source10) share
// one row per parameter, and letter case does not count, as on the wire.

// Section groups a rule covers, a bit each.
enum KeySection : std::uint32_t {
    kMainSection = 0x1,
    kZoneSections = 0x2,    // Zone2..Zone4
    kPresetSections = 0x4,  // Preset1..Preset5
    kSourceSections = 0x8,  // Source1..Source10
    kTunerSection = 0x10,
    kAudysseySection = 0x20,
};

enum class KeyKind {
    Choice,  // one of `choices`, by stored value
    Number,  // minimum..maximum in steps, `decimals` places (scaled by 10^decimals)
    Text,    // printable text of at most `maxLength` characters
    Record,  // a tuner preset record: 48 hexadecimal characters
    Status,  // reported by the receiver, never set from outside
};

struct KeyRule {
    std::uint32_t sections;
    // After the section; "*" matches any rest, "#" a number first..last.
    const char* parameter;
    KeyKind kind;
    ValueList choices;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int decimals = 0;
    int maxLength = 0;
    int first = 0;  // "#"
    int last = 0;
};

inline constexpr int kTunerPresetCount = 40;
inline constexpr int kPresetRecordLength = 48;

// The rule of `key` in any letter case; nullptr for a key the receiver's
// vocabulary lacks (one it invents, or a misspelt one).
const KeyRule* FindKeyRule(const QByteArray& key);

// A Number rule's bounds and step, unscaled, or a Choice of whole numbers in
// even steps (tone levels) read as one; false for anything else.
struct WholeRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;
};
bool WholeRangeOf(const KeyRule& rule, WholeRange* range);

// The number as a whole count of 10^-decimals; false for text, "4.55" with
// one decimal place, or anything far out of any range.
bool ParseScaled(const QByteArray& text, int decimals, long long* scaled);

// Whether the rule of `key` has `value` as one the receiver takes as it
// stands: one of its list (letter case aside), in its range and step, no
// longer than it takes, a whole preset record. Any other value a receiver
// keeps clamped or cut, and a status it keeps as its own. True for a key
// without a rule: nothing here can tell what it takes.
bool TakenAsItStands(const QByteArray& key, const QByteArray& value);
