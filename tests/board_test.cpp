// The handheld program on the emulated board (board.h), from a fresh boot
// for each set-up of the console, the mouse and the pad, on a kernel built as
// the Caanoo's (EABI, with the old-ABI layer) and on one built as the Wiz's
// (the old ABI only): what the display shows, and what the launch program
// and the system menu receive. scripts/test-board runs these; without its
// parts they are skipped.
#include <gtest/gtest.h>

#include "board.h"

namespace {

#define REQUIRE_PARTS()                                   \
    const std::optional<BoardParts> parts = boardParts(); \
    if (!parts) GTEST_SKIP() << "no board parts given (scripts/test-board gives them)"

struct Boot {
    const char* what;
    std::string prepare, redirection, pad;
};

const std::string gpio = "mkfifo /dev/GPIO\n";
const std::vector<Boot> consoleBoots = {
    {"a console VT and a mouse", gpio, "", "wiz"},
    {"no mouse device", gpio + "rm -f /dev/input/mice /dev/input/mouse* /dev/psaux", "", "wiz"},
    {"no console VT, stdin /dev/null", gpio + "rm -rf /dev/tty0 /dev/tty[0-9]* /dev/vc", "</dev/null", "wiz"},
    {"all three standard streams /dev/null", gpio, "</dev/null >/dev/null 2>&1", "wiz"},
    // the F100's and F200's devfs names only, which SDL does not look for itself
    {"only the devfs names /dev/fb/0 and /dev/vc/N",
     gpio + "rm -f /dev/fb0 /dev/tty0 /dev/tty[0-9]*\nmkdir -p /dev/fb /dev/vc\nmknod /dev/fb/0 c 29 0\n"
            "for n in 0 1 2 3 4 5 6 7 8; do mknod /dev/vc/$n c 4 $n; done",
     "", "wiz"},
};
const Boot caanooPadBoot = {"the Caanoo's pad: stick and buttons, no /dev/GPIO", "", "", "caanoo"};

// Each boot on `kernel`: the splash, the list and the list after Down as the
// program's own drawing makes them, then A, then a second run and Select.
void drawsExactlyAndHandsOff(const BoardParts& parts, const std::string& kernel,
                             const std::vector<Boot>& boots) {
    const std::vector<std::string> roms = {"alpha.zip", "beta.rom", "Gamma (E).zip", "notes.txt"};
    const Frames frames = expectedFrames(parts.card, roms);
    ASSERT_EQ(frames.down.size(), 320u * 240 * 2);
    for (const Boot& setup : boots) {
        SCOPED_TRACE(setup.what);
        BoardSetup boot;
        boot.kernel = kernel;
        boot.prepare = setup.prepare;
        boot.redirection = setup.redirection;
        boot.pad = setup.pad;
        boot.roms = roms;
        Board board(parts, boot, frames);
        // The list is looked at for a second: a console cursor must not blink in it.
        EXPECT_EQ(board.showsFrames(frames, 5), "") << board.console();
        EXPECT_EQ(board.reportsUntilDone(),
                  (std::vector<std::string>{"RUN launch status 0", "RECORD launch /mnt/sd/selector",
                                            "RECORD launch /mnt/sd/emulator/emulator.gpe",
                                            "RECORD launch /mnt/sd/roms/alpha.zip", "AFTER launch cleared",
                                            "RUN menu status 0", "RECORD menu /usr/gp2x",
                                            "RECORD menu /usr/gp2x/gp2xmenu"}))
            << board.console();
    }
}

// Each model that has a board kernel (scripts/models), on it: the console
// and mouse set-ups with the button device, and the model's own pad when it
// is another.
TEST(Board, EachModelsKernelDrawsExactlyAndHandsOffWhateverTheConsoleAndThePad) {
    REQUIRE_PARTS();
    for (const Model& row : models()) {
        if (row.board == "-") continue;
        SCOPED_TRACE(row.name + "'s kernel (" + row.board + ")");
        std::vector<Boot> boots = consoleBoots;
        if (row.pad == "caanoo") boots.push_back(caanooPadBoot);
        drawsExactlyAndHandsOff(*parts, row.board, boots);
    }
}

// What the old-ABI program avoids: the Wiz's kernel kills an EABI program at
// its first system call, and the Caanoo's runs it.
TEST(Board, TheWizsKernelKillsAnEabiProgramAndTheCaanoosRunsIt) {
    REQUIRE_PARTS();
    for (const auto& [name, ending] :
         {std::pair{"Wiz", "RUN control signal 4"}, std::pair{"Caanoo", "RUN control status 0"}}) {
        SCOPED_TRACE(name);
        BoardSetup boot;
        boot.kernel = model(name).board;
        boot.mode = "control";
        boot.control = "eabi";
        Board board(*parts, boot, Frames{});
        EXPECT_EQ(board.nextReport(), ending) << board.console();
    }
}

}  // namespace
