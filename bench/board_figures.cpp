// Figures of the handheld program on the emulated board (tests/board.h), on
// the kernel built as the Caanoo's and on the one built as the Wiz's, its clock at 2 ns an instruction
// (qemu's -icount shift=1,sleep=off): about a 500 MHz core at one instruction a cycle; the Wiz runs at 533
// MHz. For 10 and for 1,000 ROMs, each beside as many other files, in the board's RAM file system, and for
// 1,000 on a FAT card mounted as the handheld mounts it: from start to the splash on screen and to the list
// on screen, and the program's peak resident memory (VmHWM) with the list up.
//   scripts/test-board --figures
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "board.h"

int main() {
    const std::optional<BoardParts> parts = boardParts();
    if (!parts) {
        std::fprintf(stderr,
                     "board-figures: no board parts given (scripts/test-board --figures gives them)\n");
        return 2;
    }
    for (const char* name : {"Caanoo", "Wiz"}) {
        const std::string kernel = model(name).board;
        for (const auto& [count, card] : {std::pair{10, ""}, {1000, ""}, {1000, "handheld"}}) {
            BoardSetup setup;
            setup.kernel = kernel;
            setup.card = card;
            setup.mode = "time";
            setup.prepare = "mkfifo /dev/GPIO";
            setup.qemuOptions = {"-icount", "shift=1,sleep=off"};
            for (int i = 0; i < count; ++i) {
                char number[16];
                std::snprintf(number, sizeof number, "%04d", i);
                setup.roms.push_back(std::string("game ") + number + ".zip");
                setup.roms.push_back(std::string("notes ") + number + ".txt");
            }
            const Frames frames = expectedFrames(parts->card, setup.roms);
            Board board(*parts, setup, frames);
            const std::string figures = board.nextReport(900);
            std::printf("the %s's kernel (%s), %d ROMs%s: %s\n", name, kernel.c_str(), count,
                        setup.card.empty() ? "" : " on a FAT card",
                        figures.empty() ? "no figures (the board did not answer)" : figures.c_str());
            if (figures.rfind("TIME ", 0) != 0) return 1;
        }
    }
    return 0;
}
