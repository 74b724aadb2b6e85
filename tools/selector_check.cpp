// selector-check: tells why a selector folder would show nothing.
#include <cstdio>
#include <cstring>
#include <string>

#include "check.h"

namespace {

const char* const usage =
    "usage: selector-check [FOLDER] [--screenshot FILE.png]\n"
    "\n"
    "Checks a selector folder (by default the current one) as the selector\n"
    "would see it when started there: selector.cfg, the ROM folder and the\n"
    "two extensions, the launch program, the four images, and the list the\n"
    "selector would show. Prints one line a finding and a summary last.\n"
    "\n"
    "  --screenshot FILE.png  also draw the first list screen to FILE.png\n"
    "\n"
    "Exit status: 0 when the selector would start and list at least one\n"
    "entry, 1 when it would show nothing or not start, 2 for a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    std::string folder = ".", screenshot;
    bool folderGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else if (argv[i][0] != '-' && !folderGiven) {
            folder = argv[i];
            folderGiven = true;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    const CheckReport report = checkFolder(folder);
    std::fputs(formatReport(report, folder).c_str(), stdout);
    if (!screenshot.empty()) {
        const std::string error = renderFirstScreen(folder, screenshot);
        if (!error.empty()) {
            std::printf("selector-check: no screenshot: %s\n", error.c_str());
            return 1;
        }
    }
    return exitStatus(report);
}
