#include "pad.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

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
    case platform::keyUp: return PadAction::Up;
    case platform::keyDown: return PadAction::Down;
    case platform::keyLaunch: return PadAction::Launch;
    case platform::keyQuit: return PadAction::Quit;
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

PadKind padKindOf(int descriptor) {
    struct stat status = {};
    return fstat(descriptor, &status) == 0 && S_ISCHR(status.st_mode) &&
                   major(status.st_rdev) == platform::inputDeviceMajor
               ? PadKind::InputEvents
               : PadKind::ButtonMask;
}

namespace {

constexpr size_t maskSize = sizeof(Uint32);

// Where the stick's vertical axis stands: -1 or +1 more than half the way
// from the centre to an end, 0 within a quarter of that way, 2 in between.
int stickZone(const StickAxis& stick, std::int32_t value) {
    // Twice the distance from the centre, so that odd ranges stay exact.
    const long long span = static_cast<long long>(stick.maximum) - stick.minimum;
    const long long twiceOff = 2LL * value - stick.minimum - stick.maximum;
    const long long distance = twiceOff < 0 ? -twiceOff : twiceOff;
    if (2 * distance > span) return twiceOff < 0 ? -1 : 1;
    if (4 * distance < span) return 0;
    return 2;
}

bool hasBit(const unsigned long* bits, int bit) {
    constexpr int perWord = 8 * sizeof(unsigned long);
    return bits[bit / perWord] >> (bit % perWord) & 1;
}

// True when `descriptor` is an input event device with the Caanoo's A, HOME
// and I buttons and a vertical stick axis.
bool isCaanooPad(int descriptor) {
    if (padKindOf(descriptor) != PadKind::InputEvents) return false;
    unsigned long keys[KEY_MAX / (8 * sizeof(unsigned long)) + 1] = {};
    unsigned long axes[ABS_MAX / (8 * sizeof(unsigned long)) + 1] = {};
    if (ioctl(descriptor, EVIOCGBIT(EV_KEY, sizeof keys), keys) < 0 ||
        ioctl(descriptor, EVIOCGBIT(EV_ABS, sizeof axes), axes) < 0)
        return false;
    return hasBit(keys, platform::caanooA) && hasBit(keys, platform::caanooHome) &&
           hasBit(keys, platform::caanooHelp1) && hasBit(axes, platform::caanooStickAxis);
}

void pushButtonDown(int button) {
    SDL_Event event{};
    event.type = SDL_JOYBUTTONDOWN;
    event.jbutton.type = SDL_JOYBUTTONDOWN;
    event.jbutton.which = platform::padJoystick;
    event.jbutton.button = static_cast<Uint8>(button);
    event.jbutton.state = SDL_PRESSED;
    SDL_PushEvent(&event);
}

}  // namespace

InputEvent decodeInputEvent(const unsigned char* record) {
    InputEvent event;
    std::memcpy(&event.type, record + 8, sizeof event.type);
    std::memcpy(&event.code, record + 10, sizeof event.code);
    std::memcpy(&event.value, record + 12, sizeof event.value);
    return event;
}

int pressForInputEvent(StickAxis& stick, const InputEvent& event) {
    if (event.type == EV_KEY && event.value == 1) {  // 0 is a release, 2 a repeat
        switch (event.code) {
        case platform::caanooA: return platform::buttonA;
        case platform::caanooHome:
        case platform::caanooHelp1: return platform::buttonSelect;
        default: return -1;
        }
    }
    if (event.type == EV_ABS && event.code == platform::caanooStickAxis) {
        const int zone = stickZone(stick, event.value);
        if (zone == 0) stick.deflection = 0;
        if ((zone == -1 || zone == 1) && zone != stick.deflection) {
            stick.deflection = zone;
            return zone < 0 ? platform::buttonUp : platform::buttonDown;
        }
    }
    return -1;
}

PadDevice::PadDevice(PadDevice&& other) noexcept
    : descriptor(std::exchange(other.descriptor, -1)),
      kind(std::exchange(other.kind, PadKind::None)),
      held(other.held),
      stick(other.stick),
      pending(other.pending),
      pendingLength(std::exchange(other.pendingLength, 0)) {}

