#pragma once

#include <QString>

// State bits of a grid cell.
namespace GridState {
inline constexpr unsigned kFocused = 0x01;
inline constexpr unsigned kSelected = 0x02;
inline constexpr unsigned kDropHighlighted = 0x04;
inline constexpr unsigned kReadOnly = 0x08;  // no in-place editing
inline constexpr unsigned kFixed = 0x10;
inline constexpr unsigned kFixedRow = 0x20;
inline constexpr unsigned kFixedColumn = 0x40;
}  // namespace GridState

// How a cell's text sits in it.
enum class GridAlign { Left, Center, Right };

// What every cell has: a text, state bits and an alignment.
class CGridCellBase {
public:
    virtual ~CGridCellBase() = default;

    virtual QString Text() const = 0;
    virtual void SetText(const QString& text) = 0;
    virtual unsigned State() const = 0;
    virtual void SetState(unsigned state) = 0;
    virtual GridAlign Align() const = 0;
    virtual void SetAlign(GridAlign align) = 0;

    bool IsFixed() const { return (State() & GridState::kFixed) != 0; }
    bool IsSelected() const { return (State() & GridState::kSelected) != 0; }
    bool IsFocused() const { return (State() & GridState::kFocused) != 0; }
    bool IsReadOnly() const { return (State() & GridState::kReadOnly) != 0; }
    void AddState(unsigned bits) { SetState(State() | bits); }
    void RemoveState(unsigned bits) { SetState(State() & ~bits); }

protected:
    CGridCellBase() = default;
    CGridCellBase(const CGridCellBase&) = default;
    CGridCellBase& operator=(const CGridCellBase&) = default;
};

// A cell of the grid.
class CGridCell : public CGridCellBase {
public:
    CGridCell() = default;

    QString Text() const override { return m_text; }
    void SetText(const QString& text) override { m_text = text; }
    unsigned State() const override { return m_state; }
    void SetState(unsigned state) override { m_state = state; }
    GridAlign Align() const override { return m_align; }
    void SetAlign(GridAlign align) override { m_align = align; }

private:
    QString m_text;
    unsigned m_state = 0;
    GridAlign m_align = GridAlign::Left;
};

// The template new cells are made from: one for ordinary cells and one for
// fixed (header) cells. Its text is no cell's; its state and alignment are
// every new cell's.
class CGridDefaultCell : public CGridCell {
public:
    explicit CGridDefaultCell(unsigned state = 0, GridAlign align = GridAlign::Left);

    // A new cell as this template makes it.
    CGridCell MakeCell() const;
};
