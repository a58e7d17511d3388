#pragma once

#include "BindingTable.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

class SettingPage;
class SettingsStore;
class QWidget;
struct SessionState;

// Ties the bound controls of every setting page to the settings store through
// the binding table: fills the combos, loads controls from the store, applies
// the enable rule (model, view, preset groups) and turns user changes into
// UpdateSetting calls. It reaches pages only as SettingPage: by control id and
// through the page hooks.
class PageBinding {
public:
    struct Hooks {
        // UpdateSetting with the main window's store, channel and state.
        std::function<bool(const QByteArray& key, const QByteArray& value)> updateSetting;
    };

    PageBinding(SettingsStore& store, SessionState& state, Hooks hooks);

    // Pages are attached by their PageIndex; a page not attached has no
    // controls (its rows are skipped).
    void AttachPage(SettingPage* page);

    void FillChoices();
    void RefreshAllPages();
    void RefreshView();
    void RefreshKey(const QByteArray& key);
    // False when no row has that control id.
    bool ControlChanged(int controlId, int argument);
    void RebuildSourceTriggerChoices(bool reselect);

    // The key a row reads: in a preset view, a preset-governed row reads the preset's.
    QByteArray ReadKey(const BindingRow& row) const;
    QByteArray ReadRowValue(const BindingRow& row) const;
    QByteArray ComposeSourceInput(const BindingRow& row, const QByteArray& value) const;
    void ShowRowValue(const BindingRow& row, const QByteArray& value);
    // Also shows why a row whose key the store lacks is disabled.
    void ApplyEnableRule(const BindingRow& row);

    // Tooltip and accessible description of a control whose key the store lacks.
    static inline const QString kNotReadReason = QStringLiteral("not read from the receiver");

    SettingPage* Page(int pageIndex) const;
    // In preset view `view` (1..5): whether that preset's A/V Preset setup
    // switch for `group` shows "YES". The page's combos decide, not the store,
    // so a switch takes effect in the refresh that follows its change.
    bool PresetCovers(int view, PresetGroup group) const;

private:
    QWidget* ControlOf(const BindingRow& row) const;
    void ShowAndEnable(const BindingRow& row, bool show);
    void ApplyEnableRuleToAll();
    bool Update(const QByteArray& key, const QByteArray& value);
    bool ChangeSourceInput(const BindingRow& row, int argument);
    QByteArray EditText(const BindingRow& row) const;
    // The triggers under source control, a bit each, as the source trigger
    // lists are to offer them.
    int SourceTriggerMask() const;
    // Selects the stored value in one source's trigger list; rebuilds all ten
    // when the triggers under source control changed since they were filled.
    void ShowSourceTrigger(const BindingRow& row, const QByteArray& value);
    void TellPagesShown(const BindingRow& row, const QByteArray& value);
    void TellPagesChosen(const BindingRow& row, const QByteArray& value);

    SettingsStore& m_store;
    SessionState& m_state;
    Hooks m_hooks;
    std::array<SettingPage*, kBindingPageCount> m_pages{};
    // What the source trigger lists were last filled for; -1 while they offer
    // every entry.
    int m_sourceTriggerMask = -1;
};
