#include "FormPage.h"
#include "FormPages.h"

namespace {

// The default listening mode per kind of signal, and the decoders' options.
constexpr FormField kListeningModeFields[] = {
    {"Listening Modes", "Dolby Digital", "2 Channel", nullptr,
     ControlId::ListeningModeDolbyDigital2ch},
    {"Listening Modes", "Dolby Digital", "Surround", nullptr, ControlId::ListeningModeDolbyDigital},
    {"Listening Modes", nullptr, "DTS", "DTS listening mode", ControlId::ListeningModeDTS},
    {"Listening Modes", "Other", "Digital", "Other digital", ControlId::ListeningModeDigital},
    {"Listening Modes", "Other", "Analog", "Other analog", ControlId::ListeningModeAnalog},
    {"Dolby Setup", "Dolby Digital", "Dyn Range Ctrl", nullptr, ControlId::DolbyDRC},
    {"Dolby Setup", "Dolby Prologic IIx Music", "Center Width", nullptr,
     ControlId::DolbyCenterWidth},
    {"Dolby Setup", "Dolby Prologic IIx Music", "Dimension", nullptr, ControlId::DolbyDimension},
    {"Dolby Setup", "Dolby Prologic IIx Music", "Panorama", nullptr, ControlId::DolbyPanorama},
    {"DTS Setup", "DTS Digital Surround", "Dyn Range Ctrl", nullptr, ControlId::DTSDRC},
    {"DTS Setup", "DTS Neo:6 Music", "Center Gain", nullptr, ControlId::DTSCenterGain},
    {"Enhanced Stereo", nullptr, "Front", "Enhanced Stereo Front", ControlId::EnhancedStereoFront},
    {"Enhanced Stereo", nullptr, "Center", "Enhanced Stereo Center",
     ControlId::EnhancedStereoCenter},
    {"Enhanced Stereo", nullptr, "Surround", "Enhanced Stereo Surround",
     ControlId::EnhancedStereoSurround},
    {"Enhanced Stereo", nullptr, "Back", "Enhanced Stereo Back", ControlId::EnhancedStereoBack},
};

}  // namespace

SettingPage* CreateListeningModePage() {
    return new FormPage(PageIndex::ListeningMode, kListeningModeFields);
}
