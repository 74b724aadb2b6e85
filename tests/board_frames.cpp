// The frames the program's own drawing makes, to compare the board's with (board.h).
#include "app.h"
#include "board.h"

namespace {

// The screen's pixels as the framebuffer holds them: RGB565, rows of 640 bytes.
std::string pixelsOf(SDL_Surface* screen) {
    std::string pixels;
    SDL_LockSurface(screen);
    for (int y = 0; y < screen->h; ++y)
        pixels.append(static_cast<const char*>(screen->pixels) + y * screen->pitch, screen->w * 2);
    SDL_UnlockSurface(screen);
    return pixels;
}

}  // namespace

Frames expectedFrames(const std::string& card, const std::vector<std::string>& roms) {
    TempFolder romFolder;
    for (const std::string& name : roms) writeFile(romFolder / name, "");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_VIDEO);
    Frames frames;
    {
        SelectorContext context;
        context.screen = SDL_SetVideoMode(320, 240, 16, 0);
        std::string problem;
        if (context.screen && loadArtwork(context, card + "/", problem)) {
            drawImage(context.screen, context.splash.get(), 0, 0);
            frames.splash = pixelsOf(context.screen);
            InFolder inCard(card);  // where the scan's filter reads the settings
            context.config = readConfig().value_or(SelectorConfig{});
            startCatalogue(context, scanRoms(romFolder.path + "/"));
            context.state = SelectorState::Browse;
            browsePass(context);
            frames.list = pixelsOf(context.screen);
            handleAction(context, PadAction::Down);
            browsePass(context);
            frames.down = pixelsOf(context.screen);
        }
    }
    SDL_Quit();
    return frames;
}

int differingPixels(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.size() != 320u * 240 * 2) return 320 * 240;
    int differing = 0;
    for (size_t at = 0; at < a.size(); at += 2) differing += a.compare(at, 2, b, at, 2) != 0;
    return differing;
}
