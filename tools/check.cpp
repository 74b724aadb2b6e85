#include "check.h"

#include <SDL_image.h>
#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "app.h"
#include "files.h"
#include "pngfile.h"

namespace {

const char* const stopsAtStart = ": the selector stops at start-up";

// A path as the selector, started in `folder`, would use it.
std::string inFolder(const std::string& folder, const std::string& path) {
    return !path.empty() && path.front() == '/' ? path : folder + "/" + path;
}

std::string lineOf(int line) {
    return std::string(platform::configFileName) + " line " + std::to_string(line);
}

std::string quoted(const std::string& value) { return "\"" + value + "\""; }

// The value without the spaces and carriage return that may surround it.
std::string trimmed(const std::string& value) {
    const size_t first = value.find_first_not_of(" \r");
    return first == std::string::npos ? "" : value.substr(first, value.find_last_not_of(" \r") - first + 1);
}

// Why a path cannot be used, in the system's words.
std::string whyNot(int error) {
    return error == ENOENT ? "does not exist"
                           : std::string("cannot be reached (") + std::strerror(error) + ")";
}

// What to add to a finding about `value` when a carriage return at its end
// is the cause.
std::string followsFromReturn(const std::string& value) {
    return !value.empty() && value.back() == '\r' ? "; this follows from the carriage return at its end: "
                                                    "save selector.cfg with Unix line ends first"
                                                  : "";
}

// Why one of the selector's files could not be opened (see openRegularFile).
std::string whyNotOpened(const char* kind, int error) {
    if (kind) return std::string("is ") + kind + ", not a file";
    return error == ENOENT ? "missing" : std::string("cannot be opened (") + std::strerror(error) + ")";
}

void checkSettingsFile(const ConfigReading& reading, std::vector<Finding>& findings) {
    const char* file = platform::configFileName;
    switch (reading.fault) {
    case ConfigFault::None: return;
    case ConfigFault::CannotOpen:
    case ConfigFault::NotAFile:
        findings.push_back({file, whyNotOpened(reading.kind, reading.error) + stopsAtStart});
        return;
    case ConfigFault::ReadError:
        findings.push_back(
            {file, std::string("cannot be read (") + std::strerror(reading.error) + ")" + stopsAtStart});
        return;
    default:
        findings.push_back(
            {lineOf(reading.line), configFaultReason(reading.fault) + " (the selector stops at start-up)"});
    }
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

void checkRomDirectory(const std::string& directory, const std::string& folder,
                       std::vector<Finding>& findings) {
    const std::string where = lineOf(1), named = "ROM folder " + quoted(directory);
    const std::string path = inFolder(folder, directory);
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        findings.push_back(
            {where, named + " " + whyNot(errno) + ": correct the path" + followsFromReturn(directory)});
        return;
    }
    if (!S_ISDIR(info.st_mode)) {
        findings.push_back({where, named + " is not a folder: name the folder that holds the ROMs"});
        return;
    }
    if (access(path.c_str(), R_OK | X_OK) != 0)
        findings.push_back(
            {where, named + " cannot be read (" + std::strerror(errno) + "): give the selector read access"});
    if (directory.back() != '/')
        findings.push_back({where, named + " does not end in \"/\": the file name is put right after it (" +
                                       quoted(directory + "NAME.rom") + "), so add the \"/\""});
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
        findings.push_back({lineOf(3),
                            "both extensions are " + quoted(config.romExtension1) +
                                ": the second one can accept another kind of file",
                            false});
}

// The processor an ELF file is for (its e_machine), or -1 for another file.
int elfMachine(const std::string& head) {
    if (head.size() < EI_NIDENT + 4 || head.compare(0, SELFMAG, ELFMAG) != 0) return -1;
    const unsigned char low = head[18], high = head[19];  // e_machine, in the file's byte order
    return head[EI_DATA] == ELFDATA2MSB ? low << 8 | high : high << 8 | low;
}

std::string headOf(const std::string& path) {
    const OpenedFile opened = openRegularFile(path.c_str());
    char head[256];
    const size_t got = opened.file ? std::fread(head, 1, sizeof head, opened.file.get()) : 0;
    return std::string(head, got);
}

// Why the system would refuse to start the executable file at `path`, as
// the selector in `folder` would start it; empty when it would start.
std::string whyItWouldNotRun(const std::string& path, const std::string& folder) {
    const std::string head = headOf(path);
    if (head.compare(0, 2, "#!") == 0) {
        const std::string line = head.substr(2, head.find('\n') - 2);
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) return "is a script whose first line names no interpreter";
        const std::string interpreter = line.substr(start, line.find_first_of(" \t\r", start) - start);
        const std::string interpreterPath = inFolder(folder, interpreter);
        if (access(interpreterPath.c_str(), F_OK) != 0)
            return "is a script whose interpreter " + quoted(interpreter) + " " + whyNot(errno);
        if (access(interpreterPath.c_str(), X_OK) != 0)
            return "is a script whose interpreter " + quoted(interpreter) + " cannot be run";
        return "";
    }
    const int machine = elfMachine(head);
    if (machine < 0) return "is neither a script (#!) nor a program (ELF): the system cannot start it";
    if (machine != EM_ARM && machine != elfMachine(headOf("/proc/self/exe")))
        return "is a program for another processor (ELF machine " + std::to_string(machine) +
               "): it runs neither on the handheld (ARM) nor here";
    return "";
}

