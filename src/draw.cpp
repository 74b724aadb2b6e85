#include "draw.h"

#include <SDL_image.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "files.h"

Surface loadImage(const char* path, std::string& problem) {
    OpenedFile opened = openRegularFile(path);
    if (opened.kind) {
        problem = notAFileMessage(path, opened.kind);
        return nullptr;
    }
    Surface image;
    if (!opened.file) {
        image.reset(IMG_Load(path));  // cannot be opened: SDL's loader says why
    } else if (SDL_RWops* source = SDL_RWFromFP(opened.file.get(), SDL_TRUE)) {
        opened.file.release();  // closed with the source
        image.reset(IMG_Load_RW(source, 1));
    }
    if (!image) problem = std::string("IMG_Load failed: ") + SDL_GetError();
    return image;
}

void drawImage(SDL_Surface* destination, SDL_Surface* image, Sint16 x, Sint16 y) {
    SDL_Rect to = {x, y, static_cast<Uint16>(image->w), static_cast<Uint16>(image->h)};
    SDL_BlitSurface(image, nullptr, destination, &to);
}

void drawSprite(SDL_Surface* source, SDL_Surface* destination, Sint16 sourceX, Sint16 sourceY,
                Sint16 destinationX, Sint16 destinationY, Uint16 width, Uint16 height) {
    SDL_Rect from = {sourceX, sourceY, width, height};
    SDL_Rect to = {destinationX, destinationY, width, height};
    SDL_BlitSurface(source, &from, destination, &to);
}

void setColourKey(SDL_Surface* image, platform::Rgb key) {
    SDL_SetColorKey(image, platform::colourKeyFlags, SDL_MapRGB(image->format, key.r, key.g, key.b));
}

int glyphCell(unsigned char character) {
    // The strip is not in character order: "(" and ")" stand in cells 1 and
    // 2, and the six marks after Z in the order > ! ? [ ] <.
    if (character >= ',' && character <= ';') return character - ',' + 4;
    if (character >= 'A' && character <= 'Z') return character - 'A' + 20;
    switch (character) {
    case '(': return 1;
    case ')': return 2;
    case '>': return 46;
    case '!': return 47;
    case '?': return 48;
    case '[': return 49;
    case ']': return 50;
    case '<': return 51;
    default: return -1;
    }
}

void drawText(SDL_Surface* font, SDL_Surface* destination, int x, int y, const char* text, int centred) {
    const int length = static_cast<int>(strnlen(text, maxTextLength));
    if (centred) x = platform::screenWidth / 2 - glyphSize / 2 * length;
    for (int i = 0; i < length; ++i) {
        const int cell = glyphCell(static_cast<unsigned char>(text[i]));
        if (cell < 0) continue;
        drawSprite(font, destination, static_cast<Sint16>(glyphSize * cell), 0,
                   static_cast<Sint16>(x + glyphSize * i), static_cast<Sint16>(y), glyphSize, glyphSize);
    }
}

std::string uppercase(const char* text) {
    std::string copy(text);
    for (char& c : copy) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return copy;
}

void drawRomNames(SDL_Surface* destination, SDL_Surface* font, const NameWindow& names, int count) {
    const int rows = std::min(count, windowRows);
    for (int k = 0; k < rows; ++k)
        drawText(font, destination, nameX, firstNameY + rowHeight * k, uppercase(names[k].c_str()).c_str(),
                 0);
}
