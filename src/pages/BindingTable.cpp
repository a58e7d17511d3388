#include "BindingTable.h"

#include <QHash>

#include <array>

namespace {

constexpr PresetGroup kNoGroup = PresetGroup::None;

template <std::size_t N>
BindingRow Combo(int id, const char* section, const char* parameter, PageIndex page,
                 BindingKind kind, PresetGroup group, const std::array<ValueChoice, N>& list,
                 std::uint32_t mask = kAllModels) {
    return {id, section, parameter, page, kind, group, list.data(), static_cast<int>(N), mask};
}

BindingRow Plain(int id, const char* section, const char* parameter, PageIndex page,
                 BindingKind kind, PresetGroup group) {
    return {id, section, parameter, page, kind, group, nullptr, 0, kAllModels};
}

BindingRow Trigger(int id, const char* parameter, BindingKind kind) {
    if (kind == BindingKind::TriggerOut) {
        return Combo(id, "Main", parameter, PageIndex::Trigger, kind, kNoGroup, kTriggerOutTargets);
    }
    return Plain(id, "Main", parameter, PageIndex::Trigger, kind, kNoGroup);
}

const std::array<BindingRow, 6> kTriggerRows{{
    Trigger(1240, "Trigger1.Out", BindingKind::TriggerOut),
    Trigger(1243, "Trigger2.Out", BindingKind::TriggerOut),
    Trigger(1246, "Trigger3.Out", BindingKind::TriggerOut),
    Trigger(1239, "Trigger1.Delay", BindingKind::TriggerDelay),
    Trigger(1242, "Trigger2.Delay", BindingKind::TriggerDelay),
    Trigger(1245, "Trigger3.Delay", BindingKind::TriggerDelay),
}};

BindingRow SourceRow(int id, const char* section, const char* parameter, BindingKind kind) {
    switch (kind) {
        case BindingKind::AnalogInput:
            return Combo(id, section, parameter, PageIndex::Source, kind, kNoGroup, kAnalogInputs);
        case BindingKind::DigitalInput:
            return Combo(id, section, parameter, PageIndex::Source, kind, kNoGroup, kDigitalInputs);
        case BindingKind::VideoInput:
            return Combo(id, section, parameter, PageIndex::Source, kind, kNoGroup, kVideoInputs);
        case BindingKind::SourceTrigger:
            return Combo(id, section, parameter, PageIndex::Source, kind, kNoGroup,
                         kSourceTriggers);
        case BindingKind::SourcePreset:
            return Combo(id, section, parameter, PageIndex::Source, kind, kNoGroup, kPresetNumbers);
        default:
            return Plain(id, section, parameter, PageIndex::Source, kind, kNoGroup);
    }
}

BindingRow SourceName(int id, const char* s) {
    return SourceRow(id, s, "Name", BindingKind::SourceName);
}
BindingRow Analog(int id, const char* s) {
    return SourceRow(id, s, "AnalogAudioInput", BindingKind::AnalogInput);
}
BindingRow Digital(int id, const char* s) {
    return SourceRow(id, s, "DigitalAudioInput", BindingKind::DigitalInput);
}
BindingRow Video(int id, const char* s) {
    return SourceRow(id, s, "VideoInput", BindingKind::VideoInput);
}
BindingRow SourceTrig(int id, const char* s) {
    return SourceRow(id, s, "TriggerOut", BindingKind::SourceTrigger);
}
BindingRow Enabled(int id, const char* s) {
    return SourceRow(id, s, "Enabled", BindingKind::SourceEnabled);
}
BindingRow Preset(int id, const char* s) {
    return SourceRow(id, s, "Preset", BindingKind::SourcePreset);
}

const std::array<BindingRow, 67> kSourceRows{{
    SourceName(1142, "Source1"),  SourceName(1148, "Source2"),  SourceName(1154, "Source3"),
    SourceName(1160, "Source4"),  SourceName(1166, "Source5"),  SourceName(1172, "Source6"),
    SourceName(1178, "Source7"),  SourceName(1184, "Source8"),  SourceName(1190, "Source9"),
    SourceName(1196, "Source10"), Analog(1140, "Source1"),      Analog(1146, "Source2"),
    Analog(1152, "Source3"),      Analog(1158, "Source4"),      Analog(1164, "Source5"),
    Analog(1170, "Source6"),      Analog(1176, "Source7"),      Analog(1182, "Source8"),
    Analog(1188, "Source9"),      Digital(1141, "Source1"),     Digital(1147, "Source2"),
    Digital(1153, "Source3"),     Digital(1159, "Source4"),     Digital(1165, "Source5"),
    Digital(1171, "Source6"),     Digital(1177, "Source7"),     Digital(1183, "Source8"),
    Digital(1189, "Source9"),     Video(1145, "Source1"),       Video(1151, "Source2"),
    Video(1157, "Source3"),       Video(1163, "Source4"),       Video(1169, "Source5"),
    Video(1175, "Source6"),       Video(1181, "Source7"),       Video(1187, "Source8"),
    Video(1193, "Source9"),       SourceTrig(1144, "Source1"),  SourceTrig(1150, "Source2"),
    SourceTrig(1156, "Source3"),  SourceTrig(1162, "Source4"),  SourceTrig(1168, "Source5"),
    SourceTrig(1174, "Source6"),  SourceTrig(1180, "Source7"),  SourceTrig(1186, "Source8"),
    SourceTrig(1192, "Source9"),  SourceTrig(1198, "Source10"), Enabled(1200, "Source1"),
    Enabled(1201, "Source2"),     Enabled(1202, "Source3"),     Enabled(1203, "Source4"),
    Enabled(1204, "Source5"),     Enabled(1205, "Source6"),     Enabled(1206, "Source7"),
    Enabled(1207, "Source8"),     Enabled(1208, "Source9"),     Enabled(1209, "Source10"),
    Preset(1143, "Source1"),      Preset(1149, "Source2"),      Preset(1155, "Source3"),
    Preset(1161, "Source4"),      Preset(1167, "Source5"),      Preset(1173, "Source6"),
    Preset(1179, "Source7"),      Preset(1185, "Source8"),      Preset(1191, "Source9"),
    Preset(1197, "Source10"),
}};

template <std::size_t N>
BindingRow SpeakerChoice(int id, const char* parameter, const std::array<ValueChoice, N>& list) {
    return Combo(id, "Main", parameter, PageIndex::Speaker, BindingKind::SpeakerChoice,
                 PresetGroup::SpeakerSetup, list);
}
BindingRow SpeakerNumber(int id, const char* parameter) {
    return Plain(id, "Main", parameter, PageIndex::Speaker, BindingKind::SpeakerNumber,
                 PresetGroup::SpeakerSetup);
}

const std::array<BindingRow, 27> kSpeakerRows{{
    SpeakerChoice(1015, "Speaker.Front.Config", kSpeakerSize2),
    SpeakerChoice(1042, "Speaker.Center.Config", kSpeakerSize3),
    SpeakerChoice(1066, "Speaker.Surround.Config", kSpeakerSize3),
    SpeakerChoice(1083, "Speaker.Back.Config2", kSpeakerSize2),
    SpeakerChoice(1306, "Speaker.Front.Frequency", kCrossoverFreqs),
    SpeakerChoice(1058, "Speaker.Center.Frequency", kCrossoverFreqs),
    SpeakerChoice(1060, "Speaker.Surround.Frequency", kCrossoverFreqs),
    SpeakerChoice(1062, "Speaker.Back.Frequency", kCrossoverFreqs),
    SpeakerChoice(1064, "Speaker.Back.Config1", kBackSpeakerCount),
    SpeakerChoice(1069, "Speaker.Sub", kOnOff),
    SpeakerChoice(1075, "EnhancedBass", kOnOff),
    SpeakerNumber(1301, "Level.Left"),
    SpeakerNumber(1302, "Level.Center"),
    SpeakerNumber(1303, "Level.Right"),
    SpeakerNumber(1113, "Level.SurroundRight"),
    SpeakerNumber(1117, "Level.BackRight"),
    SpeakerNumber(1121, "Level.BackLeft"),
    SpeakerNumber(1125, "Level.SurroundLeft"),
    SpeakerNumber(1129, "Level.Sub"),
    SpeakerNumber(1304, "Distance.Left"),
    SpeakerNumber(1305, "Distance.Center"),
    SpeakerNumber(1111, "Distance.Right"),
    SpeakerNumber(1115, "Distance.SurroundRight"),
    SpeakerNumber(1119, "Distance.BackRight"),
    SpeakerNumber(1123, "Distance.BackLeft"),
    SpeakerNumber(1127, "Distance.SurroundLeft"),
    SpeakerNumber(1131, "Distance.Sub"),
}};

template <std::size_t N>
BindingRow Listening(int id, const char* parameter, const std::array<ValueChoice, N>& list) {
    return Combo(id, "Main", parameter, PageIndex::ListeningMode, BindingKind::ListeningChoice,
                 PresetGroup::ListeningMode, list);
}

const std::array<BindingRow, 15> kListeningModeRows{{
    Listening(1271, "ListeningMode.DolbyDigital2ch", kDolbyDigital2chModes),
    Listening(1272, "ListeningMode.DolbyDigital", kDolbyDigitalModes),
    Listening(1273, "ListeningMode.DTS", kDtsModes),
    Listening(1274, "ListeningMode.Digital", kDigitalModes),
    Listening(1275, "ListeningMode.Analog", kAnalogModes),
    Listening(1276, "Dolby.DRC", kDrcLevels),
    Listening(1278, "Dolby.CenterWidth", kCenterWidths),
    Listening(1071, "Dolby.Dimension", kDimensions),
    Listening(1073, "Dolby.Panorama", kOnOff),
    Listening(1277, "DTS.DRC", kDrcLevels),
    Listening(1279, "DTS.CenterGain", kCenterGains),
    Listening(1280, "EnhancedStereo.Front", kOnOff),
    Listening(1281, "EnhancedStereo.Center", kOnOff),
    Listening(1282, "EnhancedStereo.Surround", kOnOff),
    Listening(1283, "EnhancedStereo.Back", kOnOff),
}};

const std::array<BindingRow, 1> kAmplifierRows{{
    Combo(1002, "Main", "Amp.Back", PageIndex::Amplifier, BindingKind::AmpChoice, kNoGroup,
          kBackAmpUses, kSpeakerABModels),
}};

template <std::size_t N>
BindingRow Display(int id, const char* parameter, const std::array<ValueChoice, N>& list) {
    return Combo(id, "Main", parameter, PageIndex::Display, BindingKind::DisplayChoice,
                 PresetGroup::DisplaySetup, list);
}

const std::array<BindingRow, 5> kDisplayRows{{
    Display(1266, "VFD.Display", kVfdDisplayModes),
    Display(1267, "Dimmer", kDimmerLevels),
    Display(1268, "VFD.Line1", kVfdLineContents),
    Display(1269, "VFD.Line2", kVfdLineContents),
    Display(1270, "OSD.TempDisplay", kOnOff),
}};

template <std::size_t N>
BindingRow ZoneChoice(int id, const char* section, const char* parameter,
                      const std::array<ValueChoice, N>& list) {
    return Combo(id, section, parameter, PageIndex::Zone, BindingKind::ZoneChoice, kNoGroup, list);
}
BindingRow ZoneLevel(int id, const char* section) {
    return Plain(id, section, "VolumeFixed", PageIndex::Zone, BindingKind::ZoneLevel, kNoGroup);
}

// The fixed levels come after the volume controls so that a full refresh leaves
// each level box shown or hidden by its zone's stored volume control.
const std::array<BindingRow, 8> kZoneRows{{
    ZoneChoice(1308, "Zone2", "VolumeControl", kZoneVolumeModes),
    ZoneChoice(1311, "Zone3", "VolumeControl", kZoneVolumeModes),
    ZoneChoice(1313, "Zone4", "VolumeControl", kZoneVolumeModes),
    ZoneChoice(1310, "Zone3", "Mode", kZoneOutModes),
    ZoneChoice(1312, "Zone4", "Mode", kZoneOutModes),
    ZoneLevel(1317, "Zone2"),
    ZoneLevel(1314, "Zone3"),
    ZoneLevel(1315, "Zone4"),
}};

BindingRow PresetName(int id, const char* section) {
    return Plain(id, section, "Name", PageIndex::AvPreset, BindingKind::PresetName, kNoGroup);
}
BindingRow PresetSetup(int id, const char* section, const char* parameter) {
    return Combo(id, section, parameter, PageIndex::AvPreset, BindingKind::PresetSetup, kNoGroup,
                 kYesNo);
}

const std::array<BindingRow, 30> kAvPresetRows{{
    PresetName(1100, "Preset1"),
    PresetName(1103, "Preset2"),
    PresetName(1105, "Preset3"),
    PresetName(1107, "Preset4"),
    PresetName(1109, "Preset5"),
    PresetSetup(1017, "Preset1", "Setup.ListeningMode"),
    PresetSetup(1043, "Preset2", "Setup.ListeningMode"),
    PresetSetup(1067, "Preset3", "Setup.ListeningMode"),
    PresetSetup(1087, "Preset4", "Setup.ListeningMode"),
    PresetSetup(1089, "Preset5", "Setup.ListeningMode"),
    PresetSetup(1084, "Preset1", "Setup.DSPOptions"),
    PresetSetup(1091, "Preset2", "Setup.DSPOptions"),
    PresetSetup(1093, "Preset3", "Setup.DSPOptions"),
    PresetSetup(1095, "Preset4", "Setup.DSPOptions"),
    PresetSetup(1021, "Preset5", "Setup.DSPOptions"),
    PresetSetup(1023, "Preset1", "Setup.ToneControls"),
    PresetSetup(1025, "Preset2", "Setup.ToneControls"),
    PresetSetup(1027, "Preset3", "Setup.ToneControls"),
    PresetSetup(1029, "Preset4", "Setup.ToneControls"),
    PresetSetup(1031, "Preset5", "Setup.ToneControls"),
    PresetSetup(1033, "Preset1", "Setup.Speaker"),
    PresetSetup(1035, "Preset2", "Setup.Speaker"),
    PresetSetup(1037, "Preset3", "Setup.Speaker"),
    PresetSetup(1039, "Preset4", "Setup.Speaker"),
    PresetSetup(1045, "Preset5", "Setup.Speaker"),
    PresetSetup(1047, "Preset1", "Setup.Display"),
    PresetSetup(1050, "Preset2", "Setup.Display"),
    PresetSetup(1052, "Preset3", "Setup.Display"),
    PresetSetup(1054, "Preset4", "Setup.Display"),
    PresetSetup(1056, "Preset5", "Setup.Display"),
}};

template <std::size_t N>
BindingRow ControlChoice(int id, const char* parameter, PresetGroup group,
                         const std::array<ValueChoice, N>& list, std::uint32_t mask = kAllModels) {
    return Combo(id, "Main", parameter, PageIndex::Control, BindingKind::ControlChoice, group, list,
                 mask);
}
BindingRow ControlNumber(int id, const char* parameter, PresetGroup group) {
    return Plain(id, "Main", parameter, PageIndex::Control, BindingKind::ControlNumber, group);
}

const std::array<BindingRow, 16> kControlRows{{
    ControlChoice(1124, "Power", kNoGroup, kOnOff),
    ControlChoice(1120, "Mute", kNoGroup, kOnOff),
    ControlChoice(1220, "SpeakerA", kNoGroup, kOnOff, kSpeakerABModels),
    ControlChoice(1221, "SpeakerB", kNoGroup, kOnOff, kSpeakerABModels),
    ControlChoice(1004, "Bass", PresetGroup::ToneControls, kToneLevels),
    ControlChoice(1237, "Treble", PresetGroup::ToneControls, kToneLevels),
    ControlChoice(1048, "CenterDialog", PresetGroup::ToneControls, kToneLevels),
    ControlChoice(1236, "ToneDefeat", PresetGroup::ToneControls, kOnOff),
    ControlNumber(1248, "Volume", kNoGroup),
    ControlChoice(1019, "Audyssey", PresetGroup::DspOptions, kAudysseyModes, kAudysseyModels),
    Plain(1210, "Main", "Source", PageIndex::Control, BindingKind::MainSource, kNoGroup),
    ControlChoice(1016, "ListeningMode", PresetGroup::ListeningMode, kAnalogModes),
    ControlNumber(1011, "LipSyncDelay", PresetGroup::DspOptions),
    ControlNumber(1324, "Trim.Center", kNoGroup),
    ControlNumber(1253, "Trim.Surround", kNoGroup),
    ControlNumber(1257, "Trim.Sub", kNoGroup),
}};

// Which preset group each setup switch of a preset governs.
struct SetupSwitch {
    const char* parameter;
    PresetGroup group;
};

constexpr SetupSwitch kSetupSwitches[] = {
    {"Setup.ListeningMode", PresetGroup::ListeningMode},
    {"Setup.DSPOptions", PresetGroup::DspOptions},
    {"Setup.ToneControls", PresetGroup::ToneControls},
    {"Setup.Speaker", PresetGroup::SpeakerSetup},
    {"Setup.Display", PresetGroup::DisplaySetup},
};

template <std::size_t... N>
auto Concatenate(const std::array<BindingRow, N>&... parts) {
    std::array<BindingRow, (N + ...)> all{};
    std::size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), all.begin() + at), at += N), ...);
    return all;
}

