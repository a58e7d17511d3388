#include "CompareWindow.h"

#include "Prompts.h"
#include "ReceiverSession.h"
#include "Windows1252.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPositionRole = Qt::UserRole;
// What keeps the user's place across a rebuild: the setting's key, or the page's title.
constexpr int kPlaceRole = Qt::UserRole + 1;
// A status line flood must not rebuild the list for every line.
constexpr int kRecompareDelayMs = 200;
constexpr int kFileColumn = 1;
constexpr int kReceiverColumn = 2;

QPushButton* Button(const QString& caption, QWidget* parent, QHBoxLayout* row) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    row->addWidget(button);
    return button;
}

}  // namespace

CompareWindow::CompareWindow(ReceiverSession& session, Prompts& prompts, SettingsStore file,
                             QString shownName, ControlLabels labels, QWidget* parent)
    : QDialog(parent),
      m_session(session),
      m_prompts(prompts),
      m_file(std::move(file)),
      m_shownName(std::move(shownName)),
      m_model(std::move(labels)) {
    setWindowTitle(kTitle + QStringLiteral(" - ") + m_shownName);
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(
        QStringLiteral("Settings that differ between %1 and the receiver:").arg(m_shownName), this);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    m_note = new QLabel(kNotConnectedNote, this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);

    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(QStringLiteral("type part of a page, setting or value"));
    m_filter->setClearButtonEnabled(true);
    filterLabel->setBuddy(m_filter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter, 1);
    layout->addLayout(filterRow);

    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(3);
    m_tree->setHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("File"), QStringLiteral("Receiver")});
    m_tree->setAccessibleName(QStringLiteral("Differing settings"));
    m_tree->setUniformRowHeights(true);
    m_tree->setAlternatingRowColors(true);
    // Values differ at either end (a name's last letters, a record's first
    // bytes): a value cut short keeps both ends.
    m_tree->setTextElideMode(Qt::ElideMiddle);
    m_tree->header()->setSectionsClickable(true);
    m_tree->header()->setSortIndicatorShown(false);
    // The labels keep their width; the two values share what is left.
    m_tree->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_tree->header()->setSectionResizeMode(kFileColumn, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(kReceiverColumn, QHeaderView::Stretch);
    layout->addWidget(m_tree, 1);

    auto* buttons = new QHBoxLayout;
    QPushButton* all = Button(QStringLiteral("Select &All"), this, buttons);
    QPushButton* none = Button(QStringLiteral("Select &None"), this, buttons);
    m_count = new QLabel(this);
    buttons->addWidget(m_count, 1);
    m_restore = Button(QStringLiteral("&Restore Selected"), this, buttons);
    QPushButton* close = Button(QStringLiteral("&Close"), this, buttons);
    layout->addLayout(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model.SetFilter(text);
        Rebuild();
    });
    connect(m_tree, &QTreeWidget::itemChanged, this, &CompareWindow::OnItemChanged);
    connect(m_tree->header(), &QHeaderView::sectionClicked, this, &CompareWindow::OnHeaderClicked);
    connect(all, &QPushButton::clicked, this, &CompareWindow::SelectAll);
    connect(none, &QPushButton::clicked, this, &CompareWindow::SelectNone);
    connect(m_restore, &QPushButton::clicked, this, &CompareWindow::RestoreSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    m_recompare.setSingleShot(true);
    m_recompare.setInterval(kRecompareDelayMs);
    connect(&m_recompare, &QTimer::timeout, this, &CompareWindow::Recompare);
    connect(&m_session, &ReceiverSession::StoreReloaded, this, &CompareWindow::Recompare);
    connect(&m_session, &ReceiverSession::KeyChanged, this, [this] { m_recompare.start(); });
    connect(&m_session, &ReceiverSession::StatusChanged, this, &CompareWindow::UpdateState);
    connect(&m_session, &ReceiverSession::Lost, this, &CompareWindow::UpdateState);
    connect(&m_session, &ReceiverSession::RestoreEnded, this, [this](const RestoreResult& result) {
        OnRestoreEnded(result.Failed(), result.report);
    });

    Recompare();
    resize(720, 480);
    m_filter->setFocus();
}

void CompareWindow::Recompare() {
    // A bulk read refills the store; it says StoreReloaded when it is whole again.
    if (m_session.Store().IsBusy()) {
        m_recompare.start();
        return;
    }
    m_recompare.stop();
    m_model.Compare(m_file, m_session.Store(), m_session.State().modelBit);
    Rebuild();
}

