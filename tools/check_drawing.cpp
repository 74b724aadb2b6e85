// An image as the selector draws it, against what its pixels mean: each image
// is drawn with the selector's own code (its colour key set as the selector
// sets it) onto the 16-bit screen's format, over black and over white, and
// every pixel is compared with what it should show there.
#include <cstdlib>

#include "draw.h"
#include "check.h"
#include "pngfile.h"

namespace {

// What a pixel of the file is meant to do on the screen.
enum class Meant : unsigned char { Drawn, LeftOut, Blended };

// Why a pixel may come out otherwise than meant.
enum Cause : unsigned char {
    Plain,         // no reason known
    FileKey,       // the file's own transparent colour (a tRNS chunk), made a colour key by the loader
    SeeThrough,    // an alpha channel that is not opaque, in an image meant to be opaque
    KeyWithAlpha,  // the key colour in an image with an alpha channel, where SDL ignores colour keys
    KeyTwice,      // the key colour at a palette entry after the first that has it
    NearKey,       // a colour the screen shows as the key's, but not the key
    NearestEntry,  // the palette entry SDL takes for a key the palette lacks
    causes
};

struct Pixel {
    Meant meant;
    Cause cause;
    Uint16 onScreen;  // its own colour in the screen's format
};

Surface screenLike(int width, int height, Uint8 level) {
    Surface screen(
        SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, platform::screenDepth, 0xf800, 0x07e0, 0x001f, 0));
    if (screen) SDL_FillRect(screen.get(), nullptr, SDL_MapRGB(screen->format, level, level, level));
    return screen;
}

// Within one step of the 16-bit screen in each of red, green and blue.
bool alike(Uint16 a, Uint16 b) {
    return std::abs((a >> 11) - (b >> 11)) <= 1 && std::abs((a >> 5 & 63) - (b >> 5 & 63)) <= 1 &&
           std::abs((a & 31) - (b & 31)) <= 1;
}

std::string rgb(SDL_Color c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

std::string pixels(long count) { return std::to_string(count) + (count == 1 ? " pixel" : " pixels"); }

// "paletted" or "greyscale": what a one-byte image is.
std::string paletteKind(const SDL_Palette* palette) {
    for (int i = 0; i < palette->ncolors; ++i)
        if (palette->colors[i].r != palette->colors[i].g || palette->colors[i].g != palette->colors[i].b)
            return "paletted";
    return "greyscale";
}

// The palette entries that hold exactly `key`, as "3, 7".
std::string entriesOf(const SDL_Palette* palette, platform::Rgb key) {
    std::string entries;
    for (int i = 0; palette && i < palette->ncolors; ++i)
        if (palette->colors[i].r == key.r && palette->colors[i].g == key.g && palette->colors[i].b == key.b)
            entries += (entries.empty() ? "" : ", ") + std::to_string(i);
    return entries;
}

}  // namespace

