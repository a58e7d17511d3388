#pragma once

#include "ReceiverShape.h"
#include "SettingPage.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

class QButtonGroup;
class QRadioButton;
class StepButtons;

// The "Control" tab: the main zone's everyday controls. Volume and trims are
// stepped with step commands; the ten source buttons carry the source
// names and follow each source's enabled state.
class ControlPage : public SettingPage {
    Q_OBJECT

public:
    struct Hooks {
        // CommandChannel::Step: one step of a level up or down, not awaited.
        std::function<bool(const QByteArray& key, bool up)> step;
        std::function<void(bool enabled)> tunerControls;  // tuner page Enable/DisableControls
        std::function<void(const QString& message)> showMessage;  // "invalid source number"
    };

    explicit ControlPage(QWidget* parent = nullptr);
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    void ShowSource(const QByteArray& value);
    void SetSourceName(int source, const QString& text);
    void SetSourceEnabled(int source, bool enabled);
    void EnableSourceButtons(bool enabled);
    bool IsTunerSelected() const;
    QRadioButton* SourceButton(int source) const;  // 1..10

    // The source buttons follow the MainSource row.
    void AfterEnableRule(ControlId controlId, bool enabled) override;
    // The source buttons show the main source and mirror the Source page's
    // names and enabled boxes.
    void RowShown(const BindingRow& row, const QByteArray& value) override;
    void RowChosen(const BindingRow& row, const QByteArray& value) override;

private:
    void BuildLayout();
    void OnSourceClicked(int source);
    void SendStep(const char* key, int delta);
    void MirrorSource(const BindingRow& row, const QByteArray& value);

    Hooks m_hooks;
    QButtonGroup* m_sourceGroup = nullptr;
    std::array<QRadioButton*, kSourceCount> m_sourceButtons{};
    std::array<bool, kSourceCount> m_sourceEnabled = [] {
        std::array<bool, kSourceCount> all{};
        all.fill(true);
        return all;
    }();
    // What the enable rule last decided for the source buttons as a group.
    bool m_sourceButtonsUsable = true;
};
