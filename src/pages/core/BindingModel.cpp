#include "BindingModel.h"

#include "ByteText.h"
#include "KeyRules.h"
#include "SessionState.h"
#include "SettingsStore.h"

namespace {

// How a chosen input entry's stored value names its format: the first prefix
// that matches wins, so "SVIDEO" is tested before "VIDEO".
struct FormatPrefix {
    const char* prefix;
    const char* format;
};

constexpr FormatPrefix kDigitalPrefixes[] = {
    {"HDMI", "HDMI"},
    {"OPTICAL", "Optical"},
    {"COAXIAL", "Coaxial"},
};

constexpr FormatPrefix kVideoPrefixes[] = {
    {"HDMI", "HDMI"},
    {"SVIDEO", "SVideo"},
    {"COMPONENT", "Component"},
    {"VIDEO", "Video"},
};

// Which settings of its source section an input kind writes.
struct SourceInputKeys {
    BindingKind kind;
    const char* format;
    const char* input;
};

constexpr SourceInputKeys kSourceInputKeys[] = {
    {BindingKind::AnalogInput, "AnalogAudioFormat", "AnalogAudioInput"},
    {BindingKind::DigitalInput, "DigitalAudioFormat", "DigitalAudioInput"},
    {BindingKind::VideoInput, "VideoFormat", "VideoInput"},
};

const SourceInputKeys* InputKeysOf(BindingKind kind) {
    for (const SourceInputKeys& keys : kSourceInputKeys) {
        if (keys.kind == kind)
            return &keys;
    }
    return nullptr;
}

template <std::size_t N>
const char* FormatOf(const FormatPrefix (&table)[N], const QByteArray& stored) {
    for (const FormatPrefix& entry : table) {
        if (stored.startsWith(entry.prefix))
            return entry.format;
    }
    return nullptr;
}

const ValueChoice* EntryOf(const BindingRow& row, const QByteArray& stored) {
    const int index = FindStoredValue(row.Choices(), stored);
    return index < 0 ? nullptr : &row.values[index];
}

bool IsStored(const QByteArray& value, const char* stored) {
    return EqualsIgnoringCase(value, stored);
}

}  // namespace

BindingModel::BindingModel(const SettingsStore& store, const SessionState& state)
    : m_store(store), m_state(state) {}

BindingModel::ReadPlace BindingModel::PlaceOf(const BindingRow& row) const {
    if (m_state.viewIndex == 0 || row.presetGroup == PresetGroup::None)
        return {row.Key()};
    const QByteArray section = ViewSectionOf(m_state.viewIndex);
    ReadPlace own{section + '.' + row.parameter};
    // The receiver's own answers come first; the preset's spelling is what
    // the default lines and the files saved from them hold.
    const PresetSpelling* spelling = PresetSpellingOf(row);
    if (spelling == nullptr || m_store.Holds(own.key))
        return own;
    ReadPlace spelled{section + '.' + spelling->parameter, spelling->part, true};
    return m_store.Holds(spelled.key) ? spelled : own;
}

QByteArray BindingModel::ReadKey(const BindingRow& row) const {
    return PlaceOf(row).key;
}

int BindingModel::SourceTriggerMask() const {
    int sourceMask = 0;
    for (int i = 1; i <= 3; ++i) {
        QByteArray target = m_store.GetValue("Main.Trigger" + QByteArray::number(i) + ".Out");
        while (!target.isEmpty() && IsBlank(target.back()))
            target.chop(1);
        if (EqualsIgnoringCase(target, "Source"))
            sourceMask |= 1 << (i - 1);
    }
    return sourceMask;
}

std::vector<const ValueChoice*> BindingModel::Offered(const BindingRow& row) const {
    // A trigger combination is offered when all its triggers are under source control.
    const int offered = row.kind == BindingKind::SourceTrigger ? SourceTriggerMask() : ~0;
    std::vector<const ValueChoice*> entries;
    for (const ValueChoice& choice : row.Choices()) {
        if ((choice.index & offered) == choice.index)
            entries.push_back(&choice);
    }
    return entries;
}

std::optional<QByteArray> BindingModel::ShownValue(const BindingRow& row) const {
    const ReadPlace place = PlaceOf(row);
    if (!m_store.Holds(place.key))
        return std::nullopt;
    const QByteArray value = JoinedPartOf(m_store.GetValue(place.key), place.part);
    const SourceInputKeys* keys = InputKeysOf(row.kind);
    if (keys == nullptr)
        return value;
    const QByteArray format = m_store.GetValue(QByteArray(row.section) + '.' + keys->format);
    if (row.kind == BindingKind::AnalogInput) {
        // An analog input digit means something only with a stereo format.
        return format.contains("7.1") || format.contains("Off") ? format : value;
    }
    return format.contains("Off") ? format : format + ' ' + value;
}

const ValueChoice* BindingModel::ShownChoice(const BindingRow& row) const {
    const std::optional<QByteArray> value = ShownValue(row);
    if (!value)
        return nullptr;
    const ValueChoice* entry = EntryOf(row, *value);
    if (row.kind != BindingKind::SourceTrigger || row.valueCount == 0)
        return entry;
    for (const ValueChoice* offered : Offered(row)) {
        if (offered == entry)
            return entry;
    }
    return &row.values[0];
}

