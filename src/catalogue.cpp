#include "catalogue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool isBlank(const char* line) { return line[std::strspn(line, "\r\n")] == '\0'; }

ConfigReading faultAt(ConfigReading reading, ConfigFault fault, int line) {
    reading.fault = fault;
    reading.line = line;
    return reading;
}

}  // namespace

ConfigReading loadConfig(const char* path) {
    ConfigReading reading;
    File file(std::fopen(path, "r"));
    if (!file) return faultAt(std::move(reading), ConfigFault::CannotOpen, 0);

    std::string* const slots[configLines] = {&reading.config.romDirectory, &reading.config.romExtension1,
                                             &reading.config.romExtension2, &reading.config.launchProgram};
    char line[maxConfigLineLength + 2];  // the characters, a newline, a NUL
    int number = 0;
    while (std::fgets(line, sizeof line, file.get())) {
        ++number;
        const size_t length = std::strlen(line);
        if (length == sizeof line - 1 && line[length - 1] != '\n')
            return faultAt(std::move(reading), ConfigFault::LineTooLong, number);
        if (number > configLines) {
            if (isBlank(line)) continue;  // a blank line after the fourth is harmless
            return faultAt(std::move(reading), ConfigFault::TooManyLines, number);
        }
        const char* equals = std::strchr(line, '=');
        if (!equals) return faultAt(std::move(reading), ConfigFault::MissingEquals, number);
        const char* value = equals + 1;
        const size_t valueLength = std::strcspn(value, "\n");
        if (valueLength == 0) return faultAt(std::move(reading), ConfigFault::EmptyValue, number);
        slots[number - 1]->assign(value, valueLength);
    }
    if (number < configLines) return faultAt(std::move(reading), ConfigFault::TooFewLines, number + 1);
    return reading;
}

std::string configFaultReason(ConfigFault fault) {
    switch (fault) {
    case ConfigFault::None: return "fine";
    case ConfigFault::CannotOpen: return "cannot be opened";
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
    default:
        return std::string(path) + " line " + std::to_string(reading.line) + ": " +
               configFaultReason(reading.fault);
    }
}

std::optional<SelectorConfig> readConfig() {
    try {
        ConfigReading reading = loadConfig(platform::configFileName);
        if (reading.fault == ConfigFault::None) return std::move(reading.config);
        std::printf("%s\n", describeConfigFault(reading, platform::configFileName).c_str());
    } catch (const std::bad_alloc&) {
        std::puts("cannot alloc parameters ");
    }
    return std::nullopt;
}

std::string extensionOf(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot ? dot : "";
}

bool isRomName(const char* name, const SelectorConfig& config) {
    const std::string extension = extensionOf(name);
    return !extension.empty() && (extension == config.romExtension1 || extension == config.romExtension2);
}

int isRom(const struct dirent* entry) {
    const std::optional<SelectorConfig> config = readConfig();
    return config && isRomName(entry->d_name, *config) ? 1 : 0;
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