void checkLaunchProgram(const std::string& program, const std::string& folder,
                        std::vector<Finding>& findings) {
    const std::string where = lineOf(4), named = "launch program " + quoted(program);
    const std::string path = inFolder(folder, program);
    const std::string onA = ": A would stop the selector with \"Cannot start ...\"";
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        findings.push_back(
            {where, named + " " + whyNot(errno) + onA + "; correct the path" + followsFromReturn(program)});
    } else if (!S_ISREG(info.st_mode)) {
        findings.push_back({where, named + " is not a file" + onA + "; name the program itself"});
    } else if (access(path.c_str(), X_OK) != 0) {
        findings.push_back({where, named + " is not executable" + onA + "; chmod +x it"});
    } else {
        const std::string why = whyItWouldNotRun(path, folder);
        if (!why.empty()) findings.push_back({where, named + " " + why + onA});
    }
    if (program.front() != '/') {
        std::unique_ptr<char, decltype(&std::free)> absolute(realpath(folder.c_str(), nullptr), &std::free);
        findings.push_back({where,
                            named + " is relative: it is found from the selector's working folder (" +
                                (absolute ? absolute.get() : folder) + "), so start the selector from there",
                            false});
    }
}

// What a palette-less or paletted image's pixels can be, for a finding.
std::string formatOf(const SDL_Surface* image) {
    const SDL_Palette* palette = image->format->palette;
    if (!palette) return std::to_string(image->format->BitsPerPixel) + "-bit";
    const bool grey = std::all_of(palette->colors, palette->colors + palette->ncolors,
                                  [](const SDL_Color& c) { return c.r == c.g && c.g == c.b; });
    return grey ? "greyscale" : "paletted";
}

