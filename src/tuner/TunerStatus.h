#pragma once

#include <QByteArray>

#include <optional>

// What the Tuner page shows of the tuner status lines the receiver sends:
// the band, the frequency or satellite channel, the RDS or XM texts and the
// current preset. OnTunerStatus takes one whole line ("Tuner.FM.Frequency=87.50")
// and answers with what the page has to change; a display text is handed out
// only when it differs from what the display last showed.
enum class TunerBand { None, Am, Fm, Xm, Dab };

struct TunerStatusUpdate {
    // The band button to check: Am, Fm, or Xm for the "DAB/XM" button.
    std::optional<TunerBand> bandButton;
    std::optional<bool> fmMuteChecked;
    // A numbered preset line arrived: the preset editor reloads its list.
    bool presetRecordChanged = false;
    std::optional<QByteArray> channelDisplay;
    std::optional<QByteArray> information;  // lines joined with "\r\n"
    std::optional<QByteArray> presetDisplay;
};

class TunerStatus {
public:
    TunerStatusUpdate OnTunerStatus(const QByteArray& line);

    TunerBand Band() const { return m_band; }
    const QByteArray& ShownChannel() const { return m_shownChannel; }
    const QByteArray& ShownInformation() const { return m_shownInformation; }
    const QByteArray& ShownPreset() const { return m_shownPreset; }

private:
    void Recognise(const QByteArray& line, const std::optional<QByteArray>& value,
                   TunerStatusUpdate& update);
    void ApplyBand(const QByteArray& line, TunerStatusUpdate& update);
    void FollowBand(const QByteArray& line, const std::optional<QByteArray>& value);
    void SetInformation(const QByteArray& first, const QByteArray& second);

    TunerBand m_band = TunerBand::None;
    QByteArray m_fmFrequency;
    QByteArray m_amFrequency;
    QByteArray m_xmChannel;
    QByteArray m_xmChannelName;
    QByteArray m_currentPreset;
    QByteArray m_rdsName;
    QByteArray m_rdsText;
    QByteArray m_xmName;
    QByteArray m_xmTitle;
    QByteArray m_channel;
    QByteArray m_information;

    QByteArray m_shownChannel;
    QByteArray m_shownInformation;
    QByteArray m_shownPreset;
};
