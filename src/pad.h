// The pad: its buttons, and the desktop's keys, turned into the actions of
// the list (action.h); and the handheld's pad read from its device and
// turned into the presses the browse pass handles: joystick button-downs in
// the pad's own numbering (platform.h). Handheld builds read it themselves, since a generic SDL sees
// neither pad as the vendors' SDL builds did:
// - the Wiz: a button device whose every read gives the held buttons as a
//   32-bit mask, bit n for button n;
// - the Caanoo: a Linux input event device with buttons and a stick, and no
//   D-pad: the stick's vertical axis gives Up and Down, A launches, HOME and
//   I (Help 1) go back to the menu.
#pragma once

#include <SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "action.h"

// The action of a pad button, None for buttons the selector does not use.
PadAction actionForButton(int button);

// The action of a desktop key (preview builds only), None for other keys.
PadAction actionForKey(SDLKey key);

// The action of one event: joystick button-downs from any joystick; in the
// desktop preview build also keys and the window-close request.
PadAction actionForEvent(const SDL_Event& event);

enum class PadKind {
    None,         // no device: the pad comes through SDL alone
    ButtonMask,   // the Wiz's 32-bit masks
    InputEvents,  // the Caanoo's input event records
};

// One input event as the kernel writes it on 32-bit ARM: a 16-byte record.
constexpr size_t inputEventSize = 16;
struct InputEvent {
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
};

// The record's fields after its 8-byte time stamp (in the machine's byte order).
InputEvent decodeInputEvent(const unsigned char* record);

// The stick's vertical axis: its range, read from the device, and where it
// last gave a press: -1 up, +1 down, 0 centred (ready to give one).
struct StickAxis {
    int minimum = -32768;
    int maximum = 32767;
    int deflection = 0;
};

// The pad button a Caanoo event presses, or -1 for none. Updates the
// stick: pushed more than half the way from the centre to an end (a quarter
// of its whole range) it gives Up or Down once; it gives another only after
// it came back within a quarter of that way (an eighth of the range), or
// went more than half the way the other side. Key repeats and releases give
// nothing.
int pressForInputEvent(StickAxis& stick, const InputEvent& event);

// The buttons pressed in `now` that were released in `before`.
constexpr Uint32 newlyPressed(Uint32 before, Uint32 now) { return now & ~before; }

struct PadDevice {
    int descriptor = -1;
    PadKind kind = PadKind::None;
    Uint32 held = 0;  // ButtonMask: the buttons held at the last whole mask
    StickAxis stick;  // InputEvents
    std::array<unsigned char, inputEventSize> pending{};  // the bytes read so far of a record
    size_t pendingLength = 0;

    PadDevice() = default;
    PadDevice(const PadDevice&) = delete;
    PadDevice& operator=(const PadDevice&) = delete;
    PadDevice(PadDevice&& other) noexcept;
    PadDevice& operator=(PadDevice&& other) noexcept;
    ~PadDevice();
};

// InputEvents for an input event device (a character device of the input
// major number), ButtonMask for anything else: the button device, a FIFO.
PadKind padKindOf(int descriptor);

// Opens the device at `path` for reading without waiting, as what the node
// is (padKindOf), and only when that is `kind` unless `kind` is None; an
// input event device is never asked before it is known to be one. What is held at start gives no press: a button device's first
// mask and the stick's place are read now. A device that cannot be opened
// is no error: the result then has no descriptor.
PadDevice openPadDevice(const char* path, PadKind kind);

// The handheld's pad: $SELECTOR_PAD_DEVICE when it is set; else the first
// input event device with the Caanoo's buttons and stick; else "/dev/GPIO";
// else none.
PadDevice openPad();

// The presses in what `bytes` adds to the device's unread bytes: whole masks
// or records are used, a partial one is kept for the next read.
std::vector<int> padPresses(PadDevice& pad, const unsigned char* bytes, size_t length);

// Reads what the device holds, without waiting, and pushes a button-down
// event of joystick 0 for each press, in order. Reads one mask a call from a
// button-mask device, up to 16 records from an input event device.
void pollPadDevice(PadDevice& pad);