const auto kAllRows =
    Concatenate(kTriggerRows, kSourceRows, kSpeakerRows, kListeningModeRows, kAmplifierRows,
                kDisplayRows, kZoneRows, kAvPresetRows, kControlRows);

}  // namespace

const std::span<const BindingRow> kBindingTable(kAllRows);

QByteArray BindingRow::Key() const {
    return QByteArray(section) + '.' + parameter;
}

bool IsComboKind(BindingKind kind) {
    switch (kind) {
        case BindingKind::AnalogInput:
        case BindingKind::DigitalInput:
        case BindingKind::VideoInput:
        case BindingKind::SourceTrigger:
        case BindingKind::TriggerOut:
        case BindingKind::SourcePreset:
        case BindingKind::AmpChoice:
        case BindingKind::DisplayChoice:
        case BindingKind::ListeningChoice:
        case BindingKind::SpeakerChoice:
        case BindingKind::ZoneChoice:
        case BindingKind::PresetSetup:
        case BindingKind::ControlChoice:
            return true;
        default:
            return false;
    }
}

bool IsEditKind(BindingKind kind) {
    switch (kind) {
        case BindingKind::SourceName:
        case BindingKind::TriggerDelay:
        case BindingKind::SpeakerNumber:
        case BindingKind::ZoneLevel:
        case BindingKind::PresetName:
        case BindingKind::ControlNumber:
            return true;
        default:
            return false;
    }
}

