#include "PageBinding.h"

#include "ByteText.h"
#include "SessionState.h"
#include "SettingPage.h"
#include "SettingsStore.h"
#include "Windows1252.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <utility>

namespace {

// How a chosen input entry's stored value names its format: the first prefix
// that matches wins, so "SVIDEO" is tested before "VIDEO".
struct FormatPrefix {
    const char* prefix;
    const char* format;
};

constexpr FormatPrefix kDigitalFormats[] = {
    {"HDMI", "HDMI"},
    {"OPTICAL", "Optical"},
    {"COAXIAL", "Coaxial"},
};

constexpr FormatPrefix kVideoFormats[] = {
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

// A source input's format has no row of its own: its input row shows both, so
// a new format ("Source3.VideoFormat") reloads that row ("Source3.VideoInput").
const BindingRow* InputRowOfFormat(const QByteArray& key) {
    for (const SourceInputKeys& keys : kSourceInputKeys) {
        const QByteArray suffix = QByteArray(".") + keys.format;
        if (key.endsWith(suffix))
            return FindRowByKey(key.chopped(suffix.size()) + '.' + keys.input);
    }
    return nullptr;
}

const ValueChoice* ChoiceAt(const BindingRow& row, int argument) {
    if (argument < 0 || argument >= row.valueCount)
        return nullptr;
    return &row.values[argument];
}

// Appends the row's entries whose index is a subset of `offered` (all of them by
// default); each item carries its entry's index, so position and meaning may differ.
void FillCombo(QComboBox* combo, const BindingRow& row, int offered = ~0) {
    combo->clear();
    for (const ValueChoice& choice : row.Choices()) {
        if ((choice.index & offered) == choice.index)
            combo->addItem(QString::fromLatin1(choice.shown), choice.index);
    }
}

// A trigger the filtered list no longer offers shows as its first entry, "None";
// a trigger the store does not hold shows nothing.
void SelectSourceTrigger(QComboBox* combo, const BindingRow& row, const QByteArray& value,
                         bool held) {
    if (!held) {
        combo->setCurrentIndex(-1);
        return;
    }
    const int index = FindStoredValue(row.Choices(), value);
    const int position = index < 0 ? -1 : combo->findData(index);
    combo->setCurrentIndex(position < 0 ? 0 : position);
}

void SelectStored(QComboBox* combo, ValueList list, const QByteArray& value) {
    const int index = FindStoredValue(list, value);
    combo->setCurrentIndex(index < 0 ? -1 : combo->findData(index));
}

// Restores the flag on leaving, so that a refresh started while another runs
// (a message box shown during a refresh dispatches events) does not end the
// outer one's protection early.
class FlagScope {
public:
    FlagScope(bool& flag, bool value) : m_flag(flag), m_previous(flag) { m_flag = value; }
    ~FlagScope() { m_flag = m_previous; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_previous;
};

}  // namespace

PageBinding::PageBinding(SettingsStore& store, SessionState& state, Hooks hooks)
    : m_store(store), m_state(state), m_hooks(std::move(hooks)) {}

void PageBinding::AttachPage(SettingPage* page) {
    const int index = static_cast<int>(page->Index());
    if (index < 0 || index >= kBindingPageCount)
        return;
    m_pages[static_cast<std::size_t>(index)] = page;
    page->SetBinding(this);
}

SettingPage* PageBinding::Page(int pageIndex) const {
    if (pageIndex < 0 || pageIndex >= kBindingPageCount)
        return nullptr;
    return m_pages[static_cast<std::size_t>(pageIndex)];
}

QWidget* PageBinding::ControlOf(const BindingRow& row) const {
    SettingPage* page = Page(static_cast<int>(row.page));
    return page == nullptr ? nullptr : page->Control(row.controlId);
}

void PageBinding::FillChoices() {
    m_sourceTriggerMask = -1;
    for (const BindingRow& row : kBindingTable) {
        if (!IsComboKind(row.kind))
            continue;
        auto* combo = qobject_cast<QComboBox*>(ControlOf(row));
        if (combo == nullptr)
            continue;
        FillCombo(combo, row);
    }
}

QByteArray PageBinding::ReadKey(const BindingRow& row) const {
    const QByteArray section = (m_state.viewIndex != 0 && row.presetGroup != PresetGroup::None)
                                   ? ViewSectionOf(m_state.viewIndex)
                                   : QByteArray(row.section);
    return section + '.' + row.parameter;
}

QByteArray PageBinding::ReadRowValue(const BindingRow& row) const {
    return m_store.GetValue(ReadKey(row));
}

QByteArray PageBinding::ComposeSourceInput(const BindingRow& row, const QByteArray& value) const {
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

void PageBinding::ShowRowValue(const BindingRow& row, const QByteArray& value) {
    QWidget* control = ControlOf(row);
    if (control == nullptr)
        return;
    if (auto* edit = qobject_cast<QLineEdit*>(control); edit != nullptr && IsEditKind(row.kind)) {
        // Setting the same text again would still lay it out anew and move
        // the cursor of someone editing it.
        const QString text = FromWindows1252(value);
        if (edit->text() != text)
            edit->setText(text);
    } else if (row.kind == BindingKind::SourceEnabled) {
        if (auto* box = qobject_cast<QAbstractButton*>(control))
            box->setChecked(EqualsIgnoringCase(value, "Yes"));
    } else if (row.kind == BindingKind::SourceTrigger) {
        ShowSourceTrigger(row, value);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        SelectStored(combo, row.Choices(), value);
        // A target changed at the receiver filters the source trigger lists
        // as a change made here does.
        if (row.kind == BindingKind::TriggerOut && SourceTriggerMask() != m_sourceTriggerMask)
            RebuildSourceTriggerChoices(true);
    }
    TellPagesShown(row, value);
}

bool PageBinding::PresetCovers(int view, PresetGroup group) const {
    const BindingRow* setup = FindPresetSetupRow(view, group);
    const auto* combo = setup == nullptr ? nullptr : qobject_cast<QComboBox*>(ControlOf(*setup));
    // The first entry is "YES".
    return combo != nullptr && combo->currentIndex() == 0;
}

void PageBinding::ApplyEnableRule(const BindingRow& row) {
    QWidget* control = ControlOf(row);
    if (control == nullptr)
        return;
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
    const bool enabled = allowed && editable && held;
    control->setEnabled(enabled);
    const QString reason = held ? QString() : kNotReadReason;
    if (control->toolTip() != reason) {
        control->setToolTip(reason);
        control->setAccessibleDescription(reason);
    }
    Page(static_cast<int>(row.page))->AfterEnableRule(row.controlId, enabled);
}

void PageBinding::ShowAndEnable(const BindingRow& row, bool show) {
    if (ControlOf(row) == nullptr)
        return;
    if (show && m_store.Holds(ReadKey(row))) {
        QByteArray value = ReadRowValue(row);
        if (IsSourceInputKind(row.kind))
            value = ComposeSourceInput(row, value);
        ShowRowValue(row, value);
    } else if (show && row.kind != BindingKind::MainSource) {
        // Shown empty. A missing main source leaves the source buttons as
        // they are instead of reporting an invalid source number.
        ShowRowValue(row, QByteArray());
    }
    ApplyEnableRule(row);
}

void PageBinding::ApplyEnableRuleToAll() {
    for (const BindingRow& row : kBindingTable)
        ApplyEnableRule(row);
}

void PageBinding::RefreshAllPages() {
    FlagScope refreshing(m_state.refreshingPages, true);
    for (const BindingRow& row : kBindingTable)
        ShowAndEnable(row, true);
    // The preset setup switches are shown after the pages they govern, so in
    // a preset view those pages were decided on the switches' old values.
    if (m_state.viewIndex != 0)
        ApplyEnableRuleToAll();
}

void PageBinding::RefreshView() {
    FlagScope refreshing(m_state.refreshingPages, true);
    for (const BindingRow& row : kBindingTable) {
        ShowAndEnable(row, row.presetGroup != PresetGroup::None);
    }
}

void PageBinding::RefreshKey(const QByteArray& key) {
    const BindingRow* row = FindRowByKey(key);
    if (row == nullptr)
        row = InputRowOfFormat(key);
    if (row == nullptr)
        return;
    std::array<bool, kBindingPageCount> wasLoading{};
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i] == nullptr)
            continue;
        wasLoading[i] = m_pages[i]->IsLoading();
        m_pages[i]->SetLoading(true);
    }
    ShowAndEnable(*row, true);
    // A preset's setup switch decides what every page may edit in its view.
    if (row->kind == BindingKind::PresetSetup)
        ApplyEnableRuleToAll();
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i] != nullptr)
            m_pages[i]->SetLoading(wasLoading[i]);
    }
}

