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

// A source input's format has no row of its own: its input row shows both, so
// a new format ("Source3.VideoFormat") reloads that row ("Source3.VideoInput").
const BindingRow* InputRowOfFormat(const QByteArray& key) {
    static constexpr std::pair<const char*, const char*> kFormatInputs[] = {
        {".AnalogAudioFormat", ".AnalogAudioInput"},
        {".DigitalAudioFormat", ".DigitalAudioInput"},
        {".VideoFormat", ".VideoInput"},
    };
    for (const auto& [format, input] : kFormatInputs) {
        if (key.endsWith(format))
            return FindRowByKey(key.chopped(qstrlen(format)) + input);
    }
    return nullptr;
}

// Each item carries its entry's stored value: position and meaning may differ
// once a list is filtered.
void FillCombo(QComboBox* combo, const std::vector<const ValueChoice*>& entries) {
    combo->clear();
    for (const ValueChoice* entry : entries)
        combo->addItem(QString::fromLatin1(entry->shown), QByteArray(entry->stored));
}

void Select(QComboBox* combo, const ValueChoice* entry) {
    combo->setCurrentIndex(entry == nullptr ? -1 : combo->findData(QByteArray(entry->stored)));
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
    : m_store(store), m_state(state), m_model(store, state), m_hooks(std::move(hooks)) {}

PageBinding::~PageBinding() {
    for (const QPointer<SettingPage>& page : m_pages) {
        if (page)
            page->SetBinding(nullptr);
    }
}

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
    FlagScope reloading(m_reloading, true);
    m_sourceTriggerMask = -1;
    for (const BindingRow& row : kBindingTable) {
        if (!IsComboKind(row.kind))
            continue;
        if (auto* combo = qobject_cast<QComboBox*>(ControlOf(row))) {
            std::vector<const ValueChoice*> every;
            for (const ValueChoice& entry : row.Choices())
                every.push_back(&entry);
            FillCombo(combo, every);
        }
    }
}

void PageBinding::ShowRowValue(const BindingRow& row, const QByteArray& value) {
    QWidget* control = ControlOf(row);
    if (control == nullptr)
        return;
    if (auto* edit = qobject_cast<QLineEdit*>(control); edit != nullptr && IsEditKind(row.kind)) {
        // Each answer to a name sent while the user goes on typing would put
        // an older text under the cursor; it is shown when editing ends.
        if (!edit->hasFocus() || edit->isReadOnly())
            ShowEditText(edit, value);
    } else if (row.kind == BindingKind::SourceEnabled) {
        if (auto* box = qobject_cast<QAbstractButton*>(control))
            box->setChecked(EqualsIgnoringCase(value, "Yes"));
    } else if (row.kind == BindingKind::SourceTrigger) {
        ShowSourceTrigger(row);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        Select(combo, m_model.ShownChoice(row));
        // A target changed at the receiver filters the source trigger lists
        // as a change made here does.
        if (row.kind == BindingKind::TriggerOut &&
            m_model.SourceTriggerMask() != m_sourceTriggerMask)
            RebuildSourceTriggerChoices(true);
    }
    TellPagesShown(row, value);
}

void PageBinding::ShowEditText(QLineEdit* edit, const QByteArray& value) {
    // Setting the same text again would still lay it out anew and move the
    // cursor of someone editing it.
    const QString text = FromWindows1252(value);
    if (edit->text() != text)
        edit->setText(text);
}

void PageBinding::EditingEnded(ControlId controlId) {
    const BindingRow* row = FindRowByControl(controlId);
    if (row == nullptr || !IsEditKind(row->kind))
        return;
    auto* edit = qobject_cast<QLineEdit*>(ControlOf(*row));
    if (edit == nullptr)
        return;
    FlagScope reloading(m_reloading, true);
    // The receiver's value, or the one just sent while its answer is awaited.
    ShowEditText(edit, m_model.ShownValue(*row).value_or(QByteArray()));
}

void PageBinding::ApplyEnableRule(const BindingRow& row) {
    QWidget* control = ControlOf(row);
    if (control == nullptr)
        return;
    const RowEnable rule = m_model.EnableOf(row);
    // Telling a control what it already is still walks its children and
    // sends events: a status line changes one row's value, rarely its state.
    if (control->testAttribute(Qt::WA_ForceDisabled) == rule.enabled)
        control->setEnabled(rule.enabled);
    const QString reason = rule.held ? QString() : kNotReadReason;
    if (control->toolTip() != reason) {
        control->setToolTip(reason);
        control->setAccessibleDescription(reason);
    }
    Page(static_cast<int>(row.page))->AfterEnableRule(row.controlId, rule.enabled);
}

