#include "CompareCommands.h"

#include "CompareWindow.h"
#include "FileCommands.h"
#include "PageBinding.h"
#include "Prompts.h"
#include "ReceiverSession.h"
#include "SettingPage.h"
#include "SnapshotsWindow.h"

#include <QDir>
#include <QFileInfo>

CompareCommands::CompareCommands(ReceiverSession& session, PageBinding& binding, Prompts& prompts,
                                 QWidget* parent, Hooks hooks)
    : QObject(parent),
      m_session(session),
      m_binding(binding),
      m_prompts(prompts),
      m_parent(parent),
      m_hooks(std::move(hooks)) {
    connect(&m_session, &ReceiverSession::Connected, this, &CompareCommands::KeepSnapshot);
}

CompareCommands::~CompareCommands() = default;

SnapshotsWindow* CompareCommands::Snapshots() const {
    return m_snapshots;
}

ControlLabels CompareCommands::PageLabels() const {
    const PageBinding* binding = &m_binding;
    return [binding](const BindingRow& row) {
        const SettingPage* page = binding->Page(static_cast<int>(row.page));
        const QWidget* control = page != nullptr ? page->Control(row.controlId) : nullptr;
        return control != nullptr ? control->accessibleName() : QString();
    };
}

void CompareCommands::CompareWithReceiver() {
    // The same dialog rules as Load Settings: silent on cancel, the message
    // for a dialog that confirmed without a file.
    m_prompts.OpenFileNames(m_parent, [this](const std::optional<QStringList>& paths) {
        if (!paths)
            return;
        if (paths->isEmpty()) {
            m_prompts.ShowMessage(m_parent, FileCommands::kOpenError);
            return;
        }
        // Several files chosen: one window each.
        for (const QString& path : *paths)
            OpenCompare(path, QFileInfo(path).fileName());
    });
}

bool CompareCommands::OpenCompare(const QString& path, const QString& shownName) {
    SettingsStore file;
    const LoadResult loaded = LoadFromFile(file, path);
    const QString problem = LoadFailureText(loaded, QDir::toNativeSeparators(path));
    if (!problem.isEmpty()) {
        m_prompts.ShowMessage(m_parent, problem);
        return false;
    }
    if (loaded.incomplete)
        m_prompts.ShowMessage(m_parent,
                              FileCommands::kIncompleteFile.arg(QDir::toNativeSeparators(path)));
    auto* window =
        new CompareWindow(m_session, m_prompts, std::move(file), shownName, PageLabels(), m_parent);
    // show(), not open(): open() makes a dialog window-modal, and this one
    // stays beside the main window while the user connects or changes pages.
    window->show();
    return true;
}

void CompareCommands::ShowSnapshots() {
    if (m_snapshots == nullptr) {
        m_snapshots = new SnapshotsWindow(
            SnapshotStore(), m_prompts,
            SnapshotsWindow::Hooks{[this](const QString& path, const QString& shownName) {
                OpenCompare(path, shownName);
            }},
            m_parent);
    } else {
        m_snapshots->Reload();
    }
    m_snapshots->show();
    m_snapshots->raise();
    m_snapshots->activateWindow();
}

void CompareCommands::KeepSnapshot() {
    const SnapshotStore::KeepResult kept =
        SnapshotStore().Keep(m_session.Store(), m_session.Model());
    if (!kept.warning.isEmpty() && m_hooks.warn)
        m_hooks.warn(kept.warning);
    if (m_snapshots != nullptr)
        m_snapshots->Reload();
}
