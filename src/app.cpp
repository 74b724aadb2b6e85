#include "app.h"

#include <fcntl.h>
#include <unistd.h>

#include <SDL_image.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "failure.h"
#include "files.h"
#include "platform.h"

PadAction actionForButton(int button) {
    switch (button) {
    case platform::buttonUp: return PadAction::Up;
    case platform::buttonDown: return PadAction::Down;
    case platform::buttonA: return PadAction::Launch;
    case platform::buttonSelect: return PadAction::Quit;
    default: return PadAction::None;
    }
}

PadAction actionForKey(SDLKey key) {
    switch (key) {
    case SDLK_UP: return PadAction::Up;
    case SDLK_DOWN: return PadAction::Down;
    case SDLK_RETURN: return PadAction::Launch;
    case SDLK_ESCAPE: return PadAction::Quit;
    default: return PadAction::None;
    }
}

PadAction actionForEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_JOYBUTTONDOWN: return actionForButton(event.jbutton.button);
    case SDL_KEYDOWN: return platform::desktopPreview ? actionForKey(event.key.keysym.sym) : PadAction::None;
    case SDL_QUIT: return platform::desktopPreview ? PadAction::Quit : PadAction::None;
    default: return PadAction::None;
    }
}

BrowseView startBrowse(int romCount) {
    BrowseView view;
    view.romCount = romCount;
    if (romCount < windowRows) view.windowEnd = romCount;
    view.visibleRows = view.windowEnd;
    return view;
}

BrowseView moveCursor(BrowseView view, PadAction action) {
    if (action == PadAction::Up) {
        if (view.cursorRow > 0) {
            --view.cursorRow;
        } else if (view.windowFirst > 0) {
            --view.windowFirst;
            --view.windowEnd;
        }
    } else if (action == PadAction::Down) {
        if (view.cursorRow < view.visibleRows - 1) {
            ++view.cursorRow;
        } else if (view.windowEnd < view.romCount) {
            ++view.windowFirst;
            ++view.windowEnd;
        }
    }
    return view;
}

int arrowY(const BrowseView& view) { return firstArrowY + rowHeight * view.cursorRow; }

void refillNames(NameWindow& names, const RomList& list, const BrowseView& view) {
    for (int k = 0; k < windowRows && view.windowFirst + k < view.windowEnd; ++k)
        names[k] = list.name(view.windowFirst + k);
}

Surface loadImage(const char* file, std::string& problem) {
    OpenedFile opened = openRegularFile(file);
    if (opened.kind) {
        problem = notAFileMessage(file, opened.kind);
        return nullptr;
    }
    Surface image;
    if (!opened.file) {
        image.reset(IMG_Load(file));  // cannot be opened: SDL's loader says why
    } else if (SDL_RWops* source = SDL_RWFromFP(opened.file.get(), SDL_TRUE)) {
        opened.file.release();  // closed with the source
        image.reset(IMG_Load_RW(source, 1));
    }
    if (!image) problem = std::string("IMG_Load failed: ") + SDL_GetError();
    return image;
}

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
    if constexpr (platform::handheldBuild) setenv(platform::noMouseVariable, "1", 0);
    SDL_Init(platform::sdlSubsystems);
    // SDL turns these into quit requests, which the selector does not take
    // from the pad: give them back their ordinary action so it can be stopped.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    SDL_ShowCursor(0);
    if constexpr (platform::opensPadJoystick)
        SDL_JoystickOpen(platform::padJoystick);
    else
        context.pad = openPad();
    context.screen = SDL_SetVideoMode(platform::screenWidth, platform::screenHeight, platform::screenDepth,
                                      platform::screenFlags);
    if (!context.screen) {
        problem = std::string("SDL_SetVideoMode failed: ") + SDL_GetError();
        return false;
    }
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
    if constexpr (platform::handheldBuild) {
        // A handheld has no other way out: show why, then go to the menu.
        showFailure(context, failure);
        SDL_Quit();
        std::fflush(stdout);
        std::printf("%s\n", startMenu().c_str());
    }
    SDL_Quit();
    return 1;
}