bool BindingModel::PresetCovers(int view, PresetGroup group) const {
    const BindingRow* setup = FindPresetSetupRow(view, group);
    return setup != nullptr && IsStored(m_store.GetValue(setup->Key()), "Yes");
}

RowEnable BindingModel::EnableOf(const BindingRow& row) const {
    const int view = m_state.viewIndex;
    const std::uint32_t bit = m_state.modelBit;
    const bool allowed = (bit & row.modelMask) == bit;
    bool editable = false;
    if (view == 0) {
        editable = true;
    } else if (view >= 1 && view <= kAvPresetCount) {
        editable = row.presetGroup == PresetGroup::None ? ViewSectionOf(view) == row.section
                                                        : PresetCovers(view, row.presetGroup);
    }
    // A key the store lacks (a preset view's joined speaker keys, a file
    // without it) has nothing to edit: a choice there would be shown but not
    // kept, and left out of a saved file.
    const bool held = m_store.Holds(ReadKey(row));
    return {allowed && editable && held, held};
}

bool BindingModel::EnhancedBassPossible() const {
    const BindingRow* front = FindRowByKey("Main.Speaker.Front.Config");
    const BindingRow* sub = FindRowByKey("Main.Speaker.Sub");
    return front != nullptr && sub != nullptr &&
           IsStored(ShownValue(*front).value_or(QByteArray()), "Large") &&
           IsStored(ShownValue(*sub).value_or(QByteArray()), "On");
}

bool BindingModel::ZoneLevelShown(const char* zoneSection) const {
    return !IsStored(m_store.GetValue(QByteArray(zoneSection) + ".VolumeControl"), "Variable");
}

RowChoice BindingModel::ChooseInMain(const BindingRow& row, const QByteArray& value) const {
    if (const SourceInputKeys* keys = InputKeysOf(row.kind)) {
        const ValueChoice* entry = EntryOf(row, value);
        if (entry == nullptr)
            return {};
        const QByteArray stored(entry->stored);
        const QByteArray formatKey = QByteArray(row.section) + '.' + keys->format;
        const QByteArray inputKey = QByteArray(row.section) + '.' + keys->input;
        if (stored == "Off" || (row.kind == BindingKind::AnalogInput && stored == "7.1"))
            return {stored, {{formatKey, stored}}};
        const char* format = "Stereo";
        if (row.kind == BindingKind::DigitalInput)
            format = FormatOf(kDigitalPrefixes, stored);
        if (row.kind == BindingKind::VideoInput)
            format = FormatOf(kVideoPrefixes, stored);
        if (format == nullptr)
            return {};
        // The receiver takes the format first.
        return {stored, {{formatKey, format}, {inputKey, stored.right(1)}}};
    }
    QByteArray written = value;
    if (row.kind == BindingKind::SourceEnabled) {
        if (!IsStored(value, "Yes") && !IsStored(value, "No"))
            return {};
    } else if (row.kind == BindingKind::MainSource) {
        bool ok = false;
        const int source = value.toInt(&ok);
        if (!ok || source < 1 || source > kSourceCount)
            return {};
        written = QByteArray::number(source);
    } else if (IsComboKind(row.kind)) {
        const ValueChoice* entry = EntryOf(row, value);
        if (entry == nullptr)
            return {};
        written = entry->stored;
    }
    return {written, {{row.Key(), written}}};
}

RowChoice BindingModel::Choose(const BindingRow& row, const QByteArray& value) const {
    // Decided once for every write of the choice: a view changed while the
    // first is on its way must not send the second to another preset.
    RowChoice choice = ChooseInMain(row, value);
    const ReadPlace place = PlaceOf(row);
    for (SettingWrite& write : choice.writes) {
        if (place.presetSpelling) {
            // Written where it was read, so that the store keeps the choice.
            write.value = WithJoinedPart(m_store.GetValue(place.key), place.part, write.value);
            write.key = place.key;
        } else {
            write.key = RedirectKeyToView(write.key, m_state.viewIndex);
        }
    }
    return choice;
}

std::optional<SettingShape> BindingModel::ShapeOf(const QByteArray& key) const {
    const BindingRow* row = FindRowByKey(key);
    if (row == nullptr)
        return std::nullopt;
    SettingShape shape;
    if (IsComboKind(row->kind)) {
        shape.kind = SettingShape::Kind::Choices;
        for (const ValueChoice* entry : Offered(*row))
            shape.choices.push_back({entry->shown, entry->stored});
    } else if (row->kind == BindingKind::SourceEnabled) {
        shape.kind = SettingShape::Kind::Flag;
        shape.choices = {{"Yes", "Yes"}, {"No", "No"}};
    } else {
        // Numbers and names are held to the key's own rule.
        const KeyRule* rule = FindKeyRule(row->Key());
        if (rule != nullptr && rule->kind == KeyKind::Text) {
            shape.maximumLength = rule->maxLength;
        } else {
            shape.kind = SettingShape::Kind::Number;
            shape.bounded = rule != nullptr && rule->kind == KeyKind::Number;
            if (shape.bounded) {
                shape.minimum = rule->minimum;
                shape.maximum = rule->maximum;
                shape.step = rule->step;
            }
        }
    }
    return shape;
}

bool BindingModel::ModelHas(const QByteArray& key) const {
    const BindingRow* row = FindRowByKey(key);
    const std::uint32_t bit = m_state.modelBit;
    return row != nullptr && (bit & row->modelMask) == bit;
}
