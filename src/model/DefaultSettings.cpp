#include "DefaultSettings.h"

#include "ReceiverShape.h"

#include <array>

namespace {

struct DefaultRow {
    const char* parameter;
    const char* value;
};

// An empty tuner preset record: 24 bytes of 0xFF in hexadecimal.
constexpr const char* kEmptyTunerPreset = "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF";
constexpr int kTunerPresetCount = 40;

constexpr std::array<DefaultRow, 2> kTunerRows = {{
    {"DigitalMode", "XM"},
    {"AMStep", "10"},
}};

constexpr std::array<DefaultRow, 75> kMainRows = {{
    {"Volume", "-20"},
    {"SpeakerA", "On"},
    {"SpeakerB", "Off"},
    {"Audyssey", "Off"},
    {"CenterDialog", "0"},
    {"Treble", "0"},
    {"Bass", "0"},
    {"ToneDefeat", "Off"},
    {"Dimmer", "Off"},
    {"Dolby.DRC", "100"},
    {"Dolby.CenterWidth", "3"},
    {"Dolby.Dimension", "0"},
    {"Dolby.Panorama", "Off"},
    {"DTS.DRC", "100"},
    {"DTS.CenterGain", "0.5"},
    {"EnhancedStereo.Front", "On"},
    {"EnhancedStereo.Center", "On"},
    {"EnhancedStereo.Surround", "On"},
    {"EnhancedStereo.Back", "On"},
    {"LipSyncDelay", "0"},
    {"Speaker.Front.Config", "Small"},
    {"Speaker.Front.Frequency", "80"},
    {"Speaker.Center.Config", "Small"},
    {"Speaker.Center.Frequency", "80"},
    {"Speaker.Surround.Config", "Small"},
    {"Speaker.Surround.Frequency", "80"},
    {"Speaker.Back.Config2", "Small"},
    {"Speaker.Back.Frequency", "80"},
    {"Speaker.Back.Config1", "2"},
    {"Speaker.Sub", "On"},
    {"EnhancedBass", "Off"},
    {"Level.Left", "0"},
    {"Level.Center", "0"},
    {"Level.Right", "0"},
    {"Level.SurroundRight", "0"},
    {"Level.BackRight", "0"},
    {"Level.BackLeft", "0"},
    {"Level.SurroundLeft", "0"},
    {"Level.Sub", "0"},
    {"Distance.UOM", "Feet"},
    {"Distance.Left", "0"},
    {"Distance.Center", "0"},
    {"Distance.Right", "0"},
    {"Distance.SurroundRight", "0"},
    {"Distance.BackRight", "0"},
    {"Distance.BackLeft", "0"},
    {"Distance.SurroundLeft", "0"},
    {"Distance.Sub", "0"},
    {"Amp.Back", "Back"},
    {"Trigger1.Out", "Main"},
    {"Trigger2.Out", "Zone2"},
    {"Trigger3.Out", "Source"},
    {"Trigger1.Delay", "0"},
    {"Trigger2.Delay", "0"},
    {"Trigger3.Delay", "0"},
    {"AutoTrigger", "Main"},
    {"VFD.Display", "On"},
    {"VFD.Line1", "MainSource"},
    {"VFD.Line2", "ListeningMode"},
    {"VFD.TempLine", "2"},
    {"OSD.TempDisplay", "On"},
    {"Power", "On"},
    {"Mute", "Off"},
    {"ListeningMode", "None"},
    {"Trim.Surround", "0"},
    {"Trim.Center", "0"},
    {"Trim.Sub", "0"},
    {"Sleep", "0"},
    {"ListeningMode.Analog", "None"},
    {"ListeningMode.Digital", "None"},
    {"ListeningMode.DolbyDigital", "PLIIxMovie"},
    {"ListeningMode.DolbyDigital2ch", "PLIIxMusic"},
    {"ListeningMode.DTS", "NEO6Music"},
    {"VideoMode", "NTSC"},
    {"Source", "1"},
}};

// One row per zone parameter; a null value means the zone has no such line.
struct ZoneRow {
    const char* parameter;
    std::array<const char*, 3> values;  // Zone2, Zone3, Zone4
};

constexpr std::array<ZoneRow, 7> kZoneRows = {{
    {"Volume", {"-20", "0", "0"}},
    {"Power", {"Off", "Off", "Off"}},
    {"Mute", {"Off", "Off", "Off"}},
    {"VolumeControl", {"Variable", "Variable", "Variable"}},
    {"VolumeFixed", {"0", "0", "0"}},
    {"Mode", {nullptr, "Record", "Record"}},
    {"Source", {"1", "1", "1"}},
}};

struct SourceRow {
    const char* parameter;
    std::array<const char*, kSourceCount> values;  // Source1 .. Source10
};

constexpr std::array<SourceRow, 11> kSourceRows = {{
    {"Name",
     {"Source 1", "Source 2", "Source 3", "Source 4", "Source 5", "Source 6", "Source 7",
      "Front Input", "Media Player", "Tuner"}},
    {"Enabled", {"Yes", "Yes", "Yes", "Yes", "Yes", "No", "No", "Yes", "Yes", "Yes"}},
    {"AnalogAudioFormat",
     {"Stereo", "Stereo", "Stereo", "Stereo", "7.1", "Off", "Off", "Stereo", "Stereo", "Stereo"}},
    {"AnalogAudioInput", {"1", "2", "3", "4", "1", "1", "1", "7", "8", "9"}},
    {"AnalogGain", {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}},
    {"DigitalAudioFormat",
     {"HDMI", "Optical", "Coaxial", "Off", "Off", "Off", "Off", "Optical", "Off", "Off"}},
    {"DigitalAudioInput", {"1", "2", "3", "1", "1", "1", "1", "4", "1", "1"}},
    {"VideoFormat",
     {"HDMI", "Component", "SVideo", "Video", "Component", "Off", "Off", "SVideo", "Off", "Off"}},
    {"VideoInput", {"1", "2", "3", "4", "3", "1", "1", "6", "1", "1"}},
    {"TriggerOut", {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}},
    {"Preset", {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}},
}};

// A null value marks the row whose value is the preset's own name.
constexpr std::array<DefaultRow, 58> kPresetRows = {{
    {"Audyssey", "Off"},
    {"CenterDialog", "0"},
    {"Treble", "0"},
    {"Bass", "0"},
    {"ToneDefeat", "Off"},
    {"Dimmer", "Off"},
    {"Dolby.DRC", "100"},
    {"Dolby.CenterWidth", "3"},
    {"Dolby.Dimension", "0"},
    {"Dolby.Panorama", "Off"},
    {"DTS.DRC", "100"},
    {"DTS.CenterGain", "0.5"},
    {"EnhancedStereo.Front", "On"},
    {"EnhancedStereo.Center", "On"},
    {"EnhancedStereo.Surround", "On"},
    {"EnhancedStereo.Back", "On"},
    {"LipSyncDelay", "0"},
    {"Speaker.Front", "Small80"},
    {"Speaker.Center", "Small80"},
    {"Speaker.Surround", "Small80"},
    {"Speaker.Back1", "Small80"},
    {"Speaker.Back2", "2"},
    {"Speaker.Sub", "On"},
    {"EnhancedBass", "Off"},
    {"Level.Left", "0"},
    {"Level.Center", "0"},
    {"Level.Right", "0"},
    {"Level.SurroundRight", "0"},
    {"Level.BackRight", "0"},
    {"Level.BackLeft", "0"},
    {"Level.SurroundLeft", "0"},
    {"Level.Sub", "0"},
    {"Distance.UOM", "Feet"},
    {"Distance.Left", "0"},
    {"Distance.Center", "0"},
    {"Distance.Right", "0"},
    {"Distance.SurroundRight", "0"},
    {"Distance.BackRight", "0"},
    {"Distance.BackLeft", "0"},
    {"Distance.SurroundLeft", "0"},
    {"Distance.Sub", "0"},
    {"VFD.Display", "On"},
    {"VFD.Line1", "MainSource"},
    {"VFD.Line2", "ListeningMode"},
    {"VFD.TempLine", "2"},
    {"OSD.TempDisplay", "On"},
    {"ListeningMode", "None"},
    {"Name", nullptr},
    {"Setup.ListeningMode", "Yes"},
    {"Setup.DSPOptions", "Yes"},
    {"Setup.ToneControls", "Yes"},
    {"Setup.Speaker", "No"},
    {"Setup.Display", "No"},
    {"ListeningMode.Analog", "None"},
    {"ListeningMode.Digital", "None"},
    {"ListeningMode.DolbyDigital", "PLIIxMovie"},
    {"ListeningMode.DolbyDigital2ch", "PLIIxMusic"},
    {"ListeningMode.DTS", "NEO6Music"},
}};

constexpr int kZoneCount = 3;  // Zone2..Zone4
constexpr std::size_t kDefaultLineCount = 537;

QByteArray Line(const QByteArray& section, const char* parameter, const QByteArray& value) {
    return section + '.' + parameter + '=' + value;
}

std::vector<QByteArray> BuildDefaultLines() {
    std::vector<QByteArray> lines;
    lines.reserve(kDefaultLineCount);

    const QByteArray tuner("Tuner");
    for (const DefaultRow& row : kTunerRows)
        lines.push_back(Line(tuner, row.parameter, row.value));
    for (int n = 1; n <= kTunerPresetCount; ++n) {
        const QByteArray parameter = "Preset" + QByteArray::number(n);
        lines.push_back(Line(tuner, parameter.constData(), kEmptyTunerPreset));
    }

    const QByteArray main("Main");
    for (const DefaultRow& row : kMainRows)
        lines.push_back(Line(main, row.parameter, row.value));

    for (int zone = 0; zone < kZoneCount; ++zone) {
        const QByteArray section = "Zone" + QByteArray::number(zone + 2);
        for (const ZoneRow& row : kZoneRows) {
            if (row.values[zone] != nullptr) {
                lines.push_back(Line(section, row.parameter, row.values[zone]));
            }
        }
    }

    for (int source = 0; source < kSourceCount; ++source) {
        const QByteArray section = "Source" + QByteArray::number(source + 1);
        for (const SourceRow& row : kSourceRows) {
            lines.push_back(Line(section, row.parameter, row.values[source]));
        }
    }

    for (int preset = 1; preset <= kAvPresetCount; ++preset) {
        const QByteArray section = "Preset" + QByteArray::number(preset);
        const QByteArray name = "Preset " + QByteArray::number(preset);
        for (const DefaultRow& row : kPresetRows) {
            lines.push_back(Line(section, row.parameter, row.value ? QByteArray(row.value) : name));
        }
    }
    return lines;
}

}  // namespace

const std::vector<QByteArray>& DefaultLines() {
    static const std::vector<QByteArray> lines = BuildDefaultLines();
    return lines;
}
