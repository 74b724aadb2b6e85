// The handheld programs (scripts/handheld), run as the handhelds would run
// them: a static ARM file started under qemu-arm from its SD-card folder, in
// a root of its own (/mnt/sd, /usr/gp2x, a FIFO as /dev/GPIO), driven
// through its pad device. scripts/test-handheld names each model's build in
// the environment; the tests of a model that is not named are skipped:
//   SELECTOR_<MODEL>_CARD       the SD-card folder its build made
//   SELECTOR_<MODEL>_BUILD      the build folder, with the unstripped program
//   SELECTOR_<MODEL>_TOOLCHAIN  the compiler it was made with
//   SELECTOR_<MODEL>_LIBRARIES  the libraries it was made with
// where MODEL is WIZ (the Wiz and the Caanoo) or F100 (the F100 and F200).
#pragma once

#include <SDL.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support.h"

struct HandheldModel {
    std::string card, build, toolchain, libraries;
    std::vector<std::string> machine;  // qemu's options for its processor and kernel
};

// The build of "WIZ" or "F100" named in the environment, or nothing.
std::optional<HandheldModel> handheldModel(const std::string& model);

// What `command` prints on standard output and error, run through the shell
// with a time limit of 60 seconds.
std::string commandOutput(const std::string& command);

// The masks of the pad device, bit n for button n.
constexpr Uint32 downMask = 1u << 4, selectMask = 1u << 9, aMask = 1u << 12;

// A root laid out like the handheld's: the SD-card folder at /mnt/sd/selector,
// ROMs where its settings look for them, a recorder as the emulator they
// name and as the system menu, a FIFO as the pad device, and qemu.
struct HandheldRoot {
    TempFolder root;

    HandheldRoot(const std::string& card, const std::vector<std::string>& roms);

    // Starts the card's program in its folder as the handheld would, under qemu
    // with `qemuOptions`, presses the pad as `masks` say, and waits for the
    // end (a minute at most for the program to open the pad, another to end).
    ProgramRun run(const std::vector<Uint32>& masks, const std::vector<std::string>& qemuOptions);

    // The working folder and arguments the launch program or the menu received.
    std::vector<std::string> record() const { return readLines(root / "record"); }
};

// The system calls in qemu's -strace output, each with its number in the C
// library's table of `toolchain` (-1 when it has none).
std::map<std::string, long> systemCallsOf(const std::string& trace, const std::string& toolchain);
