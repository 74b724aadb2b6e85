// Saving SDL surfaces as PNG files, for the asset maker and screenshots.
#pragma once

#include <SDL.h>

// Writes `surface` as an 8-bit RGB PNG at `path`, with an opaque alpha
// channel when `withAlpha` is set. Returns false when it cannot be written.
bool savePng(SDL_Surface* surface, const char* path, bool withAlpha = false);

// The colour of the pixel at (x, y), which must lie inside `surface`.
SDL_Color pixelAt(SDL_Surface* surface, int x, int y);
