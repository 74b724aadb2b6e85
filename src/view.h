// The list window: which part of the catalogue the list screen shows, where
// its rows and its arrow stand, and how Up and Down move them. A pure
// function of the view and a press, with no SDL.
#pragma once

#include <array>
#include <string>

#include "action.h"
#include "catalogue.h"

// The names shown on the list screen, one per row.
constexpr int windowRows = 10;
using NameWindow = std::array<std::string, windowRows>;

// Row k's name, in capitals, at (60, 45 + 15k); the arrow's top edge at
// (35, 37 + 15k), 8 pixels above its row's text.
constexpr int nameX = 60;
constexpr int firstNameY = 45;
constexpr int rowHeight = 15;
constexpr int arrowX = 35;
constexpr int firstArrowY = 37;

// Which part of the catalogue the list shows and where the arrow is.
struct BrowseView {
    int romCount = 0;
    int visibleRows = 0;         // rows drawn: up to 10, 0 or -1 for none
    int windowFirst = 0;         // catalogue index on row 0
    int windowEnd = windowRows;  // one past the index on the last row
    int cursorRow = 0;           // the row the arrow points at
};

// The view of a fresh scan of `romCount` entries (-1: unreadable folder).
BrowseView startBrowse(int romCount);

// The view after Up or Down: the arrow moves inside the window, and the
// window scrolls by one entry only when the arrow is at its top or bottom.
// Other actions leave the view as it is.
BrowseView moveCursor(BrowseView view, PadAction action);

// The arrow's top edge on the screen for the view's cursor row.
int arrowY(const BrowseView& view);

// Fills the window's slots with the names of the entries the view shows.
void refillNames(NameWindow& names, const RomList& list, const BrowseView& view);
