#pragma once

#include "TunerHooks.h"
#include "TunerStatus.h"

#include <QWidget>

#include <vector>

class PresetEditor;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class StepSpinBox;

// The "Tuner" tab: works the receiver's tuner with one fixed command per
// button or arrow, and shows what the receiver reports (band, frequency or
// satellite channel, RDS or XM texts, current preset). It owns the preset
// editor. Its displays hold no stored settings: only tuner status lines feed
// them.
class TunerPage : public QWidget {
    Q_OBJECT

public:
    explicit TunerPage(QWidget* parent = nullptr);

    // Also given to the preset editor.
    void SetHooks(const TunerHooks& hooks);

    // One whole tuner status line ("Tuner.FM.Frequency=87.50").
    void OnTunerStatus(const QByteArray& line);
    // The main source is the tuner (10) or not.
    void EnableControls() { SetControlsEnabled(true); }
    void DisableControls() { SetControlsEnabled(false); }

    PresetEditor* Editor() const { return m_editor; }
    QRadioButton* BandButton(TunerBand band) const;
    QCheckBox* FmMuteBox() const { return m_fmMute; }
    StepSpinBox* ChannelDisplay() const { return m_channel; }
    StepSpinBox* PresetDisplay() const { return m_preset; }
    QPlainTextEdit* InformationBox() const { return m_information; }
    QPushButton* TuneDownButton() const { return m_tuneDown; }
    QPushButton* TuneUpButton() const { return m_tuneUp; }
    QPushButton* EditPresetsButton() const { return m_editPresets; }
    const TunerStatus& Status() const { return m_status; }

private:
    void BuildLayout();
    void SetControlsEnabled(bool enabled);
    void SendCommand(const char* command) const;

    TunerHooks m_hooks;
    TunerStatus m_status;
    PresetEditor* m_editor = nullptr;
    QButtonGroup* m_bands = nullptr;
    QRadioButton* m_am = nullptr;
    QRadioButton* m_fm = nullptr;
    QRadioButton* m_digital = nullptr;
    QCheckBox* m_fmMute = nullptr;
    QPlainTextEdit* m_information = nullptr;
    StepSpinBox* m_channel = nullptr;
    QPushButton* m_tuneDown = nullptr;
    QPushButton* m_tuneUp = nullptr;
    StepSpinBox* m_preset = nullptr;
    QPushButton* m_editPresets = nullptr;
    std::vector<QWidget*> m_switchedControls;
};
