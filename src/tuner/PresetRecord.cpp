#include "PresetRecord.h"

#include "LeadingNumber.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace PresetRecord {
namespace {

// Character positions within the record.
constexpr int kFrequencyAt = 2;
constexpr int kMuteFlagAt = 6;
constexpr int kAmNameAt = 6;
constexpr int kFmNameAt = 8;
// Shorter records have no frequency, mute flag or name to read.
constexpr int kFrequencyNeeds = 6;
constexpr int kFieldsNeed = 10;

constexpr int kFmOffset = 1070;  // code = (hundredths of a MHz + 1070) / 5
constexpr int kFmDivisor = 5;
constexpr int kAmOffset = 450;  // code = (kHz + 450) / step

struct BandRow {
    const char* text;
    const char* code;
};

constexpr std::array<BandRow, 4> kBands = {{
    {"AM", "00"},
    {"FM", "01"},
    {"DAB", "02"},
    {"XM", "03"},
}};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte at characters at, at+1. Like "%2x", it reads as many leading hex
// digits as there are ("7G" reads 7) and gives 0 when there are none.
int LenientByte(const QByteArray& record, int at) {
    int value = 0;
    for (int i = at; i < at + 2 && i < record.size(); ++i) {
        const int digit = HexDigit(record[i]);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return value;
}

// The 16-bit frequency code, stored low byte first.
int FrequencyCode(const QByteArray& record) {
    return LenientByte(record, kFrequencyAt + 2) * 256 + LenientByte(record, kFrequencyAt);
}

QByteArray Hex(int byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte & 0xFF);
    return QByteArray(text, 2);
}

QByteArray LowByteFirst(long long code) {
    const int bits = static_cast<int>(code & 0xFFFF);
    return Hex(bits & 0xFF) + Hex(bits >> 8);
}

// Hundredths of a MHz from a number of MHz, as the receiver's console rounds
// them: in single precision, plus a half, truncated toward zero.
long long FmHundredths(float megahertz) {
    const float scaled = megahertz * 100.0f + 0.5f;
    // Far beyond any band; held so that the conversion stays defined.
    constexpr float kLimit = 1.0e9f;
    return static_cast<long long>(std::clamp(scaled, -kLimit, kLimit));
}

}  // namespace

int AmStepOf(const QByteArray& amStepValue) {
    return amStepValue == "9" ? 9 : 10;
}

int BandOf(const QByteArray& record) {
    if (record.size() < 2)
        return kUnreadableBand;
    const int high = HexDigit(record[0]);
    const int low = HexDigit(record[1]);
    if (high < 0 || low < 0)
        return kUnreadableBand;
    return high * 16 + low;
}

bool IsListed(int band) {
    return band >= kAm && band <= kXm;
}

QByteArray ChannelText(const QByteArray& record, int band, int amStep) {
    if (band != kAm && band != kFm && band != kXm)
        return {};
    if (record.size() < kFrequencyNeeds)
        return kInvalidFrequency;
    if (band == kXm)
        return QByteArray::number(LenientByte(record, kFrequencyAt));
    const int code = FrequencyCode(record);
    char text[32];
    if (band == kAm) {
        std::snprintf(text, sizeof text, "%d kHz", code * amStep - kAmOffset);
    } else {
        // 0.01 in single precision, as the receiver's console computes it;
        // "%.2f" rounds its error away (code 1964 shows 87.50).
        const float megahertz = static_cast<float>(code * kFmDivisor - kFmOffset) * 0.01f;
        std::snprintf(text, sizeof text, "%.2f MHz", static_cast<double>(megahertz));
    }
    return QByteArray(text);
}

QByteArray MuteText(const QByteArray& record) {
    if (record.size() < kFieldsNeed)
        return kInvalidPreset;
    return record[kMuteFlagAt + 1] == '1' ? QByteArrayLiteral("Yes") : QByteArrayLiteral("No");
}

QByteArray NameText(const QByteArray& record, int band) {
    if (band != kAm && band != kFm)
        return {};
    if (record.size() < kFieldsNeed)
        return kInvalidName;
    QByteArray name;
    // A 12-byte name has no terminator and runs into the FF fill; the cut
    // below gives back exactly the name.
    for (int at = band == kAm ? kAmNameAt : kFmNameAt; at + 1 < record.size(); at += 2) {
        const int byte = LenientByte(record, at);
        if (byte == 0)
            break;
        name += static_cast<char>(byte);
    }
    return name.left(kNameLength);
}

QByteArray BandCode(const QByteArray& bandText) {
    for (const BandRow& row : kBands) {
        if (bandText == row.text)
            return row.code;
    }
    return {};
}

QByteArray Compose(const QByteArray& bandText, const QByteArray& channelText, bool muted,
                   const QByteArray& name, int amStep) {
    QByteArray record = BandCode(bandText);
    if (bandText == "FM") {
        const long long hundredths = FmHundredths(LeadingFloat(channelText).value_or(0.0f));
        record += LowByteFirst((hundredths + kFmOffset) / kFmDivisor);
    } else if (bandText == "AM") {
        const long long kilohertz = LeadingInteger(channelText).value_or(0);
        record += LowByteFirst((kilohertz + kAmOffset) / (amStep > 0 ? amStep : 10));
    } else if (bandText == "XM") {
        const int channel = LeadingInteger(channelText).value_or(-1);
        record += channel >= 0 && channel <= 255 ? Hex(channel) : QByteArrayLiteral("00");
    } else {
        record += UpToFirstBlank(channelText);
    }
    if (bandText == "FM")
        record += muted ? "01" : "00";
    for (const char byte : name)
        record += Hex(static_cast<unsigned char>(byte));
    for (qsizetype i = name.size(); i < kNameLength; ++i)
        record += "00";
    if (record.size() < kLength)
        record += QByteArray(kLength - record.size(), 'F');
    return record;
}

QByteArray PresetKey(int number) {
    return "Tuner.Preset" + QByteArray::number(number);
}

QByteArray SetCommand(int number, const QByteArray& record) {
    return PresetKey(number) + '=' + record;
}

}  // namespace PresetRecord
