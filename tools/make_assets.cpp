// Makes the selector's artwork: the font strip from a hand-drawn glyph file,
// and the background, arrow and splash images drawn here; and the card's
// menu images of the selector and the probe (in OUTPUT-FOLDER/sdcard): the
// GP2X's and the Wiz's 32x32 icon, the Caanoo's 26x26 icon and its 305x57
// title.
//
//   make-assets GLYPHS.txt OUTPUT-FOLDER
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "draw.h"
#include "platform.h"
#include "pngfile.h"

namespace {

using Glyph = std::array<std::string, glyphSize>;  // rows of '#' and '.'
using Glyphs = std::map<unsigned char, Glyph>;

struct Colour {
    Uint8 r, g, b;
};
constexpr Colour ink = {255, 236, 160};
constexpr Colour shadow = {36, 20, 60};
constexpr Colour arrowInk = {255, 196, 64};
constexpr Colour panel = {30, 44, 96};
constexpr Colour panelEdge = {96, 128, 208};

// A glyph file holds, for each glyph, a line with its character and then its
// rows; lines starting with "#" before the first glyph are comments.
bool readGlyphs(const char* path, Glyphs& glyphs) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    Glyph* current = nullptr;
    int row = 0;
    while (std::getline(in, line)) {
        if (!current && line.rfind('#', 0) == 0) continue;
        if (line.size() == 1) {  // rows are wider than one column
            current = &glyphs[static_cast<unsigned char>(line[0])];
            row = 0;
        } else if (current && row < glyphSize) {
            (*current)[row++] = line;
        }
    }
    return !glyphs.empty();
}

bool inked(const Glyph& glyph, int x, int y) {
    return x >= 0 && y >= 0 && y < glyphSize && x < static_cast<int>(glyph[y].size()) && glyph[y][x] == '#';
}

SDL_Surface* newImage(int width, int height) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 24, 0xff, 0xff00, 0xff0000, 0);
}

void fill(SDL_Surface* image, int x, int y, int width, int height, Colour colour) {
    SDL_Rect area = {static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(width),
                     static_cast<Uint16>(height)};
    SDL_FillRect(image, &area, SDL_MapRGB(image->format, colour.r, colour.g, colour.b));
}

void verticalGradient(SDL_Surface* image, Colour top, Colour bottom) {
    for (int y = 0; y < image->h; ++y) {
        auto mix = [&](Uint8 a, Uint8 b) { return static_cast<Uint8>(a + (b - a) * y / (image->h - 1)); };
        fill(image, 0, y, image->w, 1, {mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b)});
    }
}

// Draws `glyph` with its shadow at (x, y), each pixel `scale` pixels square.
void drawGlyph(SDL_Surface* image, const Glyph& glyph, int x, int y, int scale, Colour colour) {
    for (int row = 0; row < glyphSize; ++row)
        for (int column = 0; column < glyphSize; ++column) {
            if (inked(glyph, column, row))
                fill(image, x + column * scale, y + row * scale, scale, scale, colour);
            else if (inked(glyph, column - 1, row - 1))
                fill(image, x + column * scale, y + row * scale, scale, scale, shadow);
        }
}

// Draws `text` centred across `image`; a negative `y` centres it down it too.
void drawWords(SDL_Surface* image, const Glyphs& glyphs, const std::string& text, int y, int scale,
               Colour colour) {
    int x = (image->w - static_cast<int>(text.size()) * glyphSize * scale) / 2;
    if (y < 0) y = (image->h - glyphSize * scale) / 2;
    for (char c : text) {
        const auto glyph = glyphs.find(static_cast<unsigned char>(c));
        if (glyph != glyphs.end()) drawGlyph(image, glyph->second, x, y, scale, colour);
        x += glyphSize * scale;
    }
}

SDL_Surface* makeFont(const Glyphs& glyphs) {
    SDL_Surface* strip = newImage(glyphSize * fontCells, glyphSize);
    fill(strip, 0, 0, strip->w, strip->h, {platform::fontKey.r, platform::fontKey.g, platform::fontKey.b});
    for (const auto& [character, glyph] : glyphs) {
        const int cell = glyphCell(character);
        if (cell >= 0) drawGlyph(strip, glyph, glyphSize * cell, 0, 1, ink);
    }
    return strip;
}

