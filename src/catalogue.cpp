#include "catalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "files.h"
#include "platform.h"

namespace {

// Reading one line of the settings file.
enum class LineRead { Line, TooLong, End };

// Reads the next line without its newline into `line`, at most `capacity`
// bytes of it. TooLong when the line holds more, End at the end of the file
// (or on a read error) before any byte.
LineRead readLine(FILE* file, char* line, size_t capacity, size_t& length) {
    length = 0;
    int c;
    // The file is this reader's alone: no lock a byte.
    while ((c = getc_unlocked(file)) != EOF && c != '\n') {
        if (length == capacity) return LineRead::TooLong;
        line[length++] = static_cast<char>(c);
    }
    return length > 0 || c == '\n' ? LineRead::Line : LineRead::End;
}

bool isBlank(const char* line, size_t length) {
    return std::all_of(line, line + length, [](char c) { return c == '\r'; });
}

ConfigReading faultAt(ConfigReading reading, ConfigFault fault, int line) {
    reading.fault = fault;
    reading.line = line;
    return reading;
}

}  // namespace

ConfigReading loadConfig(const char* path) {
    ConfigReading reading;
    const OpenedFile opened = openRegularFile(path);
    if (!opened.file) {
        reading.kind = opened.kind;
        reading.error = opened.error;
        return faultAt(std::move(reading), opened.kind ? ConfigFault::NotAFile : ConfigFault::CannotOpen, 0);
    }

    std::string* const slots[configLines] = {&reading.config.romDirectory, &reading.config.romExtension1,
                                             &reading.config.romExtension2, &reading.config.launchProgram};
    char line[maxConfigLineLength];
    size_t length = 0;
    int number = 0;
    for (LineRead read; (read = readLine(opened.file.get(), line, sizeof line, length)) != LineRead::End;) {
        ++number;
        if (read == LineRead::TooLong) return faultAt(std::move(reading), ConfigFault::LineTooLong, number);
        if (std::memchr(line, '\0', length)) return faultAt(std::move(reading), ConfigFault::NulByte, number);
        if (number > configLines) {
            if (isBlank(line, length)) continue;  // a blank line after the fourth is harmless
            return faultAt(std::move(reading), ConfigFault::TooManyLines, number);
        }
        const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
        if (!equals) return faultAt(std::move(reading), ConfigFault::MissingEquals, number);
        const char* value = equals + 1;
        const size_t valueLength = static_cast<size_t>(line + length - value);
        if (valueLength == 0) return faultAt(std::move(reading), ConfigFault::EmptyValue, number);
        slots[number - 1]->assign(value, valueLength);
    }
    if (std::ferror(opened.file.get())) {
        reading.error = errno;
        return faultAt(std::move(reading), ConfigFault::ReadError, number + 1);
    }
    if (number < configLines) return faultAt(std::move(reading), ConfigFault::TooFewLines, number + 1);
    return reading;
}

std::string configFaultReason(ConfigFault fault) {
    switch (fault) {
    case ConfigFault::None: return "fine";
    case ConfigFault::CannotOpen: return "cannot be opened";
    case ConfigFault::NotAFile: return "not a file";
    case ConfigFault::ReadError: return "cannot be read";
    case ConfigFault::NulByte: return "holds a NUL byte; the file is text, one key=value line each";
    case ConfigFault::MissingEquals: return "no \"=\"; every line reads key=value";
    case ConfigFault::EmptyValue: return "nothing after \"=\"; every line reads key=value";
    case ConfigFault::LineTooLong:
        return "longer than " + std::to_string(maxConfigLineLength) + " characters";
    case ConfigFault::TooFewLines:
        return "missing; the file holds four key=value lines: "
               "ROM folder, extension, extension, launch program";
    case ConfigFault::TooManyLines: return "one too many; the file holds exactly four key=value lines";
    }
    return "unreadable";
}

std::string describeConfigFault(const ConfigReading& reading, const char* path) {
    switch (reading.fault) {
    case ConfigFault::None: return std::string(path) + ": fine";
    case ConfigFault::CannotOpen: return std::string("Cannot open file ") + path;
    case ConfigFault::NotAFile: return notAFileMessage(path, reading.kind);
    case ConfigFault::ReadError:
        return std::string("Cannot read file ") + path + ": " + std::strerror(reading.error);
    default:
        return std::string(path) + " line " + std::to_string(reading.line) + ": " +
               configFaultReason(reading.fault);
    }
}

std::optional<SelectorConfig> readConfig(std::string& problem) {
    try {
        ConfigReading reading = loadConfig(platform::configFileName);
        if (reading.fault == ConfigFault::None) return std::move(reading.config);
        problem = describeConfigFault(reading, platform::configFileName);
    } catch (const std::bad_alloc&) {
        problem = "cannot alloc parameters ";  // the trailing space is the line's own: keep it
    }
    return std::nullopt;
}

std::optional<SelectorConfig> readConfig() {
    std::string problem;
    std::optional<SelectorConfig> config = readConfig(problem);
    if (!config) std::printf("%s\n", problem.c_str());
    return config;
}

std::string extensionOf(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot ? dot : "";
}

bool isRomName(const char* name, const SelectorConfig& config) {
    const std::string extension = extensionOf(name);
    return !extension.empty() && (extension == config.romExtension1 || extension == config.romExtension2);
}

int isRom(const struct dirent* entry) noexcept {
    try {
        // The settings are read again for every entry, on purpose: the
        // selector has always filtered so, and users' cards rely on it.
        const std::optional<SelectorConfig> config = readConfig();
        return config && isRomName(entry->d_name, *config) ? 1 : 0;
    } catch (...) {
        return 0;  // an exception must not unwind through scandir
    }
}

RomList::RomList(RomList&& other) noexcept
    : entries(std::exchange(other.entries, nullptr)), romCount(std::exchange(other.romCount, 0)) {}

RomList& RomList::operator=(RomList&& other) noexcept {
    std::swap(entries, other.entries);
    std::swap(romCount, other.romCount);
    return *this;
}

RomList::~RomList() {
    for (int i = 0; i < romCount; ++i) std::free(entries[i]);
    std::free(entries);
}

RomList scanRoms(const std::string& romDirectory) {
    RomList list;
    list.romCount = scandir(romDirectory.c_str(), &list.entries, isRom, alphasort);
    if (list.romCount < 0) {
        list.entries = nullptr;
        list.romCount = -1;
    }
    return list;
}
