#pragma once

#include <QByteArray>

#include <optional>

// Numbers read from the start of a channel text such as "87.50 MHz" or
// "530 kHz": leading blanks are skipped, reading stops at the first character
// that cannot continue the number, and nothing is read when no digit comes.
// The values are what the receiver's console reads with "%f" and "%d".

// A single-precision number; infinities and NaN count as no number.
std::optional<float> LeadingFloat(const QByteArray& text);
// An integer; one that does not fit in 32 bits saturates at the nearer end.
std::optional<int> LeadingInteger(const QByteArray& text);
// The text up to its first blank, or the whole text when the blank is missing
// or stands first.
QByteArray UpToFirstBlank(const QByteArray& text);
