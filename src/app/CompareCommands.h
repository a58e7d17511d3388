#pragma once

#include "CompareModel.h"
#include "SnapshotStore.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class PageBinding;
class Prompts;
class QWidget;
class ReceiverSession;
class SnapshotsWindow;

// The label each page gives a bound control, as its page shows it: the
// control's accessible name, else the text of the label beside it.
ControlLabels LabelsOfPages(const PageBinding& binding);

// "Compare with Receiver..." and "Snapshots..." of the File menu, and the
// snapshot kept after each connection's read. The windows they open stay
// beside the main window.
class CompareCommands : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // The reason line below the status field.
        std::function<void(const QString& reason)> warn;
    };

    CompareCommands(ReceiverSession& session, PageBinding& binding, Prompts& prompts,
                    QWidget* parent, Hooks hooks);
    ~CompareCommands() override;

    void CompareWithReceiver();
    void ShowSnapshots();
    // Opens the settings file at `path` in a compare window; false (after
    // telling the user) when it is no settings file.
    bool OpenCompare(const QString& path, const QString& shownName);
    // Keeps the store as the newest snapshot of the connected model.
    void KeepSnapshot();

    // The Snapshots window while it exists.
    SnapshotsWindow* Snapshots() const;

private:
    ReceiverSession& m_session;
    PageBinding& m_binding;
    Prompts& m_prompts;
    QWidget* m_parent;
    Hooks m_hooks;
    QPointer<SnapshotsWindow> m_snapshots;
};
