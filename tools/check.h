// selector-check: finds why a selector folder would show nothing, or the
// wrong thing, on the handheld, without running the selector and without
// entering the folder. Each job has a file of its own:
//   check_folder.cpp      the whole check, file by file as the selector reads them
//   check_paths.cpp       where a path of the settings lies on this machine (--card)
//   check_mounts.cpp      the mount that holds a path, and the card's FAT mount (check_fat.h)
//   check_fat.cpp         names and execute bits as the handheld's FAT mount gives them (check_fat.h)
//   check_menu.cpp        the menu's INI file for the selector (game/selector.ini)
//   check_settings.cpp    selector.cfg: the file, its values, the two extensions
//   check_catalogue.cpp   the ROM folder and the list the selector would show
//   check_programs.cpp    the launch program as the kernel would start it (#!, ELF)
//   check_png.cpp         what a PNG file holds, read as the handheld's libpng reads it
//   check_images.cpp      the four images as the handheld's SDL_image loads them
//   check_drawing.cpp     an image as the selector draws it, against what its pixels mean
//   check_report.cpp      the report's text and the exit status
//   check_screenshot.cpp  the first list screen, drawn to a PNG
#pragma once

#include <SDL.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "catalogue.h"
#include "platform.h"

// One problem, or a fact worth knowing, about one file of the folder.
struct Finding {
    std::string where;  // "selector.cfg line 2", "font.png", ...
    std::string what;   // what is wrong and what to do about it
    bool error = true;  // false for a note, which does not change the verdict
};

// A mount of this machine, as /proc/self/mountinfo gives it.
struct Mount {
    std::string point;    // where it is mounted; empty when none was found
    std::string type;     // "vfat", "ext4", ...
    std::string options;  // the mount's options, then its file system's, comma-separated
};

// Where the checked files are on this machine.
struct CheckPlace {
    std::string folder;      // the selector's working folder
    std::string card;        // where the handheld's SD card (its /mnt/sd) is mounted here; empty: not given
    Mount cardMount = {};    // the mount that holds `card` (see findCard)
    bool cardFound = false;  // `card` was not given: it is the FAT mount that holds the folder
};

struct CheckReport {
    std::vector<Finding> findings;
    bool starts = false;                   // the settings and all four images load
    bool listChecked = true;               // false when the ROM folder cannot be looked at from here
    bool programChecked = true;            // false when the launch program cannot be looked at from here
    int romCount = -1;                     // entries the selector would list; -1 when it cannot scan
    std::vector<std::string> firstScreen;  // the first ten names as the screen shows them
    int cutNames = 0;                      // listed names longer than a line
    int blankedNames = 0;                  // listed names with characters the font cannot draw
};

// --- check_folder.cpp

// Checks the selector folder `place.folder` as the selector would see it when
// started there on the handheld. Uses the selector's own loaders and font
// table; reads the folder through paths under it and never changes the
// working folder; never runs the launch program.
CheckReport checkFolder(const CheckPlace& place);

// --- check_paths.cpp

// A path from the settings as this machine reaches it.
struct Reached {
    std::string path;       // the path to use here; empty when it cannot be checked from here
    std::string unchecked;  // then why, as the text of a note ("is on the handheld's own system, ...")
    bool wrong = false;     // `unchecked` is an error: the handheld has no such path
};

// Where `path`, as the selector started in `place.folder` would use it, lies
// here: relative paths under the folder; with a card, paths under /mnt/sd/
// under the card and other absolute ones nowhere; without one, absolute paths
// as they are, but for /mnt/sd/ paths that do not exist here (nowhere). With a card, ".." is
// resolved as on the handheld, and the bytes (ISO 8859-1 there) in UTF-8 if the card's mount is;
// a path under the card's mount point here, or /mnt/sd in other letters, is wrong (an error).
Reached reach(const CheckPlace& place, const std::string& path);

// Why a path cannot be used, in the system's words: "does not exist" for
// ENOENT, "cannot be reached (REASON)" for other errors.
std::string whyNot(int error);

// Why one of the selector's files could not be opened (see openRegularFile):
// "missing", "is a directory, not a file", "cannot be opened (REASON)".
std::string whyNotOpened(const char* kind, int error);

// The selector's working folder as the handheld names it (under /mnt/sd when
// it lies on the card), else its absolute path here.
std::string workingFolderOnHandheld(const CheckPlace& place);

// `text` with each "{}" in turn replaced by the next of `values` (a "{}"
// with no value left stays as it is). Every message a user sees is written
// whole, with its placeholders, so that a line from a report can be found
// in the sources.
std::string say(const std::string& text, std::initializer_list<std::string> values);

// "selector.cfg line N".
std::string lineOf(int line);

// `value` in double quotes.
std::string quoted(const std::string& value);

// --- check_settings.cpp

// The finding for a settings file that cannot be used at all; none when it can.
void checkSettingsFile(const ConfigReading& reading, std::vector<Finding>& findings);

