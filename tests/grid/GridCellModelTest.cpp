#include "CaseLabel.h"
#include "GridCellModel.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

using CaseLabels::PrintTo;

struct Note {
    int code;
    int row;
    int column;
    bool operator==(const Note&) const = default;
};

void PrintTo(const Note& n, std::ostream* os) {
    *os << "{" << n.code << ", " << n.row << ", " << n.column << "}";
}

// A grid as the preset editor sets it up: 5 columns, one header row, rows 1-4.
class GridFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_grid.SetColumns(5));
        ASSERT_TRUE(m_grid.SetHeaderRows(1));
        ASSERT_TRUE(m_grid.SetRows(5));
        QObject::connect(&m_grid, &GridCellModel::Notify, [this](int code, int row, int column) {
            m_notes.push_back({code, row, column});
        });
    }
    void EditorSwitches() {
        m_grid.SetRowSelectMode(true);
        m_grid.SetSingleRowSelection(true);
        m_grid.SetFixedRowSelection(true);
        m_grid.SetFixedColumnSelection(true);
    }
    std::vector<GridCellModel::Cell> Selected() const {
        return {m_grid.SelectedCells().begin(), m_grid.SelectedCells().end()};
    }
    static std::vector<GridCellModel::Cell> Row(int row) {
        std::vector<GridCellModel::Cell> cells;
        for (int column = 0; column < 5; ++column)
            cells.push_back({row, column});
        return cells;
    }

    GridCellModel m_grid;
    std::vector<Note> m_notes;
};

struct OutOfRangeCase {
    const char* label;
    int row;
    int column;
};

class CellOutsideGrid : public GridFixture, public ::testing::WithParamInterface<OutOfRangeCase> {};

TEST_P(CellOutsideGrid, IsRefusedAndChangesNothing) {
    const OutOfRangeCase& c = GetParam();
    EXPECT_FALSE(m_grid.SetCellText(c.row, c.column, "x"));
    EXPECT_FALSE(m_grid.SetCellState(c.row, c.column, GridState::kSelected));
    EXPECT_EQ(m_grid.GetCellText(c.row, c.column), QString());
    EXPECT_EQ(m_grid.GetCellState(c.row, c.column), 0u);
    EXPECT_FALSE(m_grid.SetFocusCell(c.row, c.column));
    m_grid.ActivateCell(c.row, c.column);
    m_grid.NotifyCell(GridNotify::kClick, c.row, c.column);
    EXPECT_TRUE(m_grid.SelectedCells().empty());
    EXPECT_TRUE(m_notes.empty());
    for (int row = 0; row < m_grid.Rows(); ++row) {
        for (int column = 0; column < m_grid.Columns(); ++column)
            EXPECT_EQ(m_grid.GetCellText(row, column), QString());
    }
}

INSTANTIATE_TEST_SUITE_P(Grid, CellOutsideGrid,
                         ::testing::Values(OutOfRangeCase{"RowPastEnd", 5, 0},
                                           OutOfRangeCase{"ColumnPastEnd", 1, 5},
                                           OutOfRangeCase{"NegativeRow", -1, 0},
                                           OutOfRangeCase{"NegativeColumn", 1, -1}),
                         CaseLabels::ByLabel());

// What a click does to the selection and which notifications reach the parent.
struct ClickCase {
    const char* label;
    bool rowSelect;
    bool singleRow;
    std::vector<GridCellModel::Cell> clicks;  // the last one with Ctrl held when `add`
    bool add;
    std::vector<GridCellModel::Cell> selected;
    std::vector<Note> lastClickNotes;
};

class Clicks : public GridFixture, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Clicks, SelectAndNotify) {
    const ClickCase& c = GetParam();
    if (c.rowSelect)
        m_grid.SetRowSelectMode(true);
    m_grid.SetSingleRowSelection(c.singleRow);
    for (std::size_t i = 0; i < c.clicks.size(); ++i) {
        if (i + 1 == c.clicks.size())
            m_notes.clear();
        const auto [row, column] = c.clicks[i];
        m_grid.ActivateCell(row, column, c.add && i + 1 == c.clicks.size());
        m_grid.NotifyCell(GridNotify::kClick, row, column);
    }
    EXPECT_EQ(Selected(), c.selected);
    EXPECT_EQ(m_notes, c.lastClickNotes);
    for (const auto& [row, column] : c.selected)
        EXPECT_TRUE(m_grid.GetCellState(row, column) & GridState::kSelected);
}

using N = Note;
constexpr int kChanging = GridNotify::kFocusChanging;
constexpr int kChanged = GridNotify::kFocusChanged;
constexpr int kClick = GridNotify::kClick;

std::vector<GridCellModel::Cell> Cells(std::initializer_list<GridCellModel::Cell> list) {
    return list;
}

std::vector<GridCellModel::Cell> RowCells(int row) {
    std::vector<GridCellModel::Cell> cells;
    for (int column = 0; column < 5; ++column)
        cells.push_back({row, column});
    return cells;
}

