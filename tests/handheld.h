// The handheld program (scripts/handheld), run as the handhelds would run
// it: a static ARM file started under qemu-arm from its SD-card folder, in a
// root of its own (/mnt/sd, /usr/gp2x, a FIFO as /dev/GPIO), driven through
// its pad device, as each model's processor and kernel. scripts/test-handheld
// names the build in the environment; without it the tests are skipped:
//   SELECTOR_HANDHELD_CARD       the selector's folder in the card package the
//                                build made (game/selector, its INI beside it)
//   SELECTOR_HANDHELD_BUILD      the build folder, with the unstripped program
//   SELECTOR_HANDHELD_TOOLCHAIN  the compiler it was made with
//   SELECTOR_HANDHELD_LIBRARIES  the libraries it was made with
//   SELECTOR_ABI_CONTROLS        a folder of programs the checks must catch:
//                                eabi (EABI calls, ARMv5TE, kernel helpers)
//                                and mistakes (old ABI, but a fstatat64
//                                call, Thumb code and a descriptor it
//                                passes on)
#pragma once

#include <SDL.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support.h"

struct HandheldBuild {
    std::string card, build, toolchain, libraries, controls;
};

// The build named in the environment, or nothing.
std::optional<HandheldBuild> handheldBuild();

// The models (scripts/models) as qemu-arm runs them: their processor and
// their kernel, one machine for the models that share both.
struct HandheldMachine {
    std::string models;  // "F100, F200"
    std::vector<std::string> qemuOptions;
    bool linux24;  // a 2.4 kernel, with its smaller table of calls
};
std::vector<HandheldMachine> handheldMachines();

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

// What qemu's -strace output says of a run.
struct SystemCalls {
    // Each call made, with its number in the C library's table of the
    // compiler (-1 when it has none).
    std::map<std::string, long> numbers;
    bool handedOff = false;  // an execve came
    // The descriptors open at the first execve, but for 0 to 2, that had no
    // fcntl F_SETFD FD_CLOEXEC after they were opened.
    std::set<int> passedOn;
};
SystemCalls systemCallsOf(const std::string& trace, const std::string& toolchain);
