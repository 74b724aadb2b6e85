// The handheld's display: SDL's framebuffer driver as the handheld needs
// it. The F100 and F200 need nothing but the framebuffer's name; the Wiz and
// the Caanoo need their display controller set up for SDL's 320x240 RGB565
// picture, whatever the system menu left, and the Caanoo's put back before
// the hand-off.
#pragma once

#include <SDL.h>

#include <string>

enum class DisplayModel { Other, Wiz, Caanoo };

// The Caanoo's screen-layer words that the set-up changes, as it found them.
struct LayerWords {
    Uint32 top = 0, size = 0, control = 0, pixelStride = 0, rowStride = 0, address = 0;
};

struct DisplaySetup {
    DisplayModel model = DisplayModel::Other;
    unsigned long framebuffer = 0;  // its physical address
    bool failed = false;            // a step failed: the display is not to be drawn on
    volatile Uint32* controller = nullptr;  // the Caanoo's register page, mapped
    LayerWords saved;
    bool changed = false;  // `saved` is to be put back

    DisplaySetup() = default;
    DisplaySetup(const DisplaySetup&) = delete;
    DisplaySetup& operator=(const DisplaySetup&) = delete;
    DisplaySetup(DisplaySetup&& other) noexcept;
    ~DisplaySetup();
};

// Before SDL starts its video: names the devfs framebuffer when only it
// exists, tells the model by the framebuffer's fixed settings, and turns the
// Wiz to landscape with its screen layer at the framebuffer. Returns false,
// with `problem` set to the line that says why, when a step fails.
bool prepareDisplay(DisplaySetup& display, std::string& problem);

// SDL_SetVideoMode at 320x240x16, then, on the Caanoo, the screen layer
// saved and set to that picture. Returns the screen, or null with `problem`
// set to the line that says why.
SDL_Surface* openScreen(DisplaySetup& display, std::string& problem);

// Puts back, committed, what openScreen changed; nothing to do elsewhere.
void restoreDisplay(DisplaySetup& display);
