#include "AvPresetPage.h"

#include "ReceiverShape.h"
#include "SettingRanges.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr ControlId kNameIds[kAvPresetCount] = {ControlId::Preset1Name, ControlId::Preset2Name,
                                                ControlId::Preset3Name, ControlId::Preset4Name,
                                                ControlId::Preset5Name};

// One column of setup switches: its heading and its combo per preset 1..5.
struct SetupColumn {
    const char* heading;
    ControlId ids[kAvPresetCount];
};

constexpr SetupColumn kSetupColumns[AvPresetPage::kSetupCount] = {
    {"Listening Mode",
     {ControlId::Preset1SetupListeningMode, ControlId::Preset2SetupListeningMode,
      ControlId::Preset3SetupListeningMode, ControlId::Preset4SetupListeningMode,
      ControlId::Preset5SetupListeningMode}},
    {"DSP Options",
     {ControlId::Preset1SetupDSPOptions, ControlId::Preset2SetupDSPOptions,
      ControlId::Preset3SetupDSPOptions, ControlId::Preset4SetupDSPOptions,
      ControlId::Preset5SetupDSPOptions}},
    {"Tone Controls",
     {ControlId::Preset1SetupToneControls, ControlId::Preset2SetupToneControls,
      ControlId::Preset3SetupToneControls, ControlId::Preset4SetupToneControls,
      ControlId::Preset5SetupToneControls}},
    {"Speaker Setup",
     {ControlId::Preset1SetupSpeaker, ControlId::Preset2SetupSpeaker,
      ControlId::Preset3SetupSpeaker, ControlId::Preset4SetupSpeaker,
      ControlId::Preset5SetupSpeaker}},
    {"Display Setup",
     {ControlId::Preset1SetupDisplay, ControlId::Preset2SetupDisplay,
      ControlId::Preset3SetupDisplay, ControlId::Preset4SetupDisplay,
      ControlId::Preset5SetupDisplay}},
};

}  // namespace

AvPresetPage::AvPresetPage(QWidget* parent) : SettingPage(PageIndex::AvPreset, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* box = new QGroupBox(QStringLiteral("Preset Configuration"), this);
    outer->addWidget(box);
    outer->addStretch();
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Preset #"), box), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Name"), box), 0, 1);
    for (int column = 0; column < kSetupCount; ++column) {
        grid->addWidget(new QLabel(QString::fromLatin1(kSetupColumns[column].heading), box), 0,
                        column + 2);
    }
    for (int preset = 0; preset < kAvPresetCount; ++preset) {
        const int line = preset + 1;
        grid->addWidget(new QLabel(QString::number(preset + 1), box), line, 0, Qt::AlignCenter);
        const QString presetName = QStringLiteral("Preset %1 ").arg(preset + 1);
        grid->addWidget(
            AddText(kNameIds[preset], kNameMaxLength, presetName + QStringLiteral("Name"), box),
            line, 1);
        for (int column = 0; column < kSetupCount; ++column) {
            const ControlId id = kSetupColumns[column].ids[preset];
            auto* combo = new QComboBox(box);
            const QString name = presetName + QString::fromLatin1(kSetupColumns[column].heading);
            combo->setAccessibleName(name);
            LabelForScreenReaders(combo, name);
            RegisterCombo(id, combo);
            // The switch decides at once which controls of the other pages can be edited.
            connect(combo, &QComboBox::activated, this, [this] {
                if (!IsLoading())
                    RefreshView();
            });
            grid->addWidget(combo, line, column + 2);
        }
    }
    grid->setColumnStretch(1, 1);
}
