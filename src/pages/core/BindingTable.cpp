#include "BindingTable.h"

#include "ByteText.h"

#include <QHash>

#include <array>

namespace {

constexpr PresetGroup kNoGroup = PresetGroup::None;

template <std::size_t N>
BindingRow Combo(ControlId id, const char* section, const char* parameter, PageIndex page,
                 BindingKind kind, PresetGroup group, const std::array<ValueChoice, N>& list,
                 std::uint32_t mask = kAllModels) {
    return {id, section, parameter, page, kind, group, list.data(), static_cast<int>(N), mask};
}

BindingRow Plain(ControlId id, const char* section, const char* parameter, PageIndex page,
                 BindingKind kind, PresetGroup group) {
    return {id, section, parameter, page, kind, group, nullptr, 0, kAllModels};
}

BindingRow Trigger(ControlId id, const char* parameter, BindingKind kind) {
    if (kind == BindingKind::TriggerOut) {
        return Combo(id, "Main", parameter, PageIndex::Trigger, kind, kNoGroup, kTriggerOutTargets);
    }
    return Plain(id, "Main", parameter, PageIndex::Trigger, kind, kNoGroup);
}

const std::array<BindingRow, 6> kTriggerRows{{
    Trigger(ControlId::Trigger1Out, "Trigger1.Out", BindingKind::TriggerOut),
    Trigger(ControlId::Trigger2Out, "Trigger2.Out", BindingKind::TriggerOut),
    Trigger(ControlId::Trigger3Out, "Trigger3.Out", BindingKind::TriggerOut),
    Trigger(ControlId::Trigger1Delay, "Trigger1.Delay", BindingKind::TriggerDelay),
    Trigger(ControlId::Trigger2Delay, "Trigger2.Delay", BindingKind::TriggerDelay),
    Trigger(ControlId::Trigger3Delay, "Trigger3.Delay", BindingKind::TriggerDelay),
}};

BindingRow SourceRow(ControlId id, const char* section, const char* parameter, BindingKind kind) {
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

BindingRow SourceName(ControlId id, const char* s) {
    return SourceRow(id, s, "Name", BindingKind::SourceName);
}
BindingRow Analog(ControlId id, const char* s) {
    return SourceRow(id, s, "AnalogAudioInput", BindingKind::AnalogInput);
}
BindingRow Digital(ControlId id, const char* s) {
    return SourceRow(id, s, "DigitalAudioInput", BindingKind::DigitalInput);
}
BindingRow Video(ControlId id, const char* s) {
    return SourceRow(id, s, "VideoInput", BindingKind::VideoInput);
}
BindingRow SourceTrig(ControlId id, const char* s) {
    return SourceRow(id, s, "TriggerOut", BindingKind::SourceTrigger);
}
BindingRow Enabled(ControlId id, const char* s) {
    return SourceRow(id, s, "Enabled", BindingKind::SourceEnabled);
}
BindingRow Preset(ControlId id, const char* s) {
    return SourceRow(id, s, "Preset", BindingKind::SourcePreset);
}

const std::array<BindingRow, 67> kSourceRows{{
    SourceName(ControlId::Source1Name, "Source1"),
    SourceName(ControlId::Source2Name, "Source2"),
    SourceName(ControlId::Source3Name, "Source3"),
    SourceName(ControlId::Source4Name, "Source4"),
    SourceName(ControlId::Source5Name, "Source5"),
    SourceName(ControlId::Source6Name, "Source6"),
    SourceName(ControlId::Source7Name, "Source7"),
    SourceName(ControlId::Source8Name, "Source8"),
    SourceName(ControlId::Source9Name, "Source9"),
    SourceName(ControlId::Source10Name, "Source10"),
    Analog(ControlId::Source1AnalogAudioInput, "Source1"),
    Analog(ControlId::Source2AnalogAudioInput, "Source2"),
    Analog(ControlId::Source3AnalogAudioInput, "Source3"),
    Analog(ControlId::Source4AnalogAudioInput, "Source4"),
    Analog(ControlId::Source5AnalogAudioInput, "Source5"),
    Analog(ControlId::Source6AnalogAudioInput, "Source6"),
    Analog(ControlId::Source7AnalogAudioInput, "Source7"),
    Analog(ControlId::Source8AnalogAudioInput, "Source8"),
    Analog(ControlId::Source9AnalogAudioInput, "Source9"),
    Digital(ControlId::Source1DigitalAudioInput, "Source1"),
    Digital(ControlId::Source2DigitalAudioInput, "Source2"),
    Digital(ControlId::Source3DigitalAudioInput, "Source3"),
    Digital(ControlId::Source4DigitalAudioInput, "Source4"),
    Digital(ControlId::Source5DigitalAudioInput, "Source5"),
    Digital(ControlId::Source6DigitalAudioInput, "Source6"),
    Digital(ControlId::Source7DigitalAudioInput, "Source7"),
    Digital(ControlId::Source8DigitalAudioInput, "Source8"),
    Digital(ControlId::Source9DigitalAudioInput, "Source9"),
    Video(ControlId::Source1VideoInput, "Source1"),
    Video(ControlId::Source2VideoInput, "Source2"),
    Video(ControlId::Source3VideoInput, "Source3"),
    Video(ControlId::Source4VideoInput, "Source4"),
    Video(ControlId::Source5VideoInput, "Source5"),
    Video(ControlId::Source6VideoInput, "Source6"),
    Video(ControlId::Source7VideoInput, "Source7"),
    Video(ControlId::Source8VideoInput, "Source8"),
    Video(ControlId::Source9VideoInput, "Source9"),
    SourceTrig(ControlId::Source1TriggerOut, "Source1"),
    SourceTrig(ControlId::Source2TriggerOut, "Source2"),
    SourceTrig(ControlId::Source3TriggerOut, "Source3"),
    SourceTrig(ControlId::Source4TriggerOut, "Source4"),
    SourceTrig(ControlId::Source5TriggerOut, "Source5"),
    SourceTrig(ControlId::Source6TriggerOut, "Source6"),
    SourceTrig(ControlId::Source7TriggerOut, "Source7"),
    SourceTrig(ControlId::Source8TriggerOut, "Source8"),
    SourceTrig(ControlId::Source9TriggerOut, "Source9"),
    SourceTrig(ControlId::Source10TriggerOut, "Source10"),
    Enabled(ControlId::Source1Enabled, "Source1"),
    Enabled(ControlId::Source2Enabled, "Source2"),
    Enabled(ControlId::Source3Enabled, "Source3"),
    Enabled(ControlId::Source4Enabled, "Source4"),
    Enabled(ControlId::Source5Enabled, "Source5"),
    Enabled(ControlId::Source6Enabled, "Source6"),
    Enabled(ControlId::Source7Enabled, "Source7"),
    Enabled(ControlId::Source8Enabled, "Source8"),
    Enabled(ControlId::Source9Enabled, "Source9"),
    Enabled(ControlId::Source10Enabled, "Source10"),
    Preset(ControlId::Source1Preset, "Source1"),
    Preset(ControlId::Source2Preset, "Source2"),
    Preset(ControlId::Source3Preset, "Source3"),
    Preset(ControlId::Source4Preset, "Source4"),
    Preset(ControlId::Source5Preset, "Source5"),
    Preset(ControlId::Source6Preset, "Source6"),
    Preset(ControlId::Source7Preset, "Source7"),
    Preset(ControlId::Source8Preset, "Source8"),
    Preset(ControlId::Source9Preset, "Source9"),
    Preset(ControlId::Source10Preset, "Source10"),
}};

template <std::size_t N>
BindingRow SpeakerChoice(ControlId id, const char* parameter,
                         const std::array<ValueChoice, N>& list) {
    return Combo(id, "Main", parameter, PageIndex::Speaker, BindingKind::SpeakerChoice,
                 PresetGroup::SpeakerSetup, list);
}
BindingRow SpeakerNumber(ControlId id, const char* parameter) {
    return Plain(id, "Main", parameter, PageIndex::Speaker, BindingKind::SpeakerNumber,
                 PresetGroup::SpeakerSetup);
}

const std::array<BindingRow, 27> kSpeakerRows{{
    SpeakerChoice(ControlId::SpeakerFrontConfig, "Speaker.Front.Config", kSpeakerSize2),
    SpeakerChoice(ControlId::SpeakerCenterConfig, "Speaker.Center.Config", kSpeakerSize3),
    SpeakerChoice(ControlId::SpeakerSurroundConfig, "Speaker.Surround.Config", kSpeakerSize3),
    SpeakerChoice(ControlId::SpeakerBackConfig2, "Speaker.Back.Config2", kSpeakerSize2),
    SpeakerChoice(ControlId::SpeakerFrontFrequency, "Speaker.Front.Frequency", kCrossoverFreqs),
    SpeakerChoice(ControlId::SpeakerCenterFrequency, "Speaker.Center.Frequency", kCrossoverFreqs),
    SpeakerChoice(ControlId::SpeakerSurroundFrequency, "Speaker.Surround.Frequency",
                  kCrossoverFreqs),
    SpeakerChoice(ControlId::SpeakerBackFrequency, "Speaker.Back.Frequency", kCrossoverFreqs),
    SpeakerChoice(ControlId::SpeakerBackConfig1, "Speaker.Back.Config1", kBackSpeakerCount),
    SpeakerChoice(ControlId::SpeakerSub, "Speaker.Sub", kOnOff),
    SpeakerChoice(ControlId::EnhancedBass, "EnhancedBass", kOnOff),
    SpeakerNumber(ControlId::LevelLeft, "Level.Left"),
    SpeakerNumber(ControlId::LevelCenter, "Level.Center"),
    SpeakerNumber(ControlId::LevelRight, "Level.Right"),
    SpeakerNumber(ControlId::LevelSurroundRight, "Level.SurroundRight"),
    SpeakerNumber(ControlId::LevelBackRight, "Level.BackRight"),
    SpeakerNumber(ControlId::LevelBackLeft, "Level.BackLeft"),
    SpeakerNumber(ControlId::LevelSurroundLeft, "Level.SurroundLeft"),
    SpeakerNumber(ControlId::LevelSub, "Level.Sub"),
    SpeakerNumber(ControlId::DistanceLeft, "Distance.Left"),
    SpeakerNumber(ControlId::DistanceCenter, "Distance.Center"),
    SpeakerNumber(ControlId::DistanceRight, "Distance.Right"),
    SpeakerNumber(ControlId::DistanceSurroundRight, "Distance.SurroundRight"),
    SpeakerNumber(ControlId::DistanceBackRight, "Distance.BackRight"),
    SpeakerNumber(ControlId::DistanceBackLeft, "Distance.BackLeft"),
    SpeakerNumber(ControlId::DistanceSurroundLeft, "Distance.SurroundLeft"),
    SpeakerNumber(ControlId::DistanceSub, "Distance.Sub"),
}};

template <std::size_t N>
BindingRow Listening(ControlId id, const char* parameter, const std::array<ValueChoice, N>& list) {
    return Combo(id, "Main", parameter, PageIndex::ListeningMode, BindingKind::ListeningChoice,
                 PresetGroup::ListeningMode, list);
}

const std::array<BindingRow, 15> kListeningModeRows{{
    Listening(ControlId::ListeningModeDolbyDigital2ch, "ListeningMode.DolbyDigital2ch",
              kDolbyDigital2chModes),
    Listening(ControlId::ListeningModeDolbyDigital, "ListeningMode.DolbyDigital",
              kDolbyDigitalModes),
    Listening(ControlId::ListeningModeDTS, "ListeningMode.DTS", kDtsModes),
    Listening(ControlId::ListeningModeDigital, "ListeningMode.Digital", kDigitalModes),
    Listening(ControlId::ListeningModeAnalog, "ListeningMode.Analog", kAnalogModes),
    Listening(ControlId::DolbyDRC, "Dolby.DRC", kDrcLevels),
    Listening(ControlId::DolbyCenterWidth, "Dolby.CenterWidth", kCenterWidths),
    Listening(ControlId::DolbyDimension, "Dolby.Dimension", kDimensions),
    Listening(ControlId::DolbyPanorama, "Dolby.Panorama", kOnOff),
    Listening(ControlId::DTSDRC, "DTS.DRC", kDrcLevels),
    Listening(ControlId::DTSCenterGain, "DTS.CenterGain", kCenterGains),
    Listening(ControlId::EnhancedStereoFront, "EnhancedStereo.Front", kOnOff),
    Listening(ControlId::EnhancedStereoCenter, "EnhancedStereo.Center", kOnOff),
    Listening(ControlId::EnhancedStereoSurround, "EnhancedStereo.Surround", kOnOff),
    Listening(ControlId::EnhancedStereoBack, "EnhancedStereo.Back", kOnOff),
}};

const std::array<BindingRow, 1> kAmplifierRows{{
    Combo(ControlId::AmpBack, "Main", "Amp.Back", PageIndex::Amplifier, BindingKind::AmpChoice,
          kNoGroup, kBackAmpUses, kSpeakerABModels),
}};

template <std::size_t N>
BindingRow Display(ControlId id, const char* parameter, const std::array<ValueChoice, N>& list) {
    return Combo(id, "Main", parameter, PageIndex::Display, BindingKind::DisplayChoice,
                 PresetGroup::DisplaySetup, list);
}

const std::array<BindingRow, 5> kDisplayRows{{
    Display(ControlId::VFDDisplay, "VFD.Display", kVfdDisplayModes),
    Display(ControlId::Dimmer, "Dimmer", kDimmerLevels),
    Display(ControlId::VFDLine1, "VFD.Line1", kVfdLineContents),
    Display(ControlId::VFDLine2, "VFD.Line2", kVfdLineContents),
    Display(ControlId::OSDTempDisplay, "OSD.TempDisplay", kOnOff),
}};

template <std::size_t N>
BindingRow ZoneChoice(ControlId id, const char* section, const char* parameter,
                      const std::array<ValueChoice, N>& list) {
    return Combo(id, section, parameter, PageIndex::Zone, BindingKind::ZoneChoice, kNoGroup, list);
}
BindingRow ZoneLevel(ControlId id, const char* section) {
    return Plain(id, section, "VolumeFixed", PageIndex::Zone, BindingKind::ZoneLevel, kNoGroup);
}

// The fixed levels come after the volume controls so that a full refresh leaves
// each level box shown or hidden by its zone's stored volume control.
const std::array<BindingRow, 8> kZoneRows{{
    ZoneChoice(ControlId::Zone2VolumeControl, "Zone2", "VolumeControl", kZoneVolumeModes),
    ZoneChoice(ControlId::Zone3VolumeControl, "Zone3", "VolumeControl", kZoneVolumeModes),
    ZoneChoice(ControlId::Zone4VolumeControl, "Zone4", "VolumeControl", kZoneVolumeModes),
    ZoneChoice(ControlId::Zone3Mode, "Zone3", "Mode", kZoneOutModes),
    ZoneChoice(ControlId::Zone4Mode, "Zone4", "Mode", kZoneOutModes),
    ZoneLevel(ControlId::Zone2VolumeFixed, "Zone2"),
    ZoneLevel(ControlId::Zone3VolumeFixed, "Zone3"),
    ZoneLevel(ControlId::Zone4VolumeFixed, "Zone4"),
}};

BindingRow PresetName(ControlId id, const char* section) {
    return Plain(id, section, "Name", PageIndex::AvPreset, BindingKind::PresetName, kNoGroup);
}
BindingRow PresetSetup(ControlId id, const char* section, const char* parameter) {
    return Combo(id, section, parameter, PageIndex::AvPreset, BindingKind::PresetSetup, kNoGroup,
                 kYesNo);
}

const std::array<BindingRow, 30> kAvPresetRows{{
    PresetName(ControlId::Preset1Name, "Preset1"),
    PresetName(ControlId::Preset2Name, "Preset2"),
    PresetName(ControlId::Preset3Name, "Preset3"),
    PresetName(ControlId::Preset4Name, "Preset4"),
    PresetName(ControlId::Preset5Name, "Preset5"),
    PresetSetup(ControlId::Preset1SetupListeningMode, "Preset1", "Setup.ListeningMode"),
    PresetSetup(ControlId::Preset2SetupListeningMode, "Preset2", "Setup.ListeningMode"),
    PresetSetup(ControlId::Preset3SetupListeningMode, "Preset3", "Setup.ListeningMode"),
    PresetSetup(ControlId::Preset4SetupListeningMode, "Preset4", "Setup.ListeningMode"),
    PresetSetup(ControlId::Preset5SetupListeningMode, "Preset5", "Setup.ListeningMode"),
    PresetSetup(ControlId::Preset1SetupDSPOptions, "Preset1", "Setup.DSPOptions"),
    PresetSetup(ControlId::Preset2SetupDSPOptions, "Preset2", "Setup.DSPOptions"),
    PresetSetup(ControlId::Preset3SetupDSPOptions, "Preset3", "Setup.DSPOptions"),
    PresetSetup(ControlId::Preset4SetupDSPOptions, "Preset4", "Setup.DSPOptions"),
    PresetSetup(ControlId::Preset5SetupDSPOptions, "Preset5", "Setup.DSPOptions"),
    PresetSetup(ControlId::Preset1SetupToneControls, "Preset1", "Setup.ToneControls"),
    PresetSetup(ControlId::Preset2SetupToneControls, "Preset2", "Setup.ToneControls"),
    PresetSetup(ControlId::Preset3SetupToneControls, "Preset3", "Setup.ToneControls"),
    PresetSetup(ControlId::Preset4SetupToneControls, "Preset4", "Setup.ToneControls"),
    PresetSetup(ControlId::Preset5SetupToneControls, "Preset5", "Setup.ToneControls"),
    PresetSetup(ControlId::Preset1SetupSpeaker, "Preset1", "Setup.Speaker"),
    PresetSetup(ControlId::Preset2SetupSpeaker, "Preset2", "Setup.Speaker"),
    PresetSetup(ControlId::Preset3SetupSpeaker, "Preset3", "Setup.Speaker"),
    PresetSetup(ControlId::Preset4SetupSpeaker, "Preset4", "Setup.Speaker"),
    PresetSetup(ControlId::Preset5SetupSpeaker, "Preset5", "Setup.Speaker"),
    PresetSetup(ControlId::Preset1SetupDisplay, "Preset1", "Setup.Display"),
    PresetSetup(ControlId::Preset2SetupDisplay, "Preset2", "Setup.Display"),
    PresetSetup(ControlId::Preset3SetupDisplay, "Preset3", "Setup.Display"),
    PresetSetup(ControlId::Preset4SetupDisplay, "Preset4", "Setup.Display"),
    PresetSetup(ControlId::Preset5SetupDisplay, "Preset5", "Setup.Display"),
}};

template <std::size_t N>
BindingRow ControlChoice(ControlId id, const char* parameter, PresetGroup group,
                         const std::array<ValueChoice, N>& list, std::uint32_t mask = kAllModels) {
    return Combo(id, "Main", parameter, PageIndex::Control, BindingKind::ControlChoice, group, list,
                 mask);
}
BindingRow ControlNumber(ControlId id, const char* parameter, PresetGroup group) {
    return Plain(id, "Main", parameter, PageIndex::Control, BindingKind::ControlNumber, group);
}

const std::array<BindingRow, 16> kControlRows{{
    ControlChoice(ControlId::Power, "Power", kNoGroup, kOnOff),
    ControlChoice(ControlId::Mute, "Mute", kNoGroup, kOnOff),
    ControlChoice(ControlId::SpeakerA, "SpeakerA", kNoGroup, kOnOff, kSpeakerABModels),
    ControlChoice(ControlId::SpeakerB, "SpeakerB", kNoGroup, kOnOff, kSpeakerABModels),
    ControlChoice(ControlId::Bass, "Bass", PresetGroup::ToneControls, kToneLevels),
    ControlChoice(ControlId::Treble, "Treble", PresetGroup::ToneControls, kToneLevels),
    ControlChoice(ControlId::CenterDialog, "CenterDialog", PresetGroup::ToneControls, kToneLevels),
    ControlChoice(ControlId::ToneDefeat, "ToneDefeat", PresetGroup::ToneControls, kOnOff),
    ControlNumber(ControlId::Volume, "Volume", kNoGroup),
    ControlChoice(ControlId::Audyssey, "Audyssey", PresetGroup::DspOptions, kAudysseyModes,
                  kAudysseyModels),
    Plain(ControlId::MainSource, "Main", "Source", PageIndex::Control, BindingKind::MainSource,
          kNoGroup),
    ControlChoice(ControlId::ListeningMode, "ListeningMode", PresetGroup::ListeningMode,
                  kAnalogModes),
    ControlNumber(ControlId::LipSyncDelay, "LipSyncDelay", PresetGroup::DspOptions),
    ControlNumber(ControlId::TrimCenter, "Trim.Center", kNoGroup),
    ControlNumber(ControlId::TrimSurround, "Trim.Surround", kNoGroup),
    ControlNumber(ControlId::TrimSub, "Trim.Sub", kNoGroup),
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

constexpr PresetSpelling kPresetSpellings[] = {
    {ControlId::SpeakerFrontConfig, "Speaker.Front", JoinedPart::Size},
    {ControlId::SpeakerFrontFrequency, "Speaker.Front", JoinedPart::Crossover},
    {ControlId::SpeakerCenterConfig, "Speaker.Center", JoinedPart::Size},
    {ControlId::SpeakerCenterFrequency, "Speaker.Center", JoinedPart::Crossover},
    {ControlId::SpeakerSurroundConfig, "Speaker.Surround", JoinedPart::Size},
    {ControlId::SpeakerSurroundFrequency, "Speaker.Surround", JoinedPart::Crossover},
    {ControlId::SpeakerBackConfig2, "Speaker.Back1", JoinedPart::Size},
    {ControlId::SpeakerBackFrequency, "Speaker.Back1", JoinedPart::Crossover},
    {ControlId::SpeakerBackConfig1, "Speaker.Back2", JoinedPart::Whole},
};

qsizetype CrossoverStart(const QByteArray& joined) {
    qsizetype digit = 0;
    while (digit < joined.size() && !(joined[digit] >= '0' && joined[digit] <= '9'))
        ++digit;
    return digit;
}

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

const BindingRow* FindRowByControl(ControlId controlId) {
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

const PresetSpelling* PresetSpellingOf(const BindingRow& row) {
    if (row.presetGroup == PresetGroup::None)
        return nullptr;
    for (const PresetSpelling& spelling : kPresetSpellings) {
        if (spelling.controlId == row.controlId)
            return &spelling;
    }
    return nullptr;
}

std::vector<const BindingRow*> RowsSpelledInPresetAs(const QByteArray& parameter) {
    std::vector<const BindingRow*> rows;
    for (const BindingRow& row : kBindingTable) {
        const PresetSpelling* spelling = PresetSpellingOf(row);
        if (spelling != nullptr && EqualsIgnoringCase(parameter, spelling->parameter))
            rows.push_back(&row);
    }
    return rows;
}

QByteArray JoinedPartOf(const QByteArray& joined, JoinedPart part) {
    switch (part) {
        case JoinedPart::Size:
            return joined.left(CrossoverStart(joined));
        case JoinedPart::Crossover:
            return joined.mid(CrossoverStart(joined));
        case JoinedPart::Whole:
            break;
    }
    return joined;
}

QByteArray WithJoinedPart(const QByteArray& joined, JoinedPart part, const QByteArray& value) {
    switch (part) {
        case JoinedPart::Size:
            return value + JoinedPartOf(joined, JoinedPart::Crossover);
        case JoinedPart::Crossover:
            return JoinedPartOf(joined, JoinedPart::Size) + value;
        case JoinedPart::Whole:
            break;
    }
    return value;
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