bool IsSourceInputKind(BindingKind kind) {
    return kind == BindingKind::AnalogInput || kind == BindingKind::DigitalInput ||
           kind == BindingKind::VideoInput;
}

const BindingRow* FindRowByControl(int controlId) {
    for (const BindingRow& row : kBindingTable) {
        if (row.controlId == controlId)
            return &row;
    }
    return nullptr;
}

// Every status line looks its key up here, so the keys are indexed once.
const BindingRow* FindRowByKey(const QByteArray& key) {
    static const QHash<QByteArray, const BindingRow*> kRowsByKey = [] {
        QHash<QByteArray, const BindingRow*> rows;
        for (const BindingRow& row : kBindingTable) {
            // The first row of a key wins.
            if (!rows.contains(row.Key()))
                rows.insert(row.Key(), &row);
        }
        return rows;
    }();
    return kRowsByKey.value(key, nullptr);
}

int SourceNumberOf(const char* section) {
    const QByteArray text(section);
    if (!text.startsWith("Source"))
        return 0;
    bool ok = false;
    const int number = text.mid(6).toInt(&ok);
    return ok && number >= 1 && number <= kSourceCount ? number : 0;
}

const BindingRow* FindPresetSetupRow(int preset, PresetGroup group) {
    if (preset < 1 || preset > kAvPresetCount)
        return nullptr;
    for (const SetupSwitch& setup : kSetupSwitches) {
        if (setup.group == group)
            return FindRowByKey("Preset" + QByteArray::number(preset) + '.' + setup.parameter);
    }
    return nullptr;
}
