// The mount that holds a path on this machine, by /proc/self/mountinfo, and
// the card's mount: given with --card, or the FAT mount that holds the folder.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "check_fat.h"

namespace {

// A field of mountinfo with its octal escapes ("\040" for a space) undone.
std::string unescaped(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field.find_first_not_of("01234567", i + 1) >= i + 4) {
            text += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// True when `path` is `point` or lies below it.
bool within(const std::string& path, const std::string& point) {
    if (point == "/") return !path.empty() && path.front() == '/';
    return path.compare(0, point.size(), point) == 0 &&
           (path.size() == point.size() || path[point.size()] == '/');
}

std::string resolved(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? real.get() : "";
}

}  // namespace

Mount mountHolding(const std::string& mountinfo, const std::string& path) {
    Mount best;
    std::istringstream lines(mountinfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point, options, field, type, source, superOptions;
        if (!(fields >> id >> parent >> device >> root >> point >> options)) continue;
        while (fields >> field && field != "-") {
        }  // the optional fields, up to the separator
        if (field != "-" || !(fields >> type >> source)) continue;
        fields >> superOptions;
        point = unescaped(point);
        if (!within(path, point) || point.size() < best.point.size()) continue;
        best = {point, unescaped(type), superOptions.empty() ? options : options + "," + superOptions};
    }
    return best;
}

Mount mountOf(const std::string& path) {
    const std::string real = resolved(path);
    std::ifstream file("/proc/self/mountinfo");
    if (real.empty() || !file) return {};
    std::ostringstream text;
    text << file.rdbuf();
    return mountHolding(text.str(), real);
}

bool isFat(const Mount& mount) {
    return mount.type == "vfat" || mount.type == "msdos" || mount.type == "fat";
}

bool hasOption(const Mount& mount, const std::string& option) {
    return ("," + mount.options + ",").find("," + option + ",") != std::string::npos;
}

bool namesInUtf8(const Mount& mount) {
    for (const char* option : {"utf8", "utf8=1", "utf8=yes", "utf8=true", "iocharset=utf8"})
        if (hasOption(mount, option)) return true;
    return false;
}

CheckPlace findCard(const CheckPlace& place) {
    CheckPlace found = place;
    if (!place.card.empty()) {
        found.cardMount = mountOf(place.card);
        return found;
    }
    const Mount mount = mountOf(place.folder);
    if (!isFat(mount)) return found;
    found.card = mount.point;
    found.cardMount = mount;
    found.cardFound = true;
    return found;
}
