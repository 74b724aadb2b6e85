// The card's files and its FAT file system for the emulated board (board.h).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "board.h"
#include "platform.h"

namespace fs = std::filesystem;

void copyProgram(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

// The handheld's are its kernels' defaults, given here since 6.1's differ
// (it shows 8.3-only names as stored unless told "lower").
std::string mountOptions(const std::string& card) {
    if (card != "handheld") return "shortname=mixed,utf8=1,showexec";
    return "codepage=" + std::to_string(platform::card::codepage) + ",iocharset=" + platform::card::iocharset +
           (platform::card::shortNamesLower ? ",shortname=lower" : ",shortname=mixed");
}

void layOutCard(const std::string& sd, const BoardParts& parts, const BoardSetup& setup) {
    copyProgram(parts.recorder, sd + "/emulator/emulator.gpe");
    fs::copy(parts.card, sd + "/selector", fs::copy_options::recursive);
    if (!setup.program.empty()) copyProgram(setup.program, sd + "/selector/selector");
    if (!setup.settings.empty()) writeFile(sd + "/selector/selector.cfg", setup.settings);
    if (const std::string probe = parts.card + "/../probe"; fs::exists(probe))
        fs::copy(probe, sd + "/probe", fs::copy_options::recursive);
    fs::create_directories(sd + "/roms");
    for (const std::string& name : setup.roms) writeFile(sd + "/roms/" + name, name);
}

// An 8 MiB FAT16 image: the board holds it in RAM, and FAT12, 16 and 32
// give names alike. mtools writes each name from UTF-8 as Windows does (an
// 8.3 name in capitals as a short entry alone).
void makeFatImage(const std::string& files, const std::string& image) {
    const auto made = [](const std::vector<std::string>& command) {
        const ChildEnd end = runChild(
            command,
            [] {
                setenv("LC_ALL", "C.UTF-8", 1);
                if (!std::freopen("/dev/null", "w", stdout)) _exit(120);
            },
            60);
        if (end.status != 0) throw std::runtime_error(command[0] + " failed");
    };
    made({MKFS_VFAT, "-F", "16", "-s", "2", "-C", image, "8192"});  // clusters of 1 KiB
    for (const fs::directory_entry& entry : fs::directory_iterator(files))
        made({MCOPY, "-s", "-i", image, entry.path().string(), "::/"});
}

