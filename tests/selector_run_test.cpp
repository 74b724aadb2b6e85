// The real selector, run headless from start-up to hand-off in a child
// process, with pad presses from a script (see pad_script.cpp).
#include <gtest/gtest.h>

#include <filesystem>

#include "png.h"
#include "support.h"

namespace {

std::vector<std::string> lettered(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(std::string(1, static_cast<char>('a' + i)) + ".rom");
    return names;
}

std::string repeat(const std::string& words, int times) {
    std::string script;
    for (int i = 0; i < times; ++i) script += words;
    return script;
}

TEST(SelectorRun, HandsOffToTheChosenRomOrToTheSystemMenu) {
    const std::vector<std::string> threeRoms = {"a.rom", "b.bin", "c.rom", "notes.txt"};
    const std::string menu = "MENU";  // stands for the system menu's record
    const struct {
        const char* what;
        std::vector<std::string> roms;
        std::string script;
        std::vector<std::string> argv;  // after the working folder
    } cases[] = {
        {"A on the first row", threeRoms, "a", {"./emulator", "roms/a.rom"}},
        {"Down twice, then A", threeRoms, "down down a", {"./emulator", "roms/c.rom"}},
        {"one press a pass", threeRoms, "down | down | a", {"./emulator", "roms/c.rom"}},
        {"Up at the top stays", threeRoms, "up up a", {"./emulator", "roms/a.rom"}},
        {"Down past the end stays", threeRoms, "down down down down a", {"./emulator", "roms/c.rom"}},
        {"Select", threeRoms, "select", {menu}},
        {"A, then Select in one drain", threeRoms, "a select", {menu}},
        {"Select, then A in one drain", threeRoms, "select a", {"./emulator", "roms/a.rom"}},
        {"A on a second pad", threeRoms, "button:12:1", {"./emulator", "roms/a.rom"}},
        {"A on an empty list is ignored", {}, "a | select", {menu}},
        {"scrolling past the tenth row",
         lettered(12),
         repeat("down ", 11) + "a",
         {"./emulator", "roms/l.rom"}},
        {"the name as spelled on disk",
         {"Mixed Case_1 (v2).rom"},
         "a",
         {"./emulator", "roms/Mixed Case_1 (v2).rom"}},
    };
    for (const auto& handOff : cases) {
        SCOPED_TRACE(handOff.what);
        SelectorFolder selector(handOff.roms);
        const ProgramRun run = selector.run(handOff.script);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, "");
        if (handOff.argv == std::vector<std::string>{menu})
            EXPECT_EQ(selector.record(), (std::vector<std::string>{selector.where + "/menu-root/usr/gp2x",
                                                                   "/usr/gp2x/gp2xmenu"}));
        else {
            std::vector<std::string> expected = {selector.where};
            expected.insert(expected.end(), handOff.argv.begin(), handOff.argv.end());
            EXPECT_EQ(selector.record(), expected);
        }
    }
}

TEST(SelectorRun, IgnoresEverythingButPadButtonDowns) {
    if (platform::desktopPreview) GTEST_SKIP() << "the preview build takes keys and the close request";
    SelectorFolder selector({"a.rom", "b.rom"});
    const ProgramRun run =
        selector.run("release:12 release:9 key:13 key:27 axis hat close button:5 | down a");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(selector.record(), (std::vector<std::string>{selector.where, "./emulator", "roms/b.rom"}));
}

TEST(SelectorRun, AFailedHandOffReturnsZeroSilently) {
    SelectorFolder selector({"a.rom"}, "./no-such-emulator");
    const ProgramRun run = selector.run("a");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_FALSE(std::filesystem::exists(selector.where + "/record"));
}

