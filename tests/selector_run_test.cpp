// The real selector, run headless from start-up to hand-off in a child
// process, with pad presses from a script (see pad_script.cpp).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include "pngfile.h"
#include "support.h"

namespace {

std::vector<std::string> lettered(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(std::string(1, static_cast<char>('a' + i)) + ".rom");
    return names;
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

TEST(SelectorRun, ThePreviewTakesKeysAndTheWindowAndSaysSo) {
    const std::string launched = "./emulator\nroms/b.rom", menu = "/usr/gp2x/gp2xmenu";
    const struct {
        const char* what;
        std::string script;
        std::string record;  // the argument vector the started program received
    } cases[] = {
        {"Down and Return", "key:274 key:13", launched},
        {"Up and Down, pad and keys", "down key:273 button:4 a", launched},
        {"Escape", "key:27", menu},
        {"closing the window", "close", menu},
    };
    for (const auto& keys : cases) {
        SCOPED_TRACE(keys.what);
        SelectorFolder selector({"a.rom", "b.rom"});
        selector.program = PREVIEW_BINARY;
        const std::string title = selector.where + "/title";
        const ProgramRun run = selector.run("caption:" + title + " " + keys.script);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(readFile(title), "selector (desktop preview)");
        EXPECT_EQ(
            run.errors,
            "selector: Up and Down move the arrow, Return launches, Escape or closing the window quits\n");
        std::vector<std::string> record = selector.record();
        std::string received;
        for (size_t i = 1; i < record.size(); ++i) received += (i > 1 ? "\n" : "") + record[i];
        EXPECT_EQ(received, keys.record);
    }
}

TEST(SelectorRun, AFailedHandOffSaysWhyAndFails) {
    const struct {
        const char* what;
        std::string launchProgram;
        std::string script;
        std::function<void(const std::string& where)> breakIt;
        std::string line;
    } cases[] = {
        {"missing launch program", "./no-such-emulator", "a", [](const std::string&) {},
         "Cannot start ./no-such-emulator: No such file or directory\n"},
        {"launch program not executable", "./emulator", "a",
         [](const std::string& where) {
             std::filesystem::remove(where + "/emulator");
             writeFile(where + "/emulator", "#!/bin/sh\n");
         },
         "Cannot start ./emulator: Permission denied\n"},
        {"launch program is a folder", "./roms", "a", [](const std::string&) {},
         "Cannot start ./roms: Permission denied\n"},
        {"missing system menu", "./emulator", "select",
         [](const std::string& where) { std::filesystem::remove(where + "/menu-root/usr/gp2x/gp2xmenu"); },
         "Cannot start /usr/gp2x/gp2xmenu: No such file or directory\n"},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.what);
        SelectorFolder selector({"a.rom"}, failure.launchProgram);
        failure.breakIt(selector.where);
        const ProgramRun run = selector.run(failure.script);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, failure.line);
        EXPECT_FALSE(std::filesystem::exists(selector.where + "/record"));
    }
}

