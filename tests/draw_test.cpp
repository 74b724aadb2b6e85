#include <gtest/gtest.h>

#include <map>

#include "draw.h"
#include "pngfile.h"
#include "support.h"

namespace {

constexpr SDL_Color white = {255, 255, 255, 0};
constexpr SDL_Color black = {0, 0, 0, 0};
constexpr SDL_Color red = {255, 0, 0, 0};
constexpr SDL_Color fontKey = {255, 81, 247, 0};
constexpr SDL_Color arrowKey = {255, 82, 249, 0};

// Counts the pixels of `surface` that differ from `colour` outside the
// rectangle (x, y, width, height), and those that differ from `inside` in it.
struct Mismatches {
    int inside = 0, outside = 0;
};
Mismatches compareRect(SDL_Surface* surface, int x, int y, int width, int height, SDL_Color inside,
                       SDL_Color outside) {
    Mismatches count;
    for (int py = 0; py < surface->h; ++py)
        for (int px = 0; px < surface->w; ++px) {
            const bool in = px >= x && px < x + width && py >= y && py < y + height;
            if (!sameColour(pixelAt(surface, px, py), in ? inside : outside))
                ++(in ? count.inside : count.outside);
        }
    return count;
}

struct BlitCase {
    const char* what;
    int x, y;                        // where the 10x10 image goes
    int seenX, seenY, seenW, seenH;  // the part of the 40x30 screen it covers
};

TEST(ImageBlits, DrawImageIsClippedAtTheScreenEdges) {
    const BlitCase cases[] = {
        {"inside", 5, 5, 5, 5, 10, 10},
        {"past the right and bottom edges", 35, 25, 35, 25, 5, 5},
        {"past the left and top edges", -4, -6, 0, 0, 6, 4},
        {"wholly outside", 50, 5, 0, 0, 0, 0},
    };
    for (const BlitCase& blit : cases) {
        SCOPED_TRACE(blit.what);
        Surface screen = makeSurface(40, 30, black);
        Surface image = makeSurface(10, 10, red);
        drawImage(screen.get(), image.get(), static_cast<Sint16>(blit.x), static_cast<Sint16>(blit.y));
        const Mismatches wrong =
            compareRect(screen.get(), blit.seenX, blit.seenY, blit.seenW, blit.seenH, red, black);
        EXPECT_EQ(wrong.inside, 0);
        EXPECT_EQ(wrong.outside, 0);
    }
}

TEST(ImageBlits, DrawSpriteCopiesOnlyThePartInsideTheSource) {
    Surface source = makeSurface(20, 8, black);
    fillRect(source.get(), 16, 0, 4, 8, red);
    Surface screen = makeSurface(40, 30, white);
    drawSprite(source.get(), screen.get(), 16, 0, 10, 12, 8, 8);
    const Mismatches wrong = compareRect(screen.get(), 10, 12, 4, 8, red, white);
    EXPECT_EQ(wrong.inside, 0);
    EXPECT_EQ(wrong.outside, 0);
}

TEST(ImageBlits, OnlyTheExactKeyColourIsTransparent) {
    struct KeyCase {
        const char* what;
        platform::Rgb key;
        SDL_Color pixel;
        bool transparent;
    };
    const KeyCase cases[] = {
        {"font key on the font", platform::fontKey, fontKey, true},
        {"arrow key on the arrow", platform::arrowKey, arrowKey, true},
        {"one step off the font key", platform::fontKey, {255, 81, 246, 0}, false},
        {"the arrow's key on the font", platform::fontKey, arrowKey, false},
        {"the font's key on the arrow", platform::arrowKey, fontKey, false},
    };
    for (const KeyCase& key : cases) {
        SCOPED_TRACE(key.what);
        Surface image = makeSurface(4, 4, key.pixel);
        setColourKey(image.get(), key.key);
        Surface screen = makeSurface(8, 8, black);
        drawImage(screen.get(), image.get(), 2, 2);
        EXPECT_TRUE(sameColour(pixelAt(screen.get(), 3, 3), key.transparent ? black : key.pixel))
            << describe(pixelAt(screen.get(), 3, 3));
    }
}

// The strip's layout, written out cell by cell.
std::map<unsigned char, int> expectedCells() {
    std::map<unsigned char, int> cells;
    const std::pair<int, const char*> runs[] = {
        {1, "()"}, {4, ",-./0123456789:;"}, {20, "ABCDEFGHIJKLMNOPQRSTUVWXYZ>!?[]<"}};
    for (const auto& [firstCell, characters] : runs)
        for (int i = 0; characters[i]; ++i) cells[static_cast<unsigned char>(characters[i])] = firstCell + i;
    return cells;
}

TEST(BitmapFont, EveryCharacterLandsOnItsOwnCellOrLeavesItsPlaceBlank) {
    const std::map<unsigned char, int> cells = expectedCells();
    ASSERT_EQ(cells.size(), 50u);
    Surface font = makeTestFont();
    for (int code = 1; code < 256; ++code) {
        SCOPED_TRACE("character " + std::to_string(code));
        Surface screen = makeSurface(24, 10, white);
        const char text[] = {static_cast<char>(code), '\0'};
        drawText(font.get(), screen.get(), 8, 1, text, 0);
        const auto cell = cells.find(static_cast<unsigned char>(code));
        const bool drawn = cell != cells.end();
        const Mismatches wrong =
            compareRect(screen.get(), 8, 1, 8, 8, drawn ? cellColour(cell->second) : white, white);
        EXPECT_EQ(wrong.inside, drawn ? 1 : 0);  // the key pixel in the cell's corner is not drawn
        EXPECT_EQ(wrong.outside, 0);
        EXPECT_TRUE(sameColour(pixelAt(screen.get(), 15, 8), white));
    }
}

// The cell drawn at place i of a line starting at (x, y), or -1 when the
// place was left as it was.
int cellAt(SDL_Surface* screen, int x, int y) {
    const SDL_Color seen = pixelAt(screen, x, y);
    for (int cell = 0; cell < fontCells; ++cell)
        if (sameColour(seen, cellColour(cell))) return cell;
    return -1;
}

std::vector<int> cellsOfLine(SDL_Surface* screen, int x, int y, int places) {
    std::vector<int> line;
    for (int i = 0; i < places; ++i) line.push_back(cellAt(screen, x + glyphSize * i, y));
    return line;
}

TEST(BitmapFont, LinesAreCutAt34CharactersAndCentredOnTheScreen) {
    struct LineCase {
        const char* what;
        std::string text;
        int x, centred;
        int firstX;  // where the first glyph must land
        int drawn;   // glyphs drawn
    };
    const std::string forty(40, 'A');
    const LineCase cases[] = {
        {"forty characters", forty, 0, 0, 0, 34},
        {"centred ten", "ABCDEFGHIJ", 7, 1, 120, 10},
        {"centred forty", forty, 300, 1, 24, 34},
        {"centred 33", std::string(33, 'B'), 0, 1, 28, 33},
    };
    Surface font = makeTestFont();
    for (const LineCase& line : cases) {
        SCOPED_TRACE(line.what);
        Surface screen = makeSurface(platform::screenWidth + 64, 8, white);
        drawText(font.get(), screen.get(), line.x, 0, line.text.c_str(), line.centred);
        if (line.firstX > 0) {
            EXPECT_EQ(cellAt(screen.get(), line.firstX - 1, 0), -1);
        }
        for (int i = 0; i < line.drawn; ++i)
            EXPECT_EQ(cellAt(screen.get(), line.firstX + glyphSize * i, 0), glyphCell(line.text[i])) << i;
        EXPECT_EQ(cellAt(screen.get(), line.firstX + glyphSize * line.drawn, 0), -1);
    }
    Surface screen = makeSurface(platform::screenWidth, 8, white);
    drawText(font.get(), screen.get(), 0, 0, "", 1);
    EXPECT_EQ(compareRect(screen.get(), 0, 0, 0, 0, white, white).outside, 0);
}

TEST(BitmapFont, UppercaseChangesOnlyAToZ) {
    const std::pair<std::string, std::string> cases[] = {
        {"super_game 2.rom", "SUPER_GAME 2.ROM"},
        {"", ""},
        {"\xe9t\xe9 \xff\x80z", "\xe9T\xe9 \xff\x80Z"},
        {"MiXeD[]{}~`@", "MIXED[]{}~`@"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(uppercase(text.c_str()), expected);
}

TEST(BitmapFont, RomNamesAreDrawnInCapitalsOneRowEach) {
    Surface font = makeTestFont();
    const NameWindow names = {"super_game 2.rom", "b(1)", "zz"};
    const int s = glyphCell('S'), r = glyphCell('R'), dot = glyphCell('.'), two = glyphCell('2');
    const struct {
        int count;
        std::vector<std::vector<int>> rows;  // the first six places of rows 0 to 3
    } cases[] = {
        {3,
         {{s, glyphCell('U'), glyphCell('P'), glyphCell('E'), r, -1},
          {glyphCell('B'), 1, glyphCell('1'), 2, -1, -1},
          {glyphCell('Z'), glyphCell('Z'), -1, -1, -1, -1},
          {-1, -1, -1, -1, -1, -1}}},
        {1, {{s, glyphCell('U'), glyphCell('P'), glyphCell('E'), r, -1}, {-1, -1, -1, -1, -1, -1}}},
        {0, {{-1, -1, -1, -1, -1, -1}}},
        {-1, {{-1, -1, -1, -1, -1, -1}}},
    };
    for (const auto& drawing : cases) {
        SCOPED_TRACE("count " + std::to_string(drawing.count));
        Surface screen = makeSurface(platform::screenWidth, platform::screenHeight, white);
        drawRomNames(screen.get(), font.get(), names, drawing.count);
        for (size_t row = 0; row < drawing.rows.size(); ++row)
            EXPECT_EQ(cellsOfLine(screen.get(), nameX, firstNameY + rowHeight * static_cast<int>(row), 6),
                      drawing.rows[row])
                << "row " << row;
    }
    Surface screen = makeSurface(platform::screenWidth, platform::screenHeight, white);
    drawRomNames(screen.get(), font.get(), names, 1);
    EXPECT_EQ(
        cellsOfLine(screen.get(), nameX + 8 * glyphSize, firstNameY, 8),
        (std::vector<int>{glyphCell('M'), glyphCell('E'), -1, two, dot, r, glyphCell('O'), glyphCell('M')}));
}

}  // namespace
