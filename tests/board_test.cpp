// The handheld program on the emulated board (board.h), from a fresh boot
// for each set-up of the console, the mouse and the pad: what the display
// shows, and what the launch program and the system menu receive.
// scripts/test-board runs these; without its parts they are skipped.
#include <gtest/gtest.h>

#include "board.h"

namespace {

TEST(Board, DrawsExactlyAndHandsOffWhateverTheConsoleAndThePad) {
    const std::optional<BoardParts> parts = boardParts();
    if (!parts) GTEST_SKIP() << "no board parts given (scripts/test-board gives them)";
    const std::vector<std::string> roms = {"alpha.zip", "beta.rom", "Gamma (E).zip", "notes.txt"};
    const Frames frames = expectedFrames(parts->card, roms);
    ASSERT_EQ(frames.down.size(), 320u * 240 * 2);

    const std::string gpio = "mkfifo /dev/GPIO\n";
    const struct {
        const char* what;
        std::string prepare, redirection, pad;
    } cases[] = {
        {"a console VT and a mouse", gpio, "", "wiz"},
        {"no mouse device", gpio + "rm -f /dev/input/mice /dev/input/mouse* /dev/psaux", "", "wiz"},
        {"no console VT, stdin /dev/null", gpio + "rm -rf /dev/tty0 /dev/tty[0-9]* /dev/vc", "</dev/null",
         "wiz"},
        {"all three standard streams /dev/null", gpio, "</dev/null >/dev/null 2>&1", "wiz"},
        {"the Caanoo's pad: stick and buttons, no /dev/GPIO", "", "", "caanoo"},
    };
    for (const auto& setup : cases) {
        SCOPED_TRACE(setup.what);
        BoardSetup boot;
        boot.prepare = setup.prepare;
        boot.redirection = setup.redirection;
        boot.pad = setup.pad;
        boot.roms = roms;
        Board board(*parts, boot, frames);
        for (const auto& [name, expected] :
             {std::pair{"splash", &frames.splash}, std::pair{"list", &frames.list},
              std::pair{"down", &frames.down}}) {
            ASSERT_EQ(board.nextReport(), std::string("SHOWN ") + name) << board.console();
            // The list is looked at for a second: a console cursor must not blink in it.
            for (int picture = 0; picture < (std::string(name) == "list" ? 5 : 1); ++picture) {
                if (picture > 0) usleep(250000);
                EXPECT_EQ(differingPixels(board.screen(), *expected), 0) << name << ", picture " << picture;
            }
            board.go();
        }
        std::vector<std::string> reports;
        for (std::string line; (line = board.nextReport()) != "" && line != "DONE";) reports.push_back(line);
        EXPECT_EQ(reports,
                  (std::vector<std::string>{"RUN launch status 0", "RECORD launch /mnt/sd/selector",
                                            "RECORD launch /mnt/sd/emulator/emulator.gpe",
                                            "RECORD launch /mnt/sd/roms/alpha.zip", "AFTER launch cleared",
                                            "RUN menu status 0", "RECORD menu /usr/gp2x",
                                            "RECORD menu /usr/gp2x/gp2xmenu"}))
            << board.console();
    }
}

}  // namespace
