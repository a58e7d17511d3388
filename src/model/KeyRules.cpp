#include "KeyRules.h"

#include "ByteText.h"
#include "ReceiverShape.h"
#include "SettingRanges.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kM = kMainSection;
constexpr std::uint32_t kZ = kZoneSections;
constexpr std::uint32_t kP = kPresetSections;
constexpr std::uint32_t kS = kSourceSections;
constexpr std::uint32_t kT = kTunerSection;
constexpr std::uint32_t kA = kAudysseySection;
constexpr std::uint32_t kMZ = kM | kZ;
constexpr std::uint32_t kMP = kM | kP;
constexpr std::uint32_t kMA = kM | kA;
constexpr std::uint32_t kMPA = kM | kP | kA;

template <std::size_t N>
constexpr KeyRule Choice(std::uint32_t sections, const char* parameter,
                         const std::array<ValueChoice, N>& list) {
    return {sections, parameter, KeyKind::Choice, ValueList(list)};
}
constexpr KeyRule Number(std::uint32_t sections, const char* parameter, NumberRange range,
                         int step = 1, int decimals = 0) {
    return {sections, parameter, KeyKind::Number, {}, range.minimum, range.maximum, step, decimals};
}
constexpr KeyRule Text(std::uint32_t sections, const char* parameter, int maxLength) {
    return {sections, parameter, KeyKind::Text, {}, 0, 0, 1, 0, maxLength};
}
constexpr KeyRule Status(std::uint32_t sections, const char* parameter) {
    return {sections, parameter, KeyKind::Status, {}};
}
constexpr KeyRule Numbered(KeyRule rule, int first, int last) {
    rule.first = first;
    rule.last = last;
    return rule;
}

