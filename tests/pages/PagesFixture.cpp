#include "PagesFixture.h"

#include "UpdateSetting.h"

namespace {

int NameId(int source) {
    return 1142 + 6 * (source - 1);
}
int TriggerId(int source) {
    return 1144 + 6 * (source - 1);
}
int EnabledId(int source) {
    return 1200 + source - 1;
}

}  // namespace

SourceTestPage::SourceTestPage() : SettingPage(PageIndex::Source) {
    for (int n = 1; n <= 10; ++n) {
        RegisterEdit(NameId(n), new QLineEdit(this));
        const int triggerId = TriggerId(n);
        auto* trigger = new QComboBox(this);
        Register(triggerId, trigger);
        // The trigger list may be filtered: its item data is the list index.
        connect(trigger, &QComboBox::activated, this, [this, trigger, triggerId](int position) {
            Forward(triggerId, trigger->itemData(position).toInt());
        });
        const int enabledId = EnabledId(n);
        auto* enabled = new QCheckBox(this);
        Register(enabledId, enabled);
        connect(enabled, &QCheckBox::clicked, this,
                [this, enabledId](bool checked) { Forward(enabledId, checked ? 1 : 0); });
    }
}

QComboBox* SourceTestPage::TriggerCombo(int source) const {
    return qobject_cast<QComboBox*>(Control(TriggerId(source)));
}
QCheckBox* SourceTestPage::EnabledBox(int source) const {
    return qobject_cast<QCheckBox*>(Control(EnabledId(source)));
}
QLineEdit* SourceTestPage::NameEdit(int source) const {
    return qobject_cast<QLineEdit*>(Control(NameId(source)));
}

void PagesFixture::SetUp() {
    m_store.ResetToDefaults();
    m_channel = std::make_unique<CommandChannel>(m_port);
}

void PagesFixture::Build(bool withSourcePage) {
    PageBinding::Hooks hooks;
    hooks.updateSetting = [this](const QByteArray& key, const QByteArray& value) {
        m_updates.emplace_back(key, value);
        return UpdateSetting(m_store, *m_channel, m_state, key, value);
    };
    m_binding = std::make_unique<PageBinding>(m_store, m_state, hooks);
    m_control = std::make_unique<ControlPage>();
    m_control->SetHooks({
        [this](const QByteArray& command) {
            m_raw.push_back(command);
            return true;
        },
        [this](bool enabled) { m_tuner.push_back(enabled); },
        [this](const QString& message) { m_messages << message; },
    });
    m_avPreset = std::make_unique<AvPresetPage>();
    m_binding->AttachPage(m_control.get());
    m_binding->AttachPage(m_avPreset.get());
    if (withSourcePage) {
        m_source = std::make_unique<SourceTestPage>();
        m_binding->AttachPage(m_source.get());
    }
    m_binding->FillChoices();
    m_binding->RefreshAllPages();
    m_updates.clear();
    m_tuner.clear();
}

QComboBox* PagesFixture::Combo(SettingPage& page, int id) const {
    auto* combo = qobject_cast<QComboBox*>(page.Control(id));
    EXPECT_NE(combo, nullptr) << "no combo " << id;
    return combo;
}

QLineEdit* PagesFixture::Edit(SettingPage& page, int id) const {
    auto* edit = qobject_cast<QLineEdit*>(page.Control(id));
    EXPECT_NE(edit, nullptr) << "no edit " << id;
    return edit;
}

void PagesFixture::Choose(SettingPage& page, int id, int index) const {
    QComboBox* combo = Combo(page, id);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QString PagesFixture::Shown(SettingPage& page, int id) const {
    return Combo(page, id)->currentText();
}

void PagesFixture::SetView(int view) {
    m_state.viewIndex = view;
    m_binding->RefreshView();
}
