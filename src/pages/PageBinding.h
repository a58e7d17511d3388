#pragma once

#include "BindingLink.h"
#include "BindingModel.h"
#include "BindingTable.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>

class SettingPage;
class SettingsStore;
class QLineEdit;
class QWidget;
struct SessionState;

// Puts the binding model's answers into the bound controls of every setting
// page: fills the combos with the entries a row offers (each carrying its
// stored value), shows the value a row reads, applies the enable rule and
// turns user changes into UpdateSetting calls. It owns the one guard that
// keeps a reload from echoing back to the receiver. It reaches pages only as
// SettingPage: by control id and through the page hooks.
class PageBinding : public BindingLink {
public:
    struct Hooks {
        // UpdateSetting with the main window's store, channel and state.
        std::function<bool(const QByteArray& key, const QByteArray& value)> updateSetting;
    };

    PageBinding(SettingsStore& store, SessionState& state, Hooks hooks);
    // The pages may outlive the binding by a moment (a window's children go
    // last): they are left unbound.
    ~PageBinding() override;
    PageBinding(const PageBinding&) = delete;
    PageBinding& operator=(const PageBinding&) = delete;

    // Pages are attached by their PageIndex; a page not attached has no
    // controls (its rows are skipped).
    void AttachPage(SettingPage* page);

    void FillChoices();
    void RefreshAllPages();
    void RefreshView() override;
    void RefreshKey(const QByteArray& key);
    // False when no row has that control id, the argument is no choice of it,
    // or an edit's text is what the row shows already.
    bool ControlChanged(ControlId controlId, const QVariant& argument) override;
    void EditingEnded(ControlId controlId) override;
    bool IsReloading() const override { return m_reloading; }
    const BindingModel& Model() const override { return m_model; }
    void RebuildSourceTriggerChoices(bool reselect);

    // An edit the user types in keeps its text while it has the focus; it
    // shows the store's value once editing ends.
    void ShowRowValue(const BindingRow& row, const QByteArray& value);
    // Also shows why a row whose key the store lacks is disabled.
    void ApplyEnableRule(const BindingRow& row);

    // Tooltip and accessible description of a control whose key the store lacks.
    static inline const QString kNotReadReason = QStringLiteral("not read from the receiver");

    SettingPage* Page(int pageIndex) const;

private:
    QWidget* ControlOf(const BindingRow& row) const;
    void ShowEditText(QLineEdit* edit, const QByteArray& value);
    void ShowAndEnable(const BindingRow& row, bool show);
    void ApplyEnableRuleToAll();
    QByteArray UserValue(const BindingRow& row, const QVariant& argument) const;
    // Selects the stored value in one source's trigger list; rebuilds all ten
    // when the triggers under source control changed since they were filled.
    void ShowSourceTrigger(const BindingRow& row);
    void TellPagesShown(const BindingRow& row, const QByteArray& value);
    void TellPagesChosen(const BindingRow& row, const QByteArray& value);

    SettingsStore& m_store;
    SessionState& m_state;
    BindingModel m_model;
    Hooks m_hooks;
    // Pages may go before the binding (a test's, or a window's children).
    std::array<QPointer<SettingPage>, kBindingPageCount> m_pages{};
    // What the source trigger lists were last filled for; -1 while they offer
    // every entry.
    int m_sourceTriggerMask = -1;
    bool m_reloading = false;
};
