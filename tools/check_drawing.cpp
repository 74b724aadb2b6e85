// An image as the selector draws it, against what its pixels mean: each image
// is drawn with the selector's own code (its colour key set as the selector
// sets it) onto the 16-bit screen's format, over black and over white, and
// every pixel is compared with what it should show there.
#include <cstdlib>
#include <vector>

#include "check.h"
#include "draw.h"
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
    return say("({}, {}, {})", {std::to_string(c.r), std::to_string(c.g), std::to_string(c.b)});
}

std::string pixels(long count) { return say(count == 1 ? "{} pixel" : "{} pixels", {std::to_string(count)}); }

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

// What each pixel of `image` is meant to do on the screen, and why it may
// come out otherwise.
struct Judged {
    std::vector<Pixel> pixels;             // row by row
    SDL_Color nearExample = {0, 0, 0, 0};  // the first pixel near the key but not it
    SDL_Color fileKey = {0, 0, 0, 0};      // the file's own transparent colour, if it has one
};

Judged judgePixels(SDL_Surface* image, const platform::Rgb* key, const SDL_PixelFormat* screenFormat) {
    SDL_PixelFormat* format = image->format;
    const bool fileKeyed = image->flags & SDL_SRCCOLORKEY, alpha = format->Amask != 0;
    const Uint32 fileKey = format->colorkey;  // before the selector's key replaces it
    const Uint32 mappedKey = key ? SDL_MapRGB(format, key->r, key->g, key->b) : 0;
    const Uint32 keyOnScreen = key ? SDL_MapRGB(screenFormat, key->r, key->g, key->b) : 0;
    bool nearSeen = false;
    Judged judged;
    judged.fileKey = colourOf(fileKey, format);
    judged.pixels.resize(static_cast<size_t>(image->w) * image->h);
    SDL_LockSurface(image);
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            const Uint32 value = pixelValue(image, x, y);
            SDL_Color c = {0, 0, 0, 0};
            Uint8 a = 255;
            SDL_GetRGBA(value, format, &c.r, &c.g, &c.b, &a);
            Pixel& pixel = judged.pixels[static_cast<size_t>(y) * image->w + x];
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
                if (pixel.cause == NearKey && !nearSeen) judged.nearExample = c;
                nearSeen = nearSeen || pixel.cause == NearKey;
            } else if (!alpha && value == mappedKey) {
                pixel.cause = NearestEntry;
            }
        }
    SDL_UnlockSurface(image);
    return judged;
}

// How many pixels come out otherwise than meant, by what they were meant to
// do and why.
struct Wrong {
    long drawn[causes] = {};    // meant to be drawn
    long leftOut[causes] = {};  // meant to be left out
};

// Draws `image` with the selector's own code on each of `screens` and counts
// each pixel that comes out wrong on any of them, once.
Wrong countWrong(SDL_Surface* image, const std::vector<Pixel>& pixels, Surface (&screens)[2]) {
    Wrong wrong;
    std::vector<bool> counted(pixels.size());
    for (Surface& screen : screens) {
        const Uint16 beneath = static_cast<Uint16>(pixelValue(screen.get(), 0, 0));
        drawImage(screen.get(), image, 0, 0);
        for (int y = 0; y < image->h; ++y)
            for (int x = 0; x < image->w; ++x) {
                const size_t at = static_cast<size_t>(y) * image->w + x;
                const Pixel& pixel = pixels[at];
                if (pixel.meant == Meant::Blended || counted[at]) continue;
                const bool leftOut = pixel.meant == Meant::LeftOut;
                if (alike(static_cast<Uint16>(pixelValue(screen.get(), x, y)),
                          leftOut ? beneath : pixel.onScreen))
                    continue;
                counted[at] = true;
                ++(leftOut ? wrong.leftOut : wrong.drawn)[pixel.cause];
            }
    }
    return wrong;
}

