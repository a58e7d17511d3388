#include "FormPage.h"
#include "FormPages.h"

namespace {

// The front-panel display ("VFD") and one on-screen-display option ("OSD").
constexpr FormField kDisplayFields[] = {
    {"VFD", nullptr, "Display", "VFD Display", 1266},
    {"VFD", nullptr, "Dimmer", nullptr, 1267},
    {"VFD", nullptr, "Line 1", "VFD Line 1", 1268},
    {"VFD", nullptr, "Line 2", "VFD Line 2", 1269},
    {"OSD", nullptr, "Temp Display", "OSD Temp Display", 1270},
};

}  // namespace

SettingPage* CreateDisplayPage() {
    return new FormPage(PageIndex::Display, kDisplayFields);
}
