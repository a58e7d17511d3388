#include "ControlPage.h"

#include "ByteText.h"
#include "SettingRanges.h"
#include "StepButtons.h"
#include "Windows1252.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char* const kSourceCaptions[kSourceCount] = {
    "DVD",      "SATELLITE", "VCR",  "VIDEO 4",      "VIDEO 5",
    "FRONT AV", "CD",        "DISC", "EXTERNAL 7.1", "TUNER",
};

struct ComboField {
    ControlId id;
    const char* label;
};

constexpr ComboField kSwitchCombos[] = {
    {ControlId::Power, "Power"},
    {ControlId::Mute, "Mute"},
    {ControlId::SpeakerA, "SpeakerA"},
    {ControlId::SpeakerB, "SpeakerB"},
};

constexpr ComboField kToneCombos[] = {
    {ControlId::Bass, "Bass:"},
    {ControlId::Treble, "Treble:"},
    {ControlId::CenterDialog, "Dialog:"},
    {ControlId::ToneDefeat, "Tone Defeat"},
};

// Arrows that step a level on the receiver with a step command; the
// receiver reports the new level as a status line, which reaches the edit.
struct RawStepper {
    ControlId editId;
    ControlId spinId;
    const char* label;
    const char* key;
    const char* arrowsName;  // the arrows are "<name> up" and "<name> down"
};

constexpr RawStepper kVolumeStepper = {ControlId::Volume, ControlId::VolumeArrows,
                                       "Volume:", "Main.Volume", "Volume"};

constexpr RawStepper kTrimSteppers[] = {
    {ControlId::TrimCenter, ControlId::TrimCenterArrows, "Center:", "Main.Trim.Center",
     "Center trim"},
    {ControlId::TrimSurround, ControlId::TrimSurroundArrows, "Surround", "Main.Trim.Surround",
     "Surround trim"},
    {ControlId::TrimSub, ControlId::TrimSubArrows, "Sub", "Main.Trim.Sub", "Sub trim"},
};

constexpr int kVolumeMinimum = kVolumeRange.minimum;
constexpr int kVolumeMaximum = kVolumeRange.maximum;
constexpr ControlId kLipSyncEdit = ControlId::LipSyncDelay;
constexpr ControlId kLipSyncSpin = ControlId::LipSyncDelayArrows;
constexpr int kLipSyncMaximumMs = kLipSyncRange.maximum;
constexpr ControlId kSurroundModeCombo = ControlId::ListeningMode;
constexpr ControlId kAudysseyCombo = ControlId::Audyssey;

QLineEdit* NumberEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setMaximumWidth(60);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

// The label names its control for assistive technology.
QLabel* LabelFor(const char* text, QWidget* control, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setBuddy(control);
    return label;
}

// A radio button shows "&" as a mnemonic marker; source names show it as typed.
QString Caption(const QString& name) {
    QString caption = name;
    return caption.replace('&', QStringLiteral("&&"));
}

}  // namespace

ControlPage::ControlPage(QWidget* parent) : SettingPage(PageIndex::Control, parent) {
    BuildLayout();
}

void ControlPage::BuildLayout() {
    auto* columns = new QHBoxLayout(this);
    auto* left = new QGridLayout;
    columns->addLayout(left);
    int line = 0;
    auto addCombo = [&](const ComboField& field) {
        auto* combo = new QComboBox(this);
        combo->setMinimumContentsLength(10);
        RegisterCombo(field.id, combo);
        left->addWidget(LabelFor(field.label, combo, this), line, 0);
        left->addWidget(combo, line, 1, 1, 2);
        ++line;
    };
    for (const ComboField& field : kSwitchCombos)
        addCombo(field);
    for (const ComboField& field : kToneCombos)
        addCombo(field);

    auto* volume = NumberEdit(this);
    RegisterEdit(kVolumeStepper.editId, volume);
    auto* volumeSpin = new StepButtons(this);
    volumeSpin->SetRange(kVolumeMinimum, kVolumeMaximum);
    volumeSpin->ListenToKeysOf(volume);
    volumeSpin->NameArrows(QString::fromLatin1(kVolumeStepper.arrowsName));
    Register(kVolumeStepper.spinId, volumeSpin);
    connect(volumeSpin, &StepButtons::Stepped, this,
            [this](int delta) { SendStep(kVolumeStepper.key, delta); });
    left->addWidget(LabelFor(kVolumeStepper.label, volume, this), line, 0);
    auto* volumeBox = new QHBoxLayout;
    volumeBox->addWidget(volume);
    volumeBox->addWidget(volumeSpin);
    volumeBox->addStretch();
    left->addLayout(volumeBox, line++, 1, 1, 2);
    left->addWidget(
        Note(QStringLiteral("Note: Max. and Min. volume\ndepends on other levels"), this), line++,
        0, 1, 3);

    addCombo({kSurroundModeCombo, "Surround Mode:"});

    auto* lipSync = NumberEdit(this);
    RegisterEdit(kLipSyncEdit, lipSync);
    auto* lipSyncSpin = new StepButtons(this);
    lipSyncSpin->SetRange(0, kLipSyncMaximumMs);
    lipSyncSpin->SetBuddy(lipSync);
    lipSyncSpin->NameArrows(QStringLiteral("Lip sync"));
    Register(kLipSyncSpin, lipSyncSpin);
    left->addWidget(LabelFor("Lip Sync (ms)", lipSync, this), line, 0);
    auto* lipSyncBox = new QHBoxLayout;
    lipSyncBox->addWidget(lipSync);
    lipSyncBox->addWidget(lipSyncSpin);
    lipSyncBox->addStretch();
    left->addLayout(lipSyncBox, line++, 1, 1, 2);

    addCombo({kAudysseyCombo, "Audyssey:"});
    left->addWidget(Note(QStringLiteral("Note: Audyssey calibration must be run \n"
                                        "before a filter curve can be selected"),
                         this),
                    line++, 0, 1, 3);
    left->setRowStretch(line, 1);
    left->setColumnStretch(2, 1);

    auto* right = new QVBoxLayout;
    columns->addLayout(right);
    auto* trim = new QGroupBox(QStringLiteral("Trim"), this);
    auto* trimGrid = new QGridLayout(trim);
    int trimLine = 0;
    for (const RawStepper& stepper : kTrimSteppers) {
        auto* edit = NumberEdit(trim);
        Register(stepper.editId, edit);
        auto* spin = new StepButtons(trim);
        spin->ListenToKeysOf(edit);
        spin->NameArrows(QString::fromLatin1(stepper.arrowsName));
        Register(stepper.spinId, spin);
        connect(spin, &StepButtons::Stepped, this,
                [this, key = stepper.key](int delta) { SendStep(key, delta); });
        trimGrid->addWidget(LabelFor(stepper.label, edit, trim), trimLine, 0);
        trimGrid->addWidget(edit, trimLine, 1);
        trimGrid->addWidget(spin, trimLine, 2);
        ++trimLine;
    }
    trimGrid->setColumnStretch(3, 1);
    right->addWidget(trim);

    auto* sources = new QGroupBox(QStringLiteral("Source"), this);
    auto* sourceGrid = new QGridLayout(sources);
    m_sourceGroup = new QButtonGroup(this);
    m_sourceGroup->setExclusive(true);
    for (int n = 1; n <= kSourceCount; ++n) {
        auto* button = new QRadioButton(QString::fromLatin1(kSourceCaptions[n - 1]), sources);
        m_sourceButtons[static_cast<std::size_t>(n - 1)] = button;
        m_sourceGroup->addButton(button, n);
        Register(kSourceButtonIds[static_cast<std::size_t>(n - 1)], button);
        connect(button, &QRadioButton::clicked, this, [this, n] { OnSourceClicked(n); });
        sourceGrid->addWidget(button, (n - 1) % 5, (n - 1) / 5);
    }
    right->addWidget(sources);
    right->addStretch();
    columns->addStretch();
}

