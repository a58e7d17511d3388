#include "PagesFixture.h"

#include "PageFactory.h"

#include <QTest>

ControlId SourceNameId(int source) {
    return kSourceNameIds.at(static_cast<std::size_t>(source - 1));
}
ControlId SourceTriggerId(int source) {
    return kSourceTriggerIds.at(static_cast<std::size_t>(source - 1));
}
ControlId SourceEnabledId(int source) {
    return kSourceEnabledIds.at(static_cast<std::size_t>(source - 1));
}

void PagesFixture::SetUp() {
    m_store.ResetToDefaults();
    m_channel = std::make_unique<CommandChannel>(m_port);
}

void PagesFixture::Build(bool withAllPages) {
    PageBinding::Hooks hooks;
    hooks.updateSetting = [this](const QByteArray& key, const QByteArray& value) {
        m_updates.emplace_back(key, value);
        // As the session does with no receiver: the store takes the value.
        m_store.SetValue(key, value);
        return false;
    };
    m_binding = std::make_unique<PageBinding>(m_store, m_state, hooks);
    m_control = std::make_unique<ControlPage>();
    m_control->SetHooks({
        [this](const QByteArray& key, bool up) {
            m_raw.push_back(key + (up ? '+' : '-'));
            return true;
        },
        [this](bool enabled) { m_tuner.push_back(enabled); },
        [this](const QString& message) { m_messages << message; },
    });
    m_avPreset = std::make_unique<AvPresetPage>();
    m_binding->AttachPage(m_control.get());
    m_binding->AttachPage(m_avPreset.get());
    if (withAllPages) {
        for (PageIndex page :
             {PageIndex::Source, PageIndex::Amplifier, PageIndex::Display, PageIndex::ListeningMode,
              PageIndex::Speaker, PageIndex::Trigger, PageIndex::Zone}) {
            m_boundPages.emplace_back(CreateBoundPage(page));
            m_binding->AttachPage(m_boundPages.back().get());
        }
    }
    m_binding->FillChoices();
    m_binding->RefreshAllPages();
    m_updates.clear();
    m_tuner.clear();
}

SettingPage& PagesFixture::Page(PageIndex page) const {
    for (const auto& bound : m_boundPages) {
        if (bound->Index() == page)
            return *bound;
    }
    ADD_FAILURE() << "page " << static_cast<int>(page) << " not built";
    return *m_control;
}

QComboBox* PagesFixture::Combo(SettingPage& page, ControlId id) const {
    auto* combo = qobject_cast<QComboBox*>(page.Control(id));
    EXPECT_NE(combo, nullptr) << "no combo " << id;
    return combo;
}

QLineEdit* PagesFixture::Edit(SettingPage& page, ControlId id) const {
    auto* edit = qobject_cast<QLineEdit*>(page.Control(id));
    EXPECT_NE(edit, nullptr) << "no edit " << id;
    return edit;
}

void PagesFixture::Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->insert(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void PagesFixture::Choose(SettingPage& page, ControlId id, int index) const {
    QComboBox* combo = Combo(page, id);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QString PagesFixture::Shown(SettingPage& page, ControlId id) const {
    return Combo(page, id)->currentText();
}

QVariant PagesFixture::Entry(ControlId id, int index) {
    const BindingRow* row = FindRowByControl(id);
    if (row == nullptr || index < 0 || index >= row->valueCount)
        return {};
    return QByteArray(row->values[index].stored);
}

void PagesFixture::SetView(int view) {
    m_state.viewIndex = view;
    m_binding->RefreshView();
}
