#include "GridCell.h"

CGridDefaultCell::CGridDefaultCell(unsigned state, GridAlign align) {
    SetState(state);
    SetAlign(align);
}

CGridCell CGridDefaultCell::MakeCell() const {
    CGridCell cell;
    cell.SetState(State());
    cell.SetAlign(Align());
    return cell;
}