void checkImages(const std::string& folder, CheckReport& report) {
    const struct {
        const char* file;
        int minWidth, maxWidth, minHeight, maxHeight;
        const char* expected;
        const platform::Rgb* key;
    } images[] = {
        {platform::backgroundFile, 320, 320, 240, 240, "320x240", nullptr},
        {platform::splashFile, 320, 320, 240, 240, "320x240", nullptr},
        {platform::fontFile, glyphSize * fontCells, INT_MAX, glyphSize, INT_MAX,
         "at least 416x8: 52 cells of 8x8", &platform::fontKey},
        {platform::arrowFile, 1, nameX - arrowX, 1, rowHeight,
         "at most 25x15: left of the names, within a row", &platform::arrowKey},
    };
    for (const auto& expected : images) {
        const std::string path = inFolder(folder, expected.file);
        const OpenedFile opened = openRegularFile(path.c_str());
        if (!opened.file) {
            report.starts = false;
            report.findings.push_back(
                {expected.file, whyNotOpened(opened.kind, opened.error) + stopsAtStart});
            continue;
        }
        std::string problem;
        const Surface image = loadImage(path.c_str(), problem);
        if (!image) {
            report.starts = false;
            report.findings.push_back({expected.file, std::string("cannot be loaded (") + IMG_GetError() +
                                                          ")" + stopsAtStart + "; save it as a PNG"});
            continue;
        }
        if (image->format->Amask != 0)
            report.findings.push_back({expected.file,
                                       "has an alpha channel, so SDL blends it instead of using the "
                                       "transparent colour: save it as RGB without alpha"});
        if (expected.key) {
            SDL_Color kept = {0, 0, 0, 0};
            SDL_GetRGB(SDL_MapRGB(image->format, expected.key->r, expected.key->g, expected.key->b),
                       image->format, &kept.r, &kept.g, &kept.b);
            const auto rgb = [](int r, int g, int b) {
                return "(" + std::to_string(r) + ", " + std::to_string(g) + ", " + std::to_string(b) + ")";
            };
            if (kept.r != expected.key->r || kept.g != expected.key->g || kept.b != expected.key->b)
                report.findings.push_back(
                    {expected.file, "is " + formatOf(image.get()) +
                                        ", so it cannot hold the transparent colour " +
                                        rgb(expected.key->r, expected.key->g, expected.key->b) +
                                        " exactly: it becomes " + rgb(kept.r, kept.g, kept.b) +
                                        " and what should be transparent is drawn; save it as RGB"});
        }
        if (image->w < expected.minWidth || image->w > expected.maxWidth || image->h < expected.minHeight ||
            image->h > expected.maxHeight)
            report.findings.push_back({expected.file,
                                       "is " + std::to_string(image->w) + "x" + std::to_string(image->h) +
                                           ", the selector expects " + expected.expected,
                                       false});
    }
}

struct EntryFree {
    void operator()(struct dirent* entry) const { std::free(entry); }
};

// The selector's list of `directory`, as its scan makes it but filtered with
// `config` (the scan's own filter rereads "selector.cfg" from the working
// folder, which the check does not enter). The names left out go to `leftOut`.
RomList scanWithSettings(const std::string& directory, const SelectorConfig& config,
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
        if (isRomName(entry->d_name, config))
            list.entries[kept++] = entry.release();
        else
            leftOut.push_back(entry->d_name);
    }
    list.romCount = kept;
    return list;
}

// Files that an extension would take but for the case of its letters.
void checkCaseOnlyMismatches(const SelectorConfig& config, const std::vector<std::string>& leftOut,
                             std::vector<Finding>& findings) {
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::map<std::string, std::pair<int, std::string>> mismatches;  // extension: count, first name
    for (const std::string& name : leftOut) {
        const std::string extension = extensionOf(name.c_str());
        for (const std::string* configured : {&config.romExtension1, &config.romExtension2})
            if (!extension.empty() && lower(extension) == lower(*configured)) {
                auto& seen = mismatches[extension];
                if (seen.first++ == 0) seen.second = name;
                break;
            }
    }
    for (const auto& [extension, seen] : mismatches)
        findings.push_back({config.romDirectory,
                            std::to_string(seen.first) + " file(s) such as " + quoted(seen.second) +
                                " end in " + quoted(extension) +
                                ", which differs from a configured extension only by case, "
                                "and are not listed: rename them or change the extension",
                            false});
}

void describeCatalogue(const SelectorConfig& config, const std::string& folder, CheckReport& report) {
    std::vector<std::string> leftOut;
    const RomList list = scanWithSettings(inFolder(folder, config.romDirectory), config, leftOut);
    report.romCount = list.romCount;
    for (int i = 0; i < list.romCount; ++i) {
        const std::string drawn = uppercase(list.name(i)).substr(0, maxTextLength);
        if (std::strlen(list.name(i)) > drawn.size()) ++report.cutNames;
        if (std::any_of(drawn.begin(), drawn.end(),
                        [](char c) { return c != ' ' && glyphCell(static_cast<unsigned char>(c)) < 0; }))
            ++report.blankedNames;
        if (i < windowRows) report.firstScreen.push_back(shownName(list.name(i)));
    }
    checkCaseOnlyMismatches(config, leftOut, report.findings);
}

}  // namespace

std::string shownName(const char* name) {
    std::string shown = uppercase(name).substr(0, maxTextLength);
    for (char& c : shown)
        if (glyphCell(static_cast<unsigned char>(c)) < 0) c = ' ';
    return shown;
}

