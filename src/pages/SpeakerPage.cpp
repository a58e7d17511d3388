#include "SpeakerPage.h"

#include "BindingModel.h"
#include "SettingRanges.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr ControlId kFrontConfig = ControlId::SpeakerFrontConfig;
constexpr ControlId kSubwoofer = ControlId::SpeakerSub;
constexpr ControlId kEnhancedBass = ControlId::EnhancedBass;
constexpr ControlId kUnitOfMeasure = ControlId::UnitOfMeasure;

// A line of the crossover group: its size combo and, for the four speaker
// groups, its crossover frequency combo.
struct CrossoverLine {
    const char* label;
    const char* sizeName;  // what assistive technology reads for the size combo
    ControlId sizeId;
    ControlId frequencyId;  // None: none
};

constexpr CrossoverLine kCrossoverLines[] = {
    {"Front", "Front size", kFrontConfig, ControlId::SpeakerFrontFrequency},
    {"Center", "Center size", ControlId::SpeakerCenterConfig, ControlId::SpeakerCenterFrequency},
    {"Surround", "Surround size", ControlId::SpeakerSurroundConfig,
     ControlId::SpeakerSurroundFrequency},
    {"Back", "Back size", ControlId::SpeakerBackConfig2, ControlId::SpeakerBackFrequency},
    {"Config", "Back speaker config", ControlId::SpeakerBackConfig1, ControlId::None},
    {"Subwoofer", "Subwoofer", kSubwoofer, ControlId::None},
    {"Enhanced Bass", "Enhanced Bass", kEnhancedBass, ControlId::None},
};

// A channel's level and distance edits with their arrows.
struct ChannelLine {
    const char* label;
    ControlId levelId;
    ControlId levelArrowsId;
    ControlId distanceId;
    ControlId distanceArrowsId;
};

constexpr ChannelLine kChannelLines[] = {
    {"Front Left", ControlId::LevelLeft, ControlId::LevelLeftArrows, ControlId::DistanceLeft,
     ControlId::DistanceLeftArrows},
    {"Center", ControlId::LevelCenter, ControlId::LevelCenterArrows, ControlId::DistanceCenter,
     ControlId::DistanceCenterArrows},
    {"Front Right", ControlId::LevelRight, ControlId::LevelRightArrows, ControlId::DistanceRight,
     ControlId::DistanceRightArrows},
    {"Surround Right", ControlId::LevelSurroundRight, ControlId::LevelSurroundRightArrows,
     ControlId::DistanceSurroundRight, ControlId::DistanceSurroundRightArrows},
    {"Back Right", ControlId::LevelBackRight, ControlId::LevelBackRightArrows,
     ControlId::DistanceBackRight, ControlId::DistanceBackRightArrows},
    {"Back Left", ControlId::LevelBackLeft, ControlId::LevelBackLeftArrows,
     ControlId::DistanceBackLeft, ControlId::DistanceBackLeftArrows},
    {"Surround Left", ControlId::LevelSurroundLeft, ControlId::LevelSurroundLeftArrows,
     ControlId::DistanceSurroundLeft, ControlId::DistanceSurroundLeftArrows},
    {"Subwoofer", ControlId::LevelSub, ControlId::LevelSubArrows, ControlId::DistanceSub,
     ControlId::DistanceSubArrows},
};

// A grid with two column headings over its second and third columns.
QGridLayout* HeadedGrid(QWidget* box, QLabel* first, QLabel* second) {
    auto* grid = new QGridLayout(box);
    grid->addWidget(first, 0, 1);
    grid->addWidget(second, 0, 2);
    return grid;
}

}  // namespace

SpeakerPage::SpeakerPage() : SettingPage(PageIndex::Speaker) {
    auto* outer = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns);
    auto* crossover = new QGroupBox(QStringLiteral("Crossover"), this);
    BuildCrossover(crossover);
    columns->addWidget(crossover, 0, Qt::AlignTop);
    auto* levels = new QGroupBox(QStringLiteral("Level / Distance"), this);
    BuildLevels(levels);
    columns->addWidget(levels, 0, Qt::AlignTop);
    columns->addStretch();

    outer->addWidget(
        Note(QStringLiteral("Note: Fronts must be Large to enable Enhanced Bass"), this));

    // Distances are always the receiver's own numbers in feet: the unit
    // choice is kept hidden, bound to nothing.
    auto* unit = new QComboBox(this);
    unit->addItems({QStringLiteral("FEET"), QStringLiteral("METERS")});
    unit->setCurrentIndex(0);
    unit->setAccessibleName(QStringLiteral("Unit of Measure"));
    unit->setEnabled(false);
    unit->hide();
    Register(kUnitOfMeasure, unit);
    outer->addStretch();
}

void SpeakerPage::BuildCrossover(QWidget* box) {
    QGridLayout* grid = HeadedGrid(box, Heading("Size", box), Heading("Frequency", box));
    int line = 1;
    for (const CrossoverLine& entry : kCrossoverLines) {
        const QString label = QString::fromLatin1(entry.label);
        auto* text = new QLabel(label, box);
        grid->addWidget(text, line, 0);
        QComboBox* size = AddCombo(entry.sizeId, QString::fromLatin1(entry.sizeName), box);
        text->setBuddy(size);
        grid->addWidget(size, line, 1);
        if (entry.frequencyId != ControlId::None) {
            const QString name = label + QStringLiteral(" crossover frequency");
            QComboBox* frequency = AddCombo(entry.frequencyId, name, box);
            LabelForScreenReaders(frequency, name);
            grid->addWidget(frequency, line, 2);
        }
        ++line;
    }
}

void SpeakerPage::BuildLevels(QWidget* box) {
    QGridLayout* grid = HeadedGrid(box, Heading("Level (dB)", box), Heading("Distance (ft)", box));
    int line = 1;
    for (const ChannelLine& channel : kChannelLines) {
        const QString label = QString::fromLatin1(channel.label);
        auto* text = new QLabel(label, box);
        grid->addWidget(text, line, 0);
        const NumberField level =
            AddNumber(channel.levelId, channel.levelArrowsId, kSpeakerLevelRange.minimum,
                      kSpeakerLevelRange.maximum, label + QStringLiteral(" level"), box);
        text->setBuddy(level.edit);
        grid->addWidget(level.box, line, 1);
        const NumberField distance =
            AddNumber(channel.distanceId, channel.distanceArrowsId, kSpeakerDistanceRange.minimum,
                      kSpeakerDistanceRange.maximum, label + QStringLiteral(" distance"), box);
        grid->addWidget(distance.box, line, 2);
        ++line;
    }
}

void SpeakerPage::EnhancedBassRule() {
    // The value is neither changed nor sent.
    const bool possible = Model() != nullptr && Model()->EnhancedBassPossible();
    Control(kEnhancedBass)->setEnabled(m_enhancedBassAllowed && possible);
}

void SpeakerPage::OnControlChange(ControlId id, const QVariant& argument) {
    // The rule reads the store, which the change has written.
    SettingPage::OnControlChange(id, argument);
    if (id == kFrontConfig || id == kSubwoofer)
        EnhancedBassRule();
}

void SpeakerPage::AfterEnableRule(ControlId controlId, bool enabled) {
    // Enhanced Bass keeps its own row's decision (its key may be missing while
    // the others' are held); every refresh of a view or model reaches that row.
    if (controlId == kEnhancedBass)
        m_enhancedBassAllowed = enabled;
    if (controlId == kFrontConfig || controlId == kSubwoofer || controlId == kEnhancedBass)
        EnhancedBassRule();
}