bool PageBinding::Update(const QByteArray& key, const QByteArray& value) {
    return m_hooks.updateSetting ? m_hooks.updateSetting(key, value) : false;
}

QByteArray PageBinding::EditText(const BindingRow& row) const {
    auto* edit = qobject_cast<QLineEdit*>(ControlOf(row));
    return edit == nullptr ? QByteArray() : ToWindows1252(edit->text());
}

bool PageBinding::ChangeSourceInput(const BindingRow& row, int argument) {
    const ValueChoice* choice = ChoiceAt(row, argument);
    const SourceInputKeys* keys = InputKeysOf(row.kind);
    if (choice == nullptr || keys == nullptr)
        return false;
    const QByteArray stored(choice->stored);
    const QByteArray formatKey = QByteArray(row.section) + '.' + keys->format;
    const QByteArray inputKey = QByteArray(row.section) + '.' + keys->input;
    TellPagesChosen(row, stored);
    if (stored == "Off" || (row.kind == BindingKind::AnalogInput && stored == "7.1")) {
        Update(formatKey, stored);
        return true;
    }
    const char* format = "Stereo";
    if (row.kind == BindingKind::DigitalInput)
        format = FormatOf(kDigitalFormats, stored);
    if (row.kind == BindingKind::VideoInput)
        format = FormatOf(kVideoFormats, stored);
    if (format == nullptr)
        return false;
    // The receiver takes the format first; each Update waits for its answer.
    Update(formatKey, format);
    Update(inputKey, stored.right(1));
    return true;
}

