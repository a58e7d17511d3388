#include "AvPresetPage.h"

#include "ReceiverShape.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kNameMaxLength = 12;

constexpr int kNameIds[kAvPresetCount] = {1100, 1103, 1105, 1107, 1109};

// One column of setup switches: its heading and its combo per preset 1..5.
struct SetupColumn {
    const char* heading;
    int ids[kAvPresetCount];
};

constexpr SetupColumn kSetupColumns[AvPresetPage::kSetupCount] = {
    {"Listening Mode", {1017, 1043, 1067, 1087, 1089}},
    {"DSP Options", {1084, 1091, 1093, 1095, 1021}},
    {"Tone Controls", {1023, 1025, 1027, 1029, 1031}},
    {"Speaker Setup", {1033, 1035, 1037, 1039, 1045}},
    {"Display Setup", {1047, 1050, 1052, 1054, 1056}},
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
            const int id = kSetupColumns[column].ids[preset];
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
