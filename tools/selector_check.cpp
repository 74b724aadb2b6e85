// selector-check: tells why a selector folder would show nothing.
#include <cerrno>
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
    "selector would show. Prints one line a finding (notes say \"note:\")\n"
    "and a summary last that names where the errors are.\n"
    "\n"
    "  --screenshot FILE.png  also draw the first list screen to FILE.png\n"
    "  -h, --help             show this\n"
    "\n"
    "Exit status: 0 when the selector would start, list at least one entry\n"
    "and start the launch program with a correct path; 1 when it would not\n"
    "(any error); 2 for a usage error or when the report cannot be written.\n";

// Ends the run: a report that could not be written is a failure of its own.
int finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "selector-check: cannot write the report: %s\n", std::strerror(errno));
        return 2;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = ".", screenshot;
    bool folderGiven = false, screenshotGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return finish(0);
        }
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc && argv[i + 1][0] && !screenshotGiven) {
            screenshot = argv[++i];
            screenshotGiven = true;
        } else if (argv[i][0] && argv[i][0] != '-' && !folderGiven) {
            folder = argv[i];
            folderGiven = true;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    const CheckReport report = checkFolder(folder);
    std::fputs(formatReport(report, folder).c_str(), stdout);
    if (screenshotGiven) {
        const std::string error = renderFirstScreen(folder, screenshot);
        if (!error.empty()) {
            std::printf("selector-check: no screenshot: %s\n", printable(error).c_str());
            return finish(1);
        }
    }
    return finish(exitStatus(report));
}
