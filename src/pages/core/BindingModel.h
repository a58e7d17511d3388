#pragma once

#include "BindingTable.h"

#include <QByteArray>

#include <optional>
#include <vector>

class SettingsStore;
struct SessionState;

// One setting a user's choice writes, in the order the receiver takes them.
struct SettingWrite {
    QByteArray key;
    QByteArray value;

    bool operator==(const SettingWrite&) const = default;
};

// What a user's choice on a row amounts to: the value the pages hear of (for
// a source input the chosen entry's stored value) and the settings to write.
// No writes: the choice is no entry of the row (nothing is sent).
struct RowChoice {
    QByteArray chosen;
    std::vector<SettingWrite> writes;
};

// How a row decides under the enable rule.
struct RowEnable {
    bool enabled = false;
    // False when the store lacks the key the row reads: the row is shown empty.
    bool held = false;
};

// What a setting accepts: a list of choices, a whole number in a range, or a
// name of at most `maximumLength` characters.
struct SettingChoice {
    QByteArray shown;
    QByteArray stored;
};
struct SettingShape {
    enum class Kind { Choices, Number, Text, Flag };
    Kind kind = Kind::Text;
    std::vector<SettingChoice> choices;  // Choices; Flag: "Yes" and "No"
    // Number: within minimum..maximum when bounded; otherwise the receiver bounds it.
    bool bounded = true;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int maximumLength = 0;  // Text
};

// The bound rows' rules on the settings store and the session state alone:
// which entries a row offers, what it shows, whether it may be edited and what
// a choice on it writes. The pages' widgets only show its answers; the same
// answers describe each key to anything without a window.
class BindingModel {
public:
    BindingModel(const SettingsStore& store, const SessionState& state);

    // The key a row reads: in a preset view, a preset-governed row reads the
    // preset's; a speaker row whose key the store lacks there reads the
    // preset's own spelling of it (PresetSpellingOf), and writes it too.
    QByteArray ReadKey(const BindingRow& row) const;

    // The entries a combo row offers, in list order. A source's trigger list
    // offers only the combinations of the triggers under source control.
    std::vector<const ValueChoice*> Offered(const BindingRow& row) const;
    // The triggers under source control, a bit each.
    int SourceTriggerMask() const;

    // The value a row shows; nullopt when the store lacks its key. A source
    // input shows its format and input composed ("HDMI 2", "Off").
    std::optional<QByteArray> ShownValue(const BindingRow& row) const;
    // The entry a combo row selects; nullptr for none. A source trigger the
    // filtered list does not offer shows as its first entry, "None".
    const ValueChoice* ShownChoice(const BindingRow& row) const;

    // Model, view and preset coverage, and whether the store holds the key.
    RowEnable EnableOf(const BindingRow& row) const;
    // In preset view `view` (1..5): whether that preset's setup switch for
    // `group` is stored as "Yes".
    bool PresetCovers(int view, PresetGroup group) const;
    // Enhanced Bass can be chosen only with large fronts and a subwoofer.
    bool EnhancedBassPossible() const;
    // A zone's fixed level means something only while its volume is not variable.
    bool ZoneLevelShown(const char* zoneSection) const;

    // What choosing `value` on the row writes: for a combo an entry's stored
    // value (any case), for the source check box "Yes" or "No", for the main
    // source its number, for an edit its text; in a preset view, to the
    // view's section.
    RowChoice Choose(const BindingRow& row, const QByteArray& value) const;

    // What `key` (a bound row's own key) accepts; nullopt for a key of no row.
    std::optional<SettingShape> ShapeOf(const QByteArray& key) const;
    // Whether the connected receiver's model has the bound setting `key`.
    bool ModelHas(const QByteArray& key) const;

private:
    // Where a row's value is read: the key, and the part of its value that
    // is the row's.
    struct ReadPlace {
        QByteArray key;
        JoinedPart part = JoinedPart::Whole;
        bool presetSpelling = false;
    };
    ReadPlace PlaceOf(const BindingRow& row) const;
    // Choose, with every key in its own section.
    RowChoice ChooseInMain(const BindingRow& row, const QByteArray& value) const;

    const SettingsStore& m_store;
    const SessionState& m_state;
};
