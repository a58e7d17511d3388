#include "SpeakerPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int kFrontConfig = 1015;
constexpr int kSubwoofer = 1069;
constexpr int kEnhancedBass = 1075;
constexpr int kUnitOfMeasure = 1300;

// A line of the crossover group: its size combo and, for the four speaker
// groups, its crossover frequency combo.
struct CrossoverLine {
    const char* label;
    const char* sizeName;  // what assistive technology reads for the size combo
    int sizeId;
    int frequencyId;  // 0: none
};

constexpr CrossoverLine kCrossoverLines[] = {
    {"Front", "Front size", kFrontConfig, 1306},
    {"Center", "Center size", 1042, 1058},
    {"Surround", "Surround size", 1066, 1060},
    {"Back", "Back size", 1083, 1062},
    {"Config", "Back speaker config", 1064, 0},
    {"Subwoofer", "Subwoofer", kSubwoofer, 0},
    {"Enhanced Bass", "Enhanced Bass", kEnhancedBass, 0},
};

// A channel's level and distance edits with their arrows.
struct ChannelLine {
    const char* label;
    int levelId;
    int levelArrowsId;
    int distanceId;
    int distanceArrowsId;
};

constexpr ChannelLine kChannelLines[] = {
    {"Front Left", 1301, 1284, 1304, 1285},    {"Center", 1302, 1286, 1305, 1287},
    {"Front Right", 1303, 1288, 1111, 1289},   {"Surround Right", 1113, 1290, 1115, 1291},
    {"Back Right", 1117, 1292, 1119, 1293},    {"Back Left", 1121, 1294, 1123, 1295},
    {"Surround Left", 1125, 1296, 1127, 1297}, {"Subwoofer", 1129, 1298, 1131, 1299},
};

constexpr int kMinimumLevel = -12;
constexpr int kMaximumLevel = 12;
constexpr int kMaximumDistance = 30;

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
        if (entry.frequencyId != 0) {
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
        const NumberField level = AddNumber(channel.levelId, channel.levelArrowsId, kMinimumLevel,
                                            kMaximumLevel, label + QStringLiteral(" level"), box);
        text->setBuddy(level.edit);
        grid->addWidget(level.box, line, 1);
        const NumberField distance =
            AddNumber(channel.distanceId, channel.distanceArrowsId, 0, kMaximumDistance,
                      label + QStringLiteral(" distance"), box);
        grid->addWidget(distance.box, line, 2);
        ++line;
    }
}

void SpeakerPage::EnhancedBassRule() {
    auto* front = qobject_cast<QComboBox*>(Control(kFrontConfig));
    auto* sub = qobject_cast<QComboBox*>(Control(kSubwoofer));
    // "LARGE" and "ON" are the first entries of their lists. The value is
    // neither changed nor sent.
    const bool possible = front->currentIndex() == 0 && sub->currentIndex() == 0;
    Control(kEnhancedBass)->setEnabled(m_enhancedBassAllowed && possible);
}

void SpeakerPage::OnControlChange(int id, int argument) {
    if (id == kFrontConfig || id == kSubwoofer)
        EnhancedBassRule();
    SettingPage::OnControlChange(id, argument);
}

void SpeakerPage::AfterEnableRule(int controlId, bool enabled) {
    // Enhanced Bass keeps its own row's decision (its key may be missing while
    // the others' are held); every refresh of a view or model reaches that row.
    if (controlId == kEnhancedBass)
        m_enhancedBassAllowed = enabled;
    if (controlId == kFrontConfig || controlId == kSubwoofer || controlId == kEnhancedBass)
        EnhancedBassRule();
}
