// The four images as the handheld loads them (SDL_image 1.2.12 with PNG
// support alone, SDL 1.2.15, 64 MB for everything) and the selector draws them.
#include <SDL_image.h>

#include "check.h"
#include "draw.h"
#include "files.h"

namespace {

const char* const stopsAtStart = ": the selector stops at start-up";

// SDL 1.2 makes no surface this wide or this high.
constexpr unsigned long sdlWidthLimit = 16384, sdlHeightLimit = 65536;

// What one image may take once loaded, of the handheld's 64 MB.
constexpr unsigned long long handheldImageBytes = 16ull << 20;

struct ImageRole {
    const char* file;
    const platform::Rgb* key;  // the colour the selector makes transparent; none for opaque images
};

std::string size(unsigned long width, unsigned long height) {
    return say("{}x{}", {std::to_string(width), std::to_string(height)});
}

// The size each image must have (errors) or is expected to have (notes).
void checkSize(const ImageRole& role, const SDL_Surface* image, std::vector<Finding>& findings) {
    if (role.key == &platform::fontKey) {
        if (image->h != glyphSize || image->w % glyphSize != 0 || image->w < glyphSize * fontCells)
            findings.push_back(
                {role.file,
                 say("is {}: the font is one row of 8x8 cells, 8 pixels high and a whole number of "
                     "cells wide, at least 52 (416 pixels); a font of another size draws broken "
                     "letters (the selector works all the same): redraw it at that size",
                     {size(image->w, image->h)}),
                 false});
    } else if (role.key) {
        if (image->w > nameX - arrowX || image->h > rowHeight)
            findings.push_back(
                {role.file,
                 say("is {}, the selector expects at most 25x15: left of the names, within a row",
                     {size(image->w, image->h)}),
                 false});
    } else if (image->w != platform::screenWidth || image->h != platform::screenHeight) {
        const bool smaller = image->w < platform::screenWidth || image->h < platform::screenHeight;
        const char* seen = !smaller ? "what lies beyond 320x240 is cut off"
                           : role.file == std::string(platform::splashFile)
                               ? "the rest of the screen stays black while it shows"
                               : "the screen beyond it is never redrawn, so the splash stays there and the "
                                 "arrow leaves trails";
        findings.push_back({role.file,
                            say("is {}, the selector expects 320x240: {}; make it 320x240",
                                {size(image->w, image->h), seen}),
                            false});
    }
}

void checkImage(const std::string& path, const ImageRole& role, CheckReport& report) {
    auto stops = [&](const std::string& what) {
        report.starts = false;
        report.findings.push_back({role.file, what});
    };
    const OpenedFile opened = openRegularFile(path.c_str());
    if (!opened.file) return stops(say("{}{}", {whyNotOpened(opened.kind, opened.error), stopsAtStart}));
    FILE* file = opened.file.get();
    char head[16];
    const std::string kind = pictureKind(std::string(head, std::fread(head, 1, sizeof head, file)));
    if (!kind.empty())
        return stops(say(
            "is {}, not a PNG: the handheld reads PNG only (its SDL_image is built with no other format), "
            "so the selector stops at start-up there; save it as a PNG",
            {kind}));
    const PngHeader header = readPngHeader(file);
    if (!header.damage.empty())
        return stops(say("is a damaged PNG: it {}{}; save it again", {header.damage, stopsAtStart}));
    if (header.width >= sdlWidthLimit || header.height >= sdlHeightLimit)
        return stops(
            say("is {}: SDL 1.2 makes no image 16,384 pixels wide or 65,536 high, or larger, so the "
                "selector stops at start-up; make it smaller",
                {size(header.width, header.height)}));
    if (header.decodedBytes > handheldImageBytes) {
        report.findings.push_back(
            {role.file,
             say("is {}, which takes {} MiB once loaded: too much of the handheld's 64 MB (keep an "
                 "image under 16 MiB loaded); make it smaller",
                 {size(header.width, header.height), std::to_string(header.decodedBytes >> 20)})});
        return;
    }
    std::rewind(file);
    SDL_RWops* source = SDL_RWFromFP(file, SDL_FALSE);
    Surface image(source ? IMG_LoadPNG_RW(source) : nullptr);
    if (source) SDL_RWclose(source);  // leaves the file open
    if (!image) {
        const std::string problem = pngReadProblem(file);
        return stops(problem.empty() ? say("cannot be loaded ({}){}", {IMG_GetError(), stopsAtStart})
                                     : say("is a damaged PNG (libpng: {}){}; save it again",
                                           {quoted(problem), stopsAtStart}));
    }
    checkSize(role, image.get(), report.findings);
    // The selector works all the same: what it draws wrongly is a note.
    for (const std::string& fault : drawingFaults(image.get(), role.key))
        report.findings.push_back({role.file, fault, false});
}

}  // namespace

void checkImages(const CheckPlace& place, CheckReport& report) {
    const ImageRole roles[] = {
        {platform::backgroundFile, nullptr},
        {platform::splashFile, nullptr},
        {platform::fontFile, &platform::fontKey},
        {platform::arrowFile, &platform::arrowKey},
    };
    for (const ImageRole& role : roles) checkImage(place.folder + "/" + role.file, role, report);
}