SDL_Surface* makeBackground(const Glyphs& glyphs) {
    SDL_Surface* image = newImage(platform::screenWidth, platform::screenHeight);
    verticalGradient(image, {20, 28, 70}, {4, 4, 16});
    // The list's panel runs on past the right edge, as the longest names do
    // (a line of text may reach x = 60 + 34 * 8, the screen ends at 320).
    fill(image, 24, 34, image->w - 24, 166, panelEdge);
    fill(image, 25, 35, image->w - 25, 164, panel);
    drawWords(image, glyphs, "CHOOSE A GAME", 14, 1, ink);
    drawWords(image, glyphs, "A: START   SELECT: MENU", 216, 1, panelEdge);
    return image;
}

// A right-pointing triangle in the lower rows, level with its row's text.
SDL_Surface* makeArrow() {
    SDL_Surface* image = newImage(16, 15);
    fill(image, 0, 0, image->w, image->h, {platform::arrowKey.r, platform::arrowKey.g, platform::arrowKey.b});
    for (int row = 0; row < 7; ++row) {
        const int reach = 4 + 2 * (row < 4 ? row : 6 - row);
        fill(image, 3, 8 + row, reach + 1, 1, shadow);
        fill(image, 3, 8 + row, reach, 1, arrowInk);
    }
    return image;
}

SDL_Surface* makeSplash(const Glyphs& glyphs) {
    SDL_Surface* image = newImage(platform::screenWidth, platform::screenHeight);
    verticalGradient(image, {60, 20, 90}, {10, 6, 30});
    for (int stripe = 0; stripe < 6; ++stripe) fill(image, 0, 150 + stripe * 6, image->w, 2, panelEdge);
    drawWords(image, glyphs, "ROM", 50, 4, ink);
    drawWords(image, glyphs, "SELECTOR", 90, 3, arrowInk);
    drawWords(image, glyphs, "FOR GP2X HANDHELDS", 210, 1, ink);
    return image;
}

// A menu icon: the list's panel with the program's initial in the arrow's
// colour, as large as the icon lets it be.
SDL_Surface* makeIcon(const Glyphs& glyphs, char initial, int size) {
    SDL_Surface* image = newImage(size, size);
    verticalGradient(image, {20, 28, 70}, {4, 4, 16});
    fill(image, 1, 1, size - 2, size - 2, panelEdge);
    fill(image, 2, 2, size - 4, size - 4, panel);
    drawWords(image, glyphs, std::string(1, initial), -1, (size - 6) / glyphSize, arrowInk);
    return image;
}

// The Caanoo menu's banner: the program's name on the splash's colours.
SDL_Surface* makeTitle(const Glyphs& glyphs, const std::string& name) {
    SDL_Surface* image = newImage(305, 57);
    verticalGradient(image, {60, 20, 90}, {10, 6, 30});
    fill(image, 0, 47, image->w, 2, panelEdge);
    fill(image, 0, 52, image->w, 2, panelEdge);
    drawWords(image, glyphs, name, 8, 4, arrowInk);
    return image;
}

bool save(SDL_Surface* image, const std::string& path) {
    const bool saved = savePng(image, path.c_str());
    SDL_FreeSurface(image);
    if (!saved) std::fprintf(stderr, "make-assets: cannot write %s\n", path.c_str());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-assets GLYPHS.txt OUTPUT-FOLDER\n");
        return 2;
    }
    Glyphs glyphs;
    if (!readGlyphs(argv[1], glyphs)) {
        std::fprintf(stderr, "make-assets: no glyphs in %s\n", argv[1]);
        return 1;
    }
    const std::string folder = argv[2];
    bool saved = save(makeFont(glyphs), folder + "/" + platform::fontFile) &
                 save(makeBackground(glyphs), folder + "/" + platform::backgroundFile) &
                 save(makeArrow(), folder + "/" + platform::arrowFile) &
                 save(makeSplash(glyphs), folder + "/" + platform::splashFile);
    // The card's menu images, named as the card holds them: selector.png
    // beside selector.gpe, selector-icon.png and selector-title.png.
    const struct {
        const char* stem;  // in the output folder
        const char* name;
    } programs[] = {{"/sdcard/selector", "SELECTOR"}, {"/sdcard/probe/probe", "PROBE"}};
    for (const auto& program : programs) {
        const std::string stem = folder + program.stem;
        saved = save(makeIcon(glyphs, program.name[0], 32), stem + ".png") &
                save(makeIcon(glyphs, program.name[0], 26), stem + "-icon.png") &
                save(makeTitle(glyphs, program.name), stem + "-title.png") & saved;
    }
    return saved ? 0 : 1;
}
