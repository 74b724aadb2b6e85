// The artwork and settings that ship in data/ are what the selector expects.
#include <SDL_image.h>
#include <gtest/gtest.h>

#include "catalogue.h"
#include "pngfile.h"
#include "support.h"

namespace {

std::string dataFile(const char* name) { return std::string(DATA_FOLDER) + "/" + name; }

TEST(ShippedData, ImagesHaveTheirSizesAndNoAlphaChannel) {
    const struct {
        const char* file;
        int minWidth, maxWidth, minHeight, maxHeight;
    } images[] = {
        {platform::backgroundFile, 320, 320, 240, 240},
        {platform::splashFile, 320, 320, 240, 240},
        {platform::fontFile, 416, 416, 8, 8},
        {platform::arrowFile, 1, 24, 1, 15},  // fits left of the names and within a row
        // The menus' images: the GP2X's and the Wiz's icon beside the .gpe,
        // the Caanoo's icon and title that the INI files name.
        {"sdcard/selector.png", 32, 32, 32, 32},
        {"sdcard/selector-icon.png", 26, 26, 26, 26},
        {"sdcard/selector-title.png", 305, 305, 57, 57},
        {"sdcard/probe/probe.png", 32, 32, 32, 32},
        {"sdcard/probe/probe-icon.png", 26, 26, 26, 26},
        {"sdcard/probe/probe-title.png", 305, 305, 57, 57},
    };
    for (const auto& expected : images) {
        SCOPED_TRACE(expected.file);
        Surface image(IMG_Load(dataFile(expected.file).c_str()));
        ASSERT_TRUE(image) << IMG_GetError();
        EXPECT_EQ(image->format->Amask, 0u);
        EXPECT_GE(image->w, expected.minWidth);
        EXPECT_LE(image->w, expected.maxWidth);
        EXPECT_GE(image->h, expected.minHeight);
        EXPECT_LE(image->h, expected.maxHeight);
    }
}

// Each cell of the shipped font holds ink exactly when a character maps to it,
// and the rest of the strip is the font's transparent colour.
TEST(ShippedData, FontHasAGlyphInEveryMappedCell) {
    Surface font(IMG_Load(dataFile(platform::fontFile).c_str()));
    ASSERT_TRUE(font);
    bool mapped[fontCells] = {};
    for (int code = 0; code < 256; ++code)
        if (glyphCell(static_cast<unsigned char>(code)) >= 0)
            mapped[glyphCell(static_cast<unsigned char>(code))] = true;
    const SDL_Color key = {platform::fontKey.r, platform::fontKey.g, platform::fontKey.b, 0};
    for (int cell = 0; cell < fontCells; ++cell) {
        int inked = 0;
        for (int y = 0; y < glyphSize; ++y)
            for (int x = 0; x < glyphSize; ++x)
                inked += !sameColour(pixelAt(font.get(), glyphSize * cell + x, y), key);
        EXPECT_EQ(inked > 0, mapped[cell]) << "cell " << cell;
    }
}

TEST(ShippedData, SettingsAreFourValidLines) {
    const ConfigReading reading = loadConfig(dataFile(platform::configFileName).c_str());
    EXPECT_EQ(reading.fault, ConfigFault::None) << describeConfigFault(reading, "selector.cfg");
    EXPECT_EQ(reading.config.romDirectory.back(), '/');
}

}  // namespace
