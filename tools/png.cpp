#include "png.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void appendBigEndian(std::string& out, Uint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void appendChunk(std::string& out, const char* type, const std::string& data) {
    appendBigEndian(out, static_cast<Uint32>(data.size()));
    const std::string body = type + data;
    out += body;
    appendBigEndian(out, static_cast<Uint32>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                   static_cast<uInt>(body.size()))));
}

}  // namespace

SDL_Color pixelAt(SDL_Surface* surface, int x, int y) {
    const Uint8 bytes = surface->format->BytesPerPixel;
    const Uint8* at = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bytes;
    Uint32 value = 0;
    switch (bytes) {
    case 1: value = *at; break;
    case 2: value = *reinterpret_cast<const Uint16*>(at); break;
    case 3:
        value = SDL_BYTEORDER == SDL_LIL_ENDIAN ? at[0] | at[1] << 8 | at[2] << 16
                                                : at[2] | at[1] << 8 | at[0] << 16;
        break;
    default: value = *reinterpret_cast<const Uint32*>(at); break;
    }
    SDL_Color colour = {0, 0, 0, 0};
    SDL_GetRGB(value, surface->format, &colour.r, &colour.g, &colour.b);
    return colour;
}

bool savePng(SDL_Surface* surface, const char* path, bool withAlpha) {
    std::string rows;
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
        rows.push_back(0);  // no filter
        for (int x = 0; x < surface->w; ++x) {
            const SDL_Color colour = pixelAt(surface, x, y);
            rows += {static_cast<char>(colour.r), static_cast<char>(colour.g), static_cast<char>(colour.b)};
            if (withAlpha) rows.push_back(static_cast<char>(0xff));
        }
    }
    SDL_UnlockSurface(surface);

    std::vector<Bytef> packed(compressBound(static_cast<uLong>(rows.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                  static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;

    std::string header;
    appendBigEndian(header, static_cast<Uint32>(surface->w));
    appendBigEndian(header, static_cast<Uint32>(surface->h));
    const char colourType = withAlpha ? 6 : 2;  // RGBA or RGB
    header += {8, colourType, 0, 0, 0};         // 8 bits a channel, deflate, no filter, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    appendChunk(png, "IEND", "");

    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
