#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Prompts;
class QWidget;
class ReceiverSession;
struct RestoreResult;

// "Save Settings" and "Load Settings" of the File menu: the dialogs and
// messages around the session's own save, load and restore. Several files
// chosen at once are loaded and restored one after the other.
class FileCommands : public QObject {
    Q_OBJECT

public:
    static inline const QString kOpenError = QStringLiteral("error opening file.");
    // %1: the file.
    static inline const QString kIncompleteFile = QStringLiteral(
        "%1 is incomplete: it ends without its end line \"</ORVA Settings File>\".\n"
        "The settings it holds were loaded.");

    struct Hooks {
        // False (after telling the user) while a bulk read, restore or connection
        // attempt is using the store: it may be neither refilled nor saved then.
        std::function<bool()> storeIsFree;
    };

    FileCommands(ReceiverSession& session, Prompts& prompts, QWidget* parent, Hooks hooks);

    void SaveSettings();
    void LoadSettings();
    // True from the choice of files until the last one's restore has ended.
    bool IsLoading() const { return !m_restoring.isEmpty(); }
    // The files chosen after the one being restored are not loaded (the
    // window closes); that restore still reports as it ends.
    void DropQueuedFiles() { m_toLoad.clear(); }

private:
    bool StoreIsFree() const;
    void LoadNext();
    void OnRestoreEnded(const RestoreResult& result);

    ReceiverSession& m_session;
    Prompts& m_prompts;
    QWidget* m_parent;
    Hooks m_hooks;
    QStringList m_toLoad;
    QString m_restoring;  // the file whose restore runs
};