std::vector<GridCellModel::Cell> Joined(std::vector<GridCellModel::Cell> a,
                                        const std::vector<GridCellModel::Cell>& b) {
    a.insert(a.end(), b.begin(), b.end());
    std::sort(a.begin(), a.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Grid, Clicks,
    ::testing::Values(ClickCase{"RowSelectSelectsWholeRowOnly",
                                true,
                                true,
                                Cells({{2, 3}}),
                                false,
                                RowCells(2),
                                {N{kChanging, -1, -1}, N{kChanged, 2, 3}, N{kClick, 2, 3}}},
                      ClickCase{"SecondClickMovesTheRow",
                                true,
                                true,
                                Cells({{2, 3}, {4, 0}}),
                                false,
                                RowCells(4),
                                {N{kChanging, 2, 3}, N{kChanged, 4, 0}, N{kClick, 4, 0}}},
                      ClickCase{"SameCellAgainOnlyClicks",
                                true,
                                true,
                                Cells({{2, 3}, {2, 3}}),
                                false,
                                RowCells(2),
                                {N{kClick, 2, 3}}},
                      ClickCase{"CtrlInSingleRowModeStillReplaces",
                                true,
                                true,
                                Cells({{1, 0}, {3, 0}}),
                                true,
                                RowCells(3),
                                {N{kChanging, 1, 0}, N{kChanged, 3, 0}, N{kClick, 3, 0}}},
                      ClickCase{"CtrlWithoutSingleRowAddsTheRow",
                                true,
                                false,
                                Cells({{1, 0}, {3, 0}}),
                                true,
                                Joined(RowCells(1), RowCells(3)),
                                {N{kChanging, 1, 0}, N{kChanged, 3, 0}, N{kClick, 3, 0}}},
                      ClickCase{"CellModeSelectsOneCell",
                                false,
                                false,
                                Cells({{3, 2}}),
                                false,
                                Cells({{3, 2}}),
                                {N{kChanging, -1, -1}, N{kChanged, 3, 2}, N{kClick, 3, 2}}},
                      ClickCase{"HeaderClickSelectsTheColumn",
                                false,
                                false,
                                Cells({{0, 1}}),
                                false,
                                Cells({{1, 1}, {2, 1}, {3, 1}, {4, 1}}),
                                {N{kClick, 0, 1}}},
                      ClickCase{"HeaderClickInRowSelectModeSelectsNothing",
                                true,
                                true,
                                Cells({{2, 0}, {0, 1}}),
                                false,
                                RowCells(2),
                                {N{kClick, 0, 1}}}),
    CaseLabels::ByLabel());

TEST_F(GridFixture, HeaderRowsAreFixedAndShownAsTheHeader) {
    EXPECT_EQ(m_grid.GetCellState(0, 2), GridState::kFixed | GridState::kFixedRow);
    EXPECT_EQ(m_grid.GetCellState(1, 2), 0u);
    m_grid.SetCellText(0, 2, "Channel");
    EXPECT_EQ(m_grid.rowCount(), 4);
    EXPECT_EQ(m_grid.headerData(2, Qt::Horizontal).toString(), "Channel");
    m_grid.SetCellText(1, 2, "87.50 MHz");
    EXPECT_EQ(m_grid.data(m_grid.index(0, 2)).toString(), "87.50 MHz");
    EXPECT_EQ(m_grid.GridRowOf(m_grid.index(0, 2)), 1);
    EXPECT_EQ(m_grid.IndexOf(0, 2), QModelIndex());
}

TEST_F(GridFixture, SetHeaderRowsAddsRowsAndClearsTheSelection) {
    GridCellModel grid;
    grid.SetColumns(2);
    grid.SetRows(1);
    grid.SetCellState(0, 0, GridState::kSelected);
    ASSERT_TRUE(grid.SetHeaderRows(2));
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_TRUE(grid.SelectedCells().empty());
    EXPECT_EQ(grid.GetCellState(0, 0), GridState::kFixed | GridState::kFixedRow);
    EXPECT_EQ(grid.GetCellState(1, 1), GridState::kFixed | GridState::kFixedRow);
    EXPECT_EQ(grid.rowCount(), 0);
}

TEST_F(GridFixture, SetRowsOneLeavesOnlyTheHeader) {
    EditorSwitches();
    m_grid.SetCellText(0, 0, "Preset #");
    m_grid.ActivateCell(4, 1);
    ASSERT_TRUE(m_grid.SetRows(1));
    EXPECT_EQ(m_grid.Rows(), 1);
    EXPECT_EQ(m_grid.rowCount(), 0);
    EXPECT_EQ(m_grid.GetCellText(0, 0), "Preset #");
    EXPECT_TRUE(m_grid.SelectedCells().empty());
    EXPECT_EQ(m_grid.FocusCell(), GridCellModel::kNoCell);
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{1, 5, -1, -1}));
    // New rows come back empty and unselected.
    m_grid.SetRows(3);
    EXPECT_EQ(m_grid.GetCellText(2, 1), QString());
    EXPECT_EQ(m_grid.GetCellState(2, 1), 0u);
}

