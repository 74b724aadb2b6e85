// Saving SDL surfaces as PNG files, for the asset maker and screenshots.
#pragma once

#include <SDL.h>

// Writes `surface` as an 8-bit RGB PNG (no alpha channel) at `path`.
// Returns false when the file cannot be written.
bool savePng(SDL_Surface* surface, const char* path);

// The colour of the pixel at (x, y), which must lie inside `surface`.
SDL_Color pixelAt(SDL_Surface* surface, int x, int y);
