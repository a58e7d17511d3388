#include "SourcePage.h"

#include "ReceiverShape.h"
#include "SettingRanges.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kWidestChoice = 5;

enum class Cell { Enabled, Name, Input, Choice };

// A column of the source grid and its control per source.
struct SourceColumn {
    const char* heading;
    Cell cell;
    const SourceControlIds& ids;
};

constexpr SourceColumn kSourceColumns[] = {
    {"Enabled", Cell::Enabled, kSourceEnabledIds},
    {"Name", Cell::Name, kSourceNameIds},
    {"Analog Audio", Cell::Input, kSourceAnalogInputIds},
    {"Digital Audio", Cell::Input, kSourceDigitalInputIds},
    {"Video", Cell::Input, kSourceVideoInputIds},
    {"Preset", Cell::Choice, kSourcePresetIds},
    {"Trigger", Cell::Choice, kSourceTriggerIds},
};

// "01".."09", and "Tuner" for the tenth source.
QString Caption(int source) {
    return source == kTunerSource ? QStringLiteral("Tuner")
                                  : QStringLiteral("%1").arg(source, 2, 10, QChar('0'));
}

// What assistive technology calls the line: "Source 01" .. "Source 09", "Tuner".
QString LineName(int source) {
    return source == kTunerSource ? Caption(source) : QStringLiteral("Source ") + Caption(source);
}

}  // namespace

SourcePage::SourcePage() : SettingPage(PageIndex::Source) {
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch();
    for (int column = 0; column < static_cast<int>(std::size(kSourceColumns)); ++column) {
        grid->addWidget(Heading(kSourceColumns[column].heading, this), 0, column);
    }
    // Line by line, so that the tab order reads like the page.
    for (int source = 1; source <= kSourceCount; ++source) {
        for (int column = 0; column < static_cast<int>(std::size(kSourceColumns)); ++column) {
            const SourceColumn& spec = kSourceColumns[column];
            const ControlId id = spec.ids[static_cast<std::size_t>(source - 1)];
            const QString name =
                LineName(source) + ' ' + QString::fromLatin1(spec.heading).toLower();
            QWidget* control = nullptr;
            switch (spec.cell) {
                case Cell::Enabled:
                    control = AddCheck(id, Caption(source), name, this);
                    break;
                case Cell::Name:
                    control = AddText(id, kNameMaxLength, name, this);
                    break;
                case Cell::Input:
                    if (source == kTunerSource) {
                        // The tuner has no inputs: no setting stands behind these.
                        auto* unbound = new QComboBox(this);
                        unbound->setAccessibleName(name);
                        unbound->setEnabled(false);
                        Register(id, unbound);
                        control = unbound;
                        break;
                    }
                    [[fallthrough]];
                case Cell::Choice: {
                    auto* combo = AddCombo(id, name, this);
                    // Wide enough for "1+2+3" however the trigger list is filtered.
                    combo->setMinimumContentsLength(kWidestChoice);
                    control = combo;
                    break;
                }
            }
            if (auto* combo = qobject_cast<QComboBox*>(control))
                LabelForScreenReaders(combo, name);
            grid->addWidget(control, source, column);
        }
    }
    grid->setColumnStretch(static_cast<int>(std::size(kSourceColumns)), 1);
}
