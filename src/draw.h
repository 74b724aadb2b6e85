// Screen drawing: the images as the loader gives them, whole images,
// rectangles of images, and text from the 8x8 font strip. Clipping at a
// surface's edge is SDL's. The calls take their surfaces in differing orders
// (the image or the font first, or the destination first), as they always
// have: callers and ports rely on it.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "platform.h"
#include "view.h"

struct SurfaceFree {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

// Loads the image at `path` (from the working folder when it is relative),
// kept in the format the loader returns: it is blitted so, never converted to
// the display's. Returns it, or nothing with `problem` set to the line that
// says why: "IMG_Load failed: ..." or "PATH is a directory, not a file" (a
// FIFO or a device in its place is named, never waited on).
Surface loadImage(const char* path, std::string& problem);

// Draws the whole of `image` with its top-left corner at (x, y) of `destination`.
void drawImage(SDL_Surface* destination, SDL_Surface* image, Sint16 x, Sint16 y);

// Copies the width x height rectangle of `source` at (sourceX, sourceY) to
// (destinationX, destinationY) of `destination`.
void drawSprite(SDL_Surface* source, SDL_Surface* destination, Sint16 sourceX, Sint16 sourceY,
                Sint16 destinationX, Sint16 destinationY, Uint16 width, Uint16 height);

// Makes the pixels of `image` that have the colour `key` (in the image's own
// pixel format) transparent when it is drawn.
void setColourKey(SDL_Surface* image, platform::Rgb key);

// The font strip: one row of 8x8 cells, 52 of them.
constexpr int glyphSize = 8;
constexpr int fontCells = 52;
constexpr int maxTextLength = 34;  // characters drawn on one line at most

// The strip cell that shows `character`, or -1 when the strip has none.
int glyphCell(unsigned char character);

// Draws up to 34 characters of `text` from `font`, the first at (x, y), or
// centred on the screen when `centred` is not 0 (an integer flag, as the
// call has always taken it); a character without a cell leaves its 8-pixel
// place untouched.
void drawText(SDL_Surface* font, SDL_Surface* destination, int x, int y, const char* text, int centred);

// A copy of `text` with a to z made capitals; every other byte unchanged.
std::string uppercase(const char* text);

// Draws the first `count` names of `names` in capitals, one per row; nothing
// when `count` is 0 or less.
void drawRomNames(SDL_Surface* destination, SDL_Surface* font, const NameWindow& names, int count);
