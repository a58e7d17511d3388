#pragma once

#include "ControlIds.h"
#include "ReceiverShape.h"
#include "ValueLists.h"

#include <QByteArray>

#include <cstdint>
#include <span>
#include <vector>

// Page numbers of the binding table (not the tab order).
enum class PageIndex : int {
    Source = 0,
    Amplifier = 1,
    AvPreset = 2,
    Display = 3,
    ListeningMode = 4,
    Speaker = 5,
    Trigger = 6,
    Zone = 7,
    Control = 8,
};
inline constexpr int kBindingPageCount = 9;

// Preset groups of the binding table: which A/V preset setup switch governs a
// control in a preset view (3 is not used).
enum class PresetGroup : int {
    None = 0,
    ListeningMode = 1,
    DspOptions = 2,
    SpeakerSetup = 4,
    DisplaySetup = 5,
    ToneControls = 6,
};

// How a bound control reads and shows its value; the numbers are the table's codes.
enum class BindingKind : int {
    SourceName = 1,
    AnalogInput = 2,
    DigitalInput = 3,
    VideoInput = 4,
    SourceTrigger = 5,
    TriggerOut = 7,
    TriggerDelay = 8,
    SourceEnabled = 9,
    SourcePreset = 10,
    AmpChoice = 11,
    DisplayChoice = 12,
    ListeningChoice = 13,
    SpeakerChoice = 14,
    SpeakerNumber = 15,
    ZoneChoice = 16,
    ZoneLevel = 17,
    PresetSetup = 18,
    PresetName = 19,
    ControlChoice = 20,
    ControlNumber = 21,
    MainSource = 22,
};

struct BindingRow {
    ControlId controlId;  // for a radio group, its first button
    const char* section;
    const char* parameter;
    PageIndex page;
    BindingKind kind;
    PresetGroup presetGroup;
    const ValueChoice* values;  // nullptr when the control has no list
    int valueCount;
    std::uint32_t modelMask;  // models on which the control is enabled

    ValueList Choices() const { return ValueList(values, static_cast<std::size_t>(valueCount)); }
    // The row's own key, section "." parameter.
    QByteArray Key() const;
};

// Every bound control of every page, in refresh order: Trigger, Source,
// Speaker, Listening Mode, Amplifier, Display, Zone, A/V Preset, Control.
// Rows are found by first match.
extern const std::span<const BindingRow> kBindingTable;

bool IsComboKind(BindingKind kind);
bool IsEditKind(BindingKind kind);
bool IsSourceInputKind(BindingKind kind);

// First row with that control id, or nullptr.
const BindingRow* FindRowByControl(ControlId controlId);
// First row whose own key equals `key` exactly (case-sensitive), or nullptr.
const BindingRow* FindRowByKey(const QByteArray& key);

// A preset section names some speaker settings its own way: it joins a
// speaker's size and crossover in one value ("Speaker.Front=Small80") and
// calls the number of back speakers "Speaker.Back2", where the main section
// has Speaker.Front.Config, Speaker.Front.Frequency and Speaker.Back.Config1.
// The default lines and the files saved from them keep these names; a
// receiver also answers the main section's names in a preset section.
enum class JoinedPart { Whole, Size, Crossover };
struct PresetSpelling {
    ControlId controlId;
    const char* parameter;  // within the preset's section
    JoinedPart part;        // what of the preset's value the row stands for
};
// How a preset names `row`'s setting; nullptr when it uses the row's own parameter.
const PresetSpelling* PresetSpellingOf(const BindingRow& row);
// The rows whose setting a preset holds under `parameter` (any letter case),
// in table order: "Speaker.Front" gives the front size row, then its crossover row.
std::vector<const BindingRow*> RowsSpelledInPresetAs(const QByteArray& parameter);
// One part of a preset's speaker value: the size is the text before the first
// digit, the crossover the rest ("Small80" gives "Small" and "80").
QByteArray JoinedPartOf(const QByteArray& joined, JoinedPart part);
// `joined` with one part replaced by `value`.
QByteArray WithJoinedPart(const QByteArray& joined, JoinedPart part, const QByteArray& value);

// "Source3" gives 3; 0 for any section that is not Source1..Source10.
int SourceNumberOf(const char* section);
// The A/V Preset setup row of preset 1..5 that governs `group`, or nullptr.
const BindingRow* FindPresetSetupRow(int preset, PresetGroup group);
