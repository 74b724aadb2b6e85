#include "failure.h"

#include <algorithm>

#include "platform.h"

namespace {

// Waits for a pad press, or the time a failure is shown. This wait sleeps:
// it is outside the main loop, and nothing else is going on.
void waitForPressOrTimeout(PadDevice& pad) {
    const Uint32 start = SDL_GetTicks();
    while (SDL_GetTicks() - start < platform::failureShownMilliseconds) {
        pollPadDevice(pad);
        bool pressed = false;
        for (SDL_Event event; SDL_PollEvent(&event);) pressed = pressed || event.type == SDL_JOYBUTTONDOWN;
        if (pressed) return;
        SDL_Delay(10);
    }
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, size_t width) {
    width = std::max<size_t>(width, 1);
    std::vector<std::string> lines;
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, std::min(end - at, width));
        at += word.size();
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void showFailure(Surface& font, PadDevice& pad, DisplaySetup& display, const std::string& line) noexcept {
    try {
        std::string problem;
        if (display.failed) return;
        if (!SDL_WasInit(SDL_INIT_VIDEO) && (!prepareDisplay(display, problem) || SDL_Init(SDL_INIT_VIDEO) != 0))
            return;
        SDL_Surface* screen = SDL_GetVideoSurface();
        if (!screen) screen = openScreen(display, problem);
        if (!screen) return;
        if (!font) {
            font = loadImage(platform::fontFile, problem);
            if (!font) return;
            setColourKey(font.get(), platform::fontKey);
        }
        SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
        std::vector<std::string> lines = wrapText(uppercase(line.c_str()), maxTextLength);
        lines.resize(std::min(lines.size(), static_cast<size_t>(platform::screenHeight / rowHeight)));
        const int top = (platform::screenHeight - rowHeight * static_cast<int>(lines.size())) / 2;
        for (size_t k = 0; k < lines.size(); ++k)
            drawText(font.get(), screen, 0, top + rowHeight * static_cast<int>(k), lines[k].c_str(), 1);
        SDL_Flip(screen);
        waitForPressOrTimeout(pad);
    } catch (...) {
        // Memory ran out: the line has been printed, and the menu comes next.
    }
}
