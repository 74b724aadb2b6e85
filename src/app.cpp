#include "app.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "failure.h"
#include "platform.h"

bool loadArtwork(SelectorContext& context, const std::string& folder, std::string& problem) {
    const struct {
        Surface SelectorContext::*image;
        const char* file;
        const platform::Rgb* key;
    } artwork[] = {
        {&SelectorContext::background, platform::backgroundFile, nullptr},
        {&SelectorContext::font, platform::fontFile, &platform::fontKey},
        {&SelectorContext::arrow, platform::arrowFile, &platform::arrowKey},
        {&SelectorContext::splash, platform::splashFile, nullptr},
    };
    for (const auto& item : artwork) {
        Surface& image = context.*item.image;
        image = loadImage((folder + item.file).c_str(), problem);
        if (!image) return false;
        if (item.key) setColourKey(image.get(), *item.key);
    }
    return true;
}

bool startSelector(SelectorContext& context, std::string& problem) {
    if constexpr (platform::handheldBuild) {
        setenv(platform::noMouseVariable, "1", 0);
        if (!prepareDisplay(context.display, problem)) return false;
    }
    SDL_Init(platform::sdlSubsystems);  // not checked: a failed start shows as the video line below
    // SDL turns these into quit requests, which the selector does not take
    // from the pad: give them back their ordinary action so it can be stopped.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    SDL_ShowCursor(0);
    if constexpr (platform::opensPadJoystick)
        SDL_JoystickOpen(platform::padJoystick);
    else
        context.pad = openPad();
    context.screen = openScreen(context.display, problem);
    if (!context.screen) return false;
    if constexpr (platform::desktopPreview) {
        SDL_WM_SetCaption(platform::previewTitle, platform::previewTitle);
        std::fprintf(stderr, "%s\n", platform::previewKeys);
    }
    if (!loadArtwork(context, "", problem)) return false;

    std::optional<SelectorConfig> config = readConfig(problem);
    if (!config) return false;
    context.config = std::move(*config);
    return true;
}

void handleAction(SelectorContext& context, PadAction action) {
    switch (action) {
    case PadAction::Up:
    case PadAction::Down: {
        const BrowseView moved = moveCursor(context.view, action);
        const bool scrolled = moved.windowFirst != context.view.windowFirst;
        context.view = moved;
        if (scrolled) refillNames(context.names, context.romList, context.view);
        break;
    }
    case PadAction::Launch:
        if (context.view.visibleRows <= 0) break;  // nothing to launch
        context.romPath = context.config.romDirectory + context.names[context.view.cursorRow];
        context.state = SelectorState::Launch;
        context.launchChosen = true;
        break;
    case PadAction::Quit:
        context.state = SelectorState::Quit;
        context.launchChosen = false;
        break;
    case PadAction::None: break;
    }
}

void startCatalogue(SelectorContext& context, RomList list) {
    context.romList = std::move(list);
    context.view = startBrowse(context.romList.romCount);
    refillNames(context.names, context.romList, context.view);
    context.refreshPending = false;
}

void browsePass(SelectorContext& context) {
    if (context.refreshPending) startCatalogue(context, scanRoms(context.config.romDirectory));
    drawImage(context.screen, context.background.get(), 0, 0);
    drawRomNames(context.screen, context.font.get(), context.names, context.view.visibleRows);
    drawImage(context.screen, context.arrow.get(), arrowX, static_cast<Sint16>(arrowY(context.view)));
    SDL_Flip(context.screen);

    if constexpr (platform::handheldBuild) pollPadDevice(context.pad);
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleAction(context, actionForEvent(event));
}

void runMainLoop(SelectorContext& context) {
    // The loop never sleeps, and the splash lasts a count of passes, not a
    // time: the selector has always kept the core busy so.
    for (;; ++context.loopCount) {
        if (context.state == SelectorState::Splash) {
            if (context.refreshPending) {
                drawImage(context.screen, context.splash.get(), 0, 0);
                SDL_Flip(context.screen);
            }
            if (context.loopCount == platform::splashPasses) {
                context.loopCount = 1;
                context.refreshPending = true;
                context.state = SelectorState::Browse;
            } else {
                context.refreshPending = false;
            }
        }
        if (context.state == SelectorState::Browse) browsePass(context);
        if (context.state == SelectorState::Launch || context.state == SelectorState::Quit) return;
    }
}

std::string startMenu() {
    // When the menu cannot start, the working folder comes back: the line is
    // then shown with the font of the selector's folder.
    const int selectorFolder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    [[maybe_unused]] const int moved = chdir(platform::menuDirectory);
    execl(platform::menuProgram, platform::menuProgram, static_cast<char*>(nullptr));
    const int error = errno;
    if (selectorFolder >= 0) {
        [[maybe_unused]] const int back = fchdir(selectorFolder);
        close(selectorFolder);
    }
    return std::string("Cannot start ") + platform::menuProgram + ": " + std::strerror(error);
}

std::string handOff(SelectorContext& context) {
    context.romList = RomList();
    context.background.reset();
    context.font.reset();
    context.arrow.reset();
    context.splash.reset();
    SDL_Quit();
    restoreDisplay(context.display);
    std::fflush(stdout);  // messages printed so far must not die with the process image

    if (!context.launchChosen) return startMenu();
    const char* program = context.config.launchProgram.c_str();
    execl(program, program, context.romPath.c_str(), static_cast<char*>(nullptr));
    return std::string("Cannot start ") + program + ": " + std::strerror(errno);
}

namespace {

// Runs the selector to its hand-off. Returns only when it cannot go on,
// with the line that says why.
std::string runUntilFailure(SelectorContext& context) {
    try {
        std::string problem;
        if (!startSelector(context, problem)) return problem;
        runMainLoop(context);
        return handOff(context);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

}  // namespace

int runSelector() {
    SelectorContext context;
    const std::string failure = runUntilFailure(context);
    std::printf("%s\n", failure.c_str());
    // A handheld has no other way out: show why, then go to the menu.
    if constexpr (platform::handheldBuild) showFailure(context.font, context.pad, context.display, failure);
    SDL_Quit();
    restoreDisplay(context.display);
    if constexpr (platform::handheldBuild) {
        std::fflush(stdout);
        std::printf("%s\n", startMenu().c_str());
    }
    return 1;
}
