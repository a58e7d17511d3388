#include "TunerSettings.h"

#include "ByteText.h"
#include "PresetRecord.h"
#include "PresetRules.h"
#include "Windows1252.h"

namespace {

struct TunerSetting {
    const char* parameter;
    const char* label;
    const char* unit;  // after the value, as the channel display writes it
};

// The page's controls and displays in their order; the station presets,
// listed by the preset editor, come after them.
constexpr TunerSetting kTunerSettings[] = {
    {"Band", "Band", ""},
    {"FM.Mute", "FM Mute/Mode", ""},
    {"FM.Frequency", "Channel (FM)", " MHz"},
    {"AM.Frequency", "Channel (AM)", " KHz"},
    {"XM.Channel", "Channel (XM)", ""},
    {"XM.ChannelName", "Channel name (XM)", ""},
    {"Preset", "Preset", ""},
    {"FM.RDSName", "RDS Name", ""},
    {"FM.RDSText", "RDS Text", ""},
    {"XM.Name", "Name (XM)", ""},
    {"XM.Title", "Title (XM)", ""},
    // The editor's channel arrows step AM by it; "DAB/XM" tunes the digital band it names.
    {"AMStep", "AM step", " kHz"},
    {"DigitalMode", "DAB/XM", ""},
};
constexpr int kSettingCount = static_cast<int>(std::size(kTunerSettings));
const QByteArray kSection = QByteArrayLiteral("TUNER.");

// A preset as the editor's list shows it: band, channel, FM mute and name.
QString PresetText(const QByteArray& record, const QByteArray& amStep) {
    using namespace PresetRecord;
    const int band = BandOf(record);
    if (!IsListed(band))
        return QStringLiteral("(empty)");
    QString text = QString::fromLatin1(PresetRules::kBandTexts[band]);
    const QByteArray channel = ChannelText(record, band, AmStepOf(amStep));
    if (!channel.isEmpty())
        text += ' ' + FromWindows1252(channel);
    if (band == kFm)
        text += QStringLiteral(", FM Mute ") + QString::fromLatin1(MuteText(record));
    const QByteArray name = NameText(record, band);
    if (!name.isEmpty())
        text += QStringLiteral(", ") + FromWindows1252(name);
    return text;
}

// "12" of "Preset12" when it is one of the 40 stations; 0 otherwise.
int StationNumber(const QByteArray& parameter) {
    if (!StartsWithIgnoringCase(parameter, "Preset"))
        return 0;
    bool ok = false;
    const int number = parameter.mid(6).toInt(&ok);
    return ok && number >= 1 && number <= PresetRecord::kPresetCount ? number : 0;
}

}  // namespace

namespace TunerSettings {

std::optional<Shown> Describe(const QByteArray& key) {
    if (!StartsWithIgnoringCase(key, kSection))
        return std::nullopt;
    const QByteArray parameter = key.mid(kSection.size());
    for (int i = 0; i < kSettingCount; ++i) {
        const TunerSetting& setting = kTunerSettings[i];
        if (EqualsIgnoringCase(parameter, setting.parameter)) {
            return Shown{QString::fromLatin1(setting.label), i,
                         [unit = setting.unit](const QByteArray& value, const QByteArray&) {
                             return FromWindows1252(value) + QString::fromLatin1(unit);
                         }};
        }
    }
    if (const int number = StationNumber(parameter)) {
        return Shown{QStringLiteral("Preset %1").arg(number), kSettingCount + number, PresetText};
    }
    return std::nullopt;
}

}  // namespace TunerSettings
