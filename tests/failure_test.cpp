// The handheld build's way out of a failure, run headless in a child
// process: the line on standard output, the same line on the screen, then
// the system menu, started as Select starts it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "pngfile.h"
#include "support.h"

namespace {

TEST(HandheldFailure, ShowsTheLineThenGoesToTheMenu) {
    auto remove = [](const char* file) {
        return [file](const std::string& where) { std::filesystem::remove(where + "/" + file); };
    };
    const std::string missing = "No such file or directory";
    const struct {
        const char* what;
        std::string launchProgram, script;
        std::function<void(const std::string& where)> breakIt;
        std::vector<std::string> environment;
        std::string output;
        std::vector<std::string> shown;  // the lines on the screen; none: no screen to show them on
        bool menuStarts;
        bool pressed = true;  // else the line must stay for its time
    } cases[] = {
        {"a launch program that cannot start",
         "./no-such-emulator",
         "a | save:shown.bmp a",
         [](const std::string&) {},
         {},
         "Cannot start ./no-such-emulator: " + missing + "\n",
         {"CANNOT START ./NO-SUCH-EMULATOR:", "NO SUCH FILE OR DIRECTORY"},
         true},
        {"no settings",
         "./emulator",
         "save:shown.bmp select",
         remove(platform::configFileName),
         {},
         "Cannot open file selector.cfg\n",
         {"CANNOT OPEN FILE SELECTOR.CFG"},
         true},
        {"no background: the font is loaded for the line",
         "./emulator",
         "save:shown.bmp select",
         remove(platform::backgroundFile),
         {},
         "IMG_Load failed: Couldn't open background.png\n",
         {"IMG_LOAD FAILED: COULDN'T OPEN", "BACKGROUND.PNG"},
         true},
        {"no font",
         "./emulator",
         "",
         remove(platform::fontFile),
         {},
         "IMG_Load failed: Couldn't open font.png\n",
         {},
         true},
        {"no video",
         "./emulator",
         "",
         [](const std::string&) {},
         {"SDL_VIDEODRIVER=no-such-driver"},
         "SDL_SetVideoMode failed: No available video device\n",
         {},
         true},
        {"no menu either",
         "./no-such-emulator",
         "a | save:shown.bmp a",
         remove("menu-root/usr/gp2x/gp2xmenu"),
         {},
         "Cannot start ./no-such-emulator: " + missing + "\nCannot start /usr/gp2x/gp2xmenu: " + missing +
             "\n",
         {"CANNOT START ./NO-SUCH-EMULATOR:", "NO SUCH FILE OR DIRECTORY"},
         false},
        {"no settings, and no press (a poll each 10 ms, 4 s of them)",
         "./emulator",
         "save:shown.bmp" + repeat(" |", 400),
         remove(platform::configFileName),
         {},
         "Cannot open file selector.cfg\n",
         {"CANNOT OPEN FILE SELECTOR.CFG"},
         true,
         false},
        {"Select, and no menu: shown from the selector's folder",
         "./emulator",
         "select | save:shown.bmp a",
         remove("menu-root/usr/gp2x/gp2xmenu"),
         {},
         "Cannot start /usr/gp2x/gp2xmenu: " + missing + "\nCannot start /usr/gp2x/gp2xmenu: " + missing +
             "\n",
         {"CANNOT START /USR/GP2X/GP2XMENU:", "NO SUCH FILE OR DIRECTORY"},
         false},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.what);
        SelectorFolder selector({"a.rom"}, failure.launchProgram);
        selector.program = HANDHELD_BINARY;
        failure.breakIt(selector.where);
        std::vector<std::string> environment = failure.environment;
        environment.push_back(std::string(platform::padDeviceVariable) + "=/no/such/pad");
        const auto started = std::chrono::steady_clock::now();
        const ProgramRun run = selector.run(failure.script, environment);
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(run.output, failure.output);
        const std::chrono::milliseconds shownFor(platform::failureShownMilliseconds);
        EXPECT_TRUE(failure.pressed || took >= shownFor) << "the line was not shown for its time";
        if (failure.menuStarts) {
            EXPECT_EQ(run.status, 0) << run.errors;
            EXPECT_EQ(selector.record(), (std::vector<std::string>{selector.where + "/menu-root/usr/gp2x",
                                                                   "/usr/gp2x/gp2xmenu"}));
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_FALSE(std::filesystem::exists(selector.where + "/record"));
        }
        if (failure.shown.empty()) continue;
        Surface shown(SDL_LoadBMP((selector.where + "/shown.bmp").c_str()));
        ASSERT_TRUE(shown);
        EXPECT_TRUE(sameColour(pixelAt(shown.get(), 0, 0), {0, 0, 0, 0}));
        const int top = (240 - 15 * static_cast<int>(failure.shown.size())) / 2;
        for (size_t k = 0; k < failure.shown.size(); ++k) {
            const std::string& line = failure.shown[k];
            const int x = 160 - 4 * static_cast<int>(line.size()), y = top + 15 * static_cast<int>(k);
            for (size_t i = 0; i < line.size(); ++i) {
                const int cell = glyphCell(static_cast<unsigned char>(line[i]));
                EXPECT_TRUE(sameColour(pixelAt(shown.get(), x + 8 * static_cast<int>(i), y),
                                       cell < 0 ? SDL_Color{0, 0, 0, 0} : cellColour(cell)))
                    << "line " << k << ", character " << i;
            }
        }
    }
}

}  // namespace
