// selector.cfg: the file itself, the four values, and the two extensions.
#include <cstring>

#include "check.h"

namespace {

// The value without the spaces and carriage return that may surround it.
std::string trimmed(const std::string& value) {
    const size_t first = value.find_first_not_of(" \r");
    return first == std::string::npos ? "" : value.substr(first, value.find_last_not_of(" \r") - first + 1);
}

}  // namespace

std::string followsFromReturn(const std::string& value) {
    return !value.empty() && value.back() == '\r' ? "; this follows from the carriage return at its end: "
                                                    "save selector.cfg with Unix line ends first"
                                                  : "";
}

void checkSettingsFile(const ConfigReading& reading, std::vector<Finding>& findings) {
    const char* file = platform::configFileName;
    // The selector's own line says what happened but not why: say both.
    const std::string stops = say(": the selector stops at start-up with \"{}\"",
                                  {describeConfigFault(reading, platform::configFileName)});
    switch (reading.fault) {
    case ConfigFault::None: return;
    case ConfigFault::CannotOpen:
        findings.push_back({file, say("{}{}", {whyNotOpened(nullptr, reading.error), stops})});
        return;
    case ConfigFault::NotAFile:
        findings.push_back(
            {file, say("{}: the selector stops at start-up", {whyNotOpened(reading.kind, 0)})});
        return;
    case ConfigFault::ReadError:
        findings.push_back({file, say("cannot be read ({}){}", {std::strerror(reading.error), stops})});
        return;
    default:
        findings.push_back({lineOf(reading.line),
                            say("{} (the selector stops at start-up)", {configFaultReason(reading.fault)})});
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
                            say("the values of line(s) {} end in a carriage return: the file was saved with "
                                "Windows line ends; save it with Unix (LF) line ends",
                                {returnLines})});
    for (int line = 1; line <= configLines; ++line) {
        const std::string& value = *values[line - 1];
        const std::string text = value.substr(0, value.find_last_not_of('\r') + 1);
        if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
            findings.push_back({lineOf(line), say("value {} has spaces at an end, and spaces belong to the "
                                                  "value: remove them",
                                                  {quoted(value)})});
    }
}

void checkExtensions(const SelectorConfig& config, std::vector<Finding>& findings) {
    const std::string* extensions[] = {&config.romExtension1, &config.romExtension2};
    for (int i = 0; i < 2; ++i) {
        const std::string& extension = *extensions[i];
        const std::string where = lineOf(i + 2), named = say("extension {}", {quoted(extension)});
        const std::string bare = trimmed(extension);  // surrounding spaces have findings of their own
        if (bare.empty() || bare.front() != '.')
            findings.push_back({where, say("{} does not begin with \".\": write it with its dot, as in {}",
                                           {named, quoted("." + bare)})});
        if (extension.find('/') != std::string::npos)
            findings.push_back({where, say("{} contains \"/\": no file name can end in it", {named})});
        const size_t lastDot = bare.rfind('.');
        if (lastDot != std::string::npos && bare.find('.') != lastDot && bare.find('/') == std::string::npos)
            findings.push_back(
                {where, say("{} holds a second dot, and a name's extension is the text from its "
                            "last dot ({} in {}): no file can match it; write {}",
                            {named, quoted(bare.substr(lastDot)), quoted("game" + bare),
                             quoted(bare.substr(lastDot))})});
    }
    if (config.romExtension1 == config.romExtension2)
        findings.push_back({lineOf(3),
                            say("both extensions are {}: the second one can accept another kind of file",
                                {quoted(config.romExtension1)}),
                            false});
}
