// selector-check on images, judged as the handheld loads and draws them
// and compared with what the real selector does with them.
#include <gtest/gtest.h>

#include <SDL_image.h>

#include "check_support.h"

namespace {

TEST(SelectorCheck, JudgesImagesAsTheHandheldLoadsAndDrawsThem) {
    const std::string data = DATA_FOLDER;
    const SDL_Color key = {platform::fontKey.r, platform::fontKey.g, platform::fontKey.b, 0};
    const std::string navy = bytes({0, 0, 128}), navyOpaque = bytes({0, 0, 128, 255});
    std::string badChecksum = pngFile(320, 240, 2, filled(320, 240, navy));
    badChecksum[badChecksum.size() - 13] ^= 1;  // the last byte of the image data's checksum
    std::string seeThrough = filled(320, 240, navyOpaque);
    for (int i = 0; i < 100; ++i) seeThrough[4 * i + 3] = '\x80';
    TempFolder scratch;
    Surface arrow(IMG_Load((data + "/arrow.png").c_str()));
    SDL_SaveBMP(arrow.get(), (scratch / "arrow.bmp").c_str());
    const char gif[] =
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01"
        "\x00\x00\x02\x02\x44\x01\x00;";  // one white pixel
    const std::string handheld = "the handheld reads PNG only", stops = ": the selector stops at start-up";
    const std::string bg = "background.png: ", font = "font.png: ";
    const Real launches = Real::Launches;
    expectVerdicts({
        row("the project's own artwork", 0, launches, {": no errors, 0 note(s)"},
            [&](CheckFolder& f) {
                for (const char* name : {"background.png", "quelp-splash.png", "font.png", "arrow.png"})
                    file(name, readFile(data + "/" + name))(f);
            }),
        row("a BMP named arrow.png", 1, launches, {"arrow.png: is a BMP image, not a PNG: " + handheld},
            file("arrow.png", readFile(scratch / "arrow.bmp"))),
        row("a GIF named arrow.png", 1, launches, {"arrow.png: is a GIF image, not a PNG: " + handheld},
            file("arrow.png", std::string(gif, sizeof gif - 1))),
        row("a JPEG named background.png", 1, Real::Stops, {bg + "is a JPEG image, not a PNG"},
            file("background.png", "\xff\xd8\xff\xe0 and no more")),
        row("a PNG cut short", 1, Real::Stops, {font + "is a damaged PNG (libpng: "},
            file("font.png", readFile(data + "/font.png").substr(0, 300))),
        row("a PNG with a wrong checksum", 1, Real::Stops,
            {bg + "is a damaged PNG (libpng: \"IDAT: CRC error\")" + stops},
            file("background.png", badChecksum)),
        row("a font 16,384 pixels wide", 1, Real::Stops,
            {font + "is 16384x8: SDL 1.2 makes no image 16,384 pixels wide"},
            file("font.png", pngFile(16384, 8, 2, filled(16384, 8, navy)))),
        row("a background too big for the handheld", 1, launches,
            {bg + "is 320x18000, which takes 16 MiB once loaded: too much of the handheld's 64 MB"},
            file("background.png", pngFile(320, 18000, 2, filled(320, 18000, navy)))),
        row("a background with a transparent colour", 0, launches,
            {bg +
             "note: has a transparent colour, (0, 0, 128) (a tRNS chunk), which SDL_image makes its colour "
             "key: 76800"},
            file("background.png",
                 pngFile(320, 240, 2, filled(320, 240, navy), {{"tRNS", bytes({0, 0, 0, 0, 0, 128})}}))),
        row("a font with a transparent colour of its own", 0, launches,
            {font +
             "note: has a transparent colour of its own, (0, 0, 128) (a tRNS chunk), which the selector "
             "replaces with (255, 81, 247): 3328 pixels of it are drawn"},
            file("font.png",
                 pngFile(416, 8, 2, filled(416, 8, navy), {{"tRNS", bytes({0, 0, 0, 0, 0, 128})}}))),
        row("an opaque RGBA background", 0, launches, {},
            file("background.png", pngFile(320, 240, 6, filled(320, 240, navyOpaque)))),
        row("an RGBA background with see-through pixels", 0, launches,
            {bg + "note: has 100 pixels that its alpha channel makes see-through"},
            file("background.png", pngFile(320, 240, 6, seeThrough))),
        row("a font at twice the size", 0, launches,
            {font + "note: is 832x16: the font is one row of 8x8 cells"},
            file("font.png", pngFile(832, 16, 2, filled(832, 16, navy)))),
        row("an RGBA font whose alpha is 0 or 255", 0, launches, {},
            file("font.png", pngFile(416, 8, 6, rgbaFont(bytes({0, 0, 0, 0}))))),
        row("an RGBA font with its key colour opaque", 0, launches,
            {font +
             "note: has an alpha channel, so SDL draws it by alpha and ignores the transparent colour (255, "
             "81, 247): "
             "52 pixels"},
            file("font.png", pngFile(416, 8, 6, rgbaFont(bytes({key.r, key.g, key.b, 255}))))),
        row("a paletted font whose key maps to a near entry", 0, launches, {},
            file("font.png", palettedFont({{255, 80, 240, 0}}, 52))),
        row("a paletted font without the key", 0, launches,
            {font +
             "note: is paletted without the transparent colour (255, 81, 247): SDL takes its nearest colour, "
             "(248, 64, 128), as transparent, so 63 pixels"},
            file("font.png", palettedFont({{250, 250, 250, 0}, {0, 0, 0, 0}}, 53))),
        row("a palette holding the key twice", 0, launches,
            {font +
             "note: its palette holds the transparent colour (255, 81, 247) more than once (entries 52, "
             "53): SDL makes "
             "only the first transparent, so 52 pixels"},
            file("font.png", palettedFont({key, key}, 53))),
        row("an arrow of a colour near the key", 0, launches,
            {"arrow.png: note: 240 pixels are (255, 80, 248) or the like: the 16-bit screen shows them in "
             "the "
             "transparent colour (255, 82, 249), but they are not it, so they are drawn"},
            file("arrow.png", pngFile(16, 15, 2, filled(16, 15, bytes({255, 80, 248}))))),
        row("no font", 1, Real::Stops, {font + "missing" + stops}, removed("font.png")),
        row("a background that is a folder", 1, Real::Stops, {bg + "is a directory, not a file" + stops},
            folderAt("background.png")),
        row("a small splash", 0, launches,
            {"quelp-splash.png: note: is 160x120, the selector expects 320x240: the rest of the screen stays "
             "black while it shows"},
            file("quelp-splash.png", pngFile(160, 120, 2, filled(160, 120, navy)))),
    });
}

}  // namespace