// Carriage returns and spaces around the four values.
void checkValues(const SelectorConfig& config, std::vector<Finding>& findings);

// Extensions without their dot, with a "/", with a second dot, or the same twice.
void checkExtensions(const SelectorConfig& config, std::vector<Finding>& findings);

// What to add to a finding about `value` when a carriage return at its end is
// the cause; empty otherwise.
std::string followsFromReturn(const std::string& value);

// --- check_catalogue.cpp

// The ROM folder of line 1 and the list the selector would show from it: sets
// romCount, listChecked, firstScreen and the name counts. An empty list always
// gets an error that says why; listed entries that are not ROM files (folders,
// broken links, macOS "._" files) get notes.
void checkCatalogue(const SelectorConfig& config, const CheckPlace& place, CheckReport& report);

// The selector's list of the folder `directory` (a path here), as its scan makes
// it but filtered with `config` rather than a reread of the working folder's
// selector.cfg. The names left out (but "." and "..") go to `leftOut`.
RomList listRoms(const std::string& directory, const SelectorConfig& config,
                 std::vector<std::string>& leftOut);

// --- check_programs.cpp

// The launch program of line 4 as the handheld's kernel would start it, never
// running it: missing, not a file, not executable, a script whose "#!" line is
// wrong, an ELF for another processor, cut short or without its interpreter.
void checkLaunchProgram(const std::string& program, const CheckPlace& place, std::vector<Finding>& findings);

// --- check_menu.cpp

// The [info] section of a menu INI file, values without their quotes.
struct MenuEntry {
    bool hasInfo = false;  // an [info] section was found
    std::string name, path, icon, title;
};

// Reads the INI text `text` (LF or CRLF lines) as the menu does.
MenuEntry readMenuEntry(const std::string& text);

// The INI files beside `place.folder` (FOLDER.ini, and any whose path names a
// file in it): a path to no file is an error; an icon not a 32x32 or 26x26 PNG
// and a title not a 305x57 one are notes.
void checkMenuEntries(const CheckPlace& place, std::vector<Finding>& findings);

// --- check_png.cpp

// What a file's first bytes say it is: "" for a PNG, else "a JPEG image", "a
// BMP image", "a GIF image", ..., "empty" or "not a picture".
std::string pictureKind(const std::string& head);

// The header of a PNG file, as far as its image data.
struct PngHeader {
    std::string damage;  // why it cannot be read so far; empty when it can
    unsigned long width = 0, height = 0;
    unsigned long long decodedBytes = 0;  // the surface SDL_image 1.2 makes of it, rows included
};

// Reads the header of the PNG `file` from its start (after its signature
// has been found), never more than its chunk headers, PLTE and tRNS.
PngHeader readPngHeader(FILE* file);

// What libpng says when it reads the image of `file` from its start as
// SDL_image does (to the end of the image data); empty when it reads it all.
std::string pngReadProblem(FILE* file);

// --- check_images.cpp

// The four images as the handheld's loader (SDL_image 1.2 with PNG only) loads
// them and the selector draws them. Clears report.starts when one would stop
// the selector; what it would draw wrongly, but draw, gets notes.
void checkImages(const CheckPlace& place, CheckReport& report);

// --- check_drawing.cpp

// What the selector draws from `image` (as the loader returned it; its colour
// key is changed) compared with what its pixels mean. With `key`, the pixels
// the screen shows in that colour and those the file makes transparent are
// meant to be left out; without it every pixel is meant to be drawn. A pixel
// counts as right within one step of the 16-bit screen. Each line returned
// says how many pixels are drawn otherwise, and why; none when all are right.
std::vector<std::string> drawingFaults(SDL_Surface* image, const platform::Rgb* key);

// --- check_report.cpp

// A listed name as the screen shows it: in capitals, cut at 34 characters,
// with a space for every character the font cannot draw.
std::string shownName(const char* name);

// `text` safe for a terminal: a backslash doubled; carriage return, newline
// and tab written as \r, \n, \t; other C0 controls, DEL and C1 controls
// (U+0080 to U+009F, as UTF-8 or as single bytes) as \xHH a byte.
std::string printable(const std::string& text);

// The report as text: one line a finding, the first screen, a summary last
// that counts the errors (naming where they are) and the notes.
std::string formatReport(const CheckReport& report, const std::string& folder);

// 1 when any finding is an error (the selector would not start, would list
// nothing, or A would not start the launch program as it should), else 0.
int exitStatus(const CheckReport& report);

// --- check_screenshot.cpp

// How drawing the first screen went.
struct Screenshot {
    std::string problem;      // empty when the picture was written
    bool unwritable = false;  // the problem is that `pngPath` cannot be written
};

// Draws the first list screen of the selector started in `place.folder` (arrow
// on row 0, names as judgeNamesOnCard gives them) with the selector's own
// code, and saves it as a PNG at `pngPath`.
Screenshot renderFirstScreen(const CheckPlace& place, const std::string& pngPath);
