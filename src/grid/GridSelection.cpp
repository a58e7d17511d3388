#include "GridCellModel.h"

// The selection, the focus cell and what clicks and keys do to them.

#include <algorithm>

GridCellRange GridCellModel::GetSelectedRange() const {
    GridCellRange range{Rows(), m_columns, -1, -1};
    for (const Cell& cell : m_selected) {
        range.minRow = std::min(range.minRow, cell.first);
        range.minColumn = std::min(range.minColumn, cell.second);
        range.maxRow = std::max(range.maxRow, cell.first);
        range.maxColumn = std::max(range.maxColumn, cell.second);
    }
    return range;
}

void GridCellModel::Select(int row, int column, bool selected) {
    CGridCell& cell = m_cells[row][column];
    if (selected) {
        cell.AddState(GridState::kSelected);
        m_selected.insert({row, column});
    } else {
        cell.RemoveState(GridState::kSelected);
        m_selected.erase({row, column});
    }
    CellChanged(row, column);
}

void GridCellModel::DeselectAll() {
    const std::set<Cell> selected = m_selected;
    for (const Cell& cell : selected)
        Select(cell.first, cell.second, false);
}

void GridCellModel::SelectRow(int row) {
    for (int column = m_headerColumns; column < m_columns; ++column)
        Select(row, column, true);
}

void GridCellModel::SelectColumn(int column) {
    for (int row = m_headerRows; row < Rows(); ++row)
        Select(row, column, true);
}

void GridCellModel::ClearSelection() {
    const bool hadSelection = !m_selected.empty();
    DeselectAll();
    if (m_focus != kNoCell) {
        if (IsValid(m_focus.first, m_focus.second)) {
            m_cells[m_focus.first][m_focus.second].RemoveState(GridState::kFocused);
            CellChanged(m_focus.first, m_focus.second);
        }
        m_focus = kNoCell;
        emit FocusCellChanged(-1, -1);
    }
    if (hadSelection)
        emit SelectionChanged();
}

void GridCellModel::SetRowSelectMode(bool on) {
    ClearSelection();
    m_switches.rowSelect = on;
    if (on)
        m_switches.fixedRowSelection = false;
    emit SwitchesChanged();
}

void GridCellModel::PlaceFocus(int row, int column) {
    if (IsValid(m_focus.first, m_focus.second)) {
        m_cells[m_focus.first][m_focus.second].RemoveState(GridState::kFocused);
        CellChanged(m_focus.first, m_focus.second);
    }
    m_focus = {row, column};
    if (IsValid(row, column)) {
        m_cells[row][column].AddState(GridState::kFocused);
        CellChanged(row, column);
    }
    emit FocusCellChanged(row, column);
}

bool GridCellModel::SetFocusCell(int row, int column) {
    const Cell wanted{row, column};
    if (wanted != kNoCell && !IsValid(row, column))
        return false;
    if (wanted == m_focus)
        return true;
    emit Notify(GridNotify::kFocusChanging, m_focus.first, m_focus.second);
    PlaceFocus(row, column);
    emit Notify(GridNotify::kFocusChanged, row, column);
    return true;
}

void GridCellModel::ActivateCell(int row, int column, bool add) {
    if (!IsValid(row, column))
        return;
    const bool headerRow = row < m_headerRows;
    const bool headerColumn = column < m_headerColumns;
    if (headerRow && headerColumn)
        return;
    // Keep the selection only when adding, and only within one row when
    // single-row selection holds.
    const bool keep = add && (!m_switches.singleRowSelection ||
                              std::all_of(m_selected.begin(), m_selected.end(),
                                          [row](const Cell& cell) { return cell.first == row; }));
    if (headerRow) {
        if (!m_switches.fixedRowSelection || m_switches.rowSelect)
            return;
        if (!keep)
            DeselectAll();
        SelectColumn(column);
        emit SelectionChanged();
        return;
    }
    if (headerColumn) {
        if (!m_switches.fixedColumnSelection)
            return;
        if (!keep)
            DeselectAll();
        SelectRow(row);
        emit SelectionChanged();
        return;
    }

    const bool moves = Cell{row, column} != m_focus;
    if (moves)
        emit Notify(GridNotify::kFocusChanging, m_focus.first, m_focus.second);
    if (!keep)
        DeselectAll();
    if (m_switches.rowSelect)
        SelectRow(row);
    else
        Select(row, column, true);
    emit SelectionChanged();
    if (moves) {
        PlaceFocus(row, column);
        emit Notify(GridNotify::kFocusChanged, row, column);
    }
}

void GridCellModel::NotifyCell(int code, int row, int column) {
    if (IsValid(row, column))
        emit Notify(code, row, column);
}
