#include "display.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform.h"

namespace {

namespace pollux = platform::pollux;
constexpr size_t controllerPageSize = 4096;

std::string reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

const char* nameOf(DisplayModel model) { return model == DisplayModel::Wiz ? "Wiz" : "Caanoo"; }

// The framebuffer SDL will open.
const char* framebufferPath() {
    if (const char* named = std::getenv(platform::framebufferVariable)) return named;
    return platform::framebufferDevice;
}

// The model a framebuffer's fixed settings tell: the Pollux's driver name and
// where each model's memory lies.
DisplayModel modelOf(const fb_fix_screeninfo& fix) {
    if (std::strncmp(fix.id, pollux::framebufferId, sizeof fix.id) != 0) return DisplayModel::Other;
    if (fix.smem_start == pollux::wizFramebuffer) return DisplayModel::Wiz;
    if (fix.smem_start == pollux::caanooFramebuffer) return DisplayModel::Caanoo;
    return DisplayModel::Other;
}

// The Wiz in landscape, the screen layer on the whole framebuffer: the
// landscape command leaves the layer's address where the last program put it.
bool turnWizLandscape(int framebuffer, std::string& problem) {
    const Uint32 landscape[2] = {pollux::lcdLandscape, 0};
    // layer, address (the framebuffer's, whatever is given), left, top, right,
    // bottom, pixel and row strides (taken from the width), 3D, background, controller
    const Uint32 layer[11] = {1, 0, 0, 0, platform::screenWidth, platform::screenHeight, 0, 0, 0, 0,
                              pollux::primaryController};
    if (ioctl(framebuffer, pollux::lcdChangeControl, landscape) < 0) {
        problem = reason("FBIO_LCD_CHANGE_CONTROL");
        return false;
    }
    if (ioctl(framebuffer, pollux::rgbControl, layer) < 0) {
        problem = reason("FBIO_RGB_CONTROL");
        return false;
    }
    return true;
}

Uint32 word(volatile Uint32* page, unsigned offset) { return page[offset / 4]; }
void setWord(volatile Uint32* page, unsigned offset, Uint32 value) { page[offset / 4] = value; }

// The Caanoo's screen layer as the framebuffer now is: RGB565, 2 bytes a
// pixel, 640 bytes a row, at the framebuffer's start, on a 320x240 screen.
// The controller's register page, mapped once.
volatile Uint32* controllerOf(DisplaySetup& display, std::string& problem) {
    if (display.controller) return display.controller;
    const int memory = open(pollux::memoryDevice, O_RDWR | O_SYNC | O_CLOEXEC);
    void* mapped = memory < 0 ? MAP_FAILED
                              : mmap(nullptr, controllerPageSize, PROT_READ | PROT_WRITE, MAP_SHARED, memory,
                                     static_cast<off_t>(pollux::controllerPage));
    if (mapped == MAP_FAILED) problem = reason(pollux::memoryDevice);
    if (memory >= 0) close(memory);
    if (mapped != MAP_FAILED) display.controller = static_cast<volatile Uint32*>(mapped);
    return display.controller;
}

bool setCaanooLayer(DisplaySetup& display, std::string& problem) {
    volatile Uint32* page = controllerOf(display, problem);
    if (!page) return false;
    LayerWords& saved = display.saved;
    saved = {word(page, pollux::topControl),   word(page, pollux::screenSize),
             word(page, pollux::layerControl), word(page, pollux::layerPixelStride),
             word(page, pollux::layerRowStride), word(page, pollux::layerAddress)};
    display.changed = true;
    setWord(page, pollux::layerPixelStride, 2);
    setWord(page, pollux::layerRowStride, platform::screenWidth * 2);
    setWord(page, pollux::layerAddress, static_cast<Uint32>(display.framebuffer));
    // The layer's own settings (lock size, power) are kept; the dirty bit commits the rest.
    setWord(page, pollux::layerControl,
            pollux::formatRgb565 << 16 | (saved.control & 0xFFFF & ~pollux::layerDirty) | pollux::layerOn |
                pollux::layerDirty);
    if (saved.size != pollux::landscapeSize) {
        setWord(page, pollux::screenSize, pollux::landscapeSize);
        setWord(page, pollux::topControl, saved.top | pollux::topDirty);
    }
    return true;
}

}  // namespace

DisplaySetup::DisplaySetup(DisplaySetup&& other) noexcept
    : model(other.model),
      framebuffer(other.framebuffer),
      failed(other.failed),
      controller(std::exchange(other.controller, nullptr)),
      saved(other.saved),
      changed(std::exchange(other.changed, false)) {}

DisplaySetup::~DisplaySetup() {
    if (controller) munmap(const_cast<Uint32*>(controller), controllerPageSize);
}

bool prepareDisplay(DisplaySetup& display, std::string& problem) {
    if (!std::getenv(platform::framebufferVariable) && access(platform::framebufferDevice, F_OK) != 0 &&
        access(platform::devfsFramebufferDevice, F_OK) == 0)
        setenv(platform::framebufferVariable, platform::devfsFramebufferDevice, 1);
    // A framebuffer that cannot be opened or asked is SDL's to report.
    const int framebuffer = open(framebufferPath(), O_RDWR | O_CLOEXEC);
    if (framebuffer < 0) return true;
    fb_fix_screeninfo fix = {};
    if (platform::setsUpDisplay && ioctl(framebuffer, FBIOGET_FSCREENINFO, &fix) == 0) {
        display.model = modelOf(fix);
        display.framebuffer = fix.smem_start;
    }
    bool ready = true;
    if (display.model == DisplayModel::Wiz) ready = turnWizLandscape(framebuffer, problem);
    close(framebuffer);
    if (!ready) {
        display.failed = true;
        problem = std::string("Cannot set up the Wiz's display: ") + problem;
    }
    return ready;
}

SDL_Surface* openScreen(DisplaySetup& display, std::string& problem) {
    if (display.failed) return nullptr;
    SDL_Surface* screen = SDL_SetVideoMode(platform::screenWidth, platform::screenHeight, platform::screenDepth,
                                           platform::screenFlags);
    if (!screen) {
        problem = std::string("SDL_SetVideoMode failed: ") + SDL_GetError();
        return nullptr;
    }
    if (display.model == DisplayModel::Other) return screen;
    // The controller is set to scan 2-byte pixels in rows of 640 bytes.
    std::string why;
    if (screen->format->BytesPerPixel != 2 || screen->pitch != platform::screenWidth * 2)
        why = "SDL draws " + std::to_string(screen->format->BitsPerPixel) + "-bit pixels in rows of " +
              std::to_string(screen->pitch) + " bytes";
    else if (display.model == DisplayModel::Caanoo && !display.changed)
        setCaanooLayer(display, why);
    if (why.empty()) return screen;
    display.failed = true;
    problem = std::string("Cannot set up the ") + nameOf(display.model) + "'s display: " + why;
    return nullptr;
}

void restoreDisplay(DisplaySetup& display) {
    if (!display.controller || !display.changed) return;
    volatile Uint32* page = display.controller;
    const LayerWords& saved = display.saved;
    setWord(page, pollux::layerPixelStride, saved.pixelStride);
    setWord(page, pollux::layerRowStride, saved.rowStride);
    setWord(page, pollux::layerAddress, saved.address);
    setWord(page, pollux::layerControl, saved.control | pollux::layerDirty);
    if (saved.size != pollux::landscapeSize) {
        setWord(page, pollux::screenSize, saved.size);
        setWord(page, pollux::topControl, saved.top | pollux::topDirty);
    }
    display.changed = false;
}
