#include "TunerStatus.h"

namespace {

enum class LineKind {
    FmFrequency,
    AmFrequency,
    XmChannel,
    XmChannelName,
    CurrentPreset,
    PresetRecord,
    Band,
    FmMute,
};

struct Recogniser {
    const char* prefix;
    LineKind kind;
};

// Tested on the line's first characters, in this order; the first match wins,
// so "Tuner.Preset=" (the current preset) stands before "Tuner.Preset" (a
// stored record such as Tuner.Preset12).
constexpr Recogniser kRecognisers[] = {
    {"Tuner.FM.Frequency", LineKind::FmFrequency},
    {"Tuner.AM.Frequency", LineKind::AmFrequency},
    {"Tuner.XM.Channel=", LineKind::XmChannel},
    {"Tuner.XM.ChannelName", LineKind::XmChannelName},
    {"Tuner.Preset=", LineKind::CurrentPreset},
    {"Tuner.Preset", LineKind::PresetRecord},
    {"Tuner.Band", LineKind::Band},
    {"Tuner.FM.Mute", LineKind::FmMute},
};

struct BandEnding {
    const char* ending;
    TunerBand band;
    TunerBand button;
};

// A band line is read by its last characters.
constexpr BandEnding kBandEndings[] = {
    {"FM", TunerBand::Fm, TunerBand::Fm},
    {"AM", TunerBand::Am, TunerBand::Am},
    {"XM", TunerBand::Xm, TunerBand::Xm},
    {"DAB", TunerBand::Dab, TunerBand::Xm},
};

// The text after the first "=", when that "=" is not the line's first character.
std::optional<QByteArray> ValueOf(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 1)
        return std::nullopt;
    return line.mid(equals + 1);
}

void Assign(QByteArray& field, const std::optional<QByteArray>& value) {
    if (value)
        field = *value;
}

// Hands the text out when the display last showed something else.
std::optional<QByteArray> Changed(const QByteArray& text, QByteArray& shown) {
    if (text == shown)
        return std::nullopt;
    shown = text;
    return text;
}

}  // namespace

TunerStatusUpdate TunerStatus::OnTunerStatus(const QByteArray& line) {
    TunerStatusUpdate update;
    const std::optional<QByteArray> value = ValueOf(line);
    Recognise(line, value, update);
    FollowBand(line, value);
    update.channelDisplay = Changed(m_channel, m_shownChannel);
    update.information = Changed(m_information, m_shownInformation);
    update.presetDisplay = Changed(m_currentPreset, m_shownPreset);
    return update;
}

void TunerStatus::Recognise(const QByteArray& line, const std::optional<QByteArray>& value,
                            TunerStatusUpdate& update) {
    for (const Recogniser& recogniser : kRecognisers) {
        if (!line.startsWith(recogniser.prefix))
            continue;
        switch (recogniser.kind) {
            case LineKind::FmFrequency:
                Assign(m_fmFrequency, value);
                break;
            case LineKind::AmFrequency:
                Assign(m_amFrequency, value);
                break;
            case LineKind::XmChannel:
                Assign(m_xmChannel, value);
                break;
            case LineKind::XmChannelName:
                Assign(m_xmChannelName, value);
                break;
            case LineKind::CurrentPreset:
                Assign(m_currentPreset, value);
                break;
            case LineKind::PresetRecord:
                update.presetRecordChanged = true;
                break;
            case LineKind::Band:
                ApplyBand(line, update);
                break;
            case LineKind::FmMute:
                update.fmMuteChecked = line.endsWith("On");
                break;
        }
        return;
    }
}

void TunerStatus::ApplyBand(const QByteArray& line, TunerStatusUpdate& update) {
    for (const BandEnding& ending : kBandEndings) {
        if (line.endsWith(ending.ending)) {
            m_band = ending.band;
            update.bandButton = ending.button;
            return;
        }
    }
}

void TunerStatus::FollowBand(const QByteArray& line, const std::optional<QByteArray>& value) {
    switch (m_band) {
        case TunerBand::Xm:
            if (line.startsWith("Tuner.XM.Name") && value) {
                m_xmName = "Name:\t" + *value;
                SetInformation(m_xmName, m_xmTitle);
            } else if (line.startsWith("Tuner.XM.Title") && value) {
                m_xmTitle = "Title:\t" + *value;
                SetInformation(m_xmName, m_xmTitle);
            }
            m_channel = "XM " + m_xmChannel + " - " + m_xmChannelName;
            break;
        case TunerBand::Dab:
            m_channel.clear();
            break;
        case TunerBand::Fm:
            if (line.startsWith("Tuner.FM.RDSText") && value) {
                m_rdsText = "RDS Text:\t" + *value;
                SetInformation(m_rdsName, m_rdsText);
            } else if (line.startsWith("Tuner.FM.RDSName") && value) {
                m_rdsName = "RDS Name:\t" + *value;
                SetInformation(m_rdsName, m_rdsText);
            }
            m_channel = m_fmFrequency + " MHz";
            break;
        case TunerBand::Am:
            m_channel = m_amFrequency + " KHz";
            break;
        case TunerBand::None:
            break;
    }
}

void TunerStatus::SetInformation(const QByteArray& first, const QByteArray& second) {
    m_information = first + "\r\n" + second;
}
