#include "ProgressWindow.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kShowEveryMs = 100;

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent),
      m_label(new QLineEdit(this)),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)),
      m_show(new QTimer(this)) {
    m_show->setSingleShot(true);
    m_show->setInterval(kShowEveryMs);
    connect(m_show, &QTimer::timeout, this, [this] { m_bar->setValue(m_percent); });
    setWindowTitle(QStringLiteral("Progress"));
    // A title but no close button: the window goes when the operation ends.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    m_label->setReadOnly(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setFrame(false);
    m_label->setMinimumWidth(320);
    m_label->setAccessibleName(QStringLiteral("Operation"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_cancel->setEnabled(false);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_running)
            emit CancelRequested();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
}

void ProgressWindow::Begin(const QString& label) {
    m_running = true;
    m_label->setText(label);
    m_percent = 0;
    m_show->stop();
    m_bar->setValue(0);
    m_cancel->setEnabled(true);
    show();
    raise();
}

void ProgressWindow::SetPercent(int percent) {
    m_percent = std::clamp(percent, 0, 100);
    if (!m_show->isActive())
        m_show->start();
}

void ProgressWindow::End() {
    m_running = false;
    m_show->stop();
    m_cancel->setEnabled(false);
    // Keyboard work goes on in the main window, not in whatever the desktop picks.
    if (isActiveWindow() && parentWidget() != nullptr)
        parentWidget()->activateWindow();
    hide();
}

void ProgressWindow::reject() {
    // Escape: only Cancel stops the operation, so the window stays.
    if (!m_running)
        QDialog::reject();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

QString ProgressWindow::Label() const {
    return m_label->text();
}

int ProgressWindow::Percent() const {
    return m_percent;
}
