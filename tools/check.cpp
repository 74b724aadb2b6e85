#include "check.h"

#include <SDL_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

#include "app.h"
#include "pngfile.h"

namespace {

// Works in another folder for the life of the object, as the selector
// reads its files from its working folder.
struct WorkingFolder {
    char previous[PATH_MAX];
    bool entered;
    explicit WorkingFolder(const std::string& folder)
        : entered(getcwd(previous, sizeof previous) && chdir(folder.c_str()) == 0) {}
    ~WorkingFolder() {
        if (entered && chdir(previous) != 0) std::abort();
    }
};

std::string lineOf(int line) {
    return std::string(platform::configFileName) + " line " + std::to_string(line);
}

// The value without the spaces and carriage return that may surround it.
std::string trimmed(const std::string& value) {
    const size_t first = value.find_first_not_of(" \r");
    return first == std::string::npos ? "" : value.substr(first, value.find_last_not_of(" \r") - first + 1);
}

std::string quoted(const std::string& value) {
    std::string shown = "\"";
    for (char c : value) shown += c == '\r' ? std::string("\\r") : std::string(1, c);
    return shown + "\"";
}

void checkValues(const SelectorConfig& config, std::vector<Finding>& findings) {
    const std::string* values[] = {&config.romDirectory, &config.romExtension1, &config.romExtension2,
                                   &config.launchProgram};
    std::string returnLines;
    int firstReturnLine = 0;
    for (int line = 1; line <= configLines; ++line) {
        if (values[line - 1]->back() != '\r') continue;
        returnLines += (returnLines.empty() ? "" : ", ") + std::to_string(line);
        if (!firstReturnLine) firstReturnLine = line;
    }
    if (firstReturnLine)
        findings.push_back({lineOf(firstReturnLine),
                            "the values of line(s) " + returnLines +
                                " end in a carriage return: the file was saved with Windows line ends; "
                                "save it with Unix (LF) line ends"});
    for (int line = 1; line <= configLines; ++line) {
        const std::string& value = *values[line - 1];
        const std::string text = value.substr(0, value.find_last_not_of('\r') + 1);
        if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
            findings.push_back({lineOf(line), "value " + quoted(value) +
                                                  " has spaces at an end, and spaces belong to the value: "
                                                  "remove them"});
    }
}

void checkRomDirectory(const std::string& directory, std::vector<Finding>& findings) {
    const std::string where = lineOf(1);
    struct stat info;
    if (stat(directory.c_str(), &info) != 0) {
        findings.push_back({where, "ROM folder " + quoted(directory) + " does not exist: correct the path"});
        return;
    }
    if (!S_ISDIR(info.st_mode)) {
        findings.push_back({where, "ROM folder " + quoted(directory) +
                                       " is not a folder: name the folder that holds the ROMs"});
        return;
    }
    if (access(directory.c_str(), R_OK | X_OK) != 0)
        findings.push_back(
            {where, "ROM folder " + quoted(directory) + " cannot be read: give the selector read access"});
    if (directory.back() != '/')
        findings.push_back(
            {where, "ROM folder " + quoted(directory) +
                        " does not end in \"/\": the file name is put right after it, so add the \"/\""});
}

void checkExtensions(const SelectorConfig& config, std::vector<Finding>& findings) {
    const std::string* extensions[] = {&config.romExtension1, &config.romExtension2};
    for (int i = 0; i < 2; ++i) {
        const std::string& extension = *extensions[i];
        const std::string bare = trimmed(extension);  // surrounding spaces have findings of their own
        if (bare.empty() || bare.front() != '.')
            findings.push_back(
                {lineOf(i + 2), "extension " + quoted(extension) +
                                    " does not begin with \".\": write it with its dot, as in " +
                                    quoted("." + bare)});
        if (extension.find('/') != std::string::npos)
            findings.push_back({lineOf(i + 2), "extension " + quoted(extension) +
                                                   " contains \"/\": no file name can end in it"});
    }
    if (config.romExtension1 == config.romExtension2)
        findings.push_back({lineOf(3), "both extensions are " + quoted(config.romExtension1) +
                                           ": the second one can accept another kind of file"});
}

void checkLaunchProgram(const std::string& program, const std::string& folder,
                        std::vector<Finding>& findings) {
    const std::string where = lineOf(4);
    struct stat info;
    if (stat(program.c_str(), &info) != 0) {
        findings.push_back({where, "launch program " + quoted(program) +
                                       " does not exist: A will do nothing; correct the path"});
        return;
    }
    if (!S_ISREG(info.st_mode))
        findings.push_back(
            {where, "launch program " + quoted(program) + " is not a file: name the program itself"});
    else if (access(program.c_str(), X_OK) != 0)
        findings.push_back({where, "launch program " + quoted(program) + " is not executable: chmod +x it"});
    if (program.front() != '/')
        findings.push_back({where, "launch program " + quoted(program) +
                                       " is relative: it is found from the selector's "
                                       "working folder (" +
                                       folder + "), so start the selector from there"});
}

void checkImages(CheckReport& report) {
    const struct {
        const char* file;
        int minWidth, maxWidth, minHeight, maxHeight;
        const char* expected;
    } images[] = {
        {platform::backgroundFile, 320, 320, 240, 240, "320x240"},
        {platform::splashFile, 320, 320, 240, 240, "320x240"},
        {platform::fontFile, glyphSize * fontCells, INT_MAX, glyphSize, INT_MAX,
         "at least 416x8: 52 cells of 8x8"},
        {platform::arrowFile, 1, nameX - arrowX, 1, rowHeight,
         "at most 25x15: left of the names, within a row"},
    };
    for (const auto& expected : images) {
        if (access(expected.file, F_OK) != 0) {
            report.starts = false;
            report.findings.push_back({expected.file, "missing: the selector stops at start-up"});
            continue;
        }
        Surface image(IMG_Load(expected.file));
        if (!image) {
            report.starts = false;
            report.findings.push_back(
                {expected.file, std::string("cannot be loaded (") + IMG_GetError() +
                                    "): the selector stops at start-up; save it as a PNG"});
            continue;
        }
        if (image->format->Amask != 0)
            report.findings.push_back({expected.file,
                                       "has an alpha channel, so SDL blends it instead of using the "
                                       "transparent colour: save it as RGB without alpha"});
        if (image->w < expected.minWidth || image->w > expected.maxWidth || image->h < expected.minHeight ||
            image->h > expected.maxHeight)
            report.findings.push_back({expected.file, "is " + std::to_string(image->w) + "x" +
                                                          std::to_string(image->h) +
                                                          ", the selector expects " + expected.expected});
    }
}

// Files that an extension would take but for the case of its letters.
void checkCaseOnlyMismatches(const SelectorConfig& config, std::vector<Finding>& findings) {
    struct dirent** entries = nullptr;
    const int count = scandir(config.romDirectory.c_str(), &entries, nullptr, alphasort);
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::map<std::string, std::pair<int, std::string>> mismatches;  // extension: count, first name
    for (int i = 0; i < count; ++i) {
        const std::string extension = extensionOf(entries[i]->d_name);
        for (const std::string* configured : {&config.romExtension1, &config.romExtension2})
            if (!extension.empty() && extension != *configured && lower(extension) == lower(*configured) &&
                !isRomName(entries[i]->d_name, config)) {
                auto& seen = mismatches[extension];
                if (seen.first++ == 0) seen.second = entries[i]->d_name;
                break;
            }
        std::free(entries[i]);
    }
    std::free(entries);
    for (const auto& [extension, seen] : mismatches)
        findings.push_back(
            {config.romDirectory, std::to_string(seen.first) + " file(s) such as " + quoted(seen.second) +
                                      " end in " + quoted(extension) +
                                      ", which differs from a configured extension only by case, "
                                      "and are not listed: rename them or change the extension"});
}

void describeCatalogue(const SelectorConfig& config, CheckReport& report) {
    const RomList list = scanRoms(config.romDirectory);
    report.romCount = list.romCount;
    for (int i = 0; i < list.romCount; ++i) {
        const std::string drawn = uppercase(list.name(i)).substr(0, maxTextLength);
        if (std::strlen(list.name(i)) > drawn.size()) ++report.cutNames;
        if (std::any_of(drawn.begin(), drawn.end(),
                        [](char c) { return c != ' ' && glyphCell(static_cast<unsigned char>(c)) < 0; }))
            ++report.blankedNames;
        if (i < windowRows) report.firstScreen.push_back(shownName(list.name(i)));
    }
}

}  // namespace

