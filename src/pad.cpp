#include "pad.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "platform.h"

PadDevice::PadDevice(PadDevice&& other) noexcept
    : descriptor(std::exchange(other.descriptor, -1)), held(other.held) {}

PadDevice& PadDevice::operator=(PadDevice&& other) noexcept {
    std::swap(descriptor, other.descriptor);
    std::swap(held, other.held);
    return *this;
}

PadDevice::~PadDevice() {
    if (descriptor >= 0) close(descriptor);
}

const char* padDevicePath() {
    const char* path = std::getenv(platform::padDeviceVariable);
    return path ? path : platform::padDevice;
}

PadDevice openPadDevice(const char* path) {
    PadDevice pad;
    pad.descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return pad;
}

void pollPadDevice(PadDevice& pad) {
    Uint32 now = 0;
    if (pad.descriptor < 0 || read(pad.descriptor, &now, sizeof now) != sizeof now) return;
    const Uint32 pressed = newlyPressed(pad.held, now);
    pad.held = now;
    for (int button = 0; button < 32; ++button) {
        if (!(pressed >> button & 1)) continue;
        SDL_Event event{};
        event.type = SDL_JOYBUTTONDOWN;
        event.jbutton.type = SDL_JOYBUTTONDOWN;
        event.jbutton.which = platform::padJoystick;
        event.jbutton.button = static_cast<Uint8>(button);
        event.jbutton.state = SDL_PRESSED;
        SDL_PushEvent(&event);
    }
}