TEST(SelectorRun, MakesNoInvalidMemoryAccessUnderValgrind) {
    if (std::string(VALGRIND).empty()) GTEST_SKIP() << "no valgrind in this build";
    // The launch program is missing so that the run ends under valgrind, which
    // then sums up every error of the whole run.
    SelectorFolder selector(lettered(12), "./no-such-emulator");
    const ProgramRun run = selector.run(repeat("down ", 11) + "| up | a", {},
                                        {VALGRIND, "--error-exitcode=99", "--leak-check=no"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("ERROR SUMMARY: 0 errors"), std::string::npos) << run.output;
}

TEST(SelectorRun, StopsWithOneLineWhenStartUpFails) {
    const struct {
        const char* what;
        const char* removed;   // a file taken out of the folder
        std::string settings;  // replaces selector.cfg when not empty
        std::vector<std::string> environment;
        std::string expectedStart;  // the line printed starts so
    } cases[] = {
        {"no video", nullptr, "", {"SDL_VIDEODRIVER=no-such-driver"}, "SDL_SetVideoMode failed: "},
        {"no background", platform::backgroundFile, "", {}, "IMG_Load failed: "},
        {"no font", platform::fontFile, "", {}, "IMG_Load failed: "},
        {"no arrow", platform::arrowFile, "", {}, "IMG_Load failed: "},
        {"no splash", platform::splashFile, "", {}, "IMG_Load failed: "},
        {"no settings", platform::configFileName, "", {}, "Cannot open file selector.cfg\n"},
        {"broken settings", nullptr, "romdir=roms/\n.rom\n", {}, "selector.cfg line 2: no \"=\""},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.what);
        SelectorFolder selector({"a.rom"});
        if (failure.removed) std::filesystem::remove(selector.where + "/" + failure.removed);
        if (!failure.settings.empty()) writeFile(selector.where + "/selector.cfg", failure.settings);
        const ProgramRun run = selector.run("a", failure.environment);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output.rfind(failure.expectedStart, 0), 0u) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_FALSE(std::filesystem::exists(selector.where + "/record"));
    }
}

TEST(SelectorRun, DrawsTheListWithTheArrowOnItsRow) {
    SelectorFolder selector(lettered(12));
    const std::string first = selector.where + "/first.bmp", scrolled = selector.where + "/scrolled.bmp";
    // A drain follows the flip of its pass, so a save at the start of a drain
    // shows what the presses of the drain before it did.
    const ProgramRun run = selector.run("down down | save:" + first + " " + repeat("down ", 8) +
                                        "| save:" + scrolled + " select");
    ASSERT_EQ(run.status, 0) << run.output;
    const struct {
        std::string frame;
        int cursorRow;
        char firstLetter;  // on row 0
    } frames[] = {{first, 2, 'A'}, {scrolled, 9, 'B'}};
    for (const auto& expected : frames) {
        SCOPED_TRACE(expected.frame);
        Surface frame(SDL_LoadBMP(expected.frame.c_str()));
        ASSERT_TRUE(frame);
        EXPECT_TRUE(sameColour(pixelAt(frame.get(), 0, 0), backgroundColour));
        EXPECT_TRUE(sameColour(pixelAt(frame.get(), 319, 239), backgroundColour));
        for (int row = 0; row < 10; ++row) {
            const SDL_Color arrowPlace = pixelAt(frame.get(), 35 + arrowInkX, 37 + 15 * row + arrowInkY);
            EXPECT_TRUE(sameColour(arrowPlace, row == expected.cursorRow ? arrowColour : backgroundColour))
                << row;
            const char letter = static_cast<char>(expected.firstLetter + row);
            EXPECT_TRUE(sameColour(pixelAt(frame.get(), 60, 45 + 15 * row), cellColour(glyphCell(letter))))
                << row;
            EXPECT_TRUE(sameColour(pixelAt(frame.get(), 60 + 8, 45 + 15 * row), cellColour(glyphCell('.'))));
        }
        EXPECT_TRUE(sameColour(pixelAt(frame.get(), 60, 45 + 15 * 10), backgroundColour));
    }
}

}  // namespace
