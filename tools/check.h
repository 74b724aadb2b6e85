// selector-check: finds why a selector folder would show nothing, or the
// wrong thing, without running the selector and without entering the folder.
#pragma once

#include <string>
#include <vector>

// One problem, or a fact worth knowing, about one file of the folder.
struct Finding {
    std::string where;  // "selector.cfg line 2", "font.png", ...
    std::string what;   // what is wrong and what to do about it
    bool error = true;  // false for a note, which does not change the verdict
};

struct CheckReport {
    std::vector<Finding> findings;
    bool starts = false;                   // the settings and all four images load
    int romCount = -1;                     // entries the selector would list; -1 when it cannot scan
    std::vector<std::string> firstScreen;  // the first ten names as the screen shows them
    int cutNames = 0;                      // listed names longer than a line
    int blankedNames = 0;                  // listed names with characters the font cannot draw
};

// Checks the selector folder `folder` as the selector would see it when
// started there. Uses the selector's own loaders and font table; reads the
// folder through paths under it and never changes the working folder.
CheckReport checkFolder(const std::string& folder);

// A listed name as the screen shows it: in capitals, cut at 34 characters,
// with a space for every character the font cannot draw.
std::string shownName(const char* name);

// `text` safe for a terminal: control bytes written as \r, \n, \t, \e or \xHH.
std::string printable(const std::string& text);

// The report as text: one line a finding, the first screen, a summary last
// that counts the errors (naming where they are) and the notes.
std::string formatReport(const CheckReport& report, const std::string& folder);

// 0 when the selector would start, list at least one entry and start the
// launch program with a correct path (no error among the findings), else 1.
int exitStatus(const CheckReport& report);

// Draws the first list screen of the selector started in `folder` (arrow on
// row 0) with the selector's own code, and saves it as a PNG at `pngPath`.
// Returns an empty string, or what went wrong.
std::string renderFirstScreen(const std::string& folder, const std::string& pngPath);
