#include "FormPage.h"
#include "FormPages.h"

namespace {

// The front-panel display ("VFD") and one on-screen-display option ("OSD").
constexpr FormField kDisplayFields[] = {
    {"VFD", nullptr, "Display", "VFD Display", ControlId::VFDDisplay},
    {"VFD", nullptr, "Dimmer", nullptr, ControlId::Dimmer},
    {"VFD", nullptr, "Line 1", "VFD Line 1", ControlId::VFDLine1},
    {"VFD", nullptr, "Line 2", "VFD Line 2", ControlId::VFDLine2},
    {"OSD", nullptr, "Temp Display", "OSD Temp Display", ControlId::OSDTempDisplay},
};

}  // namespace

SettingPage* CreateDisplayPage() {
    return new FormPage(PageIndex::Display, kDisplayFields);
}
