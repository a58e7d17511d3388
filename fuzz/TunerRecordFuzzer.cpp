// A tuner preset record as the receiver or a settings file hands it over: any
// bytes. The readers must never fail, and what they read must compose back
// into a well-formed record that reads the same again.

#include "PresetRecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what, const QByteArray& record) {
    if (!condition) {
        fprintf(stderr, "fuzz_tuner_record: %s for \"%s\"\n", what, record.constData());
        std::abort();
    }
}

bool IsHexRecord(const QByteArray& record) {
    if (record.size() != PresetRecord::kLength)
        return false;
    for (char c : record) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

const char* const kBandTexts[] = {"AM", "FM", "DAB", "XM"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray record(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const int band = PresetRecord::BandOf(record);
    Check(band == PresetRecord::kUnreadableBand || (band >= 0 && band <= 255), "band out of range",
          record);
    for (int amStep : {9, 10}) {
        const QByteArray channel = PresetRecord::ChannelText(record, band, amStep);
        const QByteArray mute = PresetRecord::MuteText(record);
        const QByteArray name = PresetRecord::NameText(record, band);
        Check(
            mute.isEmpty() || mute == "Yes" || mute == "No" || mute == PresetRecord::kInvalidPreset,
            "unexpected mute text", record);
        if (band < 0 || band > PresetRecord::kXm || !PresetRecord::IsListed(band))
            continue;

        // What the editor would send back after showing this preset.
        const QByteArray bandText = kBandTexts[band];
        const QByteArray composed =
            PresetRecord::Compose(bandText, channel, mute == "Yes", name, amStep);
        Check(IsHexRecord(composed), "composed record is not 48 hexadecimal characters", composed);
        Check(PresetRecord::BandOf(composed) == band, "composed record changed band", composed);

        // Once composed, reading and composing again is stable.
        const QByteArray channel2 = PresetRecord::ChannelText(composed, band, amStep);
        const QByteArray name2 = PresetRecord::NameText(composed, band);
        const QByteArray again = PresetRecord::Compose(
            bandText, channel2, PresetRecord::MuteText(composed) == "Yes", name2, amStep);
        Check(again == composed, "record not stable after one round trip", composed);
    }
    return 0;
}