PadDevice& PadDevice::operator=(PadDevice&& other) noexcept {
    std::swap(descriptor, other.descriptor);
    std::swap(kind, other.kind);
    std::swap(held, other.held);
    std::swap(stick, other.stick);
    std::swap(pending, other.pending);
    std::swap(pendingLength, other.pendingLength);
    return *this;
}

PadDevice::~PadDevice() {
    if (descriptor >= 0) close(descriptor);
}

PadDevice openPadDevice(const char* path, PadKind kind) {
    PadDevice pad;
    pad.descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (pad.descriptor < 0) return pad;
    // Told by what the node is, never by asking it (the button device
    // answers every request, and some switch the unit off).
    const PadKind found = padKindOf(pad.descriptor);
    if (kind != PadKind::None && found != kind) return PadDevice();
    pad.kind = found;
    if (pad.kind == PadKind::ButtonMask) {
        // A button device tells what is held now: a button already down at
        // start (the one that started the selector, say) gives no press until
        // it is let go. Anything else (a FIFO) gives its masks as they come.
        struct stat status = {};
        Uint32 now = 0;
        if (fstat(pad.descriptor, &status) == 0 && S_ISCHR(status.st_mode) &&
            read(pad.descriptor, &now, maskSize) == static_cast<ssize_t>(maskSize))
            pad.held = now;
        return pad;
    }
    struct input_absinfo axis = {};
    if (ioctl(pad.descriptor, EVIOCGABS(platform::caanooStickAxis), &axis) == 0 &&
        axis.maximum > axis.minimum) {
        pad.stick.minimum = axis.minimum;
        pad.stick.maximum = axis.maximum;
        // A stick already held over at start gives no press until it comes back.
        const int zone = stickZone(pad.stick, axis.value);
        if (zone == -1 || zone == 1) pad.stick.deflection = zone;
    }
    return pad;
}

PadDevice openPad() {
    if (const char* path = std::getenv(platform::padDeviceVariable))
        return openPadDevice(path, PadKind::None);
    for (int number = 0; number < platform::inputDevicesSearched; ++number) {
        char path[32];
        std::snprintf(path, sizeof path, "%s%d", platform::inputDevicePrefix, number);
        PadDevice pad = openPadDevice(path, PadKind::InputEvents);
        if (pad.descriptor >= 0 && isCaanooPad(pad.descriptor)) return pad;
    }
    return openPadDevice(platform::padDevice, PadKind::ButtonMask);
}

std::vector<int> padPresses(PadDevice& pad, const unsigned char* bytes, size_t length) {
    std::vector<int> presses;
    const size_t recordSize = pad.kind == PadKind::InputEvents ? inputEventSize : maskSize;
    while (length > 0) {
        const size_t taken = std::min(length, recordSize - pad.pendingLength);
        std::memcpy(pad.pending.data() + pad.pendingLength, bytes, taken);
        pad.pendingLength += taken;
        bytes += taken;
        length -= taken;
        if (pad.pendingLength < recordSize) continue;
        if (pad.kind == PadKind::InputEvents) {
            const int button = pressForInputEvent(pad.stick, decodeInputEvent(pad.pending.data()));
            if (button >= 0) presses.push_back(button);
        } else {
            Uint32 now = 0;
            std::memcpy(&now, pad.pending.data(), maskSize);
            const Uint32 pressed = newlyPressed(pad.held, now);
            pad.held = now;
            for (int button = 0; button < 32; ++button)
                if (pressed >> button & 1) presses.push_back(button);
        }
        pad.pendingLength = 0;
    }
    return presses;
}

void pollPadDevice(PadDevice& pad) {
    if (pad.descriptor < 0) return;
    // The button device gives one mask a read; events come as whole records.
    unsigned char bytes[16 * inputEventSize];
    const size_t wanted = pad.kind == PadKind::InputEvents ? sizeof bytes : maskSize - pad.pendingLength;
    const ssize_t got = read(pad.descriptor, bytes, wanted);
    if (got <= 0) return;
    for (int button : padPresses(pad, bytes, static_cast<size_t>(got))) pushButtonDown(button);
}
