// The report's text, safe for a terminal, and the exit status.
#include <algorithm>

#include "check.h"
#include "check_fat.h"
#include "draw.h"

namespace {

void appendHex(std::string& shown, unsigned char byte) {
    const char digits[] = "0123456789abcdef";
    shown += {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
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
    for (size_t i = 0; i < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            size_t length = 0;
            decodeUtf8(text, i, length);
            const bool c1 = length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f;
            if (length == 0 && byte <= 0x9f) {
                appendHex(shown, byte);  // a C1 control to a terminal that takes single bytes
            } else if (c1) {
                appendHex(shown, byte);
                appendHex(shown, static_cast<unsigned char>(text[i + 1]));
            } else {
                shown.append(text, i, std::max<size_t>(length, 1));
            }
            i += std::max<size_t>(length, 1);
            continue;
        }
        switch (byte) {
        case '\r': shown += "\\r"; break;
        case '\n': shown += "\\n"; break;
        case '\t': shown += "\\t"; break;
        case '\\': shown += "\\\\"; break;
        default:
            if (byte < 0x20 || byte == 0x7f)
                appendHex(shown, byte);
            else
                shown += static_cast<char>(byte);
        }
        ++i;
    }
    return shown;
}

std::string say(const std::string& text, std::initializer_list<std::string> values) {
    std::string said;
    size_t at = 0;
    for (const std::string& value : values) {
        const size_t place = text.find("{}", at);
        if (place == std::string::npos) break;
        said.append(text, at, place - at).append(value);
        at = place + 2;
    }
    return said.append(text, at, std::string::npos);
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
            continue;
        }
        ++errors;
        if (std::find(errorPlaces.begin(), errorPlaces.end(), where) == errorPlaces.end())
            errorPlaces.push_back(where);
    }
    std::string places;
    for (const std::string& place : errorPlaces) places += (places.empty() ? "" : ", ") + place;
    if (report.romCount > 0) {
        text += say("catalogue: {} entries would be listed; the first screen shows:\n",
                    {std::to_string(report.romCount)});
        for (const std::string& name : report.firstScreen) text += "    " + printable(name) + "\n";
        if (report.cutNames || report.blankedNames)
            text +=
                say("catalogue: {} name(s) longer than {} characters are cut, {} have characters the font "
                    "cannot draw (shown as spaces)\n",
                    {std::to_string(report.cutNames), std::to_string(maxTextLength),
                     std::to_string(report.blankedNames)});
    }
    const std::string counts = say(
        "{}, {} note(s)", {errors ? say("{} error(s) ({})", {std::to_string(errors), places}) : "no errors",
                           std::to_string(notes)});
    const std::string verdict =
        !report.starts         ? "the selector would not start"
        : !report.listChecked  ? "the ROM folder could not be checked from here"
        : report.romCount < 0  ? "the ROM folder cannot be read, the list would be empty"
        : report.romCount == 0 ? "the list would be empty"
                               : say("the selector would list {} entries", {std::to_string(report.romCount)});
    const std::string unjudged =
        report.starts && !report.programChecked ? "; the launch program could not be checked from here" : "";
    return say("{}selector-check: {}: {}; {}{}\n", {text, printable(folder), counts, verdict, unjudged});
}

int exitStatus(const CheckReport& report) {
    return std::any_of(report.findings.begin(), report.findings.end(),
                       [](const Finding& f) { return f.error; })
               ? 1
               : 0;
}
