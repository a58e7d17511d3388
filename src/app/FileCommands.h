#pragma once

#include <QString>

#include <functional>

class CommandChannel;
class ProgressSink;
class Prompts;
class QWidget;
class SettingsStore;

// "Save Settings" and "Load Settings" of the File menu.
class FileCommands {
public:
    static inline const QString kOpenError = QStringLiteral("error opening file.");
    // %1: the file.
    static inline const QString kIncompleteFile = QStringLiteral(
        "%1 is incomplete: it ends without its end line \"</ORVA Settings File>\".\n"
        "The settings it holds were loaded.");

    struct Hooks {
        std::function<void()> refreshAllPages;
        // False (after telling the user) while a bulk read, restore or connection
        // attempt is using the store: it may be neither refilled nor saved then.
        std::function<bool()> storeIsFree;
        ProgressSink* progress = nullptr;
    };

    FileCommands(SettingsStore& store, CommandChannel& channel, Prompts& prompts, QWidget* parent,
                 Hooks hooks);

    void SaveSettings();
    void LoadSettings();

private:
    bool StoreIsFree() const;
    void LoadOne(const QString& path);

    SettingsStore& m_store;
    CommandChannel& m_channel;
    Prompts& m_prompts;
    QWidget* m_parent;
    Hooks m_hooks;
};
