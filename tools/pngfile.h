// Saving SDL surfaces as PNG files (through libpng), for the asset maker,
// screenshots and test artwork.
#pragma once

#include <SDL.h>

// How a surface is written.
enum class PngFormat {
    Rgb,           // 8 bits a channel
    RgbWithAlpha,  // the same with an opaque alpha channel
    Grey,          // each pixel's red, green and blue averaged
    Palette,       // an 8-bit paletted surface, with its own palette
};

// Writes `surface` as a PNG at `path`. Returns false when it cannot be
// written (or, for Palette, when the surface has no palette).
bool savePng(SDL_Surface* surface, const char* path, PngFormat format = PngFormat::Rgb);

// The colour a pixel value stands for in `format`.
SDL_Color colourOf(Uint32 value, const SDL_PixelFormat* format);

// The colour of the pixel at (x, y), which must lie inside `surface`.
SDL_Color pixelAt(SDL_Surface* surface, int x, int y);

// The value of the pixel at (x, y) in `surface`'s own format; (x, y) must lie
// inside it, and the surface must be locked where SDL asks for it.
Uint32 pixelValue(SDL_Surface* surface, int x, int y);
