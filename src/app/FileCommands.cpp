#include "FileCommands.h"

#include "Prompts.h"
#include "ReceiverSession.h"
#include "Windows1252.h"

#include <QDir>
#include <QWidget>

FileCommands::FileCommands(ReceiverSession& session, Prompts& prompts, QWidget* parent, Hooks hooks)
    : QObject(parent),
      m_session(session),
      m_prompts(prompts),
      m_parent(parent),
      m_hooks(std::move(hooks)) {
    connect(&m_session, &ReceiverSession::RestoreEnded, this, &FileCommands::OnRestoreEnded);
}

void FileCommands::SaveSettings() {
    // A store half refilled by a bulk read is no backup of the receiver.
    if (!StoreIsFree())
        return;
    m_prompts.SaveFileName(m_parent, [this](const QString& path) {
        // A read may have begun while the dialog was open.
        if (path.isEmpty() || !StoreIsFree())
            return;
        const SaveResult result = m_session.SaveFile(path);
        if (!result.ok)
            m_prompts.ShowMessage(m_parent, result.error);
    });
}

void FileCommands::LoadSettings() {
    if (!StoreIsFree() || IsLoading())
        return;
    m_prompts.OpenFileNames(m_parent, [this](const std::optional<QStringList>& paths) {
        // Cancelled: nothing to say. Confirmed without a file: the dialog failed.
        if (!paths)
            return;
        if (paths->isEmpty()) {
            m_prompts.ShowMessage(m_parent, kOpenError);
            return;
        }
        if (!StoreIsFree() || IsLoading())
            return;
        m_toLoad = *paths;
        LoadNext();
    });
}

bool FileCommands::StoreIsFree() const {
    return !m_hooks.storeIsFree || m_hooks.storeIsFree();
}

void FileCommands::LoadNext() {
    if (m_toLoad.isEmpty())
        return;
    const QString path = m_toLoad.takeFirst();
    SettingsStore file;
    const LoadResult loaded = LoadFromFile(file, path);
    const QString shown = QDir::toNativeSeparators(path);
    // A file that was not loaded changed nothing: nothing is sent, nothing reloaded.
    const QString refusal = LoadFailureText(loaded, shown);
    if (!refusal.isEmpty()) {
        m_prompts.ShowMessage(m_parent,
                              refusal + QStringLiteral("\nThe current settings were kept."));
        LoadNext();
        return;
    }
    if (loaded.incomplete)
        m_prompts.ShowMessage(m_parent, kIncompleteFile.arg(shown));
    m_restoring = shown;
    // The session reloads the pages after the restore and says RestoreEnded.
    (void)m_session.LoadSettings(std::move(file));
}

void FileCommands::OnRestoreEnded(const RestoreResult& result) {
    if (m_restoring.isEmpty())
        return;  // a restore of someone else's
    const QString shown = std::exchange(m_restoring, QString());
    if (!result.report.isEmpty()) {
        m_prompts.ShowMessage(m_parent, QStringLiteral("Restoring %1: %2")
                                            .arg(shown, FromWindows1252(result.report).trimmed()));
    }
    LoadNext();
}
