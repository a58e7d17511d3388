#include "TerminalPage.h"

#include "TerminalCtrl.h"
#include "Windows1252.h"

#include <QKeyEvent>
#include <QVBoxLayout>

TerminalPage::TerminalPage(QWidget* parent) : QWidget(parent) {
    m_terminal = new TerminalCtrl(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_terminal);
    setFocusProxy(m_terminal);
    m_terminal->SetPrompt(kPrompt);
    connect(m_terminal, &TerminalCtrl::CommandEntered, this, &TerminalPage::OnCommandEntered);
}

void TerminalPage::EchoLine(const QByteArray& line) {
    // Receiver text is 8-bit, in the Windows code page: one character a byte.
    m_terminal->AppendLine(FromWindows1252(line));
}

void TerminalPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_terminal->setFocus(Qt::OtherFocusReason);
}

void TerminalPage::keyPressEvent(QKeyEvent* event) {
    // Keep Enter from pressing the window's default button, and the arrows
    // from moving between tabs.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void TerminalPage::OnCommandEntered(const QString& command) {
    if (!m_send)
        return;
    // The buffer takes only characters of the 8-bit set, so nothing is lost here.
    if (!m_send(ToWindows1252(command)))
        m_terminal->AppendLine(kNotSent);
}