void CompareWindow::Rebuild() {
    // Keep the user's place: the row (or page) under the cursor stays current.
    QString place;
    if (const QTreeWidgetItem* current = m_tree->currentItem())
        place = current->data(0, kPlaceRole).toString();
    m_rebuilding = true;
    m_tree->clear();
    QTreeWidgetItem* page = nullptr;
    QTreeWidgetItem* restoreCurrent = nullptr;
    const std::vector<int> shown = m_model.Shown();
    for (int position : shown) {
        const CompareRow& row = m_model.Rows()[static_cast<std::size_t>(position)];
        if (page == nullptr || page->text(0) != row.page) {
            page = new QTreeWidgetItem(m_tree, {row.page});
            page->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            page->setFirstColumnSpanned(true);
            page->setExpanded(true);
            page->setData(0, kPlaceRole, row.page);
            if (row.page == place)
                restoreCurrent = page;
        }
        auto* item = new QTreeWidgetItem(page, {row.label, row.fileText, row.receiverText});
        item->setData(0, kPositionRole, position);
        item->setData(0, kPlaceRole, QString::fromLatin1(row.key));
        const QString spoken = row.Spoken();
        for (int column = 0; column < 3; ++column)
            item->setData(column, Qt::AccessibleTextRole, spoken);
        item->setToolTip(0, QString::fromLatin1(row.key));
        // A value too wide for its column is cut in the middle; the tooltip
        // and the spoken text keep it whole.
        item->setToolTip(kFileColumn, row.fileText);
        item->setToolTip(kReceiverColumn, row.receiverText);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
        if (QString::fromLatin1(row.key) == place)
            restoreCurrent = item;
    }
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = m_tree->topLevelItem(i);
        top->setData(0, Qt::AccessibleTextRole,
                     QStringLiteral("%1, %2 differing").arg(top->text(0)).arg(top->childCount()));
    }
    if (restoreCurrent == nullptr && m_tree->topLevelItemCount() > 0) {
        QTreeWidgetItem* first = m_tree->topLevelItem(0);
        restoreCurrent = first->childCount() > 0 ? first->child(0) : first;
    }
    if (restoreCurrent != nullptr)
        m_tree->setCurrentItem(restoreCurrent);
    if (m_model.RowCount() == 0) {
        new QTreeWidgetItem(m_tree, {QStringLiteral("No setting differs.")});
    } else if (shown.empty()) {
        new QTreeWidgetItem(m_tree, {QStringLiteral("No differing setting matches the filter.")});
    }
    m_tree->resizeColumnToContents(0);
    m_rebuilding = false;
    UpdateState();
}

void CompareWindow::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (m_rebuilding || column != 0 || !item->data(0, kPositionRole).isValid())
        return;
    m_model.SetChecked(item->data(0, kPositionRole).toInt(), item->checkState(0) == Qt::Checked);
    UpdateState();
}

void CompareWindow::OnHeaderClicked(int section) {
    m_ascending = section == m_sortSection ? !m_ascending : true;
    m_sortSection = section;
    const CompareModel::Column columns[] = {
        CompareModel::Column::Setting, CompareModel::Column::File, CompareModel::Column::Receiver};
    m_model.SortBy(columns[std::clamp(section, 0, 2)], m_ascending);
    m_tree->header()->setSortIndicatorShown(true);
    m_tree->header()->setSortIndicator(section,
                                       m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    Rebuild();
}

void CompareWindow::SelectAll() {
    m_model.CheckShown(true);
    Rebuild();
}

void CompareWindow::SelectNone() {
    m_model.CheckShown(false);
    Rebuild();
}

void CompareWindow::UpdateState() {
    const bool connected = m_session.State().connected;
    m_note->setVisible(!connected);
    m_count->setText(m_model.CountText());
    m_restore->setEnabled(connected && !m_restoring && m_model.CheckedCount() > 0);
}

void CompareWindow::RestoreSelected() {
    if (!m_session.State().connected || m_model.CheckedCount() == 0 || m_restoring)
        return;
    if (m_session.IsBusy()) {
        m_prompts.ShowMessage(this, QStringLiteral("Please wait until the receiver settings have "
                                                   "been read or restored."));
        return;
    }
    m_restoring = true;
    UpdateState();
    // The session reloads the pages, says RestoreEnded, and the store it
    // holds then is compared again.
    (void)m_session.Restore(m_model.CheckedLines());
}

void CompareWindow::OnRestoreEnded(int failed, const QByteArray& report) {
    if (!m_restoring)
        return;  // a restore of someone else's
    m_restoring = false;
    Recompare();
    if (failed > 0) {
        m_prompts.ShowMessage(this,
                              QStringLiteral("The receiver did not take %1 setting(s) of %2:\n%3")
                                  .arg(failed)
                                  .arg(m_shownName, FromWindows1252(report)));
    } else if (!report.isEmpty()) {
        m_prompts.ShowMessage(this, QStringLiteral("The receiver took every setting of %1.\n%2")
                                        .arg(m_shownName, FromWindows1252(report)));
    }
}
