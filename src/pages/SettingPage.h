#pragma once

#include "BindingTable.h"

#include <QHash>
#include <QWidget>

class PageBinding;
class QComboBox;
class QLineEdit;

// A tab page whose controls are bound to settings. Each control is registered
// under its numeric id so that binding rows find it; the page's handlers only
// read their control and forward to PageBinding::ControlChanged.
class SettingPage : public QWidget {
    Q_OBJECT

public:
    SettingPage(PageIndex index, QWidget* parent = nullptr);

    PageIndex Index() const { return m_index; }
    // The control registered under `id`, or nullptr.
    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }

    // While set, the page's handlers ignore change notifications, so a reload
    // from the store never sends anything back.
    bool IsLoading() const { return m_loading; }
    void SetLoading(bool loading) { m_loading = loading; }

    void SetBinding(PageBinding* binding) { m_binding = binding; }

    // The page's own rule after the enable rule decided on the control `controlId`
    // (for example: the Control page's source buttons follow their radio group row).
    virtual void AfterEnableRule(int controlId, bool enabled);

protected:
    void Register(int id, QWidget* control);
    PageBinding* Binding() const { return m_binding; }

    // Registers a bound combo whose user choices (not programmatic selections)
    // reach ControlChanged with the chosen list position.
    void RegisterCombo(int id, QComboBox* combo);
    // Registers a bound edit whose every text change, typed or written by a
    // refresh, reaches ControlChanged unless the page is loading.
    void RegisterEdit(int id, QLineEdit* edit);
    // ControlChanged(id, argument) unless the page is loading or not bound yet.
    void Forward(int id, int argument);

private:
    PageIndex m_index;
    QHash<int, QWidget*> m_controls;
    bool m_loading = false;
    PageBinding* m_binding = nullptr;
};
