#pragma once

#include <QHash>
#include <QWidget>

class PageBinding;

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

protected:
    void Register(int id, QWidget* control);
    PageBinding* Binding() const { return m_binding; }

private:
    PageIndex m_index;
    QHash<int, QWidget*> m_controls;
    bool m_loading = false;
    PageBinding* m_binding = nullptr;
};
