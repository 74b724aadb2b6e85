// Where a path of the settings lies on this machine: in the selector's folder,
// on the handheld's SD card mounted here (--card), or on the handheld's own
// system, which cannot be looked at from a PC.
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "check.h"
#include "check_fat.h"

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

// The absolute `path` with ".", ".." and repeated "/" resolved by name, as
// the handheld resolves them on the card (FAT has no links); a final "/" stays.
std::string resolvedByName(const std::string& path) {
    std::vector<std::string> parts;
    std::istringstream in(path);
    for (std::string part; std::getline(in, part, '/');)
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    std::string resolved;
    for (const std::string& part : parts) resolved += "/" + part;
    return resolved.empty() ? "/" : path.back() == '/' ? resolved + "/" : resolved;
}

// True when `path` begins with /mnt/sd in other letters ("/mnt/SD/roms").
bool cardInOtherLetters(const std::string& path) {
    const std::string card = platform::cardFolder;
    if (path.size() < card.size() || (path.size() > card.size() && path[card.size()] != '/')) return false;
    return path.compare(0, card.size(), card) != 0 &&
           strncasecmp(path.c_str(), card.c_str(), card.size()) == 0;
}

// The part of `path` below `folder` ("" for the folder itself), or false.
bool below(const std::string& path, const std::string& folder, std::string& rest) {
    if (folder.empty() || folder == "/" || path.compare(0, folder.size(), folder) != 0) return false;
    if (path.size() > folder.size() && path[folder.size()] != '/') return false;
    rest = path.substr(folder.size());
    return true;
}

}  // namespace

Reached reach(const CheckPlace& place, const std::string& path) {
    if (cardInOtherLetters(path))
        return {"",
                say("is not on the handheld's card, which is {} in small letters: the handheld has no other, "
                    "and FAT's indifference to case begins only below that folder",
                    {platform::cardFolder}),
                true};
    const bool withCard = !place.card.empty();
    std::string onHandheld = path, rest;
    if (withCard && !path.empty() && path.front() != '/' && belowCard(workingFolderOnHandheld(place), rest))
        onHandheld = workingFolderOnHandheld(place) + "/" + path;  // the card's "..", not this PC's
    if (onHandheld.empty() || onHandheld.front() != '/') return {place.folder + "/" + path, ""};
    if (withCard) onHandheld = resolvedByName(onHandheld);
    const bool onCard = belowCard(onHandheld, rest);
    if (withCard) {
        if (onCard)  // the handheld takes the bytes as ISO 8859-1; this PC's mount may give names in UTF-8
            return {place.card +
                        (isFat(place.cardMount) && namesInUtf8(place.cardMount) ? fromLatin1(rest) : rest),
                    ""};
        std::string mounted;
        if (below(path, absolute(place.card), mounted) || below(path, place.card, mounted))
            return {"",
                    say("is where this PC mounts the card; on the handheld it is {}",
                        {quoted(platform::cardFolder + mounted)}),
                    true};
        return {"", "is on the handheld's own system, not on its card: it cannot be checked from a PC"};
    }
    struct stat info;
    if (onCard && stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {"",
                "is on the handheld's card, which is not here: give the folder where the card is "
                "mounted on this PC, as in \"selector-check --card /media/card /media/card/game/selector\", "
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
