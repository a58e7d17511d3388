#pragma once

// The receiver and the settings files carry names in the Windows ANSI code
// page (Windows-1252). This is the one conversion between those bytes and the
// window's text: bytes 0x80-0x9F are the code page's own characters (the euro
// sign, typographic quotes), the five it leaves undefined stand for themselves,
// and every other byte is the Latin-1 character of the same number.

#include <QByteArray>
#include <QString>

#include <array>

namespace Windows1252Detail {

// 0x80-0x9F; 0 marks a byte the code page leaves undefined.
inline constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};
inline constexpr char16_t kFirstHigh = 0x80;
inline constexpr char16_t kLastHigh = 0x9F;
// What a character the code page cannot hold becomes, as on Windows.
inline constexpr char kUnmappable = '?';

}  // namespace Windows1252Detail

inline QString FromWindows1252(const QByteArray& bytes) {
    using namespace Windows1252Detail;
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        char16_t unit = byte;
        if (byte >= kFirstHigh && byte <= kLastHigh && kHighControls[byte - kFirstHigh] != 0)
            unit = kHighControls[byte - kFirstHigh];
        *out++ = QChar(unit);
    }
    return text;
}

inline QByteArray ToWindows1252(const QString& text) {
    using namespace Windows1252Detail;
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        // A character beyond 16 bits becomes one "?", not one per half.
        if (ch.isLowSurrogate())
            continue;
        const char16_t unit = ch.unicode();
        char byte = kUnmappable;
        if (unit < kFirstHigh || (unit > kLastHigh && unit <= 0xFF)) {
            byte = static_cast<char>(unit);
        } else if (unit <= kLastHigh) {
            // An undefined byte read in comes back out as itself.
            if (kHighControls[unit - kFirstHigh] == 0)
                byte = static_cast<char>(unit);
        } else {
            for (std::size_t i = 0; i < kHighControls.size(); ++i) {
                if (kHighControls[i] == unit) {
                    byte = static_cast<char>(kFirstHigh + i);
                    break;
                }
            }
        }
        bytes += byte;
    }
    return bytes;
}

// A character the code page can carry and a user can see: what may be typed
// where the text goes to the receiver.
inline bool IsWindows1252Printable(QChar ch) {
    using namespace Windows1252Detail;
    const char16_t unit = ch.unicode();
    if ((unit >= 0x20 && unit <= 0x7E) || (unit >= 0xA0 && unit <= 0xFF))
        return true;
    for (const char16_t mapped : kHighControls) {
        if (mapped != 0 && mapped == unit)
            return true;
    }
    return false;
}
