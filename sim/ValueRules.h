#pragma once

#include <QByteArray>

#include <optional>
#include <random>

// What a receiver setting may hold. The unit keeps every value inside its own
// vocabulary: numbers are clamped to their range and snapped to their step,
// choices are taken in their own spelling, anything else is refused.
enum class ValueKind {
    Choice,    // one of a '|'-separated list
    Number,    // fixed-point decimal: minimum..maximum in steps, `decimals` places
    Speaker,   // a preset speaker: size and crossover joined, "Small80"
    Record,    // a tuner preset record, 48 hexadecimal characters
    Text,      // free text of printable bytes, cut to `maximum` bytes
    ReadOnly,  // reported, never changed from outside
};

struct ValueRule {
    // Matched against the key with the section's number removed ("Source3.Preset"
    // is matched as "Source.Preset"), ignoring case; '*' stands for any text.
    const char* pattern;
    ValueKind kind;
    const char* choices;
    int minimum;  // Number: in units of 10^-decimals; Text: unused
    int maximum;  // Number: as minimum; Text: longest value
    int step;
    int decimals;
};

// The rule for a key; every key has one (free text when nothing else fits).
const ValueRule& RuleFor(const QByteArray& key);

// The value the unit holds after being asked to take `requested`, or nothing when
// it refuses (the caller then reports the value it kept).
std::optional<QByteArray> Constrain(const ValueRule& rule, const QByteArray& requested);

// One step up or down from `current` ("+" on a number adds its step, on a choice
// takes the next entry, wrapping; a two-entry choice toggles).
QByteArray StepValue(const ValueRule& rule, const QByteArray& current, bool up);

// A random value of the vocabulary, as someone at the front panel might set it.
// Nothing for the kinds a front panel does not change (text, records).
std::optional<QByteArray> RandomValue(const ValueRule& rule, std::mt19937& random);

// Number helpers shared with the tuner: the scaled integer of a decimal text.
std::optional<long long> ParseScaled(const QByteArray& text, int decimals);
QByteArray FormatScaled(long long scaled, int decimals);