// First match wins: a specific row stands ahead of a wildcard that also covers it.
const std::array kKeyRules = {
    Status(kM, "Model"),
    Choice(kMZ, "Power", kOnOff),
    Choice(kMZ, "Mute", kOnOff),
    Number(kMZ, "Volume", kVolumeRange),
    Number(kMZ, "Source", {1, kSourceCount}),
    Choice(kM, "SpeakerA", kOnOff),
    Choice(kM, "SpeakerB", kOnOff),
    Choice(kMP, "Audyssey", kAudysseyModes),
    Choice(kMP, "CenterDialog", kToneLevels),
    Choice(kMP, "Treble", kToneLevels),
    Choice(kMP, "Bass", kToneLevels),
    Choice(kMP, "ToneDefeat", kOnOff),
    Choice(kMP, "Dimmer", kDimmerLevels),
    Choice(kMP, "Dolby.DRC", kDrcLevels),
    Choice(kMP, "Dolby.CenterWidth", kCenterWidths),
    Choice(kMP, "Dolby.Dimension", kDimensions),
    Choice(kMP, "Dolby.Panorama", kOnOff),
    Choice(kMP, "DTS.DRC", kDrcLevels),
    Choice(kMP, "DTS.CenterGain", kCenterGains),
    Choice(kMP, "EnhancedStereo.*", kOnOff),
    Number(kMP, "LipSyncDelay", kLipSyncRange),
    Choice(kMA, "Speaker.Front.Config", kSpeakerSize2),
    Choice(kMA, "Speaker.Center.Config", kSpeakerSize3),
    Choice(kMA, "Speaker.Surround.Config", kSpeakerSize3),
    Choice(kMA, "Speaker.Back.Config1", kBackSpeakerCount),
    Choice(kMA, "Speaker.Back.Config2", kSpeakerSize2),
    Choice(kMA, "Speaker.*.Frequency", kCrossoverFreqs),
    Choice(kMA, "Speaker.Sub", kOnOff),
    // A preset holds a speaker's size and crossover joined ("Small80").
    Text(kP, "Speaker.*", 16),
    Choice(kMP, "EnhancedBass", kOnOff),
    Number(kMPA, "Level.*", kSpeakerLevelRange),
    Choice(kMP, "Distance.UOM", kDistanceUnits),
    Number(kMPA, "Distance.*", kSpeakerDistanceRange),
    Choice(kM, "Amp.Back", kBackAmpUses),
    Numbered(Choice(kM, "Trigger#.Out", kTriggerOutTargets), 1, 3),
    Numbered(Number(kM, "Trigger#.Delay", kTriggerDelayRange), 1, 3),
    Choice(kM, "AutoTrigger", kTriggerOutTargets),
    Choice(kMP, "VFD.Display", kVfdDisplayModes),
    Numbered(Choice(kMP, "VFD.Line#", kVfdLineContents), 1, 2),
    Number(kMP, "VFD.TempLine", {0, 9}),
    Choice(kMP, "OSD.TempDisplay", kOnOff),
    Choice(kMP, "ListeningMode", kAnalogModes),
    Choice(kMP, "ListeningMode.Analog", kAnalogModes),
    Choice(kMP, "ListeningMode.Digital", kDigitalModes),
    Choice(kMP, "ListeningMode.DolbyDigital", kDolbyDigitalModes),
    Choice(kMP, "ListeningMode.DolbyDigital2ch", kDolbyDigital2chModes),
    Choice(kMP, "ListeningMode.DTS", kDtsModes),
    Number(kM, "Trim.*", kTrimRange),
    Number(kM, "Sleep", {0, 90}, 10),
    Number(kM, "IR.Channel", {0, 15}),
    Choice(kM, "VideoMode", kVideoModes),
    Choice(kZ, "VolumeControl", kZoneVolumeModes),
    Number(kZ, "VolumeFixed", kVolumeRange),
    Choice(kZ, "Mode", kZoneOutModes),
    Text(kS | kP, "Name", kNameMaxLength),
    Choice(kP, "Setup.*", kYesNo),
    Choice(kS, "Enabled", kYesNo),
    Choice(kS, "AnalogAudioFormat", kAnalogFormats),
    Choice(kS, "DigitalAudioFormat", kDigitalFormats),
    Choice(kS, "VideoFormat", kVideoFormats),
    // An input is the digit of the chosen input within its format.
    Number(kS, "*Input", {1, 9}),
    Number(kS, "AnalogGain", {-12, 12}),
    Choice(kS, "TriggerOut", kSourceTriggers),
    Choice(kS, "Preset", kPresetNumbers),
    Choice(kT, "DigitalMode", kDigitalTunerModes),
    Choice(kT, "AMStep", kAmSteps),
    Choice(kT, "Band", kTunerBands),
    Number(kT, "Preset", {1, kTunerPresetCount}),
    Numbered({kT, "Preset#", KeyKind::Record, {}, 0, 0, 1, 0, kPresetRecordLength}, 1,
             kTunerPresetCount),
    Number(kT, "FM.Frequency", {8750, 10850}, 5, 2),
    Number(kT, "AM.Frequency", {530, 1710}),
    Number(kT, "XM.Channel", {0, 255}),
    Choice(kT, "FM.Mute", kOnOff),
    // Station names, RDS and XM texts: the tuner's own report.
    Status(kT, "FM.RDSName"),
    Status(kT, "FM.RDSText"),
    Status(kT, "XM.ChannelName"),
    Status(kT, "XM.Name"),
    Status(kT, "XM.Title"),
};

char Folded(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameIgnoringCase(const char* a, const char* b, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i) {
        if (Folded(a[i]) != Folded(b[i]))
            return false;
    }
    return true;
}

// A decimal number without sign or leading zero, from `text` on; -1 when none.
int LeadingNumber(const char* text, qsizetype size, qsizetype* used) {
    qsizetype at = 0;
    int number = 0;
    while (at < size && at < 4 && text[at] >= '0' && text[at] <= '9')
        number = number * 10 + (text[at++] - '0');
    *used = at;
    return at == 0 || (at > 1 && text[0] == '0') ? -1 : number;
}