TEST_F(GridFixture, ShrinkingKeepsFocusAndSelectionThatStillFit) {
    EditorSwitches();
    m_grid.ActivateCell(2, 1);
    m_grid.SetRows(3);
    EXPECT_EQ(m_grid.FocusCell(), (GridCellModel::Cell{2, 1}));
    EXPECT_EQ(Selected(), Row(2));
    m_grid.SetColumns(3);
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{2, 0, 2, 2}));
}

TEST_F(GridFixture, SelectedRangeOfNothingIsRowAndColumnCount) {
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{5, 5, -1, -1}));
}

TEST_F(GridFixture, SelectedBitSetByStateJoinsTheRange) {
    for (int column = 0; column < 5; ++column)
        m_grid.SetCellState(3, column, m_grid.GetCellState(3, column) | GridState::kSelected);
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{3, 0, 3, 4}));
    m_grid.SetCellState(3, 0, 0);
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{3, 1, 3, 4}));
    EXPECT_TRUE(m_notes.empty());
}

TEST_F(GridFixture, ClearSelectionClearsFocusWithoutNotifying) {
    EditorSwitches();
    m_grid.ActivateCell(2, 2);
    m_notes.clear();
    m_grid.ClearSelection();
    EXPECT_TRUE(m_grid.SelectedCells().empty());
    EXPECT_EQ(m_grid.FocusCell(), GridCellModel::kNoCell);
    EXPECT_EQ(m_grid.GetCellState(2, 2), 0u);
    EXPECT_TRUE(m_notes.empty());
}

TEST_F(GridFixture, RowSelectModeClearsSelectionAndHeaderColumnPicking) {
    m_grid.ActivateCell(1, 1);
    m_grid.SetRowSelectMode(true);
    EXPECT_TRUE(m_grid.SelectedCells().empty());
    EXPECT_TRUE(m_grid.Switches().rowSelect);
    EXPECT_FALSE(m_grid.Switches().fixedRowSelection);
}

TEST_F(GridFixture, SetFocusCellNotifiesOldThenNewAndMovesTheBit) {
    ASSERT_TRUE(m_grid.SetFocusCell(1, 1));
    ASSERT_TRUE(m_grid.SetFocusCell(3, 4));
    EXPECT_EQ(m_notes,
              (std::vector<Note>{
                  {kChanging, -1, -1}, {kChanged, 1, 1}, {kChanging, 1, 1}, {kChanged, 3, 4}}));
    EXPECT_EQ(m_grid.GetCellState(1, 1) & GridState::kFocused, 0u);
    EXPECT_EQ(m_grid.GetCellState(3, 4) & GridState::kFocused, GridState::kFocused);
}

TEST_F(GridFixture, EditingFollowsTheSwitchAndReadOnlyBit) {
    const QModelIndex cell = m_grid.IndexOf(2, 1);
    EXPECT_TRUE(m_grid.flags(cell) & Qt::ItemIsEditable);
    m_grid.SetCellState(2, 1, GridState::kReadOnly);
    EXPECT_FALSE(m_grid.flags(cell) & Qt::ItemIsEditable);
    m_grid.SetEditable(false);
    EXPECT_FALSE(m_grid.flags(m_grid.IndexOf(3, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m_grid.flags(cell) & Qt::ItemIsSelectable);
}

TEST_F(GridFixture, HeaderColumnsAreFixedAndPickTheirRow) {
    ASSERT_TRUE(m_grid.SetHeaderColumns(1));
    EXPECT_EQ(m_grid.GetCellState(2, 0), GridState::kFixed | GridState::kFixedColumn);
    EXPECT_FALSE(m_grid.flags(m_grid.IndexOf(2, 0)) & Qt::ItemIsSelectable);
    m_grid.ActivateCell(2, 0);
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{2, 1, 2, 4}));
    m_grid.SetFixedColumnSelection(false);
    m_grid.ActivateCell(3, 0);
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{2, 1, 2, 4}));
}

TEST_F(GridFixture, ColumnWidthIsTheWidestText) {
    m_grid.SetCellText(0, 4, "Name");
    m_grid.SetCellText(1, 4, "JAZZ");
    m_grid.SetCellText(2, 4, "CLASSICAL");
    const int width = m_grid.ColumnTextWidth(4, [](const QString& text, bool fixed) {
        return static_cast<int>(text.size()) * (fixed ? 100 : 10);
    });
    EXPECT_EQ(width, 400);
    EXPECT_EQ(m_grid.ColumnTextWidth(3, [](const QString&, bool) { return 7; }), 0);
}

TEST(GridDefaultCellTest, NewCellsTakeTheTemplate) {
    GridCellModel grid;
    grid.DefaultCell(false).SetAlign(GridAlign::Right);
    grid.DefaultCell(false).SetState(GridState::kReadOnly);
    grid.SetColumns(1);
    grid.SetRows(2);
    grid.SetHeaderRows(1);
    EXPECT_EQ(grid.GetCell(1, 0)->Align(), GridAlign::Right);
    EXPECT_TRUE(grid.GetCell(1, 0)->IsReadOnly());
    EXPECT_EQ(grid.GetCell(5, 0), nullptr);
    EXPECT_EQ(grid.data(grid.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace
