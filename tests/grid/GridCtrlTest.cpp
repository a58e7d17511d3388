#include "GridCtrl.h"

#include <QAccessible>
#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The control as the preset editor uses it, shown on the offscreen platform
// and worked with real mouse and key events.
class GridCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_grid.SetControlId(1330);
        m_grid.SetColumns(3);
        m_grid.SetHeaderRows(1);
        m_grid.SetEditable(false);
        m_grid.SetRowSelectMode(true);
        m_grid.SetSingleRowSelection(true);
        const char* const titles[] = {"Preset #", "Band", "Channel"};
        for (int column = 0; column < 3; ++column)
            m_grid.SetCellText(0, column, titles[column]);
        m_grid.SetRows(5);
        for (int row = 1; row < 5; ++row)
            m_grid.SetCellText(row, 0, QString::number(row * 2));
        m_grid.resize(400, 300);
        m_grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
        QObject::connect(&m_grid, &CGridCtrl::Notified, [this](const GridNotification& n) {
            EXPECT_EQ(n.controlId, 1330);
            m_notes.push_back({n.code, n.row});
        });
    }
    QPoint CellCentre(int row, int column) {
        return m_grid.visualRect(m_grid.Cells().IndexOf(row, column)).center();
    }
    int SelectedViewRows() {
        return static_cast<int>(m_grid.selectionModel()->selectedRows().size());
    }

    CGridCtrl m_grid;
    std::vector<std::pair<int, int>> m_notes;  // code, row
};

TEST_F(GridCtrlTest, ClickSelectsTheRowAndNotifiesFocusThenClick) {
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, CellCentre(3, 1));
    EXPECT_EQ(m_notes, (std::vector<std::pair<int, int>>{{-100, -1}, {-101, 3}, {-2, 3}}));
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{3, 0, 3, 2}));
    EXPECT_EQ(SelectedViewRows(), 1);
    EXPECT_TRUE(m_grid.selectionModel()->isRowSelected(2, {}));
}

TEST_F(GridCtrlTest, ArrowKeysMoveTheSelectedRow) {
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, CellCentre(1, 0));
    m_notes.clear();
    QTest::keyClick(&m_grid, Qt::Key_Down);
    EXPECT_EQ(m_notes, (std::vector<std::pair<int, int>>{{-100, 1}, {-101, 2}}));
    QTest::keyClick(&m_grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(m_grid.GetSelectedRange().minRow, 4);
    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(m_grid.GetSelectedRange().minRow, 1);
    EXPECT_EQ(SelectedViewRows(), 1);
}

TEST_F(GridCtrlTest, KeysGoOnFromARowMarkedByItsState) {
    for (int column = 0; column < 3; ++column)
        m_grid.SetCellState(3, column, GridState::kSelected);
    QTest::keyClick(&m_grid, Qt::Key_Down);
    EXPECT_EQ(m_grid.GetSelectedRange().minRow, 4);
}

TEST_F(GridCtrlTest, HeaderClickReportsRowZeroAndKeepsTheSelection) {
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, CellCentre(2, 0));
    m_notes.clear();
    QHeaderView* header = m_grid.horizontalHeader();
    ASSERT_TRUE(header->isVisible());
    const QPoint section(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, section);
    EXPECT_EQ(m_notes, (std::vector<std::pair<int, int>>{{-2, 0}}));
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{2, 0, 2, 2}));
}

TEST_F(GridCtrlTest, ShrinkingTheRowsDoesNotNotify) {
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, CellCentre(4, 0));
    m_notes.clear();
    m_grid.SetRows(1);
    m_grid.SetRows(3);
    EXPECT_TRUE(m_notes.empty());
    EXPECT_EQ(SelectedViewRows(), 0);
}

TEST_F(GridCtrlTest, ViewSelectionAlwaysShowsTheCells) {
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, CellCentre(2, 0));
    m_grid.selectionModel()->select(m_grid.Cells().IndexOf(4, 1),
                                    QItemSelectionModel::Select | QItemSelectionModel::Columns);
    EXPECT_EQ(SelectedViewRows(), 1);
    EXPECT_TRUE(m_grid.selectionModel()->isRowSelected(1, {}));
    EXPECT_EQ(m_grid.GetSelectedRange(), (GridCellRange{2, 0, 2, 2}));
}

TEST_F(GridCtrlTest, FitColumnsMakesRoomForTheWidestText) {
    m_grid.SetCellText(2, 2, QStringLiteral("Invalid Frequency"));
    m_grid.FitColumns();
    const int needed = m_grid.fontMetrics().horizontalAdvance(QStringLiteral("Invalid Frequency"));
    EXPECT_GE(m_grid.columnWidth(2), needed);
    EXPECT_LT(m_grid.columnWidth(0), m_grid.columnWidth(2));
}

TEST_F(GridCtrlTest, ScreenReaderSeesATableWithColumnHeaders) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&m_grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->columnCount(), 3);
    EXPECT_EQ(cells->rowCount(), 4);
    EXPECT_EQ(cells->columnDescription(2), "Channel");
    QAccessibleInterface* cell = cells->cellAt(1, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "4");
}

}  // namespace
