#include "ZonePage.h"

#include <QComboBox>

namespace {

constexpr int kMinimumLevel = -72;
constexpr int kMaximumLevel = 16;

constexpr FormField kZoneFields[] = {
    {"Zone 2", nullptr, "Volume", "Zone 2 Volume", 1308},
    {"Zone 2", nullptr, "Fixed Level", "Zone 2 fixed level", 1317, 1316, kMinimumLevel,
     kMaximumLevel, "dB"},
    {"Zone 3", nullptr, "Mode", "Zone 3 Mode", 1310},
    {"Zone 3", nullptr, "Volume", "Zone 3 Volume", 1311},
    {"Zone 3", nullptr, "Fixed Level", "Zone 3 fixed level", 1314, 1307, kMinimumLevel,
     kMaximumLevel, "dB"},
    {"Zone 4", nullptr, "Mode", "Zone 4 Mode", 1312},
    {"Zone 4", nullptr, "Volume", "Zone 4 Volume", 1313},
    {"Zone 4", nullptr, "Fixed Level", "Zone 4 fixed level", 1315, 1309, kMinimumLevel,
     kMaximumLevel, "dB"},
};

// Each zone's volume-control combo and the fixed-level edit it governs.
struct ZoneLevel {
    int volumeControlId;
    int levelId;
};

constexpr ZoneLevel kZoneLevels[] = {{1308, 1317}, {1311, 1314}, {1313, 1315}};

}  // namespace

ZonePage::ZonePage() : FormPage(PageIndex::Zone, kZoneFields) {}

void ZonePage::ApplyVisibility(int volumeControlId, int levelId) {
    auto* combo = qobject_cast<QComboBox*>(Control(volumeControlId));
    SetFieldVisible(levelId,
                    combo == nullptr || combo->currentText() != QStringLiteral("Variable"));
}

void ZonePage::OnControlChange(int id, int argument) {
    for (const ZoneLevel& zone : kZoneLevels) {
        if (id == zone.volumeControlId) {
            ApplyVisibility(zone.volumeControlId, zone.levelId);
        } else if (id == zone.levelId) {
            ApplyVisibility(zone.volumeControlId, zone.levelId);
            // The receiver takes a fixed level only together with its volume control.
            Forward(zone.volumeControlId, ChosenIndex(zone.volumeControlId));
        }
    }
    FormPage::OnControlChange(id, argument);
}

void ZonePage::AfterEnableRule(int controlId, bool) {
    // A status line may change a volume control: its level box follows at once.
    for (const ZoneLevel& zone : kZoneLevels) {
        if (controlId == zone.volumeControlId)
            ApplyVisibility(zone.volumeControlId, zone.levelId);
    }
}
