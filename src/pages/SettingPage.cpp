#include "SettingPage.h"

#include "PageBinding.h"

#include <QComboBox>
#include <QLineEdit>

SettingPage::SettingPage(PageIndex index, QWidget* parent) : QWidget(parent), m_index(index) {}

void SettingPage::AfterEnableRule(int, bool) {}

void SettingPage::Register(int id, QWidget* control) {
    m_controls.insert(id, control);
}

void SettingPage::RegisterCombo(int id, QComboBox* combo) {
    Register(id, combo);
    // `activated` is the user's choice only: a refresh selecting an entry must
    // not run the handler (the A/V Preset page would start a nested refresh).
    connect(combo, &QComboBox::activated, this, [this, id](int index) { Forward(id, index); });
}

void SettingPage::RegisterEdit(int id, QLineEdit* edit) {
    Register(id, edit);
    connect(edit, &QLineEdit::textChanged, this, [this, id] { Forward(id, 0); });
}

void SettingPage::Forward(int id, int argument) {
    if (m_loading || m_binding == nullptr)
        return;
    m_binding->ControlChanged(id, argument);
}
