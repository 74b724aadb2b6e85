// Helpers of the selector-check tests: runs of the check in a child process,
// files made byte by byte (PNGs, ELF programs), and tables of set-ups, each
// checked and then run by the real selector to compare the verdicts.
#pragma once

#include <elf.h>
#include <pwd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support.h"

// In a build with AddressSanitizer every program the selector starts loads
// its runtime, which reads its options from /proc/self/environ: a program
// that may not be read cannot read that, and stops.
#if defined(__SANITIZE_ADDRESS__)  // GCC
constexpr bool sanitized = true;
#elif defined(__has_feature)  // clang
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

// The user nobody, when the tests may become it (as root); else null.
const struct passwd* nobody();

struct CheckRun {
    int status = -1;
    std::string output, errors;
};

// Runs selector-check with `arguments` in a child process, as nobody when
// `asNobody`, killed after a minute.
CheckRun runCheck(const std::vector<std::string>& arguments, bool asNobody = false);

// An executable file at `path` that holds `contents`.
void program(const std::string& path, const std::string& contents,
             std::filesystem::perms mode = std::filesystem::perms(0755));

// A PNG file of `width` x `height` pixels of the colour type `colourType`,
// whose 8-bit samples are `samples` row after row, with `chunks` (type, data)
// before the image data.
std::string pngFile(int width, int height, int colourType, const std::string& samples,
                    const std::vector<std::pair<std::string, std::string>>& chunks = {});

// The samples of a width x height image of one colour, each pixel the bytes
// of `pixel`.
std::string filled(int width, int height, const std::string& pixel);

// These byte values as a string.
std::string bytes(std::initializer_list<int> values);

// The test font (support.h) as RGBA samples: its key pixels as `keyPixel`,
// every other pixel opaque.
std::string rgbaFont(const std::string& keyPixel);

// The test font as a paletted PNG: entries 0 to 51 the cells' colours, then
// `more`; the key pixels take entry `keyEntry`.
std::string palettedFont(const std::vector<SDL_Color>& more, int keyEntry);

// A program for the processor `machine` as the kernel reads it: an ELF
// header, one segment over the whole file and, unless `interpreter` is
// empty, a program interpreter.
std::string elfProgram(Elf32_Half machine, const std::string& interpreter = "");

// A copy of this machine's program `from` whose program interpreter is
// renamed so that it does not exist.
std::string withoutItsInterpreter(const std::string& from);

// A selector folder (support.h) checked as a user would check it: the
// absolute launch program "WHERE/emulator" (the recorder), and selector-check
// given `checked` (the folder itself by default) and `options`.
struct CheckFolder : SelectorFolder {
    std::string checked = where, romDirectory;
    std::vector<std::string> options;

    CheckFolder() : SelectorFolder({"a.rom"}) { settings("roms/", ".rom", ".bin", where + "/emulator"); }
    void settings(const std::string& folder, const std::string& extension1, const std::string& extension2,
                  const std::string& launch, const std::string& lineEnd = "\n") {
        romDirectory = folder;
        writeFile(where + "/selector.cfg", "romdir=" + folder + lineEnd + "ext1=" + extension1 + lineEnd +
                                               "ext2=" + extension2 + lineEnd + "emulator=" + launch +
                                               lineEnd);
    }
};

// The set-ups of the tables' rows.
using SetUp = std::function<void(CheckFolder&)>;

// The four settings, the launch program "WHERE/emulator" when `launch` is empty
// and else WHERE/`launch` when it begins with "/".
SetUp settings(const std::string& folder, const std::string& extension1, const std::string& extension2,
               const std::string& launch = "", const std::string& lineEnd = "\n");
// The usual settings with the launch program `launch`.
SetUp launching(const std::string& launch);
// The file `name` in the folder, with `contents` and `mode`.
SetUp file(const std::string& name, const std::string& contents,
           std::filesystem::perms mode = std::filesystem::perms(0644));
// The launch program WHERE/emu with `contents` and `mode`.
SetUp launch(const std::string& contents, std::filesystem::perms mode = std::filesystem::perms(0755));
// The file `name` gone, or a folder in its place.
SetUp removed(const std::string& name);
SetUp folderAt(const std::string& name);
// The ROM folder holding empty files of these names alone.
SetUp roms(const std::vector<std::string>& names);
// The card as scripts/handheld lays it out (the install rules of
// CMakeLists.txt), with a ROM folder and an ARM launch program, under a
// folder that stands for its mount point, changed by `change(MOUNT)`;
// checked with --card MOUNT when `option`.
SetUp card(const std::function<void(const std::string& mount)>& change, bool option = true);

// What the real selector does on a folder, pressing A and then Select.
enum class Real {
    Launches,      // starts the launch program with a ROM
    CannotStart,   // stops with "Cannot start ..." on A
    ListsNothing,  // shows an empty list, so that A does nothing and Select starts the menu
    Stops,         // stops at start-up with one line
    NotRun,        // cannot run here (a path under /mnt/sd, a program for another processor)
};

struct Case {
    const char* what;
    int status;
    Real real;                      // what the real selector does, here
    std::vector<std::string> says;  // each in the report
    SetUp setUp;
    bool asNobody;  // check and run as the user nobody (needs root)
};

// A row of a table: the folder `setUp` makes gets the exit `status`, and lines
// that say `says`; the real selector does `real` there.
Case row(const char* what, int status, Real real, std::vector<std::string> says, SetUp setUp,
         bool asNobody = false);

// Sets up each case in a fresh folder, checks it, and runs the real selector
// on it; a failed expectation names the case.
void expectVerdicts(const std::vector<Case>& cases);
