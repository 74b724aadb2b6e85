// Fuzz target: text drawing at arbitrary places with arbitrary bytes.
// The input's first six bytes pick x, y (16 bits each), centring and the
// row count for the name column; the rest is the text, and its lines are
// the names.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "draw.h"

namespace {

Surface makeFont() {
    Surface font(
        SDL_CreateRGBSurface(SDL_SWSURFACE, glyphSize * fontCells, glyphSize, 24, 0xff, 0xff00, 0xff0000, 0));
    for (int x = 0; x < font->w; x += 2) {
        SDL_Rect column = {static_cast<Sint16>(x), 0, 1, glyphSize};
        SDL_FillRect(font.get(), &column, SDL_MapRGB(font->format, 255, 81, 247));
    }
    setColourKey(font.get(), platform::fontKey);
    return font;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Surface font = makeFont();
    static const Surface screen(SDL_CreateRGBSurface(SDL_SWSURFACE, platform::screenWidth,
                                                     platform::screenHeight, 16, 0xf800, 0x07e0, 0x001f, 0));
    if (size < 6) return 0;
    const int x = static_cast<int16_t>(data[0] | data[1] << 8);
    const int y = static_cast<int16_t>(data[2] | data[3] << 8);
    const int centred = data[4] & 1;
    const int count = static_cast<int8_t>(data[5]);
    const std::string text(reinterpret_cast<const char*>(data) + 6, size - 6);

    drawText(font.get(), screen.get(), x, y, text.c_str(), centred);
    if (uppercase(text.c_str()).size() != std::strlen(text.c_str())) std::abort();

    NameWindow names;
    size_t start = 0;
    for (std::string& name : names) {
        if (start > text.size()) break;
        const size_t end = std::min(text.find('\n', start), text.size());
        name = text.substr(start, end - start);
        start = end + 1;
    }
    drawRomNames(screen.get(), font.get(), names, count);
    return 0;
}
