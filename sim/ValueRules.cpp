#include "ValueRules.h"

#include "ReceiverShape.h"

#include <QList>

#include <array>
#include <cmath>

namespace {

using K = ValueKind;

constexpr const char* kOnOff = "On|Off";
constexpr const char* kYesNo = "Yes|No";
constexpr const char* kAnalogModes =
    "None|Prologic|PLIIxMovie|PLIIxMusic|NEO6Cinema|NEO6Music|EARS|EnhancedStereo|AnalogBypass";
constexpr const char* kDigitalModes =
    "None|Prologic|PLIIxMovie|PLIIxMusic|NEO6Cinema|NEO6Music|EARS|EnhancedStereo";
constexpr const char* kTriggerTargets = "Main|Zone2|Zone3|Zone4|Zone234|Source";

// First match wins, so specific rows stand ahead of the wildcards that would
// also cover them (Distance.UOM before Distance.*).
constexpr std::array kValueRules = {
    ValueRule{"Main.Model", K::ReadOnly, nullptr, 0, 0, 0, 0},
    ValueRule{"*.Power", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.Mute", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"Main.SpeakerA", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"Main.SpeakerB", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.ToneDefeat", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.Dolby.Panorama", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.EnhancedStereo.*", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.Speaker.Sub", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.EnhancedBass", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"*.OSD.TempDisplay", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"Tuner.FM.Mute", K::Choice, kOnOff, 0, 0, 0, 0},
    ValueRule{"Source.Enabled", K::Choice, kYesNo, 0, 0, 0, 0},
    ValueRule{"Preset.Setup.*", K::Choice, kYesNo, 0, 0, 0, 0},
    ValueRule{"*.Audyssey", K::Choice, "Off|Audyssey|Main|Flat", 0, 0, 0, 0},
    ValueRule{"*.Speaker.Front.Config", K::Choice, "Large|Small", 0, 0, 0, 0},
    ValueRule{"*.Speaker.Back.Config2", K::Choice, "Large|Small", 0, 0, 0, 0},
    ValueRule{"*.Speaker.Center.Config", K::Choice, "Off|Large|Small", 0, 0, 0, 0},
    ValueRule{"*.Speaker.Surround.Config", K::Choice, "Off|Large|Small", 0, 0, 0, 0},
    ValueRule{"*.Speaker.Back.Config1", K::Choice, "0|1|2", 0, 0, 0, 0},
    ValueRule{"Preset.Speaker.Back2", K::Choice, "0|1|2", 0, 0, 0, 0},
    ValueRule{"*.Speaker.*.Frequency", K::Number, nullptr, 40, 200, 10, 0},
    ValueRule{"Preset.Speaker.*", K::Speaker, "Off|Large|Small", 40, 200, 10, 0},
    ValueRule{"*.ListeningMode", K::Choice, kAnalogModes, 0, 0, 0, 0},
    ValueRule{"*.ListeningMode.Analog", K::Choice, kAnalogModes, 0, 0, 0, 0},
    ValueRule{"*.ListeningMode.Digital", K::Choice, kDigitalModes, 0, 0, 0, 0},
    ValueRule{"*.ListeningMode.DolbyDigital", K::Choice,
              "None|SurroundEX|PLIIxMovie|PLIIxMusic|StereoDownmix", 0, 0, 0, 0},
    ValueRule{"*.ListeningMode.DolbyDigital2ch", K::Choice, "None|Prologic|PLIIxMovie|PLIIxMusic",
              0, 0, 0, 0},
    ValueRule{"*.ListeningMode.DTS", K::Choice, "None|NEO6Music|StereoDownmix", 0, 0, 0, 0},
    ValueRule{"*.Dolby.DRC", K::Choice, "100|75|50|25", 0, 0, 0, 0},
    ValueRule{"*.DTS.DRC", K::Choice, "100|75|50|25", 0, 0, 0, 0},
    ValueRule{"*.Dolby.CenterWidth", K::Number, nullptr, 0, 7, 1, 0},
    ValueRule{"*.Dolby.Dimension", K::Number, nullptr, -7, 7, 1, 0},
    ValueRule{"*.DTS.CenterGain", K::Number, nullptr, 0, 10, 1, 1},
    ValueRule{"*.Bass", K::Number, nullptr, -10, 10, 2, 0},
    ValueRule{"*.Treble", K::Number, nullptr, -10, 10, 2, 0},
    ValueRule{"*.CenterDialog", K::Number, nullptr, -10, 10, 2, 0},
    ValueRule{"*.Dimmer", K::Choice, "Off|On", 0, 0, 0, 0},
    ValueRule{"*.VFD.Display", K::Choice, "On|Temp", 0, 0, 0, 0},
    ValueRule{"*.VFD.Line*", K::Choice,
              "Off|MainSource|Volume|ListeningMode|AudioSourceFormat|Zone2Source|Zone3Source|"
              "Zone4Source",
              0, 0, 0, 0},
    ValueRule{"*.VFD.TempLine", K::Number, nullptr, 0, 9, 1, 0},
    ValueRule{"Main.Trigger*.Out", K::Choice, kTriggerTargets, 0, 0, 0, 0},
    ValueRule{"Main.Trigger*.Delay", K::Number, nullptr, 0, 15, 1, 0},
    ValueRule{"Main.AutoTrigger", K::Choice, kTriggerTargets, 0, 0, 0, 0},
    ValueRule{"Source.TriggerOut", K::Number, nullptr, 0, 7, 1, 0},
    ValueRule{"Source.Preset", K::Number, nullptr, 0, kAvPresetCount, 1, 0},
    ValueRule{"Source.AnalogAudioFormat", K::Choice, "Stereo|7.1|Off", 0, 0, 0, 0},
    ValueRule{"Source.DigitalAudioFormat", K::Choice, "HDMI|Optical|Coaxial|Off", 0, 0, 0, 0},
    ValueRule{"Source.VideoFormat", K::Choice, "HDMI|Component|SVideo|Video|Off", 0, 0, 0, 0},
    // Inputs travel as digits or as the input's own name ("HDMI 1", "7.1").
    ValueRule{"Source.*Input", K::Text, nullptr, 0, 16, 0, 0},
    ValueRule{"Source.AnalogGain", K::Number, nullptr, -12, 12, 1, 0},
    ValueRule{"Main.Amp.Back", K::Choice, "Zone2|Zone3|Zone4|Front|Back", 0, 0, 0, 0},
    ValueRule{"Zone.VolumeControl", K::Choice, "Variable|Fixed", 0, 0, 0, 0},
    ValueRule{"Zone.VolumeFixed", K::Number, nullptr, -72, 16, 1, 0},
    ValueRule{"Zone.Mode", K::Choice, "Zone|Record", 0, 0, 0, 0},
    ValueRule{"*.Volume", K::Number, nullptr, -72, 16, 1, 0},
    ValueRule{"*.Level.*", K::Number, nullptr, -12, 12, 1, 0},
    ValueRule{"Main.Trim.*", K::Number, nullptr, -12, 12, 1, 0},
    ValueRule{"*.Distance.UOM", K::Choice, "Feet|Meters", 0, 0, 0, 0},
    ValueRule{"*.Distance.*", K::Number, nullptr, 0, 30, 1, 0},
    ValueRule{"*.LipSyncDelay", K::Number, nullptr, 0, 120, 1, 0},
    ValueRule{"Main.Sleep", K::Number, nullptr, 0, 90, 10, 0},
    ValueRule{"Main.IR.Channel", K::Number, nullptr, 0, 15, 1, 0},
    ValueRule{"Main.VideoMode", K::Choice, "NTSC|PAL", 0, 0, 0, 0},
    ValueRule{"*.Source", K::Number, nullptr, 1, kSourceCount, 1, 0},
    ValueRule{"*.Name", K::Text, nullptr, 0, 20, 0, 0},
    ValueRule{"Tuner.DigitalMode", K::Choice, "XM|DAB", 0, 0, 0, 0},
    ValueRule{"Tuner.AMStep", K::Choice, "9|10", 0, 0, 0, 0},
    ValueRule{"Tuner.Band", K::Choice, "AM|FM|XM", 0, 0, 0, 0},
    ValueRule{"Tuner.Preset", K::Number, nullptr, 1, 40, 1, 0},
    ValueRule{"Tuner.Preset*", K::Record, nullptr, 0, 0, 0, 0},
    ValueRule{"Tuner.FM.Frequency", K::Number, nullptr, 8750, 10850, 5, 2},
    ValueRule{"Tuner.AM.Frequency", K::Number, nullptr, 530, 1710, 1, 0},
    ValueRule{"Tuner.XM.Channel", K::Number, nullptr, 0, 255, 1, 0},
    ValueRule{"Tuner.*", K::ReadOnly, nullptr, 0, 0, 0, 0},
};

constexpr ValueRule kFreeText{"*", K::Text, nullptr, 0, 64, 0, 0};

bool GlobMatches(const char* pattern, const char* text) {
    while (*pattern != '\0') {
        if (*pattern == '*') {
            for (const char* rest = text;; ++rest) {
                if (GlobMatches(pattern + 1, rest))
                    return true;
                if (*rest == '\0')
                    return false;
            }
        }
        const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
        if (*text == '\0' || fold(*pattern) != fold(*text))
            return false;
        ++pattern;
        ++text;
    }
    return *text == '\0';
}

// "Source3.Preset" -> "Source.Preset": the rules describe a parameter once for
// every numbered copy of its section.
QByteArray WithoutSectionNumber(const QByteArray& key) {
    const qsizetype dot = key.indexOf('.');
    if (dot < 0)
        return key;
    qsizetype end = dot;
    while (end > 0 && key[end - 1] >= '0' && key[end - 1] <= '9')
        --end;
    return key.left(end) + key.mid(dot);
}

QList<QByteArray> ChoicesOf(const ValueRule& rule) {
    return QByteArray(rule.choices ? rule.choices : "").split('|');
}

std::optional<QByteArray> MatchChoice(const ValueRule& rule, const QByteArray& requested) {
    const QByteArray wanted = requested.trimmed().toUpper();
    for (const QByteArray& choice : ChoicesOf(rule)) {
        if (choice.toUpper() == wanted)
            return choice;
    }
    return std::nullopt;
}

long long ClampToStep(const ValueRule& rule, long long scaled) {
    if (scaled < rule.minimum)
        return rule.minimum;
    if (scaled > rule.maximum)
        return rule.maximum;
    const long long step = rule.step > 0 ? rule.step : 1;
    const long long offset = scaled - rule.minimum;
    long long snapped = rule.minimum + (offset + step / 2) / step * step;
    return snapped > rule.maximum ? snapped - step : snapped;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::optional<QByteArray> ConstrainSpeaker(const ValueRule& rule, const QByteArray& requested) {
    qsizetype split = 0;
    while (split < requested.size() && !(requested[split] >= '0' && requested[split] <= '9'))
        ++split;
    const std::optional<QByteArray> size = MatchChoice(rule, requested.left(split));
    if (!size)
        return std::nullopt;
    if (split == requested.size())
        return size;
    const std::optional<long long> frequency = ParseScaled(requested.mid(split), 0);
    if (!frequency)
        return std::nullopt;
    return *size + QByteArray::number(ClampToStep(rule, *frequency));
}

}  // namespace

const ValueRule& RuleFor(const QByteArray& key) {
    const QByteArray general = WithoutSectionNumber(key);
    for (const ValueRule& rule : kValueRules) {
        if (GlobMatches(rule.pattern, general.constData()))
            return rule;
    }
    return kFreeText;
}

std::optional<long long> ParseScaled(const QByteArray& text, int decimals) {
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 24)
        return std::nullopt;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    const double scaled = std::round(number * std::pow(10.0, decimals));
    if (std::fabs(scaled) > 1e15)
        return std::nullopt;
    return static_cast<long long>(scaled);
}

