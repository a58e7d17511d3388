#include "ZonePage.h"

#include "SettingRanges.h"

#include "BindingModel.h"

namespace {

// A zone's fixed level spans the main volume's range.
constexpr int kMinimumLevel = kVolumeRange.minimum;
constexpr int kMaximumLevel = kVolumeRange.maximum;

constexpr FormField kZoneFields[] = {
    {"Zone 2", nullptr, "Volume", "Zone 2 Volume", ControlId::Zone2VolumeControl},
    {"Zone 2", nullptr, "Fixed Level", "Zone 2 fixed level", ControlId::Zone2VolumeFixed,
     ControlId::Zone2VolumeFixedArrows, kMinimumLevel, kMaximumLevel, "dB"},
    {"Zone 3", nullptr, "Mode", "Zone 3 Mode", ControlId::Zone3Mode},
    {"Zone 3", nullptr, "Volume", "Zone 3 Volume", ControlId::Zone3VolumeControl},
    {"Zone 3", nullptr, "Fixed Level", "Zone 3 fixed level", ControlId::Zone3VolumeFixed,
     ControlId::Zone3VolumeFixedArrows, kMinimumLevel, kMaximumLevel, "dB"},
    {"Zone 4", nullptr, "Mode", "Zone 4 Mode", ControlId::Zone4Mode},
    {"Zone 4", nullptr, "Volume", "Zone 4 Volume", ControlId::Zone4VolumeControl},
    {"Zone 4", nullptr, "Fixed Level", "Zone 4 fixed level", ControlId::Zone4VolumeFixed,
     ControlId::Zone4VolumeFixedArrows, kMinimumLevel, kMaximumLevel, "dB"},
};

}  // namespace

// Each zone's volume-control combo and the fixed-level edit it governs.
struct ZonePage::ZoneLevel {
    const char* section;
    ControlId volumeControlId;
    ControlId levelId;
};

namespace {

constexpr ZonePage::ZoneLevel kZoneLevels[] = {
    {"Zone2", ControlId::Zone2VolumeControl, ControlId::Zone2VolumeFixed},
    {"Zone3", ControlId::Zone3VolumeControl, ControlId::Zone3VolumeFixed},
    {"Zone4", ControlId::Zone4VolumeControl, ControlId::Zone4VolumeFixed},
};

}  // namespace

ZonePage::ZonePage() : FormPage(PageIndex::Zone, kZoneFields) {}

void ZonePage::ApplyVisibility(const ZoneLevel& zone) {
    SetFieldVisible(zone.levelId, Model() == nullptr || Model()->ZoneLevelShown(zone.section));
}

void ZonePage::OnControlChange(ControlId id, const QVariant& argument) {
    for (const ZoneLevel& zone : kZoneLevels) {
        if (id == zone.levelId) {
            ApplyVisibility(zone);
            // The receiver takes a fixed level only together with its volume control.
            Forward(zone.volumeControlId, ChosenValue(zone.volumeControlId));
        }
    }
    FormPage::OnControlChange(id, argument);
    // The rule reads the store, which a volume control's change has written.
    for (const ZoneLevel& zone : kZoneLevels) {
        if (id == zone.volumeControlId)
            ApplyVisibility(zone);
    }
}

void ZonePage::AfterEnableRule(ControlId controlId, bool) {
    // A status line may change a volume control: its level box follows at once.
    for (const ZoneLevel& zone : kZoneLevels) {
        if (controlId == zone.volumeControlId)
            ApplyVisibility(zone);
    }
}
