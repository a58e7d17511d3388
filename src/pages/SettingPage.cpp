#include "SettingPage.h"

#include "PageBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

SettingPage::SettingPage(PageIndex index, QWidget* parent) : QWidget(parent), m_index(index) {}

void SettingPage::AfterEnableRule(int, bool) {}

void SettingPage::RowShown(const BindingRow&, const QByteArray&) {}

void SettingPage::RowChosen(const BindingRow&, const QByteArray&) {}

void SettingPage::Register(int id, QWidget* control) {
    m_controls.insert(id, control);
}

void SettingPage::RegisterCombo(int id, QComboBox* combo) {
    Register(id, combo);
    // `activated` is the user's choice only: a refresh selecting an entry must
    // not run the handler (the A/V Preset page would start a nested refresh).
    connect(combo, &QComboBox::activated, this, [this, id, combo](int position) {
        const QVariant index = combo->itemData(position);
        Forward(id, index.isValid() ? index.toInt() : position);
    });
}

void SettingPage::RegisterEdit(int id, QLineEdit* edit) {
    Register(id, edit);
    connect(edit, &QLineEdit::textChanged, this, [this, id] { Forward(id, 0); });
}

void SettingPage::RegisterCheck(int id, QCheckBox* box) {
    Register(id, box);
    connect(box, &QCheckBox::clicked, this, [this, id](bool checked) { Forward(id, checked); });
}

void SettingPage::Forward(int id, int argument) {
    if (m_loading || m_binding == nullptr)
        return;
    m_binding->ControlChanged(id, argument);
}

void SettingPage::RefreshView() {
    if (m_binding != nullptr)
        m_binding->RefreshView();
}
