#pragma once

#include "AvPresetPage.h"
#include "CommandChannel.h"
#include "ControlPage.h"
#include "PageBinding.h"
#include "SerialPort.h"
#include "SessionState.h"
#include "SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using KeyValue = std::pair<QByteArray, QByteArray>;

// Control ids of the Source page's line for source 1..10.
ControlId SourceNameId(int source);
ControlId SourceTriggerId(int source);
ControlId SourceEnabledId(int source);

// The Control and A/V Preset pages (and, when asked, the seven other pages)
// bound to a real store with the defaults, UpdateSetting as with no receiver
// (the store takes the value, false), and recorders for everything the pages
// hand to the main window.
class PagesFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void Build(bool withAllPages = false);
    // One of the seven pages Build(true) attached.
    SettingPage& Page(PageIndex page) const;

    QComboBox* Combo(SettingPage& page, ControlId id) const;
    QLineEdit* Edit(SettingPage& page, ControlId id) const;
    // What typing `text` over the edit's text and pressing Return do.
    static void Type(QLineEdit* edit, const QString& text);
    // What a user's pick in a drop-down list does.
    void Choose(SettingPage& page, ControlId id, int index) const;
    QString Shown(SettingPage& page, ControlId id) const;
    // The stored value of entry `index` of the control's row; invalid when none.
    static QVariant Entry(ControlId id, int index);
    void SetView(int view);

    SettingsStore m_store;
    SessionState m_state;
    SerialPort m_port;
    std::unique_ptr<CommandChannel> m_channel;
    std::vector<KeyValue> m_updates;
    std::vector<QByteArray> m_raw;
    std::vector<bool> m_tuner;
    QStringList m_messages;
    std::unique_ptr<PageBinding> m_binding;
    std::unique_ptr<ControlPage> m_control;
    std::unique_ptr<AvPresetPage> m_avPreset;
    std::vector<std::unique_ptr<SettingPage>> m_boundPages;
};
