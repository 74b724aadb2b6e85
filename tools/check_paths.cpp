// Where a path of the settings lies on this machine: in the selector's folder,
// on the handheld's SD card mounted here (--card), or on the handheld's own
// system, which cannot be looked at from a PC.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "check.h"

namespace {

// The part of `path` below /mnt/sd ("/roms/" for "/mnt/sd/roms/"), or
// nothing when `path` does not lie on the card.
bool belowCard(const std::string& path, std::string& rest) {
    const std::string card = platform::cardFolder;
    if (path.compare(0, card.size(), card) != 0) return false;
    if (path.size() > card.size() && path[card.size()] != '/') return false;  // "/mnt/sdcard"
    rest = path.substr(card.size());
    return true;
}

std::string absolute(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? resolved.get() : path;
}

}  // namespace

Reached reach(const CheckPlace& place, const std::string& path) {
    if (path.empty() || path.front() != '/') return {place.folder + "/" + path, ""};
    std::string rest;
    const bool onCard = belowCard(path, rest);
    if (!place.card.empty()) {
        if (onCard) return {place.card + rest, ""};
        return {"", "is on the handheld's own system, not on its card: it cannot be checked from a PC"};
    }
    struct stat info;
    if (onCard && stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {"",
                "is on the handheld's card, which is not here: give the folder where the card is "
                "mounted on this PC, as in \"selector-check --card /media/card /media/card/selector\", "
                "to check it"};
    return {path, ""};
}

std::string whyNot(int error) {
    return error == ENOENT ? "does not exist" : say("cannot be reached ({})", {std::strerror(error)});
}

std::string whyNotOpened(const char* kind, int error) {
    if (kind) return say("is {}, not a file", {kind});
    return error == ENOENT ? "missing" : say("cannot be opened ({})", {std::strerror(error)});
}

std::string workingFolderOnHandheld(const CheckPlace& place) {
    const std::string folder = absolute(place.folder);
    if (place.card.empty()) return folder;
    const std::string card = absolute(place.card);
    if (folder == card) return platform::cardFolder;
    if (folder.compare(0, card.size() + 1, card + "/") == 0)
        return platform::cardFolder + folder.substr(card.size());
    return folder;
}

std::string lineOf(int line) { return say("{} line {}", {platform::configFileName, std::to_string(line)}); }

std::string quoted(const std::string& value) { return say("\"{}\"", {value}); }
