// Draws the selector's list screen for a selector folder, headless, and saves
// it as a PNG: the picture in the README comes from here.
//
//   screenshot FOLDER OUTPUT.png [PRESSES]
//
// PRESSES is a string of u and d: Up and Down presses made before the picture.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app.h"
#include "png.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: screenshot FOLDER OUTPUT.png [PRESSES]\n");
        return 2;
    }
    char workingFolder[PATH_MAX];
    if (!realpath(".", workingFolder)) return 1;
    const std::string outputPath = argv[2][0] == '/' ? argv[2] : std::string(workingFolder) + "/" + argv[2];
    if (chdir(argv[1]) != 0) {
        std::fprintf(stderr, "screenshot: cannot enter %s\n", argv[1]);
        return 1;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::optional<SelectorContext> context = startSelector();
    if (!context) return 1;
    context->state = SelectorState::Browse;  // no splash: straight to the list
    browsePass(*context);
    for (const char* press = argc == 4 ? argv[3] : ""; *press; ++press) {
        handleAction(*context, *press == 'u' ? PadAction::Up : PadAction::Down);
        browsePass(*context);
    }
    const bool saved = savePng(context->screen, outputPath.c_str());
    context.reset();
    SDL_Quit();
    if (!saved) std::fprintf(stderr, "screenshot: cannot write %s\n", outputPath.c_str());
    return saved ? 0 : 1;
}
