#include "QueryTables.h"

#include "ReceiverShape.h"

#include <strings.h>

namespace {

// Section bits as the bulk read tests them against a parameter's SectionMask.
constexpr std::uint32_t kMain = 0x1;
constexpr std::uint32_t kZones = 0xE;                                   // ZONE2..ZONE4
constexpr std::uint32_t kZones34 = 0xC;                                 // ZONE3, ZONE4
constexpr std::uint32_t kSources = ((1u << kSourceCount) - 1) << 4;     // SOURCE1..SOURCE10
constexpr std::uint32_t kPresets = ((1u << kAvPresetCount) - 1) << 14;  // PRESET1..PRESET5
constexpr std::uint32_t kTuner = 0x80000;
constexpr std::uint32_t kAudyssey = 0x100000;

constexpr std::uint32_t kM = kMain;
constexpr std::uint32_t kMZ = kMain | kZones;
constexpr std::uint32_t kMP = kMain | kPresets;
constexpr std::uint32_t kMPA = kMain | kPresets | kAudyssey;
constexpr std::uint32_t kSP = kSources | kPresets;

}  // namespace

const std::array<QuerySection, 21> kQuerySections = {{
    {"TUNER", 0x80000},     {"MAIN", 0x1},        {"ZONE2", 0x2},       {"ZONE3", 0x4},
    {"ZONE4", 0x8},         {"SOURCE1", 0x10},    {"SOURCE2", 0x20},    {"SOURCE3", 0x40},
    {"SOURCE4", 0x80},      {"SOURCE5", 0x100},   {"SOURCE6", 0x200},   {"SOURCE7", 0x400},
    {"SOURCE8", 0x800},     {"SOURCE9", 0x1000},  {"SOURCE10", 0x2000}, {"PRESET1", 0x4000},
    {"PRESET2", 0x8000},    {"PRESET3", 0x10000}, {"PRESET4", 0x20000}, {"PRESET5", 0x40000},
    {"AUDYSSEY", 0x100000},
}};

