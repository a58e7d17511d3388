#include "AvPresetPage.h"

#include "PageBinding.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kNameMaxLength = 12;

constexpr int kNameIds[AvPresetPage::kPresetCount] = {1100, 1103, 1105, 1107, 1109};

// One column of setup switches: its heading, the preset group it governs and
// its combo per preset 1..5.
struct SetupColumn {
    const char* heading;
    PresetGroup group;
    int ids[AvPresetPage::kPresetCount];
};

constexpr SetupColumn kSetupColumns[AvPresetPage::kSetupCount] = {
    {"Listening Mode", PresetGroup::ListeningMode, {1017, 1043, 1067, 1087, 1089}},
    {"DSP Options", PresetGroup::DspOptions, {1084, 1091, 1093, 1095, 1021}},
    {"Tone Controls", PresetGroup::ToneControls, {1023, 1025, 1027, 1029, 1031}},
    {"Speaker Setup", PresetGroup::SpeakerSetup, {1033, 1035, 1037, 1039, 1045}},
    {"Display Setup", PresetGroup::DisplaySetup, {1047, 1050, 1052, 1054, 1056}},
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
    for (int preset = 0; preset < kPresetCount; ++preset) {
        const int line = preset + 1;
        grid->addWidget(new QLabel(QString::number(preset + 1), box), line, 0, Qt::AlignCenter);
        auto* name = new QLineEdit(box);
        name->setMaxLength(kNameMaxLength);
        RegisterEdit(kNameIds[preset], name);
        grid->addWidget(name, line, 1);
        for (int column = 0; column < kSetupCount; ++column) {
            const int id = kSetupColumns[column].ids[preset];
            auto* combo = new QComboBox(box);
            Register(id, combo);
            connect(combo, &QComboBox::activated, this,
                    [this, id](int index) { OnSetupChosen(id, index); });
            m_setupCombos[static_cast<std::size_t>(column)][static_cast<std::size_t>(preset)] =
                combo;
            grid->addWidget(combo, line, column + 2);
        }
    }
    grid->setColumnStretch(1, 1);
}

void AvPresetPage::OnSetupChosen(int controlId, int index) {
    if (IsLoading() || Binding() == nullptr)
        return;
    Binding()->ControlChanged(controlId, index);
    // The switch decides at once which controls of the other pages can be edited.
    Binding()->RefreshView();
}

void AvPresetPage::SetView(int view) {
    m_view = view;
    if (view < 1 || view > kPresetCount)
        return;
    for (int column = 0; column < kSetupCount; ++column) {
        const QComboBox* combo =
            m_setupCombos[static_cast<std::size_t>(column)][static_cast<std::size_t>(view - 1)];
        // The first entry is "YES".
        m_flags[static_cast<std::size_t>(kSetupColumns[column].group)] = combo->currentIndex() == 0;
    }
}

bool AvPresetPage::Flag(PresetGroup group) const {
    const auto index = static_cast<std::size_t>(group);
    return index < m_flags.size() && m_flags[index];
}
