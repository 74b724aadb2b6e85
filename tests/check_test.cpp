#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <SDL_image.h>
#include <filesystem>
#include <functional>

#include "check.h"
#include "pngfile.h"
#include "support.h"

namespace {

// A folder the selector would start in and list "a.rom" from, with an
// absolute, executable launch program.
struct HealthyFolder : SelectorFolder {
    HealthyFolder() : SelectorFolder({"a.rom"}) {
        writeFile(where + "/emu", "#!/bin/sh\n");
        chmod((where + "/emu").c_str(), 0755);
        settings("roms/", ".rom", ".bin", where + "/emu");
    }
    void settings(const std::string& folder, const std::string& extension1, const std::string& extension2,
                  const std::string& program, const std::string& lineEnd = "\n") {
        writeFile(where + "/selector.cfg", "romdir=" + folder + lineEnd + "ext1=" + extension1 + lineEnd +
                                               "ext2=" + extension2 + lineEnd + "emulator=" + program +
                                               lineEnd);
    }
    void raw(const std::string& text) { writeFile(where + "/selector.cfg", text); }
    void image(const char* file, int width, int height, PngFormat format = PngFormat::Rgb) {
        savePng(makeSurface(width, height, {10, 20, 30, 0}).get(), (where + "/" + file).c_str(), format);
    }
};

TEST(SelectorCheck, AHealthyFolderHasNoFindings) {
    HealthyFolder folder;
    const CheckReport report = checkFolder(folder.where);
    for (const Finding& finding : report.findings) ADD_FAILURE() << finding.where << ": " << finding.what;
    EXPECT_EQ(report.romCount, 1);
    EXPECT_EQ(exitStatus(report), 0);
}

TEST(SelectorCheck, EachFaultGivesItsFinding) {
    const std::string tooLong(300, 'x');
    const struct {
        const char* what;
        std::function<void(HealthyFolder&)> breakIt;
        std::string where, says;
        int status;
        size_t findings = 1;  // the fault's own, and what follows from it
    } cases[] = {
        {"no settings", [](HealthyFolder& f) { std::filesystem::remove(f.where + "/selector.cfg"); },
         "selector.cfg", "missing", 1},
        {"three lines", [](HealthyFolder& f) { f.raw("a=roms/\nb=.rom\nc=.bin\n"); }, "selector.cfg line 4",
         "missing", 1},
        {"no equals", [](HealthyFolder& f) { f.raw("a=roms/\n.rom\nc=.bin\nd=/e\n"); }, "selector.cfg line 2",
         "no \"=\"", 1},
        {"empty value", [](HealthyFolder& f) { f.raw("a=roms/\nb=\nc=.bin\nd=/e\n"); }, "selector.cfg line 2",
         "nothing after \"=\"", 1},
        {"long line", [&](HealthyFolder& f) { f.settings("roms/", tooLong, ".bin", "/e"); },
         "selector.cfg line 2", "longer than 254", 1},
        {"five lines", [](HealthyFolder& f) { f.raw("a=roms/\nb=.rom\nc=.bin\nd=/e\ne=f\n"); },
         "selector.cfg line 5", "one too many", 1},
        {"Windows line ends",
         [](HealthyFolder& f) { f.settings("roms/", ".rom", ".bin", f.where + "/emu", "\r\n"); },
         "selector.cfg line 1", "carriage return", 1, 3},
        {"spaces", [](HealthyFolder& f) { f.settings("roms/", ".rom", " .bin", f.where + "/emu"); },
         "selector.cfg line 3", "spaces at an end", 0},
        {"no ROM folder", [](HealthyFolder& f) { f.settings("games/", ".rom", ".bin", f.where + "/emu"); },
         "selector.cfg line 1", "does not exist", 1},
        {"ROM folder is a file",
         [](HealthyFolder& f) { f.settings("emu/", ".rom", ".bin", f.where + "/emu"); },
         "selector.cfg line 1", "does not exist", 1},
        {"ROM folder names a file",
         [](HealthyFolder& f) { f.settings("emu", ".rom", ".bin", f.where + "/emu"); }, "selector.cfg line 1",
         "is not a folder", 1},
        {"no trailing slash", [](HealthyFolder& f) { f.settings("roms", ".rom", ".bin", f.where + "/emu"); },
         "selector.cfg line 1", "does not end in \"/\"", 0},
        {"extension without dot",
         [](HealthyFolder& f) { f.settings("roms/", ".rom", "bin", f.where + "/emu"); },
         "selector.cfg line 3", "does not begin with \".\"", 0},
        {"extension with slash",
         [](HealthyFolder& f) { f.settings("roms/", ".rom", "./bin", f.where + "/emu"); },
         "selector.cfg line 3", "contains \"/\"", 0},
        {"same extension twice",
         [](HealthyFolder& f) { f.settings("roms/", ".rom", ".rom", f.where + "/emu"); },
         "selector.cfg line 3", "both extensions", 0},
        {"no launch program",
         [](HealthyFolder& f) { f.settings("roms/", ".rom", ".bin", f.where + "/gone"); },
         "selector.cfg line 4", "does not exist", 0},
        {"launch program is a folder",
         [](HealthyFolder& f) { f.settings("roms/", ".rom", ".bin", f.where + "/roms"); },
         "selector.cfg line 4", "is not a file", 0},
        {"launch program not executable", [](HealthyFolder& f) { chmod((f.where + "/emu").c_str(), 0644); },
         "selector.cfg line 4", "is not executable", 0},
        {"relative launch program", [](HealthyFolder& f) { f.settings("roms/", ".rom", ".bin", "./emu"); },
         "selector.cfg line 4", "is relative", 0},
        {"no font", [](HealthyFolder& f) { std::filesystem::remove(f.where + "/font.png"); }, "font.png",
         "missing", 1},
        {"broken arrow", [](HealthyFolder& f) { writeFile(f.where + "/arrow.png", "not a picture"); },
         "arrow.png", "cannot be loaded", 1},
        {"alpha channel", [](HealthyFolder& f) { f.image(platform::backgroundFile, 320, 240, PngFormat::RgbWithAlpha); },
         "background.png", "alpha channel", 0},
        {"small splash", [](HealthyFolder& f) { f.image(platform::splashFile, 160, 120); },
         "quelp-splash.png", "is 160x120", 0},
        {"narrow font", [](HealthyFolder& f) { f.image(platform::fontFile, 400, 8); }, "font.png", "is 400x8",
         0},
        {"tall arrow", [](HealthyFolder& f) { f.image(platform::arrowFile, 16, 20); }, "arrow.png",
         "is 16x20", 0},
        {"extension in capitals", [](HealthyFolder& f) { writeFile(f.where + "/roms/b.ROM", ""); }, "roms/",
         "only by case", 0},
    };
    for (const auto& fault : cases) {
        SCOPED_TRACE(fault.what);
        HealthyFolder folder;
        fault.breakIt(folder);
        const CheckReport report = checkFolder(folder.where);
        ASSERT_EQ(report.findings.size(), fault.findings) << formatReport(report, folder.where);
        EXPECT_EQ(report.findings[0].where, fault.where);
        EXPECT_NE(report.findings[0].what.find(fault.says), std::string::npos) << report.findings[0].what;
        EXPECT_EQ(exitStatus(report), fault.status);
    }
}

TEST(SelectorCheck, ShowsTheFirstScreenAsTheSelectorDrawsIt) {
    SelectorFolder folder({"b.rom", "super_game_with_a_very_long_name_indeed.rom", "\xe9t\xe9.bin", "c.txt"});
    const CheckReport report = checkFolder(folder.where);
    EXPECT_EQ(report.romCount, 3);
    EXPECT_EQ(report.firstScreen,
              (std::vector<std::string>{"B.ROM", "SUPER GAME WITH A VERY LONG NAME I", " T .BIN"}));
    EXPECT_EQ(report.cutNames, 1);
    EXPECT_EQ(report.blankedNames, 2);
    const std::string text = formatReport(report, folder.where);
    EXPECT_NE(text.find("\n    SUPER GAME WITH A VERY LONG NAME I\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.rfind("selector-check: ")),
              "selector-check: " + folder.where + ": 1 finding(s); the selector would list 3 entries\n");
}

TEST(SelectorCheck, ScreenshotIsTheSelectorsOwnFirstFrame) {
    SelectorFolder folder({"b.rom", "a.rom", "Zed (1).bin"});
    const std::string frame = folder.where + "/frame.bmp", shot = folder.where + "/shot.png";
    ASSERT_EQ(folder.run("| save:" + frame + " select").status, 0);
    ASSERT_EQ(renderFirstScreen(folder.where, shot), "");
    Surface expected(SDL_LoadBMP(frame.c_str()));
    Surface drawn(IMG_Load(shot.c_str()));
    ASSERT_TRUE(expected && drawn);
    ASSERT_EQ(drawn->w, expected->w);
    ASSERT_EQ(drawn->h, expected->h);
    // Both come from the 16-bit display, widened to 24 bits in two ways
    // (the BMP writer shifts, the PNG writer rounds): compare them as 5-6-5.
    auto onDisplay = [](SDL_Color c) { return (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3; };
    int different = 0;
    for (int y = 0; y < drawn->h; ++y)
        for (int x = 0; x < drawn->w; ++x)
            different += onDisplay(pixelAt(drawn.get(), x, y)) != onDisplay(pixelAt(expected.get(), x, y));
    EXPECT_EQ(different, 0);
}

TEST(SelectorCheck, ExitStatusTellsUsageErrors) {
    const struct {
        std::string arguments;
        int status;
    } cases[] = {
        {"--help", 0}, {"--frobnicate", 2}, {"one two", 2}, {"--screenshot", 2}, {"/no/such/folder", 1}};
    for (const auto& call : cases) {
        const int status =
            std::system((std::string(SELECTOR_CHECK) + " " + call.arguments + " >/dev/null 2>&1").c_str());
        EXPECT_EQ(WEXITSTATUS(status), call.status) << call.arguments;
    }
}

}  // namespace