std::vector<std::string> drawingFaults(SDL_Surface* image, const platform::Rgb* key) {
    const int width = image->w, height = image->h;
    Surface screens[] = {screenLike(width, height, 0), screenLike(width, height, 255)};
    if (!screens[0] || !screens[1]) return {"cannot be measured: " + std::string(SDL_GetError())};
    const SDL_PixelFormat* screenFormat = screens[0]->format;
    SDL_PixelFormat* format = image->format;
    const bool fileKeyed = image->flags & SDL_SRCCOLORKEY, alpha = format->Amask != 0;
    const Uint32 fileKey = format->colorkey;
    const Uint32 mappedKey = key ? SDL_MapRGB(format, key->r, key->g, key->b) : 0;
    const Uint32 keyOnScreen = key ? SDL_MapRGB(screenFormat, key->r, key->g, key->b) : 0;
    SDL_Color nearExample = {0, 0, 0, 0};
    bool nearSeen = false;

    std::vector<Pixel> meant(static_cast<size_t>(width) * height);
    SDL_LockSurface(image);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Uint32 value = pixelValue(image, x, y);
            SDL_Color c = {0, 0, 0, 0};
            Uint8 a = 255;
            SDL_GetRGBA(value, format, &c.r, &c.g, &c.b, &a);
            Pixel& pixel = meant[static_cast<size_t>(y) * width + x];
            pixel = {Meant::Drawn, Plain, static_cast<Uint16>(SDL_MapRGB(screenFormat, c.r, c.g, c.b))};
            const bool exactKey = key && c.r == key->r && c.g == key->g && c.b == key->b;
            if (!key) {
                pixel.cause = fileKeyed && value == fileKey ? FileKey : alpha && a < 255 ? SeeThrough : Plain;
            } else if (fileKeyed && value == fileKey) {
                pixel = {Meant::LeftOut, FileKey, pixel.onScreen};
            } else if (alpha && a == 0) {
                pixel.meant = Meant::LeftOut;
            } else if (alpha && a < 255) {
                pixel.meant = Meant::Blended;  // drawn half and half, as meant
            } else if (pixel.onScreen == keyOnScreen) {
                pixel.meant = Meant::LeftOut;
                pixel.cause = alpha                ? KeyWithAlpha
                              : value == mappedKey ? Plain
                              : exactKey           ? KeyTwice
                                                   : NearKey;
                if (pixel.cause == NearKey && !nearSeen) nearExample = c;
                nearSeen = nearSeen || pixel.cause == NearKey;
            } else if (!alpha && value == mappedKey) {
                pixel.cause = NearestEntry;
            }
        }
    SDL_UnlockSurface(image);

    if (key) setColourKey(image, *key);  // as the selector does when it loads it
    long wrong[2][causes] = {};          // [meant drawn, meant left out][cause]
    std::vector<bool> counted(meant.size());
    for (Surface& screen : screens) {
        const Uint16 beneath = static_cast<Uint16>(pixelValue(screen.get(), 0, 0));
        drawImage(screen.get(), image, 0, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const size_t at = static_cast<size_t>(y) * width + x;
                const Pixel& pixel = meant[at];
                if (pixel.meant == Meant::Blended || counted[at]) continue;
                const bool leftOut = pixel.meant == Meant::LeftOut;
                if (alike(static_cast<Uint16>(pixelValue(screen.get(), x, y)),
                          leftOut ? beneath : pixel.onScreen))
                    continue;
                counted[at] = true;
                ++wrong[leftOut][pixel.cause];
            }
    }

    std::vector<std::string> faults;
    const long* drawnWrong = wrong[0];
    const long* keyDrawn = wrong[1];
    if (!key) {
        if (drawnWrong[FileKey])
            faults.push_back(
                "has a transparent colour, " + rgb(colourOf(fileKey, format)) +
                " (a tRNS chunk), which SDL_image makes its colour key: " + pixels(drawnWrong[FileKey]) +
                " of it are not drawn, so what lies beneath shows through (the splash, the arrow's "
                "trails); save it without transparency");
        if (drawnWrong[SeeThrough])
            faults.push_back(
                "has " + pixels(drawnWrong[SeeThrough]) +
                " that its alpha channel makes see-through: what lies beneath shows through them "
                "(the splash, the arrow's trails); make them opaque or save it as RGB without alpha");
        if (drawnWrong[Plain])
            faults.push_back(pixels(drawnWrong[Plain]) +
                             " are drawn in other colours than their own; save it as RGB without alpha");
        return faults;
    }
    const std::string keyColour = rgb({key->r, key->g, key->b, 0});
    if (keyDrawn[FileKey])
        faults.push_back("has a transparent colour of its own, " + rgb(colourOf(fileKey, format)) +
                         " (a tRNS chunk), which the selector replaces with " + keyColour + ": " +
                         pixels(keyDrawn[FileKey]) + " of it are drawn; make them " + keyColour);
    if (keyDrawn[KeyWithAlpha])
        faults.push_back(
            "has an alpha channel, so SDL draws it by alpha and ignores the transparent colour " + keyColour +
            ": " + pixels(keyDrawn[KeyWithAlpha]) +
            " of that colour are drawn; make them transparent in the alpha channel, or save it "
            "as RGB without alpha");
    if (keyDrawn[KeyTwice])
        faults.push_back("its palette holds the transparent colour " + keyColour +
                         " more than once (entries " + entriesOf(format->palette, *key) +
                         "): SDL makes only the first transparent, so " + pixels(keyDrawn[KeyTwice]) +
                         " of the others are drawn; keep the colour once");
    if (keyDrawn[NearKey])
        faults.push_back(pixels(keyDrawn[NearKey]) + " are " + rgb(nearExample) +
                         " or the like, which the screen shows as the transparent colour " + keyColour +
                         " but which is not it, so they are drawn; make them exactly " + keyColour);
    if (keyDrawn[Plain]) faults.push_back(pixels(keyDrawn[Plain]) + " meant to be transparent are drawn");
    if (drawnWrong[NearestEntry])
        faults.push_back("is " + paletteKind(format->palette) + " without the transparent colour " +
                         keyColour + ": SDL takes its nearest colour, " + rgb(colourOf(mappedKey, format)) +
                         ", as transparent, so " + pixels(drawnWrong[NearestEntry]) +
                         " of it are not drawn; add " + keyColour + " to its palette, or save it as RGB");
    const long otherwise = drawnWrong[Plain] + drawnWrong[FileKey] + drawnWrong[SeeThrough];
    if (otherwise) faults.push_back(pixels(otherwise) + " are not drawn as they are");
    return faults;
}
