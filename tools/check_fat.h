// selector-check's view of FAT (check.h has the rest): the mount that holds
// a path, and the names and execute bits the handheld's FAT mount of the card
// gives, against what a PC's mount of it shows.
#pragma once

#include <string>
#include <vector>

#include "check.h"

// The code point of the UTF-8 sequence at `at` in `text` and its length in
// `length`; 0 and a length of 0 when no valid sequence starts there.
unsigned long decodeUtf8(const std::string& text, size_t at, size_t& length);

// --- check_mounts.cpp

// The mount of `mountinfo` (/proc/self/mountinfo's text) holding the resolved
// `path`: the longest mount point (escapes like \040 undone) that is a prefix
// by whole components, the later of two alike; an empty point when none.
Mount mountHolding(const std::string& mountinfo, const std::string& path);

// The mount that holds `path` here; none when it or mountinfo cannot be read.
Mount mountOf(const std::string& path);

// True for the FAT file systems: vfat, msdos, fat.
bool isFat(const Mount& mount);

// True when `mount` has the option `option` ("noexec", "utf8=1"), as a whole entry.
bool hasOption(const Mount& mount, const std::string& option);

// True when a FAT mount gives names in UTF-8: utf8, utf8=1 (yes, true) or iocharset=utf8.
bool namesInUtf8(const Mount& mount);

// `place` with `cardMount` set; with no card given, a FAT mount holding the folder as it.
CheckPlace findCard(const CheckPlace& place);

// --- check_fat.cpp

// The name the handheld (platform::card) shows for a FAT entry of 8.3 name `shortName` and long
// name `longName` ("": none) as a PC mounted with `pcOptions` gives them: the 8.3 name in small
// letters or the long name, from UTF-8 (namesInUtf8) to ISO 8859-1 with "?" for each UTF-16 unit it lacks.
std::string handheldName(const std::string& shortName, const std::string& longName,
                         const std::string& pcOptions);

// What to add about the missing path `value` when it is UTF-8 beyond ASCII (ISO 8859-1 there).
std::string followsFromEncoding(const std::string& value);

// `text`, ISO 8859-1 bytes, in UTF-8.
std::string fromLatin1(const std::string& text);

// The name a PC's file `name` (UTF-8) likely gets on the handheld once copied to
// a FAT card: as an 8.3-only name when it fits 8.3, name and extension each in one case.
std::string copiedName(const std::string& name);

// One entry of a folder on a FAT card.
struct CardName {
    std::string here;        // as this PC's mount gives it
    std::string handheld;    // as the handheld's will
    bool shortOnly = false;  // it has no long name: both show its 8.3 name
};

// The entries but "." and ".." of `directory` (here, on a FAT mount with
// `pcOptions`) by VFAT_IOCTL_READDIR_BOTH; false with errno (ENOTTY off FAT).
bool readCardNames(const std::string& directory, const std::string& pcOptions, std::vector<CardName>& names);

struct ShownList {
    std::vector<std::string> shown;    // the listed names as the selector has them, in its order
    std::vector<std::string> here;     // the same entries as named here
    std::vector<std::string> leftOut;  // the names not listed (as the selector has them)
};

// What the handheld's selector lists of `names`: by their handheld names, byte order.
ShownList listOnHandheld(const std::vector<CardName>& names, const SelectorConfig& config);

// Notes on `names` of the ROM folder `named`: listed otherwise than on this PC,
// listed with "?", listed alike (A on either starts the same file).
void noteCardNames(const std::vector<CardName>& names, const SelectorConfig& config, const std::string& named,
                   std::vector<Finding>& findings);

// On a vfat mount, `list` of `directory` (from this PC's names) made the
// handheld's, with noteCardNames; elsewhere a note if a card would change names.
void judgeNamesOnCard(const std::string& directory, const SelectorConfig& config, const std::string& named,
                      ShownList& list, std::vector<Finding>& findings);

struct Runnable {
    bool runs = true;
    std::string why;  // why not (an error), or a note when it runs; empty: nothing to say
    std::string fix;  // what to do when it does not run
};

// Whether a file on `mount`, `executable` here, runs on the handheld: on its
// card or FAT always (notes for this PC's noexec or missing execute bit), else
// when executable and not noexec.
Runnable runnableThere(const Mount& mount, bool executable, bool onCard);