// What is wrong in an image meant to be drawn whole (no key), and why.
std::vector<std::string> opaqueFaults(const Wrong& wrong, SDL_Color fileKey) {
    std::vector<std::string> faults;
    if (wrong.drawn[FileKey])
        faults.push_back(
            say("has a transparent colour, {} (a tRNS chunk), which SDL_image makes its colour key: {} "
                "of it are not drawn, so what lies beneath shows through (the splash, the arrow's "
                "trails); save it without transparency",
                {rgb(fileKey), pixels(wrong.drawn[FileKey])}));
    if (wrong.drawn[SeeThrough])
        faults.push_back(
            say("has {} that its alpha channel makes see-through: what lies beneath shows through them "
                "(the splash, the arrow's trails); make them opaque or save it as RGB without alpha",
                {pixels(wrong.drawn[SeeThrough])}));
    if (wrong.drawn[Plain])
        faults.push_back(say("{} are drawn in other colours than their own; save it as RGB without alpha",
                             {pixels(wrong.drawn[Plain])}));
    return faults;
}

// What is wrong in an image drawn with the colour key `key`, and why.
std::vector<std::string> keyedFaults(const Wrong& wrong, const SDL_PixelFormat* format, SDL_Color fileKey,
                                     platform::Rgb key, SDL_Color nearExample) {
    std::vector<std::string> faults;
    const std::string keyColour = rgb({key.r, key.g, key.b, 0});
    if (wrong.leftOut[FileKey])
        faults.push_back(
            say("has a transparent colour of its own, {} (a tRNS chunk), which the selector replaces "
                "with {}: {} of it are drawn; make them {}",
                {rgb(fileKey), keyColour, pixels(wrong.leftOut[FileKey]), keyColour}));
    if (wrong.leftOut[KeyWithAlpha])
        faults.push_back(
            say("has an alpha channel, so SDL draws it by alpha and ignores the transparent colour {}: {} "
                "of that colour are drawn; make them transparent in the alpha channel, or save it as "
                "RGB without alpha",
                {keyColour, pixels(wrong.leftOut[KeyWithAlpha])}));
    if (wrong.leftOut[KeyTwice])
        faults.push_back(
            say("its palette holds the transparent colour {} more than once (entries {}): SDL makes only "
                "the first transparent, so {} of the others are drawn; keep the colour once",
                {keyColour, entriesOf(format->palette, key), pixels(wrong.leftOut[KeyTwice])}));
    if (wrong.leftOut[NearKey])
        faults.push_back(
            say("{} are {} or the like: the 16-bit screen shows them in the transparent colour {}, but they "
                "are not it, so they are drawn, in a colour that looks like the key; to leave them out make "
                "them exactly {}",
                {pixels(wrong.leftOut[NearKey]), rgb(nearExample), keyColour, keyColour}));
    if (wrong.leftOut[Plain])
        faults.push_back(say("{} meant to be transparent are drawn", {pixels(wrong.leftOut[Plain])}));
    if (wrong.drawn[NearestEntry])
        faults.push_back(
            say("is {} without the transparent colour {}: SDL takes its nearest colour, {}, as "
                "transparent, so {} of it are not drawn; add {} to its palette, or save it as RGB",
                {paletteKind(format->palette), keyColour,
                 rgb(colourOf(SDL_MapRGB(format, key.r, key.g, key.b), format)),
                 pixels(wrong.drawn[NearestEntry]), keyColour}));
    const long otherwise = wrong.drawn[Plain] + wrong.drawn[FileKey] + wrong.drawn[SeeThrough];
    if (otherwise) faults.push_back(say("{} are not drawn as they are", {pixels(otherwise)}));
    return faults;
}

}  // namespace

std::vector<std::string> drawingFaults(SDL_Surface* image, const platform::Rgb* key) {
    Surface screens[] = {screenLike(image->w, image->h, 0), screenLike(image->w, image->h, 255)};
    if (!screens[0] || !screens[1]) return {say("cannot be measured: {}", {SDL_GetError()})};
    const Judged judged = judgePixels(image, key, screens[0]->format);
    if (key) setColourKey(image, *key);  // as the selector does when it loads it
    const Wrong wrong = countWrong(image, judged.pixels, screens);
    return key ? keyedFaults(wrong, image->format, judged.fileKey, *key, judged.nearExample)
               : opaqueFaults(wrong, judged.fileKey);
}
