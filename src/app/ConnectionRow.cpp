#include "ConnectionRow.h"

#include "PortNames.h"
#include "Profile.h"
#include "ReceiverSession.h"
#include "ReceiverShape.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <iterator>

namespace {

const char* const kViewTable[] = {
    "Main",
    "Preset 1 Settings",
    "Preset 2 Settings",
    "Preset 3 Settings",
    "Preset 4 Settings",
    "Preset 5 Settings",
};
static_assert(std::size(kViewTable) == 1 + kAvPresetCount, "Main, then one view per A/V preset");

}  // namespace

ConnectionRow::ConnectionRow(QWidget* window) : QObject(window) {
    m_status = new QLineEdit(window);
    m_status->setReadOnly(true);
    m_status->setObjectName(QStringLiteral("status"));
    m_statusReason = new QLabel(window);
    m_statusReason->setObjectName(QStringLiteral("statusReason"));
    m_statusReason->setWordWrap(true);
    m_statusReason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusReason->setAccessibleName(QStringLiteral("Status reason"));
    m_statusReason->hide();
    m_status->setAccessibleName(QStringLiteral("Status"));

    m_viewCombo = new QComboBox(window);
    for (const char* text : kViewTable)
        m_viewCombo->addItem(QString::fromLatin1(text));

    m_portCombo = new QComboBox(window);
    // The combo matches a typed name to an item when the text is committed
    // (focus leaves, Enter) and reports that as `activated`. The edit's
    // signals, connected before the combo connects its own, mark that span.
    auto* portEdit = new QLineEdit(m_portCombo);
    portEdit->setAccessibleName(QStringLiteral("Com Port"));
    for (auto signal : {&QLineEdit::editingFinished, &QLineEdit::returnPressed})
        connect(portEdit, signal, this, [this] { m_portTextCommitting = true; });
    m_portCombo->setLineEdit(portEdit);
    for (auto signal : {&QLineEdit::editingFinished, &QLineEdit::returnPressed})
        connect(portEdit, signal, this, [this] { m_portTextCommitting = false; });
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    m_portCombo->addItem(ReceiverSession::kAutoDetect);
    m_portCombo->addItems(ComPortNames());
    m_adapters.Watch(DeviceFolders());
    FillAdapterChoices();
    connect(&m_adapters, &AdapterWatch::AdaptersChanged, this, &ConnectionRow::FillAdapterChoices);
    m_portCombo->setMinimumContentsLength(12);
    // A by-id adapter name is long: the list shows it whole, the field scrolls.
    m_portCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    m_connectButton = new QPushButton(QStringLiteral("&Connect"), window);
    m_connectButton->setDefault(true);
    m_closeButton = new QPushButton(QStringLiteral("C&lose"), window);
    m_closeButton->setAutoDefault(false);

    auto label = [window](const char* text, QWidget* buddy) {
        auto* shown = new QLabel(QString::fromLatin1(text), window);
        shown->setBuddy(buddy);
        return shown;
    };
    m_grid = new QGridLayout;
    m_grid->addWidget(label("Status:", m_status), 0, 0);
    auto* statusColumn = new QVBoxLayout;
    statusColumn->addWidget(m_status);
    statusColumn->addWidget(m_statusReason);
    m_grid->addLayout(statusColumn, 0, 1, 1, 4);
    m_grid->addWidget(m_connectButton, 0, 5);
    m_grid->addWidget(label("&View:", m_viewCombo), 1, 0);
    m_grid->addWidget(m_viewCombo, 1, 1);
    m_grid->addWidget(label("Com &Port:", m_portCombo), 1, 2, Qt::AlignRight);
    m_grid->addWidget(m_portCombo, 1, 3);
    m_grid->setColumnStretch(4, 1);
    m_grid->addWidget(m_closeButton, 1, 5);

    // Tab follows reading order: the top line, then the second line.
    QWidget::setTabOrder(m_status, m_connectButton);
    QWidget::setTabOrder(m_connectButton, m_viewCombo);
    QWidget::setTabOrder(m_viewCombo, m_portCombo);
    QWidget::setTabOrder(m_portCombo, m_closeButton);
}

void ConnectionRow::RememberChosenPorts() {
    // `activated` is a choice from the list (or a typed text the combo matched
    // to an item, which OnPortChosen tells apart).
    connect(m_portCombo, &QComboBox::activated, this, &ConnectionRow::OnPortChosen);
}

void ConnectionRow::OnPortChosen(int index) {
    // A typed name is not remembered, even one the combo matched to an item.
    if (index < 0 || m_portTextCommitting)
        return;
    Profile::WritePort(m_portCombo->itemText(index));
}

void ConnectionRow::PreselectPort() {
    const QString remembered = Profile::ReadPort();
    int found = -1;
    for (int i = 0; i < m_portCombo->count(); ++i) {
        if (m_portCombo->itemText(i).startsWith(remembered, Qt::CaseInsensitive)) {
            found = i;
            break;
        }
    }
    m_portCombo->setCurrentIndex(found);
}

// Adapters follow "Auto-Detect" and COM1..COM9, under their stable names. The
// user's choice or typed text stays, also when its adapter was pulled out.
void ConnectionRow::FillAdapterChoices() {
    const QSignalBlocker quiet(m_portCombo);
    const QString chosen = m_portCombo->currentText();
    const int fixed = 1 + kComPortCount;
    while (m_portCombo->count() > fixed)
        m_portCombo->removeItem(fixed);
    m_portCombo->addItems(m_adapters.Adapters());
    const int index = m_portCombo->findText(chosen, Qt::MatchFixedString);
    if (index >= 0)
        m_portCombo->setCurrentIndex(index);
    else
        m_portCombo->setEditText(chosen);
}

void ConnectionRow::SetDeviceFolders(const DeviceFolders& folders) {
    m_adapters.Watch(folders);
    FillAdapterChoices();
}

void ConnectionRow::SetStatus(const QString& text) {
    m_status->setText(text);
    SetStatusReason(QString());
}

void ConnectionRow::SetStatusReason(const QString& reason) {
    m_statusReason->setText(reason);
    m_statusReason->setVisible(!reason.isEmpty());
    m_status->setToolTip(reason);
    m_status->setAccessibleDescription(reason);
}

QString ConnectionRow::StatusReason() const {
    return m_statusReason->text();
}

QString ConnectionRow::StatusText() const {
    return m_status->text();
}
