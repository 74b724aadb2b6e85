// The handheld program on the emulated board with its kernel's model of the
// Wiz's and the Caanoo's display and pad drivers (board.h): what the panel
// would show from each state the system menu may leave, what the launch
// program and the menu find, the model's own rules, and the probe. Each case
// is a fresh boot; scripts/test-board runs these, and without its parts
// they are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "board.h"

namespace {

#define REQUIRE_PARTS()                                   \
    const std::optional<BoardParts> parts = boardParts(); \
    if (!parts) GTEST_SKIP() << "no board parts given (scripts/test-board gives them)"

const std::vector<std::string> roms = {"alpha.zip", "beta.rom", "Gamma (E).zip", "notes.txt"};

// A value in one line of the model's report ("shadow top 0x... control
// 0x...") in a run's record: the word after `name`, or after the line's own
// name when `name` is empty; "" when there is none.
std::string reported(const std::vector<std::string>& reports, const std::string& run, const std::string& line,
                     const std::string& name = "") {
    const std::string start = "RECORD " + run + " display " + line;
    for (const std::string& report : reports) {
        if (report.rfind(start + " ", 0) != 0) continue;
        const std::string words = report.substr(start.size()) + " ";
        const size_t at = name.empty() ? 0 : words.find(" " + name + " ");
        if (at == std::string::npos) return "";
        const size_t value = name.empty() ? 1 : at + name.size() + 2;
        return words.substr(value, words.find(' ', value) - value);
    }
    return "";
}

// True when `reports` hold the probe's line for the stick held one way
// with at least five readings, all `reading`.
bool stickRead(const std::vector<std::string>& reports, const std::string& held, const std::string& reading) {
    for (const std::string& report : reports) {
        if (report.rfind("PROBE stick " + held + " (", 0) != 0) continue;
        std::istringstream readings(report.substr(report.find(':') + 1));
        int count = 0;
        for (std::string one; readings >> one; ++count)
            if (one != reading) return false;
        return count >= 5;
    }
    return false;
}

// The screen-layer words a run's record shows as the controller will scan
// them (shadow, without the dirty bit that commits them).
std::vector<std::string> layerAtHandOff(const std::vector<std::string>& reports, const std::string& run) {
    std::vector<std::string> words;
    for (const char* name : {"screen", "control", "hstride", "vstride", "address"})
        words.push_back(reported(reports, run, "shadow", name));
    if (!words[1].empty()) {
        const unsigned long control = std::stoul(words[1], nullptr, 16) & ~0x10ul;
        char text[24];
        std::snprintf(text, sizeof text, "0x%08lx", control);
        words[1] = text;
    }
    return words;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

struct ModelBoot {
    const char* what;
    const char* model;  // scripts/models' name: its kernel
    std::string pollux, pad, prepare;
    // The screen layer that the launch program and the menu find (screen,
    // control, strides, address).
    std::vector<std::string> handedOff;
};

// Each boot: splash, list and list after Down on the panel exactly as the
// program draws them; A and Select hand off to a display as listed, and no
// request ever reaches /dev/GPIO.
void showsExactlyAndHandsOff(const BoardParts& parts, const std::vector<ModelBoot>& boots) {
    const Frames frames = expectedFrames(parts.card, roms);
    ASSERT_EQ(frames.down.size(), 320u * 240 * 2);
    for (const ModelBoot& setup : boots) {
        SCOPED_TRACE(setup.what);
        BoardSetup boot;
        boot.kernel = model(setup.model).board;
        boot.pollux = setup.pollux;
        boot.pad = setup.pad;
        boot.prepare = setup.prepare;
        boot.roms = roms;
        Board board(parts, boot, frames);
        EXPECT_EQ(board.showsFrames(frames), "") << board.console();
        const std::vector<std::string> reports = board.reportsUntilDone();
        for (const char* run : {"launch", "menu"}) {
            SCOPED_TRACE(run);
            EXPECT_EQ(layerAtHandOff(reports, run), setup.handedOff);
            EXPECT_EQ(reported(reports, run, "gpio-ioctls"), "0");
        }
        EXPECT_NE(std::find(reports.begin(), reports.end(), "RECORD launch /mnt/sd/roms/alpha.zip"), reports.end());
        EXPECT_NE(std::find(reports.begin(), reports.end(), "RECORD menu /usr/gp2x/gp2xmenu"), reports.end());
    }
}

const std::vector<std::string> wizLandscape = {"0x00ef013f", "0x4432c020", "0x00000002", "0x00000280",
                                               "0x02a00000"};

// The Wiz's panel portrait (as its kernel boots) or landscape with the layer
// somewhere else (as a program may leave it): the selector turns it
// landscape at the framebuffer, and leaves it so.
TEST(Board, WizModelShowsTheProgramsPictureFromLandscapeElsewhere) {
    REQUIRE_PARTS();
    showsExactlyAndHandsOff(*parts, {{"landscape, the layer 150 KiB on; the pad named in SELECTOR_PAD_DEVICE",
                                      "Wiz", "wiz,landscape,0x02a25800", "gpio",
                                      "export SELECTOR_PAD_DEVICE=/dev/GPIO", wizLandscape}});
}

TEST(Board, WizModelShowsTheProgramsPictureFromPortrait) {
    REQUIRE_PARTS();
    showsExactlyAndHandsOff(*parts, {{"portrait, 240x320, rows of 480 bytes", "Wiz", "wiz", "gpio", "", wizLandscape}});
}

// The Caanoo's layer at 24 bits (as its bootloader leaves it) or already
// RGB565: the selector sets it for its picture and puts it back.
TEST(Board, CaanooModelShowsTheProgramsPictureAndHandsOffTheLayerAsItWas) {
    REQUIRE_PARTS();
    showsExactlyAndHandsOff(*parts, {{"the bootloader's R8G8B8, rows of 960 bytes", "Caanoo", "caanoo", "stick", "",
                                      {"0x00ef013f", "0x4653d020", "0x00000003", "0x000003c0", "0x05600000"}},
                                     {"already R5G6B5", "Caanoo", "caanoo,rgb565", "stick", "",
                                      {"0x00ef013f", "0x4432d020", "0x00000002", "0x00000280", "0x05600000"}}});
}

// The control: the same program without its display set-up shows a wrong
// picture on both models' panels.
TEST(Board, WizAndCaanooModelsShowAWrongPictureFromTheProgramWithoutItsSetUp) {
    REQUIRE_PARTS();
    const Frames frames = expectedFrames(parts->card, roms);
    for (const auto& [name, pollux, pad] :
         {std::tuple{"Wiz", "wiz", "gpio"}, std::tuple{"Caanoo", "caanoo", "stick"}}) {
        SCOPED_TRACE(name);
        BoardSetup boot;
        boot.kernel = model(name).board;
        boot.pollux = pollux;
        boot.pad = pad;
        boot.mode = "glance";
        boot.program = parts->withoutSetUp;
        boot.roms = roms;
        Board board(*parts, boot, frames);
        EXPECT_EQ(board.nextReport(), "MISSED list") << board.console();
        const int differing = differingPixels(board.screen(), frames.list);
        EXPECT_GT(differing, 320 * 240 / 4);
        std::printf("%s's panel without the set-up: %d of 76800 pixels differ from the list\n", name, differing);
        board.go();
    }
}

// The model takes screen-layer writes at a vertical blank only once their
// dirty bit is set; a model that took them at once would let a program
// that never commits pass, and the same check fails on one.
TEST(Board, CaanooModelTakesLayerWritesOnlyAfterTheirDirtyBit) {
    REQUIRE_PARTS();
    for (const auto& [what, pollux, waitsForDirtyBit] :
         {std::tuple{"the model", "caanoo", true}, std::tuple{"a model that does not wait", "caanoo,boot,eager", false}}) {
        SCOPED_TRACE(what);
        BoardSetup boot;
        boot.kernel = model("Caanoo").board;
        boot.pollux = pollux;
        boot.pad = "stick";
        boot.mode = "dirty";
        Board board(*parts, boot, Frames{});
        std::string before, after;
        for (const std::string& line : board.reportsUntilDone()) {
            if (line.rfind("BEFORE-DIRTY active ", 0) == 0) before = line;
            if (line.rfind("AFTER-DIRTY active ", 0) == 0) after = line;
        }
        const bool waited = before.find("control 0x4653d020 hstride 0x00000003") != std::string::npos &&
                            after.find("control 0x4432d020 hstride 0x00000002 vstride 0x00000280") !=
                                std::string::npos;
        EXPECT_EQ(waited, waitsForDirtyBit) << before << "\n" << after << "\n" << board.console();
    }
}

// Without /dev/mem the Caanoo's layer cannot be set: the program says so in
// one line and goes to the menu, and the layer is as it was.
TEST(Board, CaanooModelWithoutDevMemTheProgramSaysWhyAndGoesToTheMenuUntouched) {
    REQUIRE_PARTS();
    BoardSetup boot;
    boot.kernel = model("Caanoo").board;
    boot.pollux = "caanoo";
    boot.pad = "stick";
    boot.mode = "fail";
    boot.prepare = "rm /dev/mem";
    boot.roms = roms;
    Board board(*parts, boot, Frames{});
    const std::vector<std::string> reports = board.reportsUntilDone();
    EXPECT_EQ(std::vector<std::string>(reports.begin(), reports.begin() + std::min<size_t>(reports.size(), 4)),
              (std::vector<std::string>{"RUN fail status 0",
                                        "SAID fail Cannot set up the Caanoo's display: /dev/mem: No such file or "
                                        "directory",
                                        "RECORD fail /usr/gp2x", "RECORD fail /usr/gp2x/gp2xmenu"}))
        << board.console();
    EXPECT_EQ(layerAtHandOff(reports, "fail"),
              (std::vector<std::string>{"0x00ef013f", "0x4653d020", "0x00000003", "0x000003c0", "0x05600000"}));
}

// The probe, run as a person would, on each model: what it writes is what
// the drivers show, and it sends /dev/GPIO nothing.
TEST(Board, WizAndCaanooModelsProbeReportsWhatTheDriversShow) {
    REQUIRE_PARTS();
    const struct {
        const char* name;
        std::string pollux;
        std::vector<std::string> lines;
    } cases[] = {
        {"Wiz",
         "wiz",
         {"fb fix id pollux-fb smem_start 0x02a00000 smem_len 153600 type 0 visual 2 line_length 480",
          "fb var 240x320 virtual 240x320 offset 0,0 bpp 16 red 11/5 green 5/6 blue 0/5 width 240 height 320 "
          "activate 0",
          "fb board-number 0xaa", "mlc 0x004 0x013f00ef", "mlc 0x058 0x4432d020", "mlc 0x060 0x000001e0",
          "mlc 0x06c 0x02a00000", "node /dev/GPIO char 253:0", "stick none", "cwd /mnt/sd/probe"}},
        {"Caanoo",
         "caanoo",
         {"fb fix id pollux-fb smem_start 0x05600000 smem_len 230400 type 0 visual 2 line_length 960",
          "fb board-number 0xcc", "mlc 0x058 0x4653d020", "mlc 0x05c 0x00000003", "mlc 0x060 0x000003c0",
          "node /dev/GPIO char 253:0"}},
    };
    for (const auto& probe : cases) {
        SCOPED_TRACE(probe.name);
        BoardSetup boot;
        boot.kernel = model(probe.name).board;
        boot.pollux = probe.pollux;
        boot.pad = probe.pollux == "wiz" ? "gpio" : "stick";
        boot.mode = "probe";
        Board board(*parts, boot, Frames{});
        const std::vector<std::string> reports = board.reportsUntilDone();
        for (const std::string& line : probe.lines)
            EXPECT_NE(std::find(reports.begin(), reports.end(), "PROBE " + line), reports.end())
                << line << "\n" << joined(reports);
        if (probe.pollux == "caanoo") {
            EXPECT_TRUE(stickRead(reports, "held up", "128,0")) << joined(reports);
            EXPECT_TRUE(stickRead(reports, "held down", "128,255"));
        }
        EXPECT_NE(std::find(reports.begin(), reports.end(), "RECORD probe /usr/gp2x/gp2xmenu"), reports.end());
        EXPECT_EQ(reported(reports, "probe", "gpio-ioctls"), "0") << board.console();
    }
}

}  // namespace