void PageBinding::ShowAndEnable(const BindingRow& row, bool show) {
    if (ControlOf(row) == nullptr)
        return;
    if (show) {
        const std::optional<QByteArray> value = m_model.ShownValue(row);
        // Shown empty when missing. A missing main source leaves the source
        // buttons as they are instead of reporting an invalid source number.
        if (value || row.kind != BindingKind::MainSource)
            ShowRowValue(row, value.value_or(QByteArray()));
    }
    ApplyEnableRule(row);
}

void PageBinding::ApplyEnableRuleToAll() {
    for (const BindingRow& row : kBindingTable)
        ApplyEnableRule(row);
}

void PageBinding::RefreshAllPages() {
    FlagScope reloading(m_reloading, true);
    for (const BindingRow& row : kBindingTable)
        ShowAndEnable(row, true);
}

void PageBinding::RefreshView() {
    FlagScope reloading(m_reloading, true);
    for (const BindingRow& row : kBindingTable)
        ShowAndEnable(row, row.presetGroup != PresetGroup::None);
}

void PageBinding::RefreshKey(const QByteArray& key) {
    const BindingRow* row = FindRowByKey(key);
    if (row == nullptr)
        row = InputRowOfFormat(key);
    if (row == nullptr)
        return;
    FlagScope reloading(m_reloading, true);
    ShowAndEnable(*row, true);
    // A preset's setup switch decides what every page may edit in its view,
    // and in no other: a front panel flipping another preset's switch costs nothing.
    if (row->kind == BindingKind::PresetSetup && ViewSectionOf(m_state.viewIndex) == row->section)
        ApplyEnableRuleToAll();
}

QByteArray PageBinding::UserValue(const BindingRow& row, const QVariant& argument) const {
    if (IsEditKind(row.kind)) {
        auto* edit = qobject_cast<QLineEdit*>(ControlOf(row));
        return edit == nullptr ? QByteArray() : ToWindows1252(edit->text());
    }
    if (row.kind == BindingKind::SourceEnabled)
        return argument.toBool() ? "Yes" : "No";
    if (row.kind == BindingKind::MainSource)
        return QByteArray::number(argument.toInt());
    return argument.toByteArray();
}

bool PageBinding::ControlChanged(ControlId controlId, const QVariant& argument) {
    const BindingRow* row = FindRowByControl(controlId);
    if (row == nullptr || m_reloading)
        return false;
    if (IsEditKind(row->kind) && ControlOf(*row) == nullptr)
        return false;
    const QByteArray value = UserValue(*row, argument);
    // Typing back to the name the receiver holds, or ending an edit whose
    // text went out when typing paused, asks nothing new of it.
    if (IsEditKind(row->kind) && m_model.ShownValue(*row) == value)
        return false;
    const RowChoice choice = m_model.Choose(*row, value);
    if (choice.writes.empty())
        return false;
    TellPagesChosen(*row, choice.chosen);
    // The receiver takes the writes in order: each is queued behind the one before.
    for (const SettingWrite& write : choice.writes) {
        if (m_hooks.updateSetting)
            m_hooks.updateSetting(write.key, write.value);
    }
    if (row->kind == BindingKind::TriggerOut && m_model.SourceTriggerMask() != m_sourceTriggerMask)
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

void PageBinding::ShowSourceTrigger(const BindingRow& row) {
    if (m_model.SourceTriggerMask() != m_sourceTriggerMask) {
        RebuildSourceTriggerChoices(true);
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(ControlOf(row)))
        Select(combo, m_model.ShownChoice(row));
}

void PageBinding::RebuildSourceTriggerChoices(bool reselect) {
    FlagScope reloading(m_reloading, true);
    m_sourceTriggerMask = m_model.SourceTriggerMask();
    for (const BindingRow& row : kBindingTable) {
        if (row.kind != BindingKind::SourceTrigger)
            continue;
        auto* combo = qobject_cast<QComboBox*>(ControlOf(row));
        if (combo == nullptr)
            continue;
        FillCombo(combo, m_model.Offered(row));
        if (reselect)
            Select(combo, m_model.ShownChoice(row));
    }
}
