#pragma once

#include <QString>

#include <functional>

class Prompts;
class QWidget;
class ReceiverSession;

// "Save Settings" and "Load Settings" of the File menu: the dialogs and
// messages around the session's own save, load and restore.
class FileCommands {
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

private:
    bool StoreIsFree() const;
    void LoadOne(const QString& path);

    ReceiverSession& m_session;
    Prompts& m_prompts;
    QWidget* m_parent;
    Hooks m_hooks;
};