void ControlPage::SendStep(const char* key, int delta) {
    if (delta == 0 || !m_hooks.step)
        return;
    m_hooks.step(QByteArray(key), delta > 0);
}

void ControlPage::OnSourceClicked(int source) {
    QRadioButton* button = SourceButton(source);
    if (IsLoading() || button == nullptr || !button->isChecked())
        return;
    Forward(ControlId::MainSource, source);
    if (m_hooks.tunerControls)
        m_hooks.tunerControls(source == kTunerSource);
}

void ControlPage::ShowSource(const QByteArray& value) {
    // The receiver writes the number in decimal, perhaps padded with blanks;
    // anything else is no source number.
    const QByteArray text = TrimmedBytes(value);
    qsizetype digits = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    const int number = digits > 0 ? text.left(digits).toInt() : 0;
    if (number >= 1 && number <= kSourceCount) {
        SourceButton(number)->setChecked(true);
    } else if (m_hooks.showMessage) {
        m_hooks.showMessage(QStringLiteral("invalid source number"));
    }
    if (m_hooks.tunerControls)
        m_hooks.tunerControls(number == kTunerSource);
}

void ControlPage::SetSourceName(int source, const QString& text) {
    QRadioButton* button = SourceButton(source);
    if (button == nullptr)
        return;
    button->setText(Caption(text));
    // A source whose name was cleared still needs a name a screen reader can say.
    button->setAccessibleName(text.trimmed().isEmpty() ? QStringLiteral("Source %1").arg(source)
                                                       : QString());
}

void ControlPage::SetSourceEnabled(int source, bool enabled) {
    QRadioButton* button = SourceButton(source);
    if (button == nullptr)
        return;
    m_sourceEnabled[static_cast<std::size_t>(source - 1)] = enabled;
    // In a preset view the buttons stay off: a preset has no source to send.
    button->setEnabled(enabled && m_sourceButtonsUsable);
}

void ControlPage::EnableSourceButtons(bool enabled) {
    m_sourceButtonsUsable = enabled;
    for (int n = 1; n <= kSourceCount; ++n) {
        SourceButton(n)->setEnabled(enabled && m_sourceEnabled[static_cast<std::size_t>(n - 1)]);
    }
}

bool ControlPage::IsTunerSelected() const {
    return SourceButton(kTunerSource)->isChecked();
}

QRadioButton* ControlPage::SourceButton(int source) const {
    if (source < 1 || source > kSourceCount)
        return nullptr;
    return m_sourceButtons[static_cast<std::size_t>(source - 1)];
}

void ControlPage::AfterEnableRule(ControlId controlId, bool enabled) {
    if (controlId == ControlId::MainSource)
        EnableSourceButtons(enabled);
}

void ControlPage::RowShown(const BindingRow& row, const QByteArray& value) {
    if (row.kind == BindingKind::MainSource)
        ShowSource(value);
    MirrorSource(row, value);
}

void ControlPage::RowChosen(const BindingRow& row, const QByteArray& value) {
    MirrorSource(row, value);
}

void ControlPage::MirrorSource(const BindingRow& row, const QByteArray& value) {
    const int source = SourceNumberOf(row.section);
    if (row.kind == BindingKind::SourceName)
        SetSourceName(source, FromWindows1252(value));
    if (row.kind == BindingKind::SourceEnabled)
        SetSourceEnabled(source, EqualsIgnoringCase(value, "Yes"));
}
