// The handheld's pad device: a character device whose every read gives the
// buttons held as a 32-bit mask, bit n for button n (the same numbers as the
// pad's joystick buttons). Handheld builds without a vendor's SDL read it and
// hand each new press to SDL as the joystick button-down the pad would give.
#pragma once

#include <SDL.h>

struct PadDevice {
    int descriptor = -1;  // -1: no device; the pad then comes through SDL alone
    Uint32 held = 0;      // the buttons held at the last read

    PadDevice() = default;
    PadDevice(const PadDevice&) = delete;
    PadDevice& operator=(const PadDevice&) = delete;
    PadDevice(PadDevice&& other) noexcept;
    PadDevice& operator=(PadDevice&& other) noexcept;
    ~PadDevice();
};

// The device to read: $SELECTOR_PAD_DEVICE when it is set, else "/dev/GPIO".
const char* padDevicePath();

// Opens the device at `path` for reading without waiting. A device that
// cannot be opened is no error: the result then has no descriptor.
PadDevice openPadDevice(const char* path);

// The buttons pressed in `now` that were released in `before`.
constexpr Uint32 newlyPressed(Uint32 before, Uint32 now) { return now & ~before; }

// Reads one mask from the device, without waiting, and pushes a button-down
// event of joystick 0 for each button it newly presses, lowest number first.
// A read that gives no whole mask changes nothing.
void pollPadDevice(PadDevice& pad);
