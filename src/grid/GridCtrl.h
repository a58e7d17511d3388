#pragma once

#include "GridCellModel.h"

#include <QPersistentModelIndex>
#include <QTableView>

// A notification from the grid to its parent: the grid's control id, the code
// (GridNotify) and the cell concerned.
struct GridNotification {
    int controlId = 0;
    int code = 0;
    int row = -1;
    int column = -1;
};

// A scrolling grid of text cells with header rows, selection and a focus
// cell, built on Qt's table view: the view scrolls, moves the current cell by
// keyboard (arrows, Home/End, Page Up/Down) and gives screen readers a table.
// The cells, their state bits and the selection live in GridCellModel; the
// view only shows them and hands clicks and keys to it.
class CGridCtrl : public QTableView {
    Q_OBJECT

public:
    explicit CGridCtrl(QWidget* parent = nullptr);

    GridCellModel& Cells() { return m_cells; }
    const GridCellModel& Cells() const { return m_cells; }
    void SetControlId(int id) { m_controlId = id; }
    int ControlId() const { return m_controlId; }

    bool SetColumns(int count) { return m_cells.SetColumns(count); }
    bool SetHeaderRows(int count);
    bool SetRows(int count) { return m_cells.SetRows(count); }
    int GetRowCount() const { return m_cells.Rows(); }
    int GetColumnCount() const { return m_cells.Columns(); }
    bool SetCellText(int row, int column, const QString& text) {
        return m_cells.SetCellText(row, column, text);
    }
    QString GetCellText(int row, int column) const { return m_cells.GetCellText(row, column); }
    unsigned GetCellState(int row, int column) const { return m_cells.GetCellState(row, column); }
    bool SetCellState(int row, int column, unsigned state) {
        return m_cells.SetCellState(row, column, state);
    }
    GridCellRange GetSelectedRange() const { return m_cells.GetSelectedRange(); }
    void ClearSelection() { m_cells.ClearSelection(); }
    void SetRowSelectMode(bool on) { m_cells.SetRowSelectMode(on); }
    void SetSingleRowSelection(bool on) { m_cells.SetSingleRowSelection(on); }
    void SetEditable(bool on) { m_cells.SetEditable(on); }
    void SetColumnResize(bool on) { m_cells.SetColumnResize(on); }
    void SetRowResize(bool on) { m_cells.SetRowResize(on); }
    void SetTrackFocusCell(bool on) { m_cells.SetTrackFocusCell(on); }
    void SetFixedRowSelection(bool on) { m_cells.SetFixedRowSelection(on); }
    void SetFixedColumnSelection(bool on) { m_cells.SetFixedColumnSelection(on); }

    // Every column that is not hidden gets the width its texts need.
    void FitColumns();

signals:
    void Notified(const GridNotification& notification);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void ApplySwitches();
    void ShowSelection();
    void ShowFocus(int row, int column);
    void OnHeaderClicked(int column);

    GridCellModel m_cells;
    int m_controlId = 0;
    QPersistentModelIndex m_pressed;
    QPersistentModelIndex m_editing;
    bool m_showingSelection = false;
};
