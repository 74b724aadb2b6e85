// The handheld program on the emulated board (board.h) with its card a FAT
// file system, mounted as the handhelds' kernels mount it when given no
// options: 8.3-only names in lower case, long names in Latin-1, '?' for what
// Latin-1 lacks, every file executable. The selector lists what the kernel
// gives; A must start the emulator with a path that the file system opens.
// Beside it, selector-check judges a copy of the same card mounted as a
// desktop PC mounts it, and must say what the selector then does.
// scripts/test-board runs these.
#include <gtest/gtest.h>

#include <algorithm>

#include "board.h"

namespace {

// selector-check's lines, read from the board before the selector's.
std::vector<std::string> checkSaid(Board& board) {
    std::vector<std::string> said;
    for (std::string line; (line = board.nextReport()).rfind("CHECK ", 0) == 0;) {
        said.push_back(line.substr(6));
        if (line.rfind("CHECK status ", 0) == 0) break;
    }
    return said;
}

bool anySays(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

struct CardBoot {
    const char* what;
    std::vector<std::string> written;  // the ROM folder's names as a PC writes them (UTF-8)
    std::string extensions;            // selector.cfg's lines 2 and 3
    std::vector<std::string> shown;    // the list as the handheld shows it, in its order
    std::string launched, content;     // the path A gives after Down and the first line it opens to; none: Select
    std::string status, says;          // selector-check's on the desktop's mount
};

TEST(Board, FatCardListsAndStartsTheNamesAsTheHandheldsKernelsGiveThemAndTheCheckSaysSo) {
    const std::optional<BoardParts> parts = boardParts();
    if (!parts) GTEST_SKIP() << "no board parts given (scripts/test-board gives them)";
    const std::vector<CardBoot> boots = {
        {"8.3 names in capitals, as Windows writes them: short entries only",
         {"GAMMA.ZIP", "ALPHA.ZIP", "BETA.ROM", "NOTES.TXT"},
         ".zip\n.rom",
         {"alpha.zip", "beta.rom", "gamma.zip"},
         "/mnt/sd/roms/beta.rom",
         "BETA.ROM",
         "0",
         "catalogue: 3 entries would be listed"},
        // Two names outside Latin-1 would both be "??.zip", and both open the first.
        {"long names: mixed case, accented, and outside Latin-1",
         {"Long Mixed Name.zip", "Caf\u00e9 del Mar.zip", "\u65e5\u672c.zip", "1942.zip"},
         ".zip\n.rom",
         {"1942.zip", "??.zip", "Caf\xe9 del Mar.zip", "Long Mixed Name.zip"},
         "/mnt/sd/roms/??.zip",
         "\u65e5\u672c.zip",
         "0",
         "shown on the handheld as \"??.zip\""},
        {"accented long names, one started",
         {"Caf\u00e9 del Mar.zip", "Ast\u00e9rix.zip"},
         ".zip\n.rom",
         {"Ast\xe9rix.zip", "Caf\xe9 del Mar.zip"},
         "/mnt/sd/roms/Caf\xe9 del Mar.zip",
         "Caf\u00e9 del Mar.zip",
         "0",
         "catalogue: 2 entries would be listed"},
        {"extensions in capitals that the desktop shows and the handheld does not",
         {"SMB.NES", "ZELDA.NES"},
         ".NES\n.FDS",
         {},
         "",
         "",
         "1",
         "shown on the handheld as \"zelda.nes\" (its kernel shows a name stored as 8.3 alone in small letters)"},
    };
    for (const CardBoot& setup : boots) {
        SCOPED_TRACE(setup.what);
        const Frames frames = expectedFrames(parts->card, setup.shown);
        BoardSetup boot;
        boot.kernel = model("Caanoo").board;
        boot.card = "handheld";
        boot.checkedOnDesktop = true;
        boot.settings = "rom folder=/mnt/sd/roms/\nfirst extension=" + setup.extensions.substr(0, 4) +
                        "\nsecond extension=" + setup.extensions.substr(5) +
                        "\nlaunch program=/mnt/sd/emulator/emulator.gpe\n";
        boot.mode = setup.launched.empty() ? "glance" : "show";
        boot.prepare = "mkfifo /dev/GPIO\nexport RECORD_CONTENT=1";
        boot.roms = setup.written;
        Board board(*parts, boot, frames);
        const std::vector<std::string> said = checkSaid(board);
        EXPECT_EQ(said.empty() ? "" : said.back(), "status " + setup.status) << ::testing::PrintToString(said);
        EXPECT_TRUE(anySays(said, setup.says)) << ::testing::PrintToString(said);
        std::vector<std::string> handedOff = {"RUN menu status 0", "RECORD menu /usr/gp2x",
                                              "RECORD menu /usr/gp2x/gp2xmenu"};
        if (setup.launched.empty()) {
            EXPECT_EQ(board.nextReport(), "SHOWN list") << board.console();
            EXPECT_EQ(differingPixels(board.screen(), frames.list), 0);
            board.go();
        } else {
            EXPECT_EQ(board.showsFrames(frames), "") << board.console();
            handedOff.insert(handedOff.begin(),
                             {"RUN launch status 0", "RECORD launch /mnt/sd/selector",
                              "RECORD launch /mnt/sd/emulator/emulator.gpe", "RECORD launch " + setup.launched,
                              "RECORD launch content " + setup.content, "AFTER launch cleared"});
        }
        EXPECT_EQ(board.reportsUntilDone(), handedOff) << board.console();
    }
}

}  // namespace