QByteArray FormatScaled(long long scaled, int decimals) {
    if (decimals <= 0)
        return QByteArray::number(scaled);
    long long unit = 1;
    for (int i = 0; i < decimals; ++i)
        unit *= 10;
    const QByteArray sign = scaled < 0 ? "-" : "";
    const long long magnitude = scaled < 0 ? -scaled : scaled;
    return sign + QByteArray::number(magnitude / unit) + '.' +
           QByteArray::number(magnitude % unit).rightJustified(decimals, '0');
}

std::optional<QByteArray> Constrain(const ValueRule& rule, const QByteArray& requested) {
    switch (rule.kind) {
        case ValueKind::Choice:
            return MatchChoice(rule, requested);
        case ValueKind::Number: {
            const std::optional<long long> scaled = ParseScaled(requested, rule.decimals);
            if (!scaled)
                return std::nullopt;
            return FormatScaled(ClampToStep(rule, *scaled), rule.decimals);
        }
        case ValueKind::Speaker:
            return ConstrainSpeaker(rule, requested.trimmed());
        case ValueKind::Record: {
            const QByteArray record = requested.trimmed();
            if (record.size() != 48)
                return std::nullopt;
            for (char c : record) {
                if (!IsHexDigit(c))
                    return std::nullopt;
            }
            return record;
        }
        case ValueKind::Text:
            for (char c : requested) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    return std::nullopt;
            }
            return requested.left(rule.maximum);
        case ValueKind::ReadOnly:
            return std::nullopt;
    }
    return std::nullopt;
}

