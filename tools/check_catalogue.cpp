// The ROM folder of line 1 and the list the selector would show from it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "check.h"
#include "check_fat.h"
#include "draw.h"

namespace {

struct EntryFree {
    void operator()(struct dirent* entry) const { std::free(entry); }
};

// "1 entry" or "N entries", and the like.
std::string count(int number, const char* one, const char* many) {
    return say("{} {}", {std::to_string(number), number == 1 ? one : many});
}

// The configured extension that `extension` equals but for case, or null.
const std::string* caseTwin(const std::string& extension, const SelectorConfig& config) {
    for (const std::string* configured : {&config.romExtension1, &config.romExtension2})
        if (!extension.empty() && extension != *configured &&
            uppercase(extension.c_str()) == uppercase(configured->c_str()))
            return configured;
    return nullptr;
}

// Why the list is empty though the folder can be read: what the folder holds instead.
std::string emptyListReason(const SelectorConfig& config, const std::vector<std::string>& leftOut) {
    if (leftOut.empty())
        return "the ROM folder holds no files, so the list would be empty: put the ROMs in it";
    std::map<std::string, int> byExtension;
    for (const std::string& name : leftOut) ++byExtension[extensionOf(name.c_str())];
    std::vector<std::pair<std::string, int>> kinds(byExtension.begin(), byExtension.end());
    std::stable_sort(kinds.begin(), kinds.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    const size_t shown = std::min<size_t>(kinds.size(), 6);
    std::string holds;
    for (size_t i = 0; i < shown; ++i) {
        const auto& [extension, number] = kinds[i];
        holds += (i ? ", " : "") + std::to_string(number) + " ";
        holds += extension.empty() ? "without an extension" : quoted(extension);
        if (const std::string* twin = caseTwin(extension, config))
            holds += say(" (differs from {} only by case)", {quoted(*twin)});
    }
    if (kinds.size() > shown)
        holds += say(" and {}", {count(static_cast<int>(kinds.size() - shown), "other", "others")});
    const std::string& withReturn =
        config.romExtension1.back() == '\r' ? config.romExtension1 : config.romExtension2;
    return say(
        "no file in the ROM folder ends in {} or {}, so the list would be empty; it holds {}{}",
        {quoted(config.romExtension1), quoted(config.romExtension2), holds, followsFromReturn(withReturn)});
}

// Files that an extension would take but for the case of its letters.
void noteCaseOnlyMismatches(const SelectorConfig& config, const std::vector<std::string>& leftOut,
                            std::vector<Finding>& findings) {
    std::map<std::string, std::pair<int, std::string>> mismatches;  // extension: count, first name
    for (const std::string& name : leftOut) {
        const std::string extension = extensionOf(name.c_str());
        if (!caseTwin(extension, config)) continue;
        auto& seen = mismatches[extension];
        if (seen.first == 0) seen.second = name;
        ++seen.first;
    }
    for (const auto& [extension, seen] : mismatches) {
        findings.push_back(
            {config.romDirectory,
             seen.first == 1
                 ? say("the file {} ends in {}, which differs from a configured extension only by "
                       "case, so the selector does not list it: rename it or change the extension",
                       {quoted(seen.second), quoted(extension)})
                 : say("{} files such as {} end in {}, which differs from a configured extension "
                       "only by case, so the selector does not list them: rename them or change "
                       "the extension",
                       {std::to_string(seen.first), quoted(seen.second), quoted(extension)}),
             false});
    }
}

// Listed entries that are no ROM file: folders, links to nothing, macOS
// companion files. The selector lists them all the same.
struct NotARom {
    const char* is;     // what such an entry is, and what A on it does
    int count = 0;      // how many the list holds
    std::string first;  // the first of them
};

// Which kind of `notARoms` below the listed entry `name` at `path` is, or -1.
int notARomKind(const std::string& name, const std::string& path) {
    if (name.compare(0, 2, "._") == 0) return 3;
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : -1;
    return errno == ENOENT ? 1 : errno == ELOOP ? 2 : -1;
}

void noteEntriesThatAreNotRoms(const std::vector<std::string>& listed, const std::string& directory,
                               const std::string& named, std::vector<Finding>& findings) {
    NotARom notARoms[] = {
        {"a folder, not a ROM file: A on it starts the launch program with a folder", 0, ""},
        {"a symbolic link to nothing: A on it starts the launch program with a ROM that does not exist", 0,
         ""},
        {"a symbolic link in a loop (Too many levels of symbolic links): A on it starts the launch program "
         "with a ROM it cannot open",
         0, ""},
        {"a macOS companion file (\"._\" and the name of another file), not a ROM: such files sort before "
         "letters and digits, so A on the first row starts one; delete them (dot_clean on a Mac)",
         0, ""},
    };
    for (const std::string& name : listed) {
        const int kind = notARomKind(name, directory + "/" + name);
        if (kind < 0) continue;
        NotARom& seen = notARoms[kind];
        if (seen.count == 0) seen.first = name;
        ++seen.count;
    }
    for (const NotARom& seen : notARoms)
        if (seen.count)
            findings.push_back({named,
                                seen.count == 1
                                    ? say("the listed entry {} is {}", {quoted(seen.first), seen.is})
                                    : say("{} listed entries such as {} are each {}",
                                          {std::to_string(seen.count), quoted(seen.first), seen.is}),
                                false});
}

}  // namespace

RomList listRoms(const std::string& directory, const SelectorConfig& config,
                 std::vector<std::string>& leftOut) {
    RomList list;
    const int total = scandir(directory.c_str(), &list.entries, nullptr, alphasort);
    if (total < 0) {
        list.entries = nullptr;
        list.romCount = -1;
        return list;
    }
    list.romCount = total;  // until the end, so that the list frees every entry
    int kept = 0;
    for (int i = 0; i < total; ++i) {
        std::unique_ptr<struct dirent, EntryFree> entry(std::exchange(list.entries[i], nullptr));
        const char* name = entry->d_name;
        if (isRomName(name, config))
            list.entries[kept++] = entry.release();
        else if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            leftOut.push_back(name);
    }
    list.romCount = kept;
    return list;
}

void checkCatalogue(const SelectorConfig& config, const CheckPlace& place, CheckReport& report) {
    const std::string& directory = config.romDirectory;
    const std::string where = lineOf(1), named = say("ROM folder {}", {quoted(directory)});
    const Reached reached = reach(place, directory);
    if (reached.path.empty()) {
        report.listChecked = reached.wrong;
        report.findings.push_back({where, say("{} {}", {named, reached.unchecked}), reached.wrong});
        return;
    }
    const std::string here =
        place.card.empty() || directory.front() != '/' ? "" : say(" (on the card: {})", {reached.path});
    struct stat info;
    if (stat(reached.path.c_str(), &info) != 0) {
        const std::string why = whyNot(errno);
        report.findings.push_back(
            {where, say("{}{} {}: correct the path{}{}",
                        {named, here, why, followsFromReturn(directory), followsFromEncoding(directory)})});
        return;
    }
    if (!S_ISDIR(info.st_mode)) {
        report.findings.push_back(
            {where, say("{}{} is not a folder: name the folder that holds the ROMs", {named, here})});
        return;
    }
    const bool readable = access(reached.path.c_str(), R_OK | X_OK) == 0;
    if (!readable)
        report.findings.push_back({where, say("{}{} cannot be read ({}): give the selector read access",
                                              {named, here, std::strerror(errno)})});
    if (directory.back() != '/')
        report.findings.push_back(
            {where, say("{} does not end in \"/\": the file name is put right after it ({}), "
                        "so add the \"/\"",
                        {named, quoted(directory + "NAME.rom")})});

    std::vector<std::string> leftOut;
    const RomList list = listRoms(reached.path, config, leftOut);
    report.romCount = list.romCount;
    if (list.romCount < 0) {
        if (readable)
            report.findings.push_back(
                {where, say("{}{} cannot be listed ({})", {named, here, std::strerror(errno)})});
        return;
    }
    ShownList shown;
    for (int i = 0; i < list.romCount; ++i) shown.shown.push_back(list.name(i));
    shown.here = shown.shown;
    shown.leftOut = std::move(leftOut);
    judgeNamesOnCard(reached.path, config, directory, shown, report.findings);
    report.romCount = static_cast<int>(shown.shown.size());
    for (const std::string& name : shown.shown) {
        const std::string drawn = uppercase(name.c_str()).substr(0, maxTextLength);
        if (name.size() > drawn.size()) ++report.cutNames;
        if (std::any_of(drawn.begin(), drawn.end(),
                        [](char c) { return c != ' ' && glyphCell(static_cast<unsigned char>(c)) < 0; }))
            ++report.blankedNames;
        if (report.firstScreen.size() < static_cast<size_t>(windowRows))
            report.firstScreen.push_back(shownName(name.c_str()));
    }
    noteEntriesThatAreNotRoms(shown.here, reached.path, directory, report.findings);
    if (shown.shown.empty())
        report.findings.push_back({directory, emptyListReason(config, shown.leftOut)});
    else
        noteCaseOnlyMismatches(config, shown.leftOut, report.findings);
}
