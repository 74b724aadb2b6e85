// selector-check's report, screenshot and exit status, run as a user runs
// it, from any working folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL_image.h>
#include <climits>
#include <cstdio>

#include "check.h"
#include "check_support.h"
#include "pngfile.h"

namespace {

namespace fs = std::filesystem;

TEST(SelectorCheck, TheReportIsSafeForATerminal) {
    CheckFolder folder;
    // Names whose extension differs by case are named in notes.
    writeFile(folder.where + "/roms/b\x1b[2J\x07.ROM", "");  // would clear the screen and ring
    writeFile(folder.where +
                  "/roms/c\xc2\x9b"
                  "2J.Rom",
              "");  // the same with a C1 control, in UTF-8
    writeFile(folder.where +
                  "/roms/d\x9b"
                  "2J.rOm",
              "");  // and as a single byte
    fs::create_directory_symlink("roms", folder.where + "/ro\x07ms");
    folder.settings("ro\x07ms/", ".rom", ".bin", folder.where + "/emu\x1b]0;title\x07");
    const std::string text = runCheck({folder.where}).output;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7f && (c < 0x80 || c > 0x9f))) << int(c) << " in\n"
                                                                                     << text;
    }
    EXPECT_NE(text.find("ro\\x07ms/: note: the file \"c\\xc2\\x9b2J.Rom\""), std::string::npos) << text;
    EXPECT_NE(text.find("the file \"d\\x9b2J.rOm\""), std::string::npos) << text;
    EXPECT_NE(text.find("\\x1b]0;title\\x07"), std::string::npos) << text;
    EXPECT_EQ(printable("a\\b\r\n\t\x7f\xc3\xa9\xe9\xc4\x80\xc2\x85\x85"),
              "a\\\\b\\r\\n\\t\\x7f\xc3\xa9\xe9\xc4\x80\\xc2\\x85\\x85");
}

TEST(SelectorCheck, ShowsTheFirstScreenAsTheSelectorDrawsIt) {
    SelectorFolder folder({"b.rom", "super_game_with_a_very_long_name_indeed.rom", "\xe9t\xe9.bin", "c.txt"});
    const CheckReport report = checkFolder({folder.where, ""});
    EXPECT_EQ(report.firstScreen,
              (std::vector<std::string>{"B.ROM", "SUPER GAME WITH A VERY LONG NAME I", " T .BIN"}));
    EXPECT_EQ(report.cutNames, 1);
    EXPECT_EQ(report.blankedNames, 2);
    const std::string text = formatReport(report, folder.where);
    EXPECT_EQ(
        text.substr(text.rfind("selector-check: ")),
        "selector-check: " + folder.where + ": no errors, 1 note(s); the selector would list 3 entries\n");
}

TEST(SelectorCheck, ScreenshotIsTheSelectorsOwnFirstFrame) {
    SelectorFolder folder({"b.rom", "a.rom", "Zed (1).bin"});
    const std::string frame = folder.where + "/frame.bmp", shot = folder.where + "/shot.png";
    ASSERT_EQ(folder.run("| save:" + frame + " select").status, 0);
    ASSERT_EQ(renderFirstScreen({folder.where, ""}, shot).problem, "");
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
    CheckFolder folder;
    const std::string where = folder.where;
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string says = "";  // on standard output, or on standard error for status 2
    } cases[] = {
        {{"--help"}, 0, "--card MOUNT"},
        {{"--version"}, 0, "selector-check " SELECTOR_VERSION "\n"},
        {{where}, 0},
        {{"--frobnicate"}, 2},
        {{where, where}, 2},
        {{"--screenshot"}, 2},
        {{"--screenshot", "", where}, 2},
        {{"--card", where, "--card", where, where}, 2},
        {{""}, 2},
        {{"/no/such/folder"}, 1, "/no/such/folder: does not exist"},
        {{"--card", "/no/such/card", where}, 2, "selector-check: --card /no/such/card: does not exist"},
        {{where, "--screenshot", where + "/no/such/folder/shot.png"},
         2,
         "selector-check: no screenshot: cannot write " + where +
             "/no/such/folder/shot.png (No such file or"},
    };
    for (const auto& call : cases) {
        const CheckRun run = runCheck(call.arguments);
        EXPECT_EQ(run.status, call.status) << call.arguments[0] << "\n" << run.output << run.errors;
        EXPECT_NE((call.status == 2 ? run.errors : run.output).find(call.says), std::string::npos)
            << run.errors;
    }
    for (const std::string& argument : {std::string("--help"), where}) {
        const ChildEnd end = runChild(
            {SELECTOR_CHECK, argument},
            [] {
                if (!freopen("/dev/full", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(121);
            },
            60);
        EXPECT_EQ(end.status, 2) << argument << " >/dev/full";
    }
}

// Runs selector-check on `folder` from a working folder that `enter` makes
// and enters, in a child process; returns its exit status and output.
std::pair<int, std::string> checkFrom(const std::function<void()>& enter, const std::string& checkProgram,
                                      const std::string& folder, const std::string& output) {
    const ChildEnd end = runChild(
        {checkProgram, folder},
        [&] {
            if (!freopen(output.c_str(), "w", stdout)) _exit(121);
            enter();
        },
        60);
    return {end.shellStatus(), readFile(output)};
}

TEST(SelectorCheck, JudgesTheFolderAlikeFromAnyWorkingFolder) {
    CheckFolder folder;
    chmod(folder.where.c_str(), 0755);  // for the run as nobody
    const std::string checkProgram = folder.where + "/selector-check";
    fs::copy_file(SELECTOR_CHECK, checkProgram);
    TempFolder places;
    const std::string base = places.path;
    const struct {
        const char* what;
        std::function<void()> enter;
        bool runs;
    } cases[] = {
        {"a deleted folder",
         [&] {
             const std::string gone = base + "/gone";
             if (mkdir(gone.c_str(), 0755) != 0 || chdir(gone.c_str()) != 0 || rmdir(gone.c_str()) != 0)
                 _exit(123);
         },
         true},
        {"a folder deeper than PATH_MAX",
         [&] {
             const std::string step(200, 'd');
             if (chdir(base.c_str()) != 0) _exit(123);
             for (int depth = 0; depth * step.size() <= PATH_MAX; ++depth)
                 if (mkdir(step.c_str(), 0755) != 0 || chdir(step.c_str()) != 0) _exit(123);
         },
         true},
        {"a folder it may not enter again, as nobody",
         [&] {
             if (chdir(base.c_str()) != 0 || setgid(nobody()->pw_gid) != 0 || setuid(nobody()->pw_uid) != 0)
                 _exit(123);
         },
         nobody() != nullptr},
    };
    for (const auto& start : cases) {
        SCOPED_TRACE(start.what);
        if (!start.runs) {
            std::printf("skipped: %s (needs root and a user nobody)\n", start.what);
            continue;
        }
        const auto [status, output] = checkFrom(start.enter, checkProgram, folder.where, base + "/output");
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find(": no errors, 0 note(s); the selector would list 1 entries\n"),
                  std::string::npos)
            << output;
    }
    // The deep chain is longer than a path may be: remove it a step at a time.
    runChild(
        {"/bin/true"},
        [&] {
            const std::string step(200, 'd');
            if (chdir(base.c_str()) != 0) _exit(1);
            int depth = 0;
            while (chdir(step.c_str()) == 0) ++depth;
            while (depth-- > 0)
                if (chdir("..") != 0 || rmdir(step.c_str()) != 0) _exit(1);
        },
        60);
}

}  // namespace
