#pragma once

#include "CompareModel.h"
#include "SettingsStore.h"

#include <QDialog>
#include <QTimer>

class Prompts;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class ReceiverSession;

// "Compare with Receiver": the settings a file would change, one row each
// under its page, with a check box; "Restore Selected" writes the checked
// ones. It shows the CompareModel and forwards the user's choices to it; it
// stays open beside the main window and follows the session's store.
class CompareWindow : public QDialog {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Compare with Receiver");
    static inline const QString kNotConnectedNote = QStringLiteral(
        "Not connected: compared with the settings the window holds (defaults where "
        "nothing was read). Connect to restore.");

    // `shownName`: the file or snapshot as the user knows it.
    CompareWindow(ReceiverSession& session, Prompts& prompts, SettingsStore file, QString shownName,
                  ControlLabels labels, QWidget* parent);

    const CompareModel& Model() const { return m_model; }
    QTreeWidget* Tree() const { return m_tree; }
    QLineEdit* FilterEdit() const { return m_filter; }
    QPushButton* RestoreButton() const { return m_restore; }
    QLabel* CountLabel() const { return m_count; }
    QString ShownName() const { return m_shownName; }

    void SelectAll();
    void SelectNone();
    void RestoreSelected();
    // Compares the file with the store again (after a restore or a status line).
    void Recompare();

private:
    void Rebuild();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnHeaderClicked(int section);
    void OnRestoreEnded(int failed, const QByteArray& report);
    void UpdateState();

    ReceiverSession& m_session;
    Prompts& m_prompts;
    SettingsStore m_file;
    QString m_shownName;
    CompareModel m_model;
    QLabel* m_note = nullptr;
    QLineEdit* m_filter = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_restore = nullptr;
    QTimer m_recompare;
    bool m_restoring = false;
    bool m_rebuilding = false;
    int m_sortSection = -1;
    bool m_ascending = true;
};