std::string printable(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte == 0x7f) {
            const char digits[] = "0123456789abcdef";
            shown += {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
        } else {
            shown += c;
        }
    }
    return shown;
}

CheckReport checkFolder(const std::string& folder) {
    CheckReport report;
    struct stat info;
    const bool found = stat(folder.c_str(), &info) == 0;
    if (!found || !S_ISDIR(info.st_mode)) {
        const std::string what = found ? "is not a folder" : whyNot(errno);
        report.findings.push_back({folder, what + ": name the folder the selector runs in"});
        return report;
    }
    const ConfigReading reading = loadConfig(inFolder(folder, platform::configFileName).c_str());
    report.starts = reading.fault == ConfigFault::None;
    checkSettingsFile(reading, report.findings);
    checkImages(folder, report);
    if (reading.fault != ConfigFault::None) return report;

    const SelectorConfig& config = reading.config;
    checkValues(config, report.findings);
    checkRomDirectory(config.romDirectory, folder, report.findings);
    checkExtensions(config, report.findings);
    checkLaunchProgram(config.launchProgram, folder, report.findings);
    describeCatalogue(config, folder, report);
    return report;
}

std::string formatReport(const CheckReport& report, const std::string& folder) {
    std::string text;
    std::vector<std::string> errorPlaces;
    int errors = 0, notes = 0;
    for (const Finding& finding : report.findings) {
        const std::string where = printable(finding.where);
        text += where + ": " + (finding.error ? "" : "note: ") + printable(finding.what) + "\n";
        if (!finding.error) {
            ++notes;
        } else if (++errors &&
                   std::find(errorPlaces.begin(), errorPlaces.end(), where) == errorPlaces.end()) {
            errorPlaces.push_back(where);
        }
    }
    std::string places;
    for (const std::string& place : errorPlaces) places += (places.empty() ? "" : ", ") + place;
    if (report.romCount > 0) {
        text += "catalogue: " + std::to_string(report.romCount) +
                " entries would be listed; the first screen shows:\n";
        for (const std::string& name : report.firstScreen) text += "    " + printable(name) + "\n";
        if (report.cutNames || report.blankedNames)
            text += "catalogue: " + std::to_string(report.cutNames) +
                    " name(s) longer than 34 characters are cut, " + std::to_string(report.blankedNames) +
                    " have characters the font cannot draw (shown as spaces)\n";
    }
    const std::string counts =
        (errors ? std::to_string(errors) + " error(s) (" + places + ")" : "no errors") + ", " +
        std::to_string(notes) + " note(s)";
    const std::string verdict =
        !report.starts        ? "the selector would not start"
        : report.romCount < 0 ? "the ROM folder cannot be read, the list would be empty"
                              : "the selector would list " + std::to_string(report.romCount) + " entries";
    return text + "selector-check: " + printable(folder) + ": " + counts + "; " + verdict + "\n";
}

int exitStatus(const CheckReport& report) {
    const bool anyError =
        std::any_of(report.findings.begin(), report.findings.end(), [](const Finding& f) { return f.error; });
    return report.starts && report.romCount > 0 && !anyError ? 0 : 1;
}

std::string renderFirstScreen(const std::string& folder, const std::string& pngPath) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_VIDEO);
    std::string error;
    {
        SelectorContext context;
        context.screen = SDL_SetVideoMode(platform::screenWidth, platform::screenHeight,
                                          platform::screenDepth, platform::screenFlags);
        const ConfigReading reading = loadConfig(inFolder(folder, platform::configFileName).c_str());
        if (!context.screen) {
            error = std::string("no display: ") + SDL_GetError();
        } else if (!loadArtwork(context, folder + "/", error)) {
            // `error` says which image
        } else if (reading.fault != ConfigFault::None) {
            error = describeConfigFault(reading, platform::configFileName);
        } else {
            context.config = reading.config;
            std::vector<std::string> leftOut;
            startCatalogue(context, scanWithSettings(inFolder(folder, context.config.romDirectory),
                                                     context.config, leftOut));
            context.state = SelectorState::Browse;  // straight to the list, as after the splash
            browsePass(context);
            if (!savePng(context.screen, pngPath.c_str())) error = "cannot write " + pngPath;
        }
    }
    SDL_Quit();
    return error;
}
