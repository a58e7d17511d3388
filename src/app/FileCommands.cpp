#include "FileCommands.h"

#include "Prompts.h"
#include "ReceiverSession.h"
#include "Windows1252.h"

#include <QDir>

FileCommands::FileCommands(ReceiverSession& session, Prompts& prompts, QWidget* parent, Hooks hooks)
    : m_session(session), m_prompts(prompts), m_parent(parent), m_hooks(std::move(hooks)) {}

void FileCommands::SaveSettings() {
    // A store half refilled by a bulk read is no backup of the receiver.
    if (!StoreIsFree())
        return;
    const QString path = m_prompts.SaveFileName(m_parent);
    if (path.isEmpty())
        return;
    const SaveResult result = m_session.SaveFile(path);
    if (!result.ok)
        m_prompts.ShowMessage(m_parent, result.error);
}

void FileCommands::LoadSettings() {
    if (!StoreIsFree())
        return;
    const QStringList paths = m_prompts.OpenFileNames(m_parent);
    if (paths.isEmpty()) {
        m_prompts.ShowMessage(m_parent, kOpenError);
        return;
    }
    for (const QString& path : paths)
        LoadOne(path);
}

bool FileCommands::StoreIsFree() const {
    return !m_hooks.storeIsFree || m_hooks.storeIsFree();
}

void FileCommands::LoadOne(const QString& path) {
    const LoadResult loaded = m_session.LoadFile(path);
    const QString shown = QDir::toNativeSeparators(path);
    // The receiver still gets the store as it stands, as it always has; the user
    // is told that it is not the file's content.
    if (!loaded.opened) {
        m_prompts.ShowMessage(m_parent, QStringLiteral("Cannot open the settings file %1.\n"
                                                       "The current settings were kept.")
                                            .arg(shown));
    } else if (loaded.notRegular) {
        m_prompts.ShowMessage(m_parent, QStringLiteral("%1 is not a regular file.\n"
                                                       "The current settings were kept.")
                                            .arg(shown));
    } else if (loaded.tooLarge) {
        m_prompts.ShowMessage(m_parent, QStringLiteral("%1 is too large to be a settings file.\n"
                                                       "The current settings were kept.")
                                            .arg(shown));
    } else if (!loaded.recognised) {
        m_prompts.ShowMessage(m_parent, QStringLiteral("%1 is not an Ampdesk settings file.\n"
                                                       "The current settings were kept.")
                                            .arg(shown));
    } else if (loaded.incomplete) {
        m_prompts.ShowMessage(m_parent, kIncompleteFile.arg(shown));
    }
    QByteArray report;
    // The session reloads the pages after the restore.
    const int errors = m_session.RestoreStore(&report);
    if (errors > 0) {
        m_prompts.ShowMessage(m_parent,
                              QStringLiteral("The receiver did not take %1 setting(s) of %2:\n%3")
                                  .arg(errors)
                                  .arg(shown, FromWindows1252(report)));
    } else if (!report.isEmpty()) {
        m_prompts.ShowMessage(m_parent, QStringLiteral("The receiver took every setting of %1.\n%2")
                                            .arg(shown, FromWindows1252(report)));
    }
}