// The section's group bit; 0 for a section the receiver does not have.
std::uint32_t SectionOf(const QByteArray& section) {
    struct Numbered {
        const char* name;
        std::uint32_t bit;
        int first;
        int last;
    };
    static constexpr Numbered kSections[] = {
        {"MAIN", kM, 0, 0},
        {"TUNER", kT, 0, 0},
        {"AUDYSSEY", kA, 0, 0},
        {"ZONE", kZ, 2, 4},
        {"PRESET", kP, 1, kAvPresetCount},
        {"SOURCE", kS, 1, kSourceCount},
    };
    for (const Numbered& row : kSections) {
        const auto length = static_cast<qsizetype>(std::char_traits<char>::length(row.name));
        if (section.size() < length || !SameIgnoringCase(section.constData(), row.name, length))
            continue;
        if (row.first == 0)
            return section.size() == length ? row.bit : 0;
        qsizetype used = 0;
        const int number =
            LeadingNumber(section.constData() + length, section.size() - length, &used);
        const bool whole = length + used == section.size();
        return whole && number >= row.first && number <= row.last ? row.bit : 0;
    }
    return 0;
}

bool ParameterMatches(const KeyRule& rule, const char* text, qsizetype size) {
    const char* pattern = rule.parameter;
    qsizetype at = 0;
    for (; *pattern != '\0'; ++pattern) {
        if (*pattern == '*') {
            // Any non-empty rest that ends as the pattern does.
            const qsizetype tail =
                static_cast<qsizetype>(std::char_traits<char>::length(pattern + 1));
            return size - at > tail && SameIgnoringCase(text + size - tail, pattern + 1, tail);
        }
        if (*pattern == '#') {
            qsizetype used = 0;
            const int number = LeadingNumber(text + at, size - at, &used);
            if (number < rule.first || number > rule.last)
                return false;
            at += used;
            continue;
        }
        if (at >= size || Folded(*pattern) != Folded(text[at]))
            return false;
        ++at;
    }
    return at == size;
}

}  // namespace

const KeyRule* FindKeyRule(const QByteArray& key) {
    const qsizetype dot = key.indexOf('.');
    if (dot <= 0)
        return nullptr;
    const std::uint32_t section = SectionOf(key.left(dot));
    if (section == 0)
        return nullptr;
    const char* parameter = key.constData() + dot + 1;
    const qsizetype size = key.size() - dot - 1;
    for (const KeyRule& rule : kKeyRules) {
        if ((rule.sections & section) != 0 && ParameterMatches(rule, parameter, size))
            return &rule;
    }
    return nullptr;
}

bool WholeRangeOf(const KeyRule& rule, WholeRange* range) {
    if (rule.kind == KeyKind::Number && rule.decimals == 0) {
        *range = {rule.minimum, rule.maximum, rule.step};
        return true;
    }
    if (rule.kind != KeyKind::Choice || rule.choices.size() < 2)
        return false;
    std::vector<int> numbers;
    for (const ValueChoice& choice : rule.choices) {
        bool ok = false;
        numbers.push_back(QByteArray(choice.stored).toInt(&ok));
        if (!ok)
            return false;
    }
    const int step = numbers[1] - numbers[0];
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        if (step <= 0 || numbers[i] - numbers[i - 1] != step)
            return false;
    }
    *range = {numbers.front(), numbers.back(), step};
    return true;
}

bool ParseScaled(const QByteArray& text, int decimals, long long* scaled) {
    bool ok = false;
    const double parsed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > 1e6)
        return false;
    const double value = parsed * std::pow(10.0, decimals);
    const double rounded = std::round(value);
    if (std::fabs(value - rounded) > 1e-6)
        return false;
    *scaled = static_cast<long long>(rounded);
    return true;
}

bool TakenAsItStands(const QByteArray& key, const QByteArray& value) {
    const KeyRule* rule = FindKeyRule(key);
    if (rule == nullptr)
        return true;
    const QByteArray trimmed = TrimmedBytes(value);
    long long number = 0;
    switch (rule->kind) {
        case KeyKind::Choice:
            return FindStoredValue(rule->choices, trimmed) >= 0;
        case KeyKind::Number:
            return ParseScaled(trimmed, rule->decimals, &number) && number >= rule->minimum &&
                   number <= rule->maximum && (number - rule->minimum) % rule->step == 0;
        case KeyKind::Text:
            return trimmed.size() <= rule->maxLength;
        case KeyKind::Record:
            return trimmed.size() == kPresetRecordLength &&
                   std::all_of(trimmed.cbegin(), trimmed.cend(), [](char c) {
                       return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                   });
        case KeyKind::Status:
            break;
    }
    return false;
}
