#include "pngfile.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The PNG rows of `surface` in `format`, one byte a channel.
std::vector<png_byte> rowsOf(SDL_Surface* surface, PngFormat format) {
    std::vector<png_byte> rows;
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y)
        for (int x = 0; x < surface->w; ++x) {
            if (format == PngFormat::Palette) {
                rows.push_back(static_cast<png_byte>(pixelValue(surface, x, y)));
                continue;
            }
            const SDL_Color colour = pixelAt(surface, x, y);
            if (format == PngFormat::Grey) {
                rows.push_back(static_cast<png_byte>((colour.r + colour.g + colour.b) / 3));
                continue;
            }
            rows.insert(rows.end(), {colour.r, colour.g, colour.b});
            if (format == PngFormat::RgbWithAlpha) rows.push_back(0xff);
        }
    SDL_UnlockSurface(surface);
    return rows;
}

}  // namespace

Uint32 pixelValue(SDL_Surface* surface, int x, int y) {
    const Uint8 bytes = surface->format->BytesPerPixel;
    const Uint8* at = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bytes;
    switch (bytes) {
    case 1: return *at;
    case 2: return *reinterpret_cast<const Uint16*>(at);
    case 3:
        return SDL_BYTEORDER == SDL_LIL_ENDIAN ? at[0] | at[1] << 8 | at[2] << 16
                                               : at[2] | at[1] << 8 | at[0] << 16;
    default: return *reinterpret_cast<const Uint32*>(at);
    }
}

SDL_Color colourOf(Uint32 value, const SDL_PixelFormat* format) {
    SDL_Color colour = {0, 0, 0, 0};
    SDL_GetRGB(value, format, &colour.r, &colour.g, &colour.b);
    return colour;
}

SDL_Color pixelAt(SDL_Surface* surface, int x, int y) {
    return colourOf(pixelValue(surface, x, y), surface->format);
}

bool savePng(SDL_Surface* surface, const char* path, PngFormat format) {
    const SDL_Palette* palette = surface->format->palette;
    if (format == PngFormat::Palette && (!palette || surface->format->BitsPerPixel != 8)) return false;
    const std::vector<png_byte> rows = rowsOf(surface, format);
    const int channels = format == PngFormat::Rgb ? 3 : format == PngFormat::RgbWithAlpha ? 4 : 1;
    const int colourType = format == PngFormat::Rgb            ? PNG_COLOR_TYPE_RGB
                           : format == PngFormat::RgbWithAlpha ? PNG_COLOR_TYPE_RGB_ALPHA
                           : format == PngFormat::Grey         ? PNG_COLOR_TYPE_GRAY
                                                               : PNG_COLOR_TYPE_PALETTE;

    std::vector<png_color> colours;
    if (format == PngFormat::Palette)
        for (int i = 0; i < palette->ncolors; ++i)
            colours.push_back({palette->colors[i].r, palette->colors[i].g, palette->colors[i].b});

    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file) return false;
    // libpng's errors come back to the setjmp below through longjmp, which
    // runs no destructor: every object that has one is made before it.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {  // alone in its condition, as setjmp must be
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(surface->w), static_cast<png_uint_32>(surface->h), 8,
                 colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colours.empty()) png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < surface->h; ++y)
        png_write_row(png, rows.data() + static_cast<size_t>(y) * surface->w * channels);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file.release()) == 0;
}
