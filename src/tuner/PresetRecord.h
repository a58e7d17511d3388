#pragma once

// A tuner preset as the receiver stores it: 48 hexadecimal characters, two per
// byte. Byte 0 is the band; then, by band,
//   AM  frequency code (2 bytes, low first), name (12 bytes)
//   FM  frequency code (2 bytes, low first), mute flag (1 byte), name (12 bytes)
//   XM  channel (1 byte), name (12 bytes)
// and "F" to the end. Names are 8-bit bytes, padded with 00 bytes to 12.
// 48 "F" is an empty preset; so is any band byte other than 00..03.
//
// These functions read and compose the texts the preset editor shows; reading
// is lenient (short records give a message text, bad hexadecimal reads as far
// as it is hexadecimal) and never fails.

#include <QByteArray>

namespace PresetRecord {

inline constexpr int kLength = 48;
inline constexpr int kNameLength = 12;
inline constexpr int kPresetCount = 40;

inline constexpr int kAm = 0;
inline constexpr int kFm = 1;
inline constexpr int kDab = 2;
inline constexpr int kXm = 3;
// BandOf's answer for a band byte that is not hexadecimal.
inline constexpr int kUnreadableBand = -1;

inline const QByteArray kEmpty = QByteArray(kLength, 'F');
inline const QByteArray kInvalidFrequency = QByteArrayLiteral("Invalid Frequency");
inline const QByteArray kInvalidName = QByteArrayLiteral("Invalid Name");
inline const QByteArray kInvalidPreset = QByteArrayLiteral("Invalid Preset");

// The value of Tuner.AMStep as a step in kHz: "9" gives 9, anything else 10.
int AmStepOf(const QByteArray& amStepValue);

// The band byte: 00 gives 0, FF gives 255, a record too short or not
// hexadecimal there gives kUnreadableBand.
int BandOf(const QByteArray& record);
bool IsListed(int band);

// "530 kHz", "87.50 MHz", "12"; empty for DAB and unknown bands.
QByteArray ChannelText(const QByteArray& record, int band, int amStep);
// "Yes" or "No" (FM only).
QByteArray MuteText(const QByteArray& record);
// The name's bytes for AM and FM; empty for the other bands.
QByteArray NameText(const QByteArray& record, int band);
// "AM" "00", "FM" "01", "DAB" "02", "XM" "03"; empty for anything else.
QByteArray BandCode(const QByteArray& bandText);

// The record for the band text, the channel text as the editor shows it
// ("87.50 MHz", "530 kHz", "12"), the mute flag (FM only) and the name bytes.
QByteArray Compose(const QByteArray& bandText, const QByteArray& channelText, bool muted,
                   const QByteArray& name, int amStep);

// "Tuner.Preset%d"
QByteArray PresetKey(int number);
// "Tuner.Preset%d=%s", the line that stores a preset
QByteArray SetCommand(int number, const QByteArray& record);

}  // namespace PresetRecord