bool PageBinding::ControlChanged(int controlId, int argument) {
    const BindingRow* found = FindRowByControl(controlId);
    if (found == nullptr)
        return false;
    const BindingRow& row = *found;
    if (IsSourceInputKind(row.kind))
        return ChangeSourceInput(row, argument);

    QByteArray value;
    if (IsEditKind(row.kind)) {
        if (ControlOf(row) == nullptr)
            return false;
        value = EditText(row);
    } else if (row.kind == BindingKind::SourceEnabled) {
        value = argument != 0 ? "Yes" : "No";
    } else if (row.kind == BindingKind::MainSource) {
        if (argument < 1 || argument > kSourceCount)
            return false;
        value = QByteArray::number(argument);
    } else {
        // A combo without a selection reports -1: there is no entry to send.
        const ValueChoice* choice = ChoiceAt(row, argument);
        if (choice == nullptr)
            return false;
        value = choice->stored;
    }
    TellPagesChosen(row, value);
    Update(row.Key(), value);
    if (row.kind == BindingKind::TriggerOut && SourceTriggerMask() != m_sourceTriggerMask)
        RebuildSourceTriggerChoices(true);
    return true;
}

void PageBinding::TellPagesShown(const BindingRow& row, const QByteArray& value) {
    for (SettingPage* page : m_pages) {
        if (page != nullptr)
            page->RowShown(row, value);
    }
}

void PageBinding::TellPagesChosen(const BindingRow& row, const QByteArray& value) {
    for (SettingPage* page : m_pages) {
        if (page != nullptr)
            page->RowChosen(row, value);
    }
}

int PageBinding::SourceTriggerMask() const {
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

void PageBinding::ShowSourceTrigger(const BindingRow& row, const QByteArray& value) {
    if (SourceTriggerMask() != m_sourceTriggerMask) {
        RebuildSourceTriggerChoices(true);
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(ControlOf(row)))
        SelectSourceTrigger(combo, row, value, m_store.Holds(row.Key()));
}

void PageBinding::RebuildSourceTriggerChoices(bool reselect) {
    const int sourceMask = SourceTriggerMask();
    m_sourceTriggerMask = sourceMask;
    for (const BindingRow& row : kBindingTable) {
        if (row.kind != BindingKind::SourceTrigger)
            continue;
        auto* combo = qobject_cast<QComboBox*>(ControlOf(row));
        if (combo == nullptr)
            continue;
        FillCombo(combo, row, sourceMask);
        if (!reselect)
            continue;
        SelectSourceTrigger(combo, row, m_store.GetValue(row.Key()), m_store.Holds(row.Key()));
    }
}