std::string shownName(const char* name) {
    std::string shown = uppercase(name).substr(0, maxTextLength);
    for (char& c : shown)
        if (glyphCell(static_cast<unsigned char>(c)) < 0) c = ' ';
    return shown;
}

CheckReport checkFolder(const std::string& folder) {
    CheckReport report;
    WorkingFolder inside(folder);
    if (!inside.entered) {
        report.findings.push_back({folder, "cannot be entered: name the folder the selector runs in"});
        return report;
    }
    const ConfigReading reading = loadConfig(platform::configFileName);
    report.starts = reading.fault == ConfigFault::None;
    if (reading.fault == ConfigFault::CannotOpen)
        report.findings.push_back(
            {platform::configFileName, "missing or unreadable: the selector stops at start-up"});
    else if (reading.fault != ConfigFault::None)
        report.findings.push_back(
            {lineOf(reading.line), configFaultReason(reading.fault) + " (the selector stops at start-up)"});
    checkImages(report);
    if (reading.fault != ConfigFault::None) return report;

    const SelectorConfig& config = reading.config;
    checkValues(config, report.findings);
    checkRomDirectory(config.romDirectory, report.findings);
    checkExtensions(config, report.findings);
    char absolute[PATH_MAX];
    checkLaunchProgram(config.launchProgram, getcwd(absolute, sizeof absolute) ? absolute : folder,
                       report.findings);
    describeCatalogue(config, report);
    if (report.romCount >= 0) checkCaseOnlyMismatches(config, report.findings);
    return report;
}

