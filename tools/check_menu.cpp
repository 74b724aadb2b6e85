// The menu's INI file for the selector: game/selector.ini beside the folder
// game/selector/, as the Wiz's and the Caanoo's menus read it.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "check.h"
#include "files.h"

namespace {

struct DirCloser {
    void operator()(DIR* folder) const { closedir(folder); }
};

struct PngSize {
    unsigned long width, height;
};

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string realPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? real.get() : "";
}

std::string sizeOf(PngSize size) {
    return say("{}x{}", {std::to_string(size.width), std::to_string(size.height)});
}

// Where the INI value `value` (a path from the game folder `game`, a path
// here) lies here.
Reached fromGameFolder(const CheckPlace& place, const std::string& game, const std::string& value) {
    CheckPlace inGame = place;
    inGame.folder = game;
    const std::string onHandheld = workingFolderOnHandheld(inGame);
    const std::string path = value.empty() || value.front() != '/' ? "/" + value : value;
    if (!place.card.empty() && onHandheld.rfind(platform::cardFolder, 0) == 0)
        return reach(place, onHandheld + path);
    return {game + path, ""};
}

// Notes on the image of `key` when it is not a PNG of one of `sizes`.
void noteImage(const char* key, const std::string& value, std::initializer_list<PngSize> sizes,
               const CheckPlace& place, const std::string& game, const std::string& where,
               std::vector<Finding>& findings) {
    if (value.empty()) return;
    const std::string named = say("{} {}", {key, quoted(value)});
    const Reached reached = fromGameFolder(place, game, value);
    auto note = [&](const std::string& what) {
        findings.push_back({where, say("{} {}", {named, what}), false});
    };
    if (reached.path.empty()) return note(reached.unchecked);
    const OpenedFile opened = openRegularFile(reached.path.c_str());
    if (!opened.file) return note(say("{}: the menu shows none", {whyNotOpened(opened.kind, opened.error)}));
    char head[16];
    const std::string kind =
        pictureKind(std::string(head, std::fread(head, 1, sizeof head, opened.file.get())));
    if (!kind.empty()) return note(say("is {}, not a PNG: the menu shows it wrongly or not at all", {kind}));
    const PngHeader header = readPngHeader(opened.file.get());
    if (!header.damage.empty()) return note(say("is a damaged PNG: it {}; save it again", {header.damage}));
    std::string expected;
    for (const PngSize& size : sizes) {
        if (size.width == header.width && size.height == header.height) return;
        expected += (expected.empty() ? "" : " or ") + sizeOf(size);
    }
    note(say("is {}, the menu expects {}: it shows it wrongly; the selector works all the same",
             {sizeOf({header.width, header.height}), expected}));
}

void checkMenuEntry(const MenuEntry& entry, const CheckPlace& place, const std::string& game,
                    const std::string& folderName, const std::string& where, std::vector<Finding>& findings) {
    const std::string fix = say("name the selector's program from the game folder, as in {}",
                                {quoted("/" + folderName + "/selector.gpe")});
    if (!entry.hasInfo)
        return findings.push_back({where, "has no [info] section: the menu lists no program by it"});
    if (entry.path.empty())
        return findings.push_back(
            {where, say("gives no path in [info]: the menu cannot start the selector; {}", {fix})});
    const std::string named = say("path {}", {quoted(entry.path)});
    const Reached reached = fromGameFolder(place, game, entry.path);
    struct stat info;
    if (reached.path.empty())
        findings.push_back({where, say("{} {}", {named, reached.unchecked}), reached.wrong});
    else if (stat(reached.path.c_str(), &info) != 0)
        findings.push_back({where, say("{} (here: {}) {}: the menu cannot start the selector; {}",
                                       {named, reached.path, whyNot(errno), fix})});
    else if (!S_ISREG(info.st_mode))
        findings.push_back({where, say("{} (here: {}) is not a file: the menu cannot start the selector; {}",
                                       {named, reached.path, fix})});
    CheckPlace inGame = place;
    inGame.folder = game;
    const std::string onHandheld = workingFolderOnHandheld(inGame);
    if (!place.card.empty() && onHandheld != platform::menuGameFolder)
        findings.push_back({where,
                            say("lies in {} on the handheld: the menu reads the INI files of {} alone",
                                {onHandheld, platform::menuGameFolder}),
                            false});
    noteImage("icon", entry.icon, {{32, 32}, {26, 26}}, place, game, where, findings);
    noteImage("title", entry.title, {{305, 57}}, place, game, where, findings);
}

}  // namespace

MenuEntry readMenuEntry(const std::string& text) {
    MenuEntry entry;
    bool inInfo = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            inInfo = lowered(line) == "[info]";
            entry.hasInfo = entry.hasInfo || inInfo;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inInfo || equals == std::string::npos) continue;
        const std::string key = lowered(trimmed(line.substr(0, equals)));
        std::string value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        std::string* field = key == "name"    ? &entry.name
                             : key == "path"  ? &entry.path
                             : key == "icon"  ? &entry.icon
                             : key == "title" ? &entry.title
                                              : nullptr;
        if (field) *field = value;
    }
    return entry;
}

void checkMenuEntries(const CheckPlace& place, std::vector<Finding>& findings) {
    const std::string folder = realPath(place.folder);
    const size_t slash = folder.rfind('/');
    if (folder.empty() || folder == "/") return;
    const std::string game = slash == 0 ? "/" : folder.substr(0, slash),
                      folderName = folder.substr(slash + 1);
    const std::string gameName = game.substr(game.rfind('/') + 1);
    std::vector<std::string> files;
    const std::unique_ptr<DIR, DirCloser> listing(opendir(game.c_str()));
    for (struct dirent* item = listing ? readdir(listing.get()) : nullptr; item;
         item = readdir(listing.get())) {
        const size_t length = std::strlen(item->d_name);
        if (length > 4 && strcasecmp(item->d_name + length - 4, ".ini") == 0) files.push_back(item->d_name);
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        const OpenedFile opened = openRegularFile((game + "/" + file).c_str());
        if (!opened.file) continue;
        std::string text(65536, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), opened.file.get()));
        const MenuEntry entry = readMenuEntry(text);
        if (strcasecmp(file.c_str(), (folderName + ".ini").c_str()) != 0) {
            const Reached reached = fromGameFolder(place, game, entry.path);
            const std::string target = reached.path.empty() ? "" : realPath(reached.path);
            if (entry.path.empty() || target.compare(0, folder.size() + 1, folder + "/") != 0) continue;
        }
        checkMenuEntry(entry, place, game, folderName, say("{}/{}", {gameName, file}), findings);
    }
}
