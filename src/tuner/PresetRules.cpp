#include "PresetRules.h"

#include "LeadingNumber.h"
#include "PresetRecord.h"

#include <cstdio>

namespace PresetRules {
namespace {

constexpr float kFmLowest = 87.5f;
constexpr float kFmHighest = 108.5f;
constexpr float kFmStep = 0.05f;
const QByteArray kFmReset = QByteArrayLiteral("87.50 MHz");

// The channel arrows' table: step and limits per band, and the shown form.
struct ChannelRange {
    const char* band;
    int amStep;  // 0: any
    float step;
    float lowest;
    float highest;
    const char* format;
};

constexpr ChannelRange kChannelRanges[] = {
    {"FM", 0, kFmStep, kFmLowest, kFmHighest, "%.2f MHz"},
    {"AM", 9, 9.0f, 531.0f, 1602.0f, "%.0f kHz"},
    {"AM", 10, 10.0f, 530.0f, 1710.0f, "%.0f kHz"},
    {"XM", 0, 1.0f, 0.0f, 255.0f, "%.0f"},
};

const ChannelRange* RangeFor(const QByteArray& bandText, int amStep) {
    for (const ChannelRange& range : kChannelRanges) {
        if (bandText == range.band && (range.amStep == 0 || range.amStep == amStep))
            return &range;
    }
    return nullptr;
}

bool IntegerWithin(const QByteArray& channel, int lowest, int highest) {
    const std::optional<int> value = LeadingInteger(channel);
    return value && *value >= lowest && *value <= highest;
}

QByteArray Shown(const char* format, float value) {
    char text[48];
    std::snprintf(text, sizeof text, format, static_cast<double>(value));
    return QByteArray(text);
}

// A value the store does not hold (its "error") has no band byte; it travels
// as an empty preset rather than as that word.
QByteArray Sendable(const QByteArray& value) {
    return PresetRecord::BandOf(value) == PresetRecord::kUnreadableBand ? PresetRecord::kEmpty
                                                                        : value;
}

}  // namespace

int BandPosition(const QByteArray& bandText) {
    for (int i = 0; i < kBandCount; ++i) {
        if (bandText == kBandTexts[i])
            return i;
    }
    return -1;
}

BandRules ApplyBandRules(int bandPosition, const QByteArray& channel, int amStep) {
    BandRules rules;
    rules.channel = channel;
    rules.nameEnabled = bandPosition == kAmPosition || bandPosition == kFmPosition;
    rules.muteEnabled = bandPosition == kFmPosition;
    rules.channelEnabled = bandPosition != kDabPosition;
    // Without a band there is nothing to compose: the record would read as AM.
    rules.addEnabled =
        bandPosition == kAmPosition || bandPosition == kFmPosition || bandPosition == kXmPosition;
    if (bandPosition == kFmPosition) {
        // A station of another band carries no FM name to keep.
        rules.clearName = true;
        const std::optional<float> megahertz = LeadingFloat(channel);
        if (!megahertz || *megahertz < kFmLowest || *megahertz > kFmHighest)
            rules.channel = kFmReset;
    } else if (bandPosition == kXmPosition) {
        if (!IntegerWithin(channel, 0, 255))
            rules.channel = "0";
    } else if (bandPosition == kAmPosition) {
        const ChannelRange* range = RangeFor("AM", amStep == 9 ? 9 : 10);
        const int lowest = static_cast<int>(range->lowest);
        if (!IntegerWithin(channel, lowest, static_cast<int>(range->highest)))
            rules.channel = QByteArray::number(lowest) + " kHz";
    }
    return rules;
}

QByteArray StepChannel(const QByteArray& bandText, const QByteArray& channel, bool up, int amStep) {
    const ChannelRange* range = RangeFor(bandText, amStep == 9 ? 9 : 10);
    if (range == nullptr)
        return UpToFirstBlank(channel);
    float value = LeadingFloat(channel).value_or(0.0f);
    if (up && value < range->highest)
        value += range->step;
    else if (!up && value > range->lowest)
        value -= range->step;
    return Shown(range->format, value);
}

int AmStepFrom(const ValueReader& getValue) {
    return PresetRecord::AmStepOf(getValue("Tuner.AMStep"));
}

std::vector<PresetRow> ListPresets(const ValueReader& getValue, int amStep) {
    using namespace PresetRecord;
    std::vector<PresetRow> rows;
    for (int n = 1; n <= kPresetCount; ++n) {
        const QByteArray record = getValue(PresetKey(n));
        const int band = BandOf(record);
        if (!IsListed(band))
            continue;
        PresetRow row;
        row.number = n;
        row.band = kBandTexts[band];
        row.channel = ChannelText(record, band, amStep);
        row.name = NameText(record, band);
        if (band == kFm)
            row.mute = MuteText(record);
        rows.push_back(row);
    }
    return rows;
}

std::optional<PresetMove> MovePreset(int number, bool up, const ValueReader& getValue) {
    using namespace PresetRecord;
    const int neighbour = up ? number - 1 : number + 1;
    if (number < 1 || number > kPresetCount || neighbour < 1 || neighbour > kPresetCount)
        return std::nullopt;
    const QByteArray moving = Sendable(getValue(PresetKey(number)));
    const QByteArray other = Sendable(getValue(PresetKey(neighbour)));
    PresetMove move;
    move.commands = {SetCommand(number, other), SetCommand(neighbour, moving)};
    // The same test as the list's: a neighbour without a row leaves the moved
    // preset in its row.
    if (IsListed(BandOf(other)))
        move.selectedRowChange = up ? -1 : 1;
    return move;
}

}  // namespace PresetRules
