// The emulated board: qemu's versatilepb, an ARM926EJ-S with 64 MB like the
// Wiz and the Caanoo, with a 320x240 RGB565 framebuffer, booted from a kernel
// and an initramfs of our own that holds the handheld's card folders. Its
// kernel can model the Wiz's or the Caanoo's display and pad drivers (the
// patch scripts/emulated-board.pollux.patch): what the display shows is
// then what their panel would. Inside,
// board-driver (board_driver.cpp) runs the selector and reports on a serial
// line; the host takes pictures of the display through qemu's monitor.
// scripts/test-board builds the parts and names them in the environment.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support.h"

// What a boot is made of, from the environment (scripts/test-board):
// SELECTOR_BOARD_KERNELS ("NAME=FOLDER ...": each board kernel that
// scripts/models names, its folder holding zImage and versatile-pb.dtb),
// SELECTOR_BOARD_BUSYBOX, SELECTOR_BOARD_DRIVER, SELECTOR_BOARD_RECORDER
// (ARM programs), SELECTOR_HANDHELD_CARD and SELECTOR_ABI_CONTROLS
// (tests/handheld.h).
struct BoardParts {
    std::map<std::string, std::string> kernels;
    std::string busybox, driver, recorder, card, controls;
    std::string withoutSetUp;  // SELECTOR_BOARD_WITHOUT_SETUP: the program built without its display set-up
    std::string check;         // SELECTOR_BOARD_CHECK: selector-check for the board (static, the handheld's libraries)
};

// The parts, or nothing when the environment does not name them all.
std::optional<BoardParts> boardParts();

// How one boot differs from another.
struct BoardSetup {
    std::string kernel;                    // a board kernel of scripts/models: eabi, old-abi
    std::string pollux;                    // the kernel's model of the Pollux drivers: wiz,... (none if empty)
    std::string mode = "show";             // board-driver's mode (board_driver.cpp)
    std::string pad = "wiz";               // board-driver's pad: wiz, caanoo, gpio, stick
    std::string program;                   // a program to run as the card's selector instead of its own
    std::string prepare;                   // shell lines that init runs before the driver
    std::string control;                   // the program that the control mode runs
    std::string redirection;               // of the driver's standard streams, which the selector inherits
    std::vector<std::string> roms;         // in /mnt/sd/roms, each holding its own name
    // How /mnt/sd is kept: in the initramfs (""), or a FAT file system made
    // from the same files by mkfs.vfat and mtools, mounted through a loop
    // device as the handheld mounts its card ("handheld") or as a desktop
    // PC does ("desktop": short names as stored, UTF-8, showexec).
    std::string card;
    // With a FAT card: a copy of it mounted as a desktop PC does, at
    // /media/card, and selector-check run on /media/card/selector there
    // before the driver starts (the driver reports its lines as "CHECK ...",
    // "CHECK status N" last).
    bool checkedOnDesktop = false;
    std::string settings;  // the card folder's selector.cfg instead of its own, when not empty
    std::vector<std::string> qemuOptions;  // -icount, ...
};

// The frames the selector's own drawing code makes of the card folder with
// `roms` under the dummy driver, as RGB565 bytes: the splash, the list, and
// the list after Down.
struct Frames {
    std::string splash, list, down;
};
Frames expectedFrames(const std::string& card, const std::vector<std::string>& roms);

// --- board_card.cpp: the card

// Copies the program `from` to `to`, making the folders, as executable.
void copyProgram(const std::string& from, const std::string& to);

// The card's files at `sd` (the board's /mnt/sd): the card folder as
// selector, the probe beside it, the ROMs of `setup`, the recorder as the
// emulator.
void layOutCard(const std::string& sd, const BoardParts& parts, const BoardSetup& setup);

// The mount options of a FAT card mounted as `card` says (BoardSetup::card).
std::string mountOptions(const std::string& card);

// The files of the folder `files` as a FAT32 file system in the image file
// `image`; throws when mkfs.vfat or mcopy fails.
void makeFatImage(const std::string& files, const std::string& image);

// How many of two RGB565 pictures' pixels differ (all, when the sizes do).
int differingPixels(const std::string& a, const std::string& b);

// A booted board, powered off (qemu killed) when it goes.
struct Board {
    TempFolder folder;
    pid_t qemu = -1;
    int monitor = -1;  // qemu's human monitor
    int guest = -1;    // board-driver's serial line
    std::string unread;

    Board(const BoardParts& parts, const BoardSetup& setup, const Frames& frames);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // The driver's next line, or "" when none comes within `seconds`.
    std::string nextReport(int seconds = 180);
    // The driver's lines up to its last ("DONE", not included).
    std::vector<std::string> reportsUntilDone();
    // Lets the selector go on from the frame it is held on.
    void go();
    // What the display shows, as RGB565 bytes; empty when no picture came.
    std::string screen();
    // Takes the driver's three frames in turn (show mode): each reported
    // shown, its picture, and the list's `listPictures` times a quarter of a
    // second apart, equal to `frames`. "" when all are, else what was not.
    std::string showsFrames(const Frames& frames, int listPictures = 1);
    // The kernel's console (the first serial line) so far.
    std::string console() const;
};
