#pragma once

#include "ProgressSink.h"

#include <QDialog>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The small modeless "Progress" window of the bulk read and the restore. It is
// shown only while one of them runs. "Cancel" stops it (CancelRequested);
// neither Escape nor the window manager's close button does, nor hides the
// window before the operation ends: a stray key must not throw a read away.
class ProgressWindow : public QDialog, public ProgressSink {
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    void Begin(const QString& label) override;
    void SetPercent(int percent) override;
    void End() override;

    bool IsRunning() const { return m_running; }
    QString Label() const;
    int Percent() const;
    const QPushButton* CancelButton() const { return m_cancel; }

public slots:
    void reject() override;

signals:
    void CancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLineEdit* m_label;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    // The bar repaints itself at once on every change; a read moves it a
    // hundred times in three seconds, so it is shown at most this often.
    QTimer* m_show;
    int m_percent = 0;
    bool m_running = false;
};