std::string formatReport(const CheckReport& report, const std::string& folder) {
    std::string text;
    for (const Finding& finding : report.findings) text += finding.where + ": " + finding.what + "\n";
    if (report.romCount > 0) {
        text += "catalogue: " + std::to_string(report.romCount) +
                " entries would be listed; the first screen shows:\n";
        for (const std::string& name : report.firstScreen) text += "    " + name + "\n";
        if (report.cutNames || report.blankedNames)
            text += "catalogue: " + std::to_string(report.cutNames) +
                    " name(s) longer than 34 characters are cut, " + std::to_string(report.blankedNames) +
                    " have characters the font cannot draw (shown as spaces)\n";
    }
    const std::string found = std::to_string(report.findings.size()) + " finding(s)";
    if (!report.starts)
        return text + "selector-check: " + folder + ": " + found + "; the selector would not start\n";
    if (report.romCount < 0)
        return text + "selector-check: " + folder + ": " + found +
               "; the ROM folder cannot be read, the list would be empty\n";
    return text + "selector-check: " + folder + ": " + found + "; the selector would list " +
           std::to_string(report.romCount) + " entries\n";
}

int exitStatus(const CheckReport& report) { return report.starts && report.romCount > 0 ? 0 : 1; }

std::string renderFirstScreen(const std::string& folder, const std::string& pngPath) {
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here)) return "cannot read the working folder";
    const std::string output = pngPath.front() == '/' ? pngPath : std::string(here) + "/" + pngPath;
    WorkingFolder inside(folder);
    if (!inside.entered) return "cannot enter " + folder;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::optional<SelectorContext> context = startSelector();
    std::string error;
    if (!context) {
        error = "the selector does not start in " + folder;
    } else {
        context->state = SelectorState::Browse;  // straight to the list, as after the splash
        browsePass(*context);
        if (!savePng(context->screen, output.c_str())) error = "cannot write " + output;
    }
    context.reset();
    SDL_Quit();
    return error;
}
