// selector-check: tells why a selector folder would show nothing, or fail, on the handheld.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "check.h"
#include "check_fat.h"

namespace {

const char* const usage =
    "usage: selector-check [FOLDER] [--card MOUNT] [--screenshot FILE.png]\n"
    "       selector-check --version\n"
    "\n"
    "Checks a selector folder (by default the current one) as the selector\n"
    "would see it when started there on the handheld: selector.cfg, the ROM\n"
    "folder and the two extensions, the launch program, the four images (as\n"
    "the handheld's SDL_image, which reads PNG only, loads them), and the\n"
    "list the selector would show. Prints one line a finding (notes say\n"
    "\"note:\") and a summary last that names where the errors are. It never\n"
    "runs the launch program. It also reads the menu's INI file beside the\n"
    "folder (game/selector.ini for game/selector/).\n"
    "\n"
    "On a FAT card it judges names as the handheld's kernel gives them: an\n"
    "8.3-only name in small letters (SMB.NES is smb.nes there), long names in\n"
    "ISO 8859-1 with \"?\" for what it lacks; selector.cfg's bytes as ISO 8859-1;\n"
    "every file of the card as executable. A FOLDER on a FAT mount is checked\n"
    "as with --card on that mount.\n"
    "\n"
    "  --card MOUNT           the handheld's SD card is mounted at MOUNT on this\n"
    "                         PC: paths under /mnt/sd/ in the settings are looked\n"
    "                         up under MOUNT; other absolute paths are on the\n"
    "                         handheld's own system and get a note\n"
    "  --screenshot FILE.png  also draw the first list screen to FILE.png\n"
    "  --version              print the version\n"
    "  -h, --help             show this\n"
    "\n"
    "Exit status: 0 when no error was found: the selector would start, list at\n"
    "least one entry and start the launch program with a correct path; 1 when\n"
    "it would not (any error); 2 for a usage error, or when the report or the\n"
    "screenshot cannot be written.\n";

// Ends the run: a report that could not be written is a failure of its own.
int finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "selector-check: cannot write the report: %s\n", std::strerror(errno));
        return 2;
    }
    return status;
}

bool is(const char* argument, const char* option) { return std::strcmp(argument, option) == 0; }

}  // namespace

int main(int argc, char** argv) {
    CheckPlace place{".", ""};
    std::string screenshot;
    bool folderGiven = false, screenshotGiven = false, cardGiven = false;
    for (int i = 1; i < argc; ++i) {
        const bool valueFollows = i + 1 < argc && argv[i + 1][0];
        if (is(argv[i], "--help") || is(argv[i], "-h")) {
            std::fputs(usage, stdout);
            return finish(0);
        }
        if (is(argv[i], "--version")) {
            std::puts("selector-check " SELECTOR_VERSION);
            return finish(0);
        }
        if (is(argv[i], "--screenshot") && valueFollows && !screenshotGiven) {
            screenshot = argv[++i];
            screenshotGiven = true;
        } else if (is(argv[i], "--card") && valueFollows && !cardGiven) {
            place.card = argv[++i];
            cardGiven = true;
        } else if (argv[i][0] && argv[i][0] != '-' && !folderGiven) {
            place.folder = argv[i];
            folderGiven = true;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    struct stat info;
    const bool cardFound = cardGiven && stat(place.card.c_str(), &info) == 0;
    if (cardGiven && (!cardFound || !S_ISDIR(info.st_mode))) {
        const std::string why = cardFound ? "is not a folder" : whyNot(errno);
        std::fprintf(stderr, "selector-check: --card %s: %s: give the folder where the card is mounted\n",
                     printable(place.card).c_str(), why.c_str());
        return 2;
    }
    while (place.card.size() > 1 && place.card.back() == '/') place.card.pop_back();
    const CheckReport report = checkFolder(place);
    std::fputs(formatReport(report, place.folder).c_str(), stdout);
    if (screenshotGiven) {
        const Screenshot shot = renderFirstScreen(findCard(place), screenshot);
        if (shot.unwritable) {
            std::fflush(stdout);
            std::fprintf(stderr, "selector-check: no screenshot: %s\n", printable(shot.problem).c_str());
            return 2;
        }
        if (!shot.problem.empty()) {
            std::printf("selector-check: no screenshot: %s\n", printable(shot.problem).c_str());
            return finish(1);
        }
    }
    return finish(exitStatus(report));
}
