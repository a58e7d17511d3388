#include "GridCellModel.h"

#include <QStringList>

#include <algorithm>

namespace {

Qt::Alignment QtAlignment(GridAlign align) {
    switch (align) {
        case GridAlign::Center:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case GridAlign::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case GridAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

GridCellModel::GridCellModel(QObject* parent) : QAbstractTableModel(parent) {}

bool GridCellModel::IsValid(int row, int column) const {
    return row >= 0 && row < Rows() && column >= 0 && column < m_columns;
}

int GridCellModel::QtRows(int rows) const {
    return std::max(0, rows - m_headerRows);
}

unsigned GridCellModel::FixedBits(int row, int column) const {
    unsigned bits = 0;
    if (row < m_headerRows)
        bits |= GridState::kFixed | GridState::kFixedRow;
    if (column < m_headerColumns)
        bits |= GridState::kFixed | GridState::kFixedColumn;
    return bits;
}

CGridCell GridCellModel::NewCell(int row, int column) const {
    const unsigned fixed = FixedBits(row, column);
    CGridCell cell = DefaultCellFor(fixed != 0).MakeCell();
    cell.AddState(fixed);
    return cell;
}

const CGridDefaultCell& GridCellModel::DefaultCellFor(bool fixed) const {
    return fixed ? m_fixedDefault : m_default;
}

void GridCellModel::MarkFixedCells() {
    constexpr unsigned kFixedMask =
        GridState::kFixed | GridState::kFixedRow | GridState::kFixedColumn;
    for (int row = 0; row < Rows(); ++row) {
        for (int column = 0; column < m_columns; ++column) {
            CGridCell& cell = m_cells[row][column];
            cell.SetState((cell.State() & ~kFixedMask) | FixedBits(row, column));
        }
    }
}

bool GridCellModel::SetColumns(int count) {
    if (count < 0)
        return false;
    if (count == m_columns)
        return true;
    const int old = m_columns;
    if (count > old) {
        beginInsertColumns(QModelIndex(), old, count - 1);
        m_columns = count;
        for (int row = 0; row < Rows(); ++row) {
            for (int column = old; column < count; ++column)
                m_cells[row].push_back(NewCell(row, column));
        }
        endInsertColumns();
    } else {
        DropBeyond(Rows(), count);
        beginRemoveColumns(QModelIndex(), count, old - 1);
        m_columns = count;
        m_headerColumns = std::min(m_headerColumns, count);
        for (std::vector<CGridCell>& cells : m_cells)
            cells.resize(static_cast<std::size_t>(count));
        endRemoveColumns();
    }
    return true;
}

bool GridCellModel::SetHeaderRows(int count) {
    if (count < 0)
        return false;
    beginResetModel();
    m_headerRows = count;
    while (Rows() < count) {
        const int row = Rows();
        m_cells.emplace_back();
        for (int column = 0; column < m_columns; ++column)
            m_cells.back().push_back(NewCell(row, column));
    }
    MarkFixedCells();
    endResetModel();
    ClearSelection();
    return true;
}

bool GridCellModel::SetHeaderColumns(int count) {
    if (count < 0)
        return false;
    if (count > m_columns)
        SetColumns(count);
    beginResetModel();
    m_headerColumns = count;
    MarkFixedCells();
    endResetModel();
    ClearSelection();
    return true;
}

bool GridCellModel::SetRows(int count) {
    if (count < 0)
        return false;
    const int old = Rows();
    if (count == old)
        return true;
    // Rows that come or go among the header rows change the header: the
    // table is told all at once.
    const bool reset = count < m_headerRows || old < m_headerRows;
    if (count < old)
        DropBeyond(count, m_columns);
    if (reset)
        beginResetModel();
    else if (count > old)
        beginInsertRows(QModelIndex(), QtRows(old), QtRows(count) - 1);
    else
        beginRemoveRows(QModelIndex(), QtRows(count), QtRows(old) - 1);

    if (count > old) {
        m_cells.reserve(static_cast<std::size_t>(count));
        for (int row = old; row < count; ++row) {
            std::vector<CGridCell> cells;
            cells.reserve(static_cast<std::size_t>(m_columns));
            for (int column = 0; column < m_columns; ++column)
                cells.push_back(NewCell(row, column));
            m_cells.push_back(std::move(cells));
        }
    } else {
        m_cells.resize(static_cast<std::size_t>(count));
        m_headerRows = std::min(m_headerRows, count);
    }

    if (reset)
        endResetModel();
    else if (count > old)
        endInsertRows();
    else
        endRemoveRows();
    return true;
}

void GridCellModel::DropBeyond(int rows, int columns) {
    bool dropped = false;
    for (auto it = m_selected.begin(); it != m_selected.end();) {
        if (it->first >= rows || it->second >= columns) {
            it = m_selected.erase(it);
            dropped = true;
        } else {
            ++it;
        }
    }
    if (m_focus != kNoCell && (m_focus.first >= rows || m_focus.second >= columns)) {
        m_focus = kNoCell;
        emit FocusCellChanged(-1, -1);
    }
    if (dropped)
        emit SelectionChanged();
}

bool GridCellModel::SetCellText(int row, int column, const QString& text) {
    if (!IsValid(row, column))
        return false;
    m_cells[row][column].SetText(text);
    CellChanged(row, column);
    return true;
}

QString GridCellModel::GetCellText(int row, int column) const {
    return IsValid(row, column) ? m_cells[row][column].Text() : QString();
}

unsigned GridCellModel::GetCellState(int row, int column) const {
    return IsValid(row, column) ? m_cells[row][column].State() : 0;
}

bool GridCellModel::SetCellState(int row, int column, unsigned state) {
    if (!IsValid(row, column))
        return false;
    CGridCell& cell = m_cells[row][column];
    const bool wasSelected = cell.IsSelected();
    cell.SetState(state);
    const bool selected = cell.IsSelected();
    if (selected != wasSelected) {
        if (selected)
            m_selected.insert({row, column});
        else
            m_selected.erase({row, column});
        emit SelectionChanged();
    }
    CellChanged(row, column);
    return true;
}

const CGridCellBase* GridCellModel::GetCell(int row, int column) const {
    return IsValid(row, column) ? &m_cells[row][column] : nullptr;
}

void GridCellModel::CellChanged(int row, int column) {
    if (row < m_headerRows) {
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    const QModelIndex index = IndexOf(row, column);
    emit dataChanged(index, index);
}

void GridCellModel::SetSwitch(bool& field, bool on) {
    if (field == on)
        return;
    field = on;
    emit SwitchesChanged();
}

void GridCellModel::SetEditable(bool on) {
    if (m_switches.editable == on)
        return;
    m_switches.editable = on;
    if (rowCount() > 0 && m_columns > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1));
    emit SwitchesChanged();
}

int GridCellModel::ColumnTextWidth(
    int column, const std::function<int(const QString& text, bool fixed)>& measure) const {
    int widest = 0;
    if (column < 0 || column >= m_columns)
        return widest;
    for (int row = 0; row < Rows(); ++row) {
        const CGridCell& cell = m_cells[row][column];
        if (!cell.Text().isEmpty())
            widest = std::max(widest, measure(cell.Text(), cell.IsFixed()));
    }
    return widest;
}

int GridCellModel::GridRowOf(const QModelIndex& index) const {
    return index.isValid() ? index.row() + m_headerRows : -1;
}

QModelIndex GridCellModel::IndexOf(int row, int column) const {
    if (row < m_headerRows || !IsValid(row, column))
        return {};
    return index(row - m_headerRows, column);
}

int GridCellModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : QtRows(Rows());
}

int GridCellModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant GridCellModel::data(const QModelIndex& index, int role) const {
    const int row = GridRowOf(index);
    if (!IsValid(row, index.column()))
        return {};
    const CGridCell& cell = m_cells[row][index.column()];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return cell.Text();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(QtAlignment(cell.Align()));
        case kStateRole:
            return cell.State();
        default:
            return {};
    }
}

bool GridCellModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole)
        return false;
    return SetCellText(GridRowOf(index), index.column(), value.toString());
}

QVariant GridCellModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || m_headerRows == 0 || section < 0 || section >= m_columns)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(QtAlignment(m_cells[0][section].Align()));
    if (role != Qt::DisplayRole)
        return {};
    QStringList lines;
    for (int row = 0; row < m_headerRows; ++row)
        lines << m_cells[row][section].Text();
    return lines.join('\n');
}

Qt::ItemFlags GridCellModel::flags(const QModelIndex& index) const {
    const int row = GridRowOf(index);
    if (!IsValid(row, index.column()))
        return Qt::NoItemFlags;
    const CGridCell& cell = m_cells[row][index.column()];
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (!cell.IsFixed())
        flags |= Qt::ItemIsSelectable;
    if (m_switches.editable && !cell.IsFixed() && !cell.IsReadOnly())
        flags |= Qt::ItemIsEditable;
    return flags;
}
