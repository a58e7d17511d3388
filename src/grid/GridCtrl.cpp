#include "GridCtrl.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyle>

#include <algorithm>

namespace {

// Room beside a text inside its cell, on top of the style's own margins.
constexpr int kTextPadding = 8;
constexpr int kMinimumColumnWidth = 16;
constexpr int kRowPadding = 6;

int WidestLine(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

}  // namespace

CGridCtrl::CGridCtrl(QWidget* parent) : QTableView(parent) {
    setModel(&m_cells);
    // The cells hold the selection; the view shows it and never makes its own.
    setSelectionMode(QAbstractItemView::NoSelection);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
    horizontalHeader()->hide();
    horizontalHeader()->setSectionsClickable(true);
    // The view would select a column on a header press; the cells decide.
    disconnect(horizontalHeader(), SIGNAL(sectionPressed(int)), this, SLOT(selectColumn(int)));
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CGridCtrl::OnHeaderClicked);

    connect(&m_cells, &GridCellModel::Notify, this, [this](int code, int row, int column) {
        emit Notified(GridNotification{m_controlId, code, row, column});
    });
    connect(&m_cells, &GridCellModel::SelectionChanged, this, &CGridCtrl::ShowSelection);
    // Whatever the view selects on its own (a drag across the header) is put
    // back to what the cells hold.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_showingSelection)
            ShowSelection();
    });
    connect(&m_cells, &GridCellModel::FocusCellChanged, this, &CGridCtrl::ShowFocus);
    connect(&m_cells, &GridCellModel::SwitchesChanged, this, &CGridCtrl::ApplySwitches);
    connect(&m_cells, &GridCellModel::modelReset, this,
            [this] { horizontalHeader()->setVisible(m_cells.HeaderRows() > 0); });
    ApplySwitches();
}

bool CGridCtrl::SetHeaderRows(int count) {
    return m_cells.SetHeaderRows(count);
}

void CGridCtrl::ApplySwitches() {
    const GridSwitches& switches = m_cells.Switches();
    horizontalHeader()->setSectionResizeMode(switches.columnResize ? QHeaderView::Interactive
                                                                   : QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(switches.rowResize ? QHeaderView::Interactive
                                                              : QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(switches.trackFocusCell);
    setEditTriggers(switches.editable
                        ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                        : QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(switches.rowSelect ? QAbstractItemView::SelectRows
                                            : QAbstractItemView::SelectItems);
}

void CGridCtrl::ShowSelection() {
    const QScopedValueRollback<bool> showing(m_showingSelection, true);
    QItemSelection selection;
    for (const GridCellModel::Cell& cell : m_cells.SelectedCells()) {
        const QModelIndex index = m_cells.IndexOf(cell.first, cell.second);
        if (index.isValid())
            selection.select(index, index);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // With no focus cell, the keys go on from the selection.
    if (m_cells.FocusCell() == GridCellModel::kNoCell && !selection.isEmpty())
        selectionModel()->setCurrentIndex(selection.first().topLeft(),
                                          QItemSelectionModel::NoUpdate);
}

void CGridCtrl::ShowFocus(int row, int column) {
    const QModelIndex index = m_cells.IndexOf(row, column);
    if (index.isValid() && index != currentIndex())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void CGridCtrl::FitColumns() {
    const QFontMetrics cellMetrics(font());
    const QFontMetrics headerMetrics(horizontalHeader()->font());
    const int cellMargin =
        2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + kTextPadding;
    const int headerMargin =
        2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + kTextPadding;
    for (int column = 0; column < m_cells.Columns(); ++column) {
        if (isColumnHidden(column) || columnWidth(column) <= 0)
            continue;
        const int width = m_cells.ColumnTextWidth(column, [&](const QString& text, bool fixed) {
            return fixed ? WidestLine(headerMetrics, text) + headerMargin
                         : cellMetrics.horizontalAdvance(text) + cellMargin;
        });
        setColumnWidth(column, std::max(width, kMinimumColumnWidth));
    }
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    m_pressed = index;
    if (event->button() == Qt::LeftButton && index.isValid()) {
        const bool add = (event->modifiers() & Qt::ControlModifier) != 0;
        m_cells.ActivateCell(m_cells.GridRowOf(index), index.column(), add);
    }
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    const QModelIndex pressed = m_pressed;
    QTableView::mouseReleaseEvent(event);
    m_pressed = QModelIndex();
    if (event->button() == Qt::LeftButton && index.isValid() && index == pressed)
        m_cells.NotifyCell(GridNotify::kClick, m_cells.GridRowOf(index), index.column());
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid())
        m_cells.NotifyCell(GridNotify::kDoubleClick, m_cells.GridRowOf(index), index.column());
}

void CGridCtrl::keyPressEvent(QKeyEvent* event) {
    const QModelIndex before = currentIndex();
    QTableView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        m_cells.ActivateCell(m_cells.GridRowOf(after), after.column());
}

void CGridCtrl::OnHeaderClicked(int column) {
    // The header shows the fixed rows; a click there is a click on row 0.
    m_cells.ActivateCell(0, column);
    m_cells.NotifyCell(GridNotify::kClick, 0, column);
    ShowSelection();
}

bool CGridCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool editing = QTableView::edit(index, trigger, event);
    if (editing && index.isValid() && state() == QAbstractItemView::EditingState &&
        m_editing != index) {
        m_editing = index;
        m_cells.NotifyCell(GridNotify::kBeginEdit, m_cells.GridRowOf(index), index.column());
    }
    return editing;
}

void CGridCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableView::closeEditor(editor, hint);
    if (m_editing.isValid()) {
        const QModelIndex index = m_editing;
        m_editing = QModelIndex();
        m_cells.NotifyCell(GridNotify::kEndEdit, m_cells.GridRowOf(index), index.column());
    }
}
