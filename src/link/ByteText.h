#pragma once

// Receiver text is 8-bit: values travel, are stored and are written to files as
// bytes. "Ignoring case" means ASCII case folding only, so that bytes above 127
// (names typed in a Windows code page) round-trip untouched.

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <cstddef>

inline char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline QByteArray UpperAscii(QByteArray text) {
    for (char& c : text)
        c = ToUpperAscii(c);
    return text;
}

inline bool EqualsIgnoringCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (ToUpperAscii(a[i]) != ToUpperAscii(b[i]))
            return false;
    }
    return true;
}

inline bool StartsWithIgnoringCase(QByteArrayView text, QByteArrayView prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.first(prefix.size()), prefix);
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Removes blanks, tabs, CR and LF from both ends.
inline QByteArray TrimmedBytes(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

inline bool IsControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// Control bytes written out visibly: "\r", "\n", others as "\x1B"; with
// `keepTabs`, a tab stays (it breaks no line and trims as a blank). Text
// without any comes back as it is.
inline QByteArray EscapedControlBytes(const QByteArray& text, bool keepTabs = false) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto escapes = [keepTabs](char c) {
        return IsControlByte(c) && !(keepTabs && c == '\t');
    };
    if (std::none_of(text.cbegin(), text.cend(), escapes))
        return text;
    QByteArray escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!escapes(c)) {
            escaped += c;
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        }
    }
    return escaped;
}

// A received value as the store and a settings file keep it: the receiver's
// bytes as they came, but one line. Line feeds at either end are dropped (they
// end a line, they are no part of the value) and one inside is written "\n",
// so that a saved file line stays one line and restores as one setting.
inline QByteArray OneLineValue(const QByteArray& received) {
    if (!received.contains('\n'))
        return received;
    qsizetype begin = 0;
    qsizetype end = received.size();
    while (begin < end && received[begin] == '\n')
        ++begin;
    while (end > begin && received[end - 1] == '\n')
        --end;
    QByteArray value = received.mid(begin, end - begin);
    value.replace('\n', "\\n");
    return value;
}
