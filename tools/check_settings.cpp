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
    const std::string stops = ": the selector stops at start-up with \"" +
                              describeConfigFault(reading, platform::configFileName) + "\"";
    switch (reading.fault) {
    case ConfigFault::None: return;
    case ConfigFault::CannotOpen:
        findings.push_back({file, whyNotOpened(nullptr, reading.error) + stops});
        return;
    case ConfigFault::NotAFile:
        findings.push_back({file, whyNotOpened(reading.kind, 0) + ": the selector stops at start-up"});
        return;
    case ConfigFault::ReadError:
        findings.push_back(
            {file, std::string("cannot be read (") + std::strerror(reading.error) + ")" + stops});
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

void checkExtensions(const SelectorConfig& config, std::vector<Finding>& findings) {
    const std::string* extensions[] = {&config.romExtension1, &config.romExtension2};
    for (int i = 0; i < 2; ++i) {
        const std::string& extension = *extensions[i];
        const std::string where = lineOf(i + 2), named = "extension " + quoted(extension);
        const std::string bare = trimmed(extension);  // surrounding spaces have findings of their own
        if (bare.empty() || bare.front() != '.')
            findings.push_back({where, named + " does not begin with \".\": write it with its dot, as in " +
                                           quoted("." + bare)});
        if (extension.find('/') != std::string::npos)
            findings.push_back({where, named + " contains \"/\": no file name can end in it"});
        const size_t lastDot = bare.rfind('.');
        if (lastDot != std::string::npos && bare.find('.') != lastDot && bare.find('/') == std::string::npos)
            findings.push_back({where, named +
                                           " holds a second dot, and a name's extension is the text from its "
                                           "last dot (" +
                                           quoted(bare.substr(lastDot)) + " in " + quoted("game" + bare) +
                                           "): no file can match it; write " + quoted(bare.substr(lastDot))});
    }
    if (config.romExtension1 == config.romExtension2)
        findings.push_back({lineOf(3),
                            "both extensions are " + quoted(config.romExtension1) +
                                ": the second one can accept another kind of file",
                            false});
}
