#include "FormPage.h"
#include "FormPages.h"

namespace {

// The default listening mode per kind of signal, and the decoders' options.
constexpr FormField kListeningModeFields[] = {
    {"Listening Modes", "Dolby Digital", "2 Channel", nullptr, 1271},
    {"Listening Modes", "Dolby Digital", "Surround", nullptr, 1272},
    {"Listening Modes", nullptr, "DTS", "DTS listening mode", 1273},
    {"Listening Modes", "Other", "Digital", "Other digital", 1274},
    {"Listening Modes", "Other", "Analog", "Other analog", 1275},
    {"Dolby Setup", "Dolby Digital", "Dyn Range Ctrl", nullptr, 1276},
    {"Dolby Setup", "Dolby Prologic IIx Music", "Center Width", nullptr, 1278},
    {"Dolby Setup", "Dolby Prologic IIx Music", "Dimension", nullptr, 1071},
    {"Dolby Setup", "Dolby Prologic IIx Music", "Panorama", nullptr, 1073},
    {"DTS Setup", "DTS Digital Surround", "Dyn Range Ctrl", nullptr, 1277},
    {"DTS Setup", "DTS Neo:6 Music", "Center Gain", nullptr, 1279},
    {"Enhanced Stereo", nullptr, "Front", "Enhanced Stereo Front", 1280},
    {"Enhanced Stereo", nullptr, "Center", "Enhanced Stereo Center", 1281},
    {"Enhanced Stereo", nullptr, "Surround", "Enhanced Stereo Surround", 1282},
    {"Enhanced Stereo", nullptr, "Back", "Enhanced Stereo Back", 1283},
};

}  // namespace

SettingPage* CreateListeningModePage() {
    return new FormPage(PageIndex::ListeningMode, kListeningModeFields);
}