// The bulk read stores the answers in this order, and GetValue answers with the
// first key containing the asked one: within a section every name comes ahead
// of the longer names that contain it (Volume before VolumeControl,
// ListeningMode before ListeningMode.Analog).
const std::array<QueryParameter, 137> kQueryParameters = {{
    {"IR.Channel", kM, kAllModels},
    {"Volume", kMZ, kAllModels},
    {"SpeakerA", kM, kSpeakerABModels},
    {"SpeakerB", kM, kSpeakerABModels},
    {"Audyssey", kMP, kAudysseyModels},
    {"CenterDialog", kMP, kAllModels},
    {"Treble", kMP, kAllModels},
    {"Bass", kMP, kAllModels},
    {"ToneDefeat", kMP, kAllModels},
    {"Dimmer", kMP, kAllModels},
    {"Dolby.DRC", kMP, kAllModels},
    {"Dolby.CenterWidth", kMP, kAllModels},
    {"Dolby.Dimension", kMP, kAllModels},
    {"Dolby.Panorama", kMP, kAllModels},
    {"DTS.DRC", kMP, kAllModels},
    {"DTS.CenterGain", kMP, kAllModels},
    {"EnhancedStereo.Front", kMP, kAllModels},
    {"EnhancedStereo.Center", kMP, kAllModels},
    {"EnhancedStereo.Surround", kMP, kAllModels},
    {"EnhancedStereo.Back", kMP, kAllModels},
    {"LipSyncDelay", kMP, kAllModels},
    {"Speaker.Front.Config", kMPA, kAllModels},
    {"Speaker.Front.Frequency", kMPA, kAllModels},
    {"Speaker.Center.Config", kMPA, kAllModels},
    {"Speaker.Center.Frequency", kMPA, kAllModels},
    {"Speaker.Surround.Config", kMPA, kAllModels},
    {"Speaker.Surround.Frequency", kMPA, kAllModels},
    {"Speaker.Back.Config1", kMPA, kAllModels},
    {"Speaker.Back.Config2", kMPA, kAllModels},
    {"Speaker.Back.Frequency", kMPA, kAllModels},
    {"Speaker.Sub", kMPA, kAllModels},
    {"EnhancedBass", kMP, kAllModels},
    {"Level.Left", kMPA, kAllModels},
    {"Level.Center", kMPA, kAllModels},
    {"Level.Right", kMPA, kAllModels},
    {"Level.SurroundRight", kMPA, kAllModels},
    {"Level.BackRight", kMPA, kAllModels},
    {"Level.BackLeft", kMPA, kAllModels},
    {"Level.SurroundLeft", kMPA, kAllModels},
    {"Level.Sub", kMPA, kAllModels},
    {"Distance.UOM", kMP, kAllModels},
    {"Distance.Left", kMPA, kAllModels},
    {"Distance.Center", kMPA, kAllModels},
    {"Distance.Right", kMPA, kAllModels},
    {"Distance.SurroundRight", kMPA, kAllModels},
    {"Distance.BackRight", kMPA, kAllModels},
    {"Distance.BackLeft", kMPA, kAllModels},
    {"Distance.SurroundLeft", kMPA, kAllModels},
    {"Distance.Sub", kMPA, kAllModels},
    {"Amp.Back", kM, kSpeakerABModels},
    {"Trigger1.Out", kM, kAllModels},
    {"Trigger2.Out", kM, kAllModels},
    {"Trigger3.Out", kM, kAllModels},
    {"Trigger1.Delay", kM, kAllModels},
    {"Trigger2.Delay", kM, kAllModels},
    {"Trigger3.Delay", kM, kAllModels},
    {"AutoTrigger", kM, kAllModels},
    {"VFD.Display", kMP, kAllModels},
    {"VFD.Line1", kMP, kAllModels},
    {"VFD.Line2", kMP, kAllModels},
    {"VFD.TempLine", kMP, kAllModels},
    {"OSD.TempDisplay", kMP, kAllModels},
    {"Power", kMZ, kAllModels},
    {"Mute", kMZ, kAllModels},
    {"ListeningMode", kMP, kAllModels},
    {"Trim.Surround", kM, kAllModels},
    {"Trim.Center", kM, kAllModels},
    {"Trim.Sub", kM, kAllModels},
    {"Sleep", kM, kAllModels},
    {"VolumeControl", kZones, kAllModels},
    {"VolumeFixed", kZones, kAllModels},
    {"Name", kSP, kAllModels},
    {"Setup.ListeningMode", kPresets, kAllModels},
    {"Setup.DSPOptions", kPresets, kAllModels},
    {"Setup.ToneControls", kPresets, kAllModels},
    {"Setup.Speaker", kPresets, kAllModels},
    {"Setup.Display", kPresets, kAllModels},
    {"DigitalMode", kTuner, kAllModels},
    {"AMStep", kTuner, kAllModels},
    {"Enabled", kSources, kAllModels},
    {"AnalogAudioFormat", kSources, kAllModels},
    {"AnalogAudioInput", kSources, kAllModels},
    {"AnalogGain", kSources, kAllModels},
    {"DigitalAudioFormat", kSources, kAllModels},
    {"DigitalAudioInput", kSources, kAllModels},
    {"VideoFormat", kSources, kAllModels},
    {"VideoInput", kSources, kAllModels},
    {"TriggerOut", kSources, kAllModels},
    {"Mode", kZones34, kAllModels},
    {"ListeningMode.Analog", kMP, kAllModels},
    {"ListeningMode.Digital", kMP, kAllModels},
    {"ListeningMode.DolbyDigital", kMP, kAllModels},
    {"ListeningMode.DolbyDigital2ch", kMP, kAllModels},
    {"ListeningMode.DTS", kMP, kAllModels},
    {"VideoMode", kM, kAllModels},
    {"Source", kMZ, kAllModels},
    {"Preset1", kTuner, kAllModels},
    {"Preset2", kTuner, kAllModels},
    {"Preset3", kTuner, kAllModels},
    {"Preset4", kTuner, kAllModels},
    {"Preset5", kTuner, kAllModels},
    {"Preset6", kTuner, kAllModels},
    {"Preset7", kTuner, kAllModels},
    {"Preset8", kTuner, kAllModels},
    {"Preset9", kTuner, kAllModels},
    {"Preset10", kTuner, kAllModels},
    {"Preset11", kTuner, kAllModels},
    {"Preset12", kTuner, kAllModels},
    {"Preset13", kTuner, kAllModels},
    {"Preset14", kTuner, kAllModels},
    {"Preset15", kTuner, kAllModels},
    {"Preset16", kTuner, kAllModels},
    {"Preset17", kTuner, kAllModels},
    {"Preset18", kTuner, kAllModels},
    {"Preset19", kTuner, kAllModels},
    {"Preset20", kTuner, kAllModels},
    {"Preset21", kTuner, kAllModels},
    {"Preset22", kTuner, kAllModels},
    {"Preset23", kTuner, kAllModels},
    {"Preset24", kTuner, kAllModels},
    {"Preset25", kTuner, kAllModels},
    {"Preset26", kTuner, kAllModels},
    {"Preset27", kTuner, kAllModels},
    {"Preset28", kTuner, kAllModels},
    {"Preset29", kTuner, kAllModels},
    {"Preset30", kTuner, kAllModels},
    {"Preset31", kTuner, kAllModels},
    {"Preset32", kTuner, kAllModels},
    {"Preset33", kTuner, kAllModels},
    {"Preset34", kTuner, kAllModels},
    {"Preset35", kTuner, kAllModels},
    {"Preset36", kTuner, kAllModels},
    {"Preset37", kTuner, kAllModels},
    {"Preset38", kTuner, kAllModels},
    {"Preset39", kTuner, kAllModels},
    {"Preset40", kTuner, kAllModels},
    {"Preset", kSources, kAllModels},
}};

int QueryCount(std::uint32_t modelBit) {
    int count = 0;
    for (const QuerySection& section : kQuerySections) {
        for (const QueryParameter& parameter : kQueryParameters)
            count += IsQueried(section, parameter, modelBit) ? 1 : 0;
    }
    return count;
}

std::uint32_t ModelsWithParameter(const char* parameter) {
    for (const QueryParameter& row : kQueryParameters) {
        if (::strcasecmp(row.name, parameter) == 0)
            return row.modelMask;
    }
    return kAllModels;
}
