#include "TunerPage.h"

#include "PresetEditor.h"
#include "StepSpinBox.h"
#include "Windows1252.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char* const kTuneDown = "Main.IR=211";
const char* const kTuneUp = "Main.IR=212";
const char* const kPresetUp = "Tuner.Preset+";
const char* const kPresetDown = "Tuner.Preset-";
const char* const kFmMuteToggle = "Tuner.FM.Mute+";

struct BandButtonRow {
    const char* caption;
    TunerBand band;
    const char* command;
};

// "DAB/XM" always asks for XM; which digital band the receiver picks is its
// own affair, and the button shows whichever it reports.
constexpr BandButtonRow kBandButtons[] = {
    {"&AM", TunerBand::Am, "Tuner.Band=AM"},
    {"F&M", TunerBand::Fm, "Tuner.Band=FM"},
    {"&DAB/XM", TunerBand::Xm, "Tuner.Band=XM"},
};

// The information box shows the receiver's "\r\n" as line breaks.
QString InformationText(const QByteArray& text) {
    QByteArray lines = text;
    lines.replace("\r\n", "\n");
    return FromWindows1252(lines);
}

}  // namespace

TunerPage::TunerPage(QWidget* parent) : QWidget(parent) {
    BuildLayout();
    m_editor = new PresetEditor(this);
    m_editor->hide();
}

void TunerPage::SetHooks(const TunerHooks& hooks) {
    m_hooks = hooks;
    m_editor->SetHooks(hooks);
}

void TunerPage::BuildLayout() {
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    columns->addLayout(left);

    auto* bandBox = new QGroupBox(QStringLiteral("Band"), this);
    auto* bandLayout = new QVBoxLayout(bandBox);
    m_bands = new QButtonGroup(this);
    m_bands->setExclusive(true);
    for (const BandButtonRow& row : kBandButtons) {
        auto* button = new QRadioButton(QString::fromLatin1(row.caption), bandBox);
        m_bands->addButton(button, static_cast<int>(row.band));
        bandLayout->addWidget(button);
        connect(button, &QRadioButton::clicked, this,
                [this, command = row.command] { SendCommand(command); });
    }
    m_am = BandButton(TunerBand::Am);
    m_fm = BandButton(TunerBand::Fm);
    m_digital = BandButton(TunerBand::Xm);
    m_fmMute = new QCheckBox(QStringLiteral("FM M&ute/Mode"), bandBox);
    bandLayout->addWidget(m_fmMute);
    connect(m_fmMute, &QCheckBox::clicked, this, [this] { SendCommand(kFmMuteToggle); });
    left->addWidget(bandBox);

    auto* channelBox = new QGroupBox(QStringLiteral("Channel"), this);
    auto* channelLayout = new QHBoxLayout(channelBox);
    m_channel = new StepSpinBox(channelBox);
    m_channel->setAccessibleName(QStringLiteral("Channel"));
    m_channel->setMinimumWidth(m_channel->fontMetrics().horizontalAdvance("XM 255 - WWWWWWWW"));
    m_tuneDown = new QPushButton(QStringLiteral("<"), channelBox);
    m_tuneDown->setAccessibleName(QStringLiteral("Tune down"));
    m_tuneUp = new QPushButton(QStringLiteral(">"), channelBox);
    m_tuneUp->setAccessibleName(QStringLiteral("Tune up"));
    channelLayout->addWidget(m_tuneDown);
    channelLayout->addWidget(m_channel, 1);
    channelLayout->addWidget(m_tuneUp);
    // The arrows tune by remote-control code; the upper one tunes up (">").
    connect(m_channel, &StepSpinBox::Stepped, this,
            [this](int steps) { SendCommand(steps > 0 ? kTuneUp : kTuneDown); });
    connect(m_tuneDown, &QPushButton::clicked, this, [this] { SendCommand(kTuneDown); });
    connect(m_tuneUp, &QPushButton::clicked, this, [this] { SendCommand(kTuneUp); });
    left->addWidget(channelBox);

    auto* presetBox = new QGroupBox(QStringLiteral("Presets"), this);
    auto* presetLayout = new QHBoxLayout(presetBox);
    m_preset = new StepSpinBox(presetBox);
    m_preset->setAccessibleName(QStringLiteral("Preset"));
    m_preset->setMinimumWidth(m_preset->fontMetrics().horizontalAdvance("0000") + 40);
    m_editPresets = new QPushButton(QStringLiteral("&Edit Presets"), presetBox);
    presetLayout->addWidget(m_preset);
    presetLayout->addWidget(m_editPresets);
    presetLayout->addStretch();
    connect(m_preset, &StepSpinBox::Stepped, this,
            [this](int steps) { SendCommand(steps > 0 ? kPresetUp : kPresetDown); });
    connect(m_editPresets, &QPushButton::clicked, this, [this] {
        m_editor->show();
        m_editor->raise();
        m_editor->activateWindow();
    });
    left->addWidget(presetBox);
    left->addStretch();

    auto* infoBox = new QGroupBox(QStringLiteral("Tuner"), this);
    auto* infoLayout = new QVBoxLayout(infoBox);
    m_information = new QPlainTextEdit(infoBox);
    m_information->setReadOnly(true);
    m_information->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    m_information->setAccessibleName(QStringLiteral("Tuner information"));
    m_information->setTabChangesFocus(true);
    m_information->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_information->setMinimumWidth(
        m_information->fontMetrics().horizontalAdvance(QString(36, 'x')));
    infoLayout->addWidget(m_information);
    columns->addWidget(infoBox, 1);

    m_switchedControls = {m_am,       m_fm,     m_digital, m_fmMute,      m_channel,
                          m_tuneDown, m_tuneUp, m_preset,  m_editPresets, m_information};
}

QRadioButton* TunerPage::BandButton(TunerBand band) const {
    return qobject_cast<QRadioButton*>(m_bands->button(static_cast<int>(band)));
}

void TunerPage::SendCommand(const char* command) const {
    if (m_hooks.send)
        m_hooks.send(QByteArray(command));
}

void TunerPage::SetControlsEnabled(bool enabled) {
    for (QWidget* control : m_switchedControls)
        control->setEnabled(enabled);
}

void TunerPage::OnTunerStatus(const QByteArray& line) {
    const TunerStatusUpdate update = m_status.OnTunerStatus(line);
    if (update.bandButton) {
        if (QRadioButton* button = BandButton(*update.bandButton))
            button->setChecked(true);
    }
    if (update.fmMuteChecked)
        m_fmMute->setChecked(*update.fmMuteChecked);
    if (update.presetRecordChanged)
        m_editor->ReloadFromStore();
    if (update.channelDisplay)
        m_channel->SetText(FromWindows1252(*update.channelDisplay));
    if (update.information)
        m_information->setPlainText(InformationText(*update.information));
    if (update.presetDisplay)
        m_preset->SetText(FromWindows1252(*update.presetDisplay));
}
