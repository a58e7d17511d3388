#pragma once

#include <QByteArray>

#include <array>
#include <span>

// One choice of a setting: its position in the list, the text a combo shows
// and the value the settings store holds and the receiver is sent.
struct ValueChoice {
    int index;
    const char* shown;
    const char* stored;
};

using ValueList = std::span<const ValueChoice>;

extern const std::array<ValueChoice, 4> kAudysseyModes;
extern const std::array<ValueChoice, 3> kSpeakerSize3;
extern const std::array<ValueChoice, 2> kSpeakerSize2;
extern const std::array<ValueChoice, 17> kCrossoverFreqs;
extern const std::array<ValueChoice, 3> kBackSpeakerCount;
extern const std::array<ValueChoice, 2> kVfdDisplayModes;
extern const std::array<ValueChoice, 2> kDimmerLevels;
extern const std::array<ValueChoice, 4> kDolbyDigital2chModes;
extern const std::array<ValueChoice, 5> kDolbyDigitalModes;
extern const std::array<ValueChoice, 3> kDtsModes;
extern const std::array<ValueChoice, 8> kDigitalModes;
extern const std::array<ValueChoice, 9> kAnalogModes;
extern const std::array<ValueChoice, 4> kDrcLevels;
extern const std::array<ValueChoice, 8> kCenterWidths;
extern const std::array<ValueChoice, 15> kDimensions;
extern const std::array<ValueChoice, 11> kCenterGains;
extern const std::array<ValueChoice, 11> kToneLevels;
extern const std::array<ValueChoice, 8> kVfdLineContents;
extern const std::array<ValueChoice, 2> kYesNo;
extern const std::array<ValueChoice, 2> kOnOff;
extern const std::array<ValueChoice, 8> kSourceTriggers;
extern const std::array<ValueChoice, 6> kPresetNumbers;
extern const std::array<ValueChoice, 6> kTriggerOutTargets;
extern const std::array<ValueChoice, 10> kAnalogInputs;
extern const std::array<ValueChoice, 12> kDigitalInputs;
extern const std::array<ValueChoice, 20> kVideoInputs;
extern const std::array<ValueChoice, 5> kBackAmpUses;
extern const std::array<ValueChoice, 2> kZoneVolumeModes;
extern const std::array<ValueChoice, 2> kZoneOutModes;
// Lists no page shows; the key-level rules take them.
extern const std::array<ValueChoice, 2> kDistanceUnits;
extern const std::array<ValueChoice, 2> kVideoModes;
extern const std::array<ValueChoice, 3> kAnalogFormats;
extern const std::array<ValueChoice, 4> kDigitalFormats;
extern const std::array<ValueChoice, 5> kVideoFormats;
extern const std::array<ValueChoice, 2> kDigitalTunerModes;
extern const std::array<ValueChoice, 2> kAmSteps;
extern const std::array<ValueChoice, 3> kTunerBands;

// Position of the entry whose stored value equals `stored` ignoring case; -1 when none.
int FindStoredValue(ValueList list, const QByteArray& stored);
