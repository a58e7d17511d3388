#include "CompareCommands.h"

#include "CompareWindow.h"
#include "FileCommands.h"
#include "PageBinding.h"
#include "Prompts.h"
#include "ReceiverSession.h"
#include "SettingPage.h"
#include "SnapshotsWindow.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>

namespace {

// A label's text as read: without its mnemonic marks ("&&" is one "&") and
// its closing colon.
QString LabelText(const QLabel& label) {
    const QString shown = label.text();
    QString text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == QLatin1Char('&') && ++i == shown.size())
            break;
        text += shown[i];
    }
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

QString GroupTitle(const QWidget* widget) {
    const auto* group = qobject_cast<const QGroupBox*>(widget);
    return group != nullptr ? group->title() : QString();
}

// What the page calls `control`: its accessible name; else the label whose
// buddy it is, after the title of the box that holds them ("Trim Center");
// else, for a button of a group ("Source"), the group's title.
QString PageLabelOf(const SettingPage& page, const QWidget& control) {
    if (!control.accessibleName().isEmpty())
        return control.accessibleName();
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        if (label->buddy() != &control)
            continue;
        const QString title = GroupTitle(label->parentWidget());
        return title.isEmpty() ? LabelText(*label) : title + QLatin1Char(' ') + LabelText(*label);
    }
    if (qobject_cast<const QAbstractButton*>(&control) != nullptr)
        return GroupTitle(control.parentWidget());
    return {};
}

}  // namespace

ControlLabels LabelsOfPages(const PageBinding& binding) {
    const PageBinding* pages = &binding;
    return [pages](const BindingRow& row) {
        const SettingPage* page = pages->Page(static_cast<int>(row.page));
        const QWidget* control = page != nullptr ? page->Control(row.controlId) : nullptr;
        return control != nullptr ? PageLabelOf(*page, *control) : QString();
    };
}

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
    auto* window = new CompareWindow(m_session, m_prompts, std::move(file), shownName,
                                     LabelsOfPages(m_binding), m_parent);
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