QByteArray StepValue(const ValueRule& rule, const QByteArray& current, bool up) {
    if (rule.kind == ValueKind::Number) {
        const long long scaled = ParseScaled(current, rule.decimals).value_or(rule.minimum);
        const long long step = rule.step > 0 ? rule.step : 1;
        return FormatScaled(ClampToStep(rule, scaled + (up ? step : -step)), rule.decimals);
    }
    if (rule.kind == ValueKind::Choice) {
        const QList<QByteArray> choices = ChoicesOf(rule);
        qsizetype index = 0;
        for (qsizetype i = 0; i < choices.size(); ++i) {
            if (choices[i].toUpper() == current.toUpper())
                index = i;
        }
        const qsizetype count = choices.size();
        return choices[(index + (up ? 1 : count - 1)) % count];
    }
    return current;
}

std::optional<QByteArray> RandomValue(const ValueRule& rule, std::mt19937& random) {
    if (rule.kind == ValueKind::Choice) {
        const QList<QByteArray> choices = ChoicesOf(rule);
        std::uniform_int_distribution<qsizetype> pick(0, choices.size() - 1);
        return choices[pick(random)];
    }
    if (rule.kind == ValueKind::Number) {
        const int step = rule.step > 0 ? rule.step : 1;
        std::uniform_int_distribution<int> pick(0, (rule.maximum - rule.minimum) / step);
        return FormatScaled(rule.minimum + static_cast<long long>(pick(random)) * step,
                            rule.decimals);
    }
    return std::nullopt;
}
