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
#include "draw.h"

namespace {

struct EntryFree {
    void operator()(struct dirent* entry) const { std::free(entry); }
};

// "1 entry" or "N entries", and the like.
std::string count(int number, const char* one, const char* many) {
    return std::to_string(number) + " " + (number == 1 ? one : many);
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
            holds += " (differs from " + quoted(*twin) + " only by case)";
    }
    if (kinds.size() > shown)
        holds += " and " + count(static_cast<int>(kinds.size() - shown), "other", "others");
    const std::string& withReturn =
        config.romExtension1.back() == '\r' ? config.romExtension1 : config.romExtension2;
    return "no file in the ROM folder ends in " + quoted(config.romExtension1) + " or " +
           quoted(config.romExtension2) + ", so the list would be empty; it holds " + holds +
           followsFromReturn(withReturn);
}

// Files that an extension would take but for the case of its letters.
void noteCaseOnlyMismatches(const SelectorConfig& config, const std::vector<std::string>& leftOut,
                            std::vector<Finding>& findings) {
    std::map<std::string, std::pair<int, std::string>> mismatches;  // extension: count, first name
    for (const std::string& name : leftOut) {
        const std::string extension = extensionOf(name.c_str());
        if (!caseTwin(extension, config)) continue;
        auto& seen = mismatches[extension];
        if (seen.first++ == 0) seen.second = name;
    }
    for (const auto& [extension, seen] : mismatches) {
        const std::string files = seen.first == 1 ? "the file " + quoted(seen.second) + " ends in "
                                                  : std::to_string(seen.first) + " files such as " +
                                                        quoted(seen.second) + " end in ";
        findings.push_back({config.romDirectory,
                            files + quoted(extension) +
                                ", which differs from a configured extension only by case, so the selector "
                                "does not list " +
                                (seen.first == 1 ? "it: rename it" : "them: rename them") +
                                " or change the extension",
                            false});
    }
}

// Listed entries that are no ROM file: folders, links to nothing, macOS
// companion files. The selector lists them all the same.
void noteEntriesThatAreNotRoms(const RomList& list, const std::string& directory, const std::string& named,
                               std::vector<Finding>& findings) {
    const char* const kinds[] = {
        "a folder, not a ROM file: A on it starts the launch program with a folder",
        "a symbolic link to nothing: A on it starts the launch program with a ROM that does not exist",
        "a symbolic link in a loop (Too many levels of symbolic links): A on it starts the launch program "
        "with a ROM it cannot open",
        "a macOS companion file (\"._\" and the name of another file), not a ROM: such files sort before "
        "letters and digits, so A on the first row starts one; delete them (dot_clean on a Mac)",
    };
    int counts[4] = {};
    std::string examples[4];
    for (int i = 0; i < list.romCount; ++i) {
        const std::string name = list.name(i), path = directory + "/" + name;
        struct stat info;
        int kind = -1;
        if (name.compare(0, 2, "._") == 0) {
            kind = 3;
        } else if (stat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) kind = 1;
            if (errno == ELOOP) kind = 2;
        } else if (S_ISDIR(info.st_mode)) {
            kind = 0;
        }
        if (kind < 0) continue;
        if (counts[kind]++ == 0) examples[kind] = name;
    }
    for (int kind = 0; kind < 4; ++kind)
        if (counts[kind])
            findings.push_back({named,
                                counts[kind] == 1
                                    ? "the listed entry " + quoted(examples[kind]) + " is " + kinds[kind]
                                    : std::to_string(counts[kind]) + " listed entries such as " +
                                          quoted(examples[kind]) + " are each " + kinds[kind],
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
    const std::string where = lineOf(1), named = "ROM folder " + quoted(directory);
    const Reached reached = reach(place, directory);
    if (reached.path.empty()) {
        report.listChecked = false;
        report.findings.push_back({where, named + " " + reached.unchecked, false});
        return;
    }
    const std::string here =
        place.card.empty() || directory.front() != '/' ? "" : " (on the card: " + reached.path + ")";
    struct stat info;
    if (stat(reached.path.c_str(), &info) != 0) {
        report.findings.push_back({where, named + here + " " + whyNot(errno) + ": correct the path" +
                                              followsFromReturn(directory)});
        return;
    }
    if (!S_ISDIR(info.st_mode)) {
        report.findings.push_back(
            {where, named + here + " is not a folder: name the folder that holds the ROMs"});
        return;
    }
    const bool readable = access(reached.path.c_str(), R_OK | X_OK) == 0;
    if (!readable)
        report.findings.push_back({where, named + here + " cannot be read (" + std::strerror(errno) +
                                              "): give the selector read access"});
    if (directory.back() != '/')
        report.findings.push_back(
            {where, named + " does not end in \"/\": the file name is put right after it (" +
                        quoted(directory + "NAME.rom") + "), so add the \"/\""});

    std::vector<std::string> leftOut;
    const RomList list = listRoms(reached.path, config, leftOut);
    report.romCount = list.romCount;
    if (list.romCount < 0) {
        if (readable)
            report.findings.push_back(
                {where, named + here + " cannot be listed (" + std::strerror(errno) + ")"});
        return;
    }
    for (int i = 0; i < list.romCount; ++i) {
        const std::string drawn = uppercase(list.name(i)).substr(0, maxTextLength);
        if (std::strlen(list.name(i)) > drawn.size()) ++report.cutNames;
        if (std::any_of(drawn.begin(), drawn.end(),
                        [](char c) { return c != ' ' && glyphCell(static_cast<unsigned char>(c)) < 0; }))
            ++report.blankedNames;
        if (i < windowRows) report.firstScreen.push_back(shownName(list.name(i)));
    }
    noteEntriesThatAreNotRoms(list, reached.path, directory, report.findings);
    if (list.romCount == 0)
        report.findings.push_back({directory, emptyListReason(config, leftOut)});
    else
        noteCaseOnlyMismatches(config, leftOut, report.findings);
}
