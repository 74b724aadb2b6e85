#include "view.h"

BrowseView startBrowse(int romCount) {
    BrowseView view;
    view.romCount = romCount;
    if (romCount < windowRows) view.windowEnd = romCount;
    view.visibleRows = view.windowEnd;
    return view;
}

BrowseView moveCursor(BrowseView view, PadAction action) {
    if (action == PadAction::Up) {
        if (view.cursorRow > 0) {
            --view.cursorRow;
        } else if (view.windowFirst > 0) {
            --view.windowFirst;
            --view.windowEnd;
        }
    } else if (action == PadAction::Down) {
        if (view.cursorRow < view.visibleRows - 1) {
            ++view.cursorRow;
        } else if (view.windowEnd < view.romCount) {
            ++view.windowFirst;
            ++view.windowEnd;
        }
    }
    return view;
}

int arrowY(const BrowseView& view) { return firstArrowY + rowHeight * view.cursorRow; }

void refillNames(NameWindow& names, const RomList& list, const BrowseView& view) {
    for (int k = 0; k < windowRows && view.windowFirst + k < view.windowEnd; ++k)
        names[k] = list.name(view.windowFirst + k);
}
