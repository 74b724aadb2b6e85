#include <gtest/gtest.h>

#include "view.h"

namespace {

BrowseView afterPresses(int romCount, const std::string& presses) {
    BrowseView view = startBrowse(romCount);
    for (char press : presses) view = moveCursor(view, press == 'u' ? PadAction::Up : PadAction::Down);
    return view;
}

TEST(BrowseWindow, TheArrowMovesInsideTheWindowAndTheWindowScrollsOneEntryAtATime) {
    const struct {
        int romCount;
        std::string presses;
        int windowFirst, windowEnd, cursorRow, visibleRows;
    } cases[] = {
        {10, "", 0, 10, 0, 10},
        {10, std::string(9, 'd'), 0, 10, 9, 10},
        {10, std::string(12, 'd'), 0, 10, 9, 10},
        {10, "u", 0, 10, 0, 10},
        {11, std::string(10, 'd'), 1, 11, 9, 10},
        {11, std::string(14, 'd'), 1, 11, 9, 10},
        {11, std::string(10, 'd') + std::string(9, 'u'), 1, 11, 0, 10},
        {11, std::string(10, 'd') + std::string(10, 'u'), 0, 10, 0, 10},
        {25, std::string(30, 'd'), 15, 25, 9, 10},
        {25, std::string(30, 'd') + std::string(12, 'u'), 12, 22, 0, 10},
        {3, "dddd", 0, 3, 2, 3},
        {3, "ddu", 0, 3, 1, 3},
        {1, "dudu", 0, 1, 0, 1},
        {0, "dudd", 0, 0, 0, 0},
        {-1, "dduu", 0, -1, 0, -1},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(std::to_string(expected.romCount) + " entries, presses " + expected.presses);
        const BrowseView view = afterPresses(expected.romCount, expected.presses);
        EXPECT_EQ(view.windowFirst, expected.windowFirst);
        EXPECT_EQ(view.windowEnd, expected.windowEnd);
        EXPECT_EQ(view.cursorRow, expected.cursorRow);
        EXPECT_EQ(view.visibleRows, expected.visibleRows);
        EXPECT_EQ(arrowY(view), 37 + 15 * expected.cursorRow);
    }
}

}  // namespace
