#pragma once

#include "BindingLink.h"
#include "BindingTable.h"

#include <QByteArray>
#include <QHash>
#include <QWidget>

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QTimer;
class StepButtons;

// A read-only number edit with its step arrows, as one widget for a layout.
struct NumberField {
    QWidget* box;
    QLineEdit* edit;
    StepButtons* arrows;
};

// A tab page whose controls are bound to settings. Each control is registered
// under its ControlId so that binding rows find it; the page's handlers only
// read their control and forward to the binding. The binding knows pages only
// through this class: a page's own rules live in the three hooks below, so a
// page joins the window without the binding knowing its type.
class SettingPage : public QWidget {
    Q_OBJECT

public:
    SettingPage(PageIndex index, QWidget* parent = nullptr);

    PageIndex Index() const { return m_index; }
    // The control registered under `id`, or nullptr.
    QWidget* Control(ControlId id) const { return m_controls.value(static_cast<int>(id), nullptr); }

    // The binding's guard: while it reloads the pages, the page's handlers
    // ignore change notifications, so a reload never sends anything back.
    bool IsLoading() const { return m_binding != nullptr && m_binding->IsReloading(); }

    void SetBinding(BindingLink* binding) { m_binding = binding; }

    // The page's own rule after the enable rule decided on its control
    // `controlId` (the Speaker page's Enhanced Bass, say).
    virtual void AfterEnableRule(ControlId controlId, bool enabled);
    // Every page hears of every row a refresh has just shown, on any page, so
    // that it may mirror another page's settings.
    virtual void RowShown(const BindingRow& row, const QByteArray& value);
    // Every page hears of every row the user has just changed, on any page,
    // with the value about to be stored; for the source inputs it is the
    // chosen entry's stored value.
    virtual void RowChosen(const BindingRow& row, const QByteArray& value);

protected:
    void Register(ControlId id, QWidget* control);
    // The bound rows' rules; nullptr while the page is not bound.
    const BindingModel* Model() const { return m_binding ? &m_binding->Model() : nullptr; }

    // A registered control changed: a user's choice in a combo or a check box,
    // or an edit's text however written. The default forwards it; a page with
    // a rule of its own overrides this and calls it.
    virtual void OnControlChange(ControlId id, const QVariant& argument);
    // The stored value of the combo's chosen item (its item data); invalid when none.
    QVariant ChosenValue(ControlId comboId) const;

    // Builders for bound controls: each creates the control under `parent`,
    // registers it and names it for assistive technology.
    QComboBox* AddCombo(ControlId id, const QString& name, QWidget* parent);
    QLineEdit* AddText(ControlId id, int maxLength, const QString& name, QWidget* parent);
    QCheckBox* AddCheck(ControlId id, const QString& caption, const QString& name, QWidget* parent);
    // The arrows write their position, held within minimum..maximum, into the
    // edit, whose change is sent; Up and Down in the edit press them.
    NumberField AddNumber(ControlId editId, ControlId arrowsId, int minimum, int maximum,
                          const QString& name, QWidget* parent);
    // A column heading or the title of a few lines: bold text.
    static QLabel* Heading(const char* text, QWidget* parent);
    // For a combo box in a grid whose headings each stand for many cells: on
    // Linux the accessibility bus names a combo by its current entry and says
    // what it is only through a "labelled by" relation, which Qt builds from a
    // label whose buddy the combo is. So the combo gets a label of its own,
    // never shown.
    static void LabelForScreenReaders(QComboBox* combo, const QString& name);
    // A hint beside the controls: ordinary text, a little smaller, never drawn
    // as a disabled control would be.
    static QLabel* Note(const QString& text, QWidget* parent);

    // Registers a bound combo whose user choices (not programmatic selections)
    // reach ControlChanged with the chosen item's stored value (its item data).
    void RegisterCombo(ControlId id, QComboBox* combo);
    // Registers a bound edit. What the user types reaches ControlChanged once
    // typing pauses or editing ends (Return, the focus leaves); a read-only
    // number's text, written by its arrows, at once.
    void RegisterEdit(ControlId id, QLineEdit* edit);
    // Registers a bound check box whose clicks reach ControlChanged with 1 or 0.
    void RegisterCheck(ControlId id, QCheckBox* box);

    // ControlChanged(id, argument) unless the page is loading or not bound yet.
    void Forward(ControlId id, const QVariant& argument);
    // Reloads the preset-governed controls of every page for the current view.
    void RefreshView();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An edit the user types in, and the rest after its last keystroke.
    struct TypedEdit {
        ControlId id;
        QTimer* pause;
    };
    // Sends what is left unsent and lets the edit show the store's value.
    void EndTyping(const TypedEdit& typed);

    PageIndex m_index;
    QHash<int, QWidget*> m_controls;
    QHash<const QObject*, TypedEdit> m_typedEdits;
    BindingLink* m_binding = nullptr;
};
