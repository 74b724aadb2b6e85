// Configuration and catalogue: the four settings of "selector.cfg" and the
// filtered, sorted list of ROM files in the configured folder.
#pragma once

#include <dirent.h>

#include <optional>
#include <string>

// The four settings, by line position; the keys before "=" are never read.
struct SelectorConfig {
    std::string romDirectory;   // folder to list, with its trailing "/"
    std::string romExtension1;  // accepted extension, with its dot
    std::string romExtension2;
    std::string launchProgram;  // started with the chosen ROM's path
};

// Why a configuration file could not be used.
enum class ConfigFault {
    None,
    CannotOpen,
    NotAFile,       // a directory, FIFO or device in the file's place
    ReadError,      // the system could not read it
    NulByte,        // a line holding a NUL byte
    MissingEquals,  // a line without "=", an empty one too
    EmptyValue,     // nothing after "="
    LineTooLong,    // more than maxConfigLineLength characters
    TooFewLines,
    TooManyLines,
};

constexpr int configLines = 4;
constexpr int maxConfigLineLength = 254;  // bytes before the newline

// What one read of a configuration file found: the settings, or the first
// fault and the line (from 1) it stands on.
struct ConfigReading {
    SelectorConfig config;
    ConfigFault fault = ConfigFault::None;
    int line = 0;
    const char* kind = nullptr;  // NotAFile: what is there instead
    int error = 0;               // CannotOpen, ReadError: the system's errno
};

// Reads the file at `path`. Never prints, never waits on a special file,
// never reads or writes outside its buffers; a fault leaves `config` partly
// filled. Throws std::bad_alloc when memory runs out.
ConfigReading loadConfig(const char* path);

// What is wrong with a line that has `fault`, without the file and line.
std::string configFaultReason(ConfigFault fault);

// The one line (without newline) that tells a user what is wrong with the
// file at `path`: "Cannot open file PATH" when it could not be opened,
// "PATH is a directory, not a file", "Cannot read file PATH: REASON", or
// "PATH line N: REASON".
std::string describeConfigFault(const ConfigReading& reading, const char* path);

// Reads "selector.cfg" from the working directory. Returns the settings, or
// nothing with `problem` set to the fault's line ("cannot alloc parameters "
// when memory runs out).
std::optional<SelectorConfig> readConfig(std::string& problem);

// The same, printing the fault's line on standard output.
std::optional<SelectorConfig> readConfig();

// The text from the last "." of `name` to its end; empty when there is no ".".
// Throws std::bad_alloc when memory runs out.
std::string extensionOf(const char* name);

// True when `name`'s extension equals one of the configured ones, byte for byte.
bool isRomName(const char* name, const SelectorConfig& config);

// The scan filter: reads "selector.cfg" afresh and returns 1 to accept the
// entry by its name, 0 to reject it (also when the settings cannot be read
// or memory runs out: nothing may be thrown through scandir).
int isRom(const struct dirent* entry) noexcept;

// The accepted entries of the ROM folder in byte order of their names, as
// scandir made them; released with the list.
struct RomList {
    struct dirent** entries = nullptr;
    int romCount = 0;  // -1 when the folder cannot be read

    RomList() = default;
    RomList(const RomList&) = delete;
    RomList& operator=(const RomList&) = delete;
    RomList(RomList&& other) noexcept;
    RomList& operator=(RomList&& other) noexcept;
    ~RomList();

    const char* name(int index) const { return entries[index]->d_name; }
};

// Lists `romDirectory` through isRom, sorted by alphasort. Returns a list with
// romCount -1 and no entries when the folder cannot be read. Prints nothing
// but what isRom prints when "selector.cfg" cannot be read.
RomList scanRoms(const std::string& romDirectory);