TEST(SelectorRun, MakesNoInvalidMemoryAccessUnderValgrind) {
    if (std::string(VALGRIND).empty()) GTEST_SKIP() << "no valgrind in this build";
    // The launch program is missing so that the run ends under valgrind, which
    // then sums up every error of the whole run.
    SelectorFolder selector(lettered(12), "./no-such-emulator");
    const ProgramRun run = selector.run(repeat("down ", 11) + "| up | a", {},
                                        {VALGRIND, "--error-exitcode=99", "--leak-check=no"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("Cannot start ./no-such-emulator"), std::string::npos) << run.output;
    EXPECT_NE(run.errors.find("ERROR SUMMARY: 0 errors"), std::string::npos) << run.errors;
}

TEST(SelectorRun, StopsWithOneLineWhenStartUpFails) {
    auto replace = [](const char* file, std::function<void(const std::string&)> make) {
        return [file, make](const std::string& where) {
            std::filesystem::remove(where + "/" + file);
            make(where + "/" + file);
        };
    };
    auto fifo = [](const std::string& path) { mkfifo(path.c_str(), 0644); };
    auto folder = [](const std::string& path) { std::filesystem::create_directory(path); };
    auto device = [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); };
    auto text = [](const std::string& contents) {
        return [contents](const std::string& path) { writeFile(path, contents); };
    };
    auto nothing = [](const std::string&) {};
    const std::string tail = "\nb=.rom\nc=.bin\nd=./emulator\n";
    const struct {
        const char* what;
        std::function<void(const std::string& where)> breakIt;
        std::vector<std::string> environment;
        std::string expectedStart;  // the line printed starts so
    } cases[] = {
        {"no video", nothing, {"SDL_VIDEODRIVER=no-such-driver"}, "SDL_SetVideoMode failed: "},
        {"no background", replace(platform::backgroundFile, nothing), {}, "IMG_Load failed: "},
        {"no font", replace(platform::fontFile, nothing), {}, "IMG_Load failed: "},
        {"no arrow", replace(platform::arrowFile, nothing), {}, "IMG_Load failed: "},
        {"no splash", replace(platform::splashFile, nothing), {}, "IMG_Load failed: "},
        {"broken arrow", replace(platform::arrowFile, text("not a picture")), {}, "IMG_Load failed: "},
        {"background is a folder",
         replace(platform::backgroundFile, folder),
         {},
         "background.png is a directory, not a file\n"},
        {"arrow is a FIFO", replace(platform::arrowFile, fifo), {}, "arrow.png is a FIFO, not a file\n"},
        {"font is a device", replace(platform::fontFile, device), {}, "font.png is a device, not a file\n"},
        {"no settings", replace(platform::configFileName, nothing), {}, "Cannot open file selector.cfg\n"},
        {"settings are a FIFO",
         replace(platform::configFileName, fifo),
         {},
         "selector.cfg is a FIFO, not a file\n"},
        {"settings are a folder",
         replace(platform::configFileName, folder),
         {},
         "selector.cfg is a directory, not a file\n"},
        {"settings are a device",
         replace(platform::configFileName, device),
         {},
         "selector.cfg is a device, not a file\n"},
        {"broken settings",
         replace(platform::configFileName, text("romdir=roms/\n.rom\n")),
         {},
         "selector.cfg line 2: no \"=\""},
        {"a NUL byte in a value",
         replace(platform::configFileName, text(std::string("a=ro\0ms/", 9) + tail)),
         {},
         "selector.cfg line 1: holds a NUL byte"},
        {"a NUL byte hiding a line",
         replace(platform::configFileName, text(std::string("a=roms/\0", 8) + std::string(247, 'x') +
                                                "e=.rom\nc=.bin\nd=./emulator\n")),
         {},
         "selector.cfg line 1: longer than 254"},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.what);
        SelectorFolder selector({"a.rom"});
        failure.breakIt(selector.where);
        const ProgramRun run = selector.run("a", failure.environment);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output.rfind(failure.expectedStart, 0), 0u) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_FALSE(std::filesystem::exists(selector.where + "/record"));
    }
}

TEST(SelectorRun, InterruptAndTerminateEndIt) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        SelectorFolder selector({"a.rom"});
        const std::string browsing = selector.where + "/browsing.bmp";
        const StartedSelector started = selector.start("save:" + browsing + " hold");
        for (int waited = 0; waited < 6000 && !std::filesystem::exists(browsing); ++waited) usleep(10000);
        ASSERT_TRUE(std::filesystem::exists(browsing)) << "the list screen never came";
        kill(started.process, signal);
        const ProgramRun run = started.finish(10);
        EXPECT_EQ(run.signal, signal) << "it ended by signal " << run.signal << ", status " << run.status;
    }
}

// Each allocation of a whole run fails in turn, one per run: every run must
// still hand off, or stop with one line on standard output and status 1.
TEST(SelectorRun, EveryFailedAllocationEndsInOneLineOrAHandOff) {
    if (std::string(ALLOCATION_FAILURE_LIBRARY).empty())
        GTEST_SKIP() << "the sanitizers own the allocator in this build";
    SelectorFolder selector({"a.rom", "b.bin"});
    const std::string mark = selector.where + "/failed", record = selector.where + "/record";
    const std::string preload =
        std::string("LD_PRELOAD=") + PAD_SCRIPT_LIBRARY + " " + ALLOCATION_FAILURE_LIBRARY;
    int positions = 0, wrong = 0;
    for (int at = 1; wrong < 5; ++at) {
        std::filesystem::remove(mark);
        std::filesystem::remove(record);
        const ProgramRun run =
            selector.run("down a | select",
                         {preload, "FAIL_ALLOCATION=" + std::to_string(at), "FAIL_ALLOCATION_MARK=" + mark});
        if (!std::filesystem::exists(mark)) break;  // the run made fewer allocations
        ++positions;
        const bool handedOff = run.status == 0 && std::filesystem::exists(record);
        const bool saidWhy = run.status == 1 && std::count(run.output.begin(), run.output.end(), '\n') == 1 &&
                             !std::filesystem::exists(record);
        if (handedOff || saidWhy) continue;
        ++wrong;
        ADD_FAILURE() << "allocation " << at << ": status " << run.status << ", signal " << run.signal
                      << ", output:\n"
                      << run.output << run.errors;
    }
    EXPECT_GT(positions, 50);
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
