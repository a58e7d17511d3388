#pragma once

#include "GridCell.h"

#include <QAbstractTableModel>

#include <functional>
#include <set>
#include <utility>
#include <vector>

// Codes of the notifications a grid sends its parent, each with the cell
// (row, column) concerned.
namespace GridNotify {
inline constexpr int kClick = -2;            // a left click on a cell completed
inline constexpr int kDoubleClick = -3;      // a cell was double-clicked
inline constexpr int kFocusChanging = -100;  // with the old focus cell
inline constexpr int kFocusChanged = -101;   // with the new focus cell
inline constexpr int kBeginEdit = -105;
inline constexpr int kEndEdit = -106;
}  // namespace GridNotify

// Lowest and highest row and column of the selected cells. With nothing
// selected the lowest row is the row count, the lowest column the column count
// and both highest values are -1.
struct GridCellRange {
    int minRow = 0;
    int minColumn = 0;
    int maxRow = -1;
    int maxColumn = -1;
    bool operator==(const GridCellRange&) const = default;
};

// The grid's behaviour switches, with their defaults.
struct GridSwitches {
    bool editable = true;        // in-place editing
    bool columnResize = true;    // column widths dragged
    bool rowResize = true;       // row heights dragged
    bool trackFocusCell = true;  // header cells of the focus cell's row and column marked
    bool rowSelect = false;      // a click selects the whole row
    bool singleRowSelection = false;
    bool fixedRowSelection = true;     // a click on a header row cell selects that column
    bool fixedColumnSelection = true;  // a click on a header column cell selects that row
};

// The cells of a grid, their state bits, the selection and the focus cell,
// and what a click does to them. Rows and columns count from 0 and include
// the fixed (header) rows and columns.
//
// As a Qt table model it shows the rows below the fixed rows; the fixed rows'
// texts are the horizontal header (one line per fixed row).
class GridCellModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kStateRole = Qt::UserRole + 1;
    using Cell = std::pair<int, int>;  // row, column
    static constexpr Cell kNoCell{-1, -1};

    explicit GridCellModel(QObject* parent = nullptr);

    bool SetColumns(int count);
    // Makes the first `count` rows fixed, adding rows when there are fewer;
    // clears the selection.
    bool SetHeaderRows(int count);
    bool SetHeaderColumns(int count);
    // The row count, header rows included. Rows beyond it are dropped, and a
    // focus cell beyond the end is cleared.
    bool SetRows(int count);
    int Rows() const { return static_cast<int>(m_cells.size()); }
    int Columns() const { return m_columns; }
    int HeaderRows() const { return m_headerRows; }
    int HeaderColumns() const { return m_headerColumns; }
    bool IsValid(int row, int column) const;

    bool SetCellText(int row, int column, const QString& text);
    // Empty when out of range.
    QString GetCellText(int row, int column) const;
    // 0 when out of range.
    unsigned GetCellState(int row, int column) const;
    // The selected bit adds the cell to the selection or takes it out.
    bool SetCellState(int row, int column, unsigned state);
    const CGridCellBase* GetCell(int row, int column) const;
    CGridDefaultCell& DefaultCell(bool fixed) { return fixed ? m_fixedDefault : m_default; }

    GridCellRange GetSelectedRange() const;
    const std::set<Cell>& SelectedCells() const { return m_selected; }
    // Empties the selection and clears the focus cell, without notifying.
    void ClearSelection();

    const GridSwitches& Switches() const { return m_switches; }
    // Clears the selection; row-select mode also turns header-row column
    // selection off.
    void SetRowSelectMode(bool on);
    void SetSingleRowSelection(bool on) { m_switches.singleRowSelection = on; }
    void SetEditable(bool on);
    void SetColumnResize(bool on) { SetSwitch(m_switches.columnResize, on); }
    void SetRowResize(bool on) { SetSwitch(m_switches.rowResize, on); }
    void SetTrackFocusCell(bool on) { SetSwitch(m_switches.trackFocusCell, on); }
    void SetFixedRowSelection(bool on) { m_switches.fixedRowSelection = on; }
    void SetFixedColumnSelection(bool on) { m_switches.fixedColumnSelection = on; }

    Cell FocusCell() const { return m_focus; }
    // Moves the focus cell as a click or a key does: notifies -100 with the
    // old cell, moves the focused bit, notifies -101 with the new cell.
    // (-1, -1) clears it. False for a cell out of range.
    bool SetFocusCell(int row, int column);

    // A press on a cell (or a key that moves onto it): the focus moves there
    // and the selection follows the switches. `add` keeps the selection and
    // adds to it (Ctrl), unless single-row selection holds.
    void ActivateCell(int row, int column, bool add = false);
    // Tells the parent of a click completed, a double click or an in-place
    // edit begun or ended (a GridNotify code) on a cell of the grid.
    void NotifyCell(int code, int row, int column);

    // The widest text of a column, as `measure` sizes each cell's text.
    int ColumnTextWidth(int column,
                        const std::function<int(const QString& text, bool fixed)>& measure) const;

    // Qt's table: the rows below the header rows.
    int GridRowOf(const QModelIndex& index) const;
    QModelIndex IndexOf(int row, int column) const;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void Notify(int code, int row, int column);
    void SelectionChanged();
    void FocusCellChanged(int row, int column);
    void SwitchesChanged();

private:
    const CGridDefaultCell& DefaultCellFor(bool fixed) const;
    CGridCell NewCell(int row, int column) const;
    unsigned FixedBits(int row, int column) const;
    void MarkFixedCells();
    void SetSwitch(bool& field, bool on);
    void CellChanged(int row, int column);
    // Adds or takes the cell out of the selection, keeping its bit in step.
    void Select(int row, int column, bool selected);
    void SelectRow(int row);
    void SelectColumn(int column);
    void DeselectAll();
    void PlaceFocus(int row, int column);
    void DropBeyond(int rows, int columns);
    int QtRows(int rows) const;

    std::vector<std::vector<CGridCell>> m_cells;
    int m_columns = 0;
    int m_headerRows = 0;
    int m_headerColumns = 0;
    std::set<Cell> m_selected;
    Cell m_focus = kNoCell;
    GridSwitches m_switches;
    CGridDefaultCell m_default;
    CGridDefaultCell m_fixedDefault{0, GridAlign::Center};
};
