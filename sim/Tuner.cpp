#include "Tuner.h"

#include "ReceiverState.h"
#include "ValueRules.h"

namespace Tuner {
namespace {

constexpr int kPresetCount = 40;

struct BandRow {
    const char* band;
    const char* channelKey;  // the status line that shows where the band is tuned
};

constexpr BandRow kBands[] = {
    {"AM", "Tuner.AM.Frequency"},
    {"FM", "Tuner.FM.Frequency"},
    {"XM", "Tuner.XM.Channel"},
};

const BandRow* BandOf(const QByteArray& band) {
    for (const BandRow& row : kBands) {
        if (band.toUpper() == row.band)
            return &row;
    }
    return nullptr;
}

QByteArray Line(const ReceiverState& state, const char* key) {
    return QByteArray(key) + '=' + state.Value(key);
}

int HexByte(const QByteArray& record, int index) {
    bool ok = false;
    const int value = record.mid(index * 2, 2).toInt(&ok, 16);
    return ok ? value : -1;
}

// The lines that show where the current band is tuned.
QList<QByteArray> ChannelLines(const ReceiverState& state) {
    const BandRow* row = BandOf(state.Value("Tuner.Band"));
    if (row == nullptr)
        return {};
    QList<QByteArray> lines{Line(state, row->channelKey)};
    if (QByteArray(row->band) == "XM")
        lines.append(Line(state, "Tuner.XM.ChannelName"));
    return lines;
}

}  // namespace

int AmStep(const ReceiverState& state) {
    return state.Value("Tuner.AMStep") == "9" ? 9 : 10;
}

std::optional<Station> DecodeRecord(const QByteArray& record, int amStep) {
    if (record.size() != 48)
        return std::nullopt;
    const int band = HexByte(record, 0);
    const int low = HexByte(record, 1);
    const int high = HexByte(record, 2);
    if (low < 0 || high < 0)
        return std::nullopt;
    const long long code = low + 256LL * high;
    if (band == 0)
        return Station{"AM", QByteArray::number(code * amStep - 450)};
    if (band == 1)
        return Station{"FM", FormatScaled(code * 5 - 1070, 2)};
    if (band == 3)
        return Station{"XM", QByteArray::number(low)};
    return std::nullopt;
}

QList<QByteArray> Tune(ReceiverState& state, bool up) {
    const QByteArray band = state.Value("Tuner.Band");
    const BandRow* row = BandOf(band);
    if (row == nullptr)
        return {};
    ValueRule rule = RuleFor(row->channelKey);
    if (band == "AM") {
        // With a 9 kHz raster the band runs 531..1602 kHz.
        const int step = AmStep(state);
        rule.step = step;
        rule.minimum = step == 9 ? 531 : 530;
        rule.maximum = step == 9 ? 1602 : 1710;
    }
    state.SetValue(row->channelKey, StepValue(rule, state.Value(row->channelKey), up));
    return {Line(state, row->channelKey)};
}

QList<QByteArray> SelectBand(ReceiverState& state, const QByteArray& band) {
    const BandRow* row = BandOf(band);
    if (row != nullptr)
        state.SetValue("Tuner.Band", row->band);
    QList<QByteArray> lines{Line(state, "Tuner.Band")};
    lines.append(ChannelLines(state));
    return lines;
}

QList<QByteArray> RecallPreset(ReceiverState& state, int number) {
    if (number < 1 || number > kPresetCount)
        return {Line(state, "Tuner.Preset")};
    state.SetValue("Tuner.Preset", QByteArray::number(number));
    QList<QByteArray> lines{Line(state, "Tuner.Preset")};
    const QByteArray key = "Tuner.Preset" + QByteArray::number(number);
    if (const std::optional<Station> station = DecodeRecord(state.Value(key), AmStep(state))) {
        const BandRow* row = BandOf(station->band);
        state.SetValue("Tuner.Band", station->band);
        state.SetValue(row->channelKey, station->channel);
        lines.append(Line(state, "Tuner.Band"));
        lines.append(ChannelLines(state));
    }
    return lines;
}

QList<QByteArray> StepPreset(ReceiverState& state, bool up) {
    const int current = state.Value("Tuner.Preset").toInt();
    for (int distance = 1; distance <= kPresetCount; ++distance) {
        const int offset = up ? distance : kPresetCount - distance;
        const int candidate =
            ((current - 1 + offset) % kPresetCount + kPresetCount) % kPresetCount + 1;
        const QByteArray key = "Tuner.Preset" + QByteArray::number(candidate);
        if (DecodeRecord(state.Value(key), AmStep(state)))
            return RecallPreset(state, candidate);
    }
    return {Line(state, "Tuner.Preset")};
}

}  // namespace Tuner
