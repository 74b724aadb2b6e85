// The pad: which buttons, keys and events act; and its devices: masks
// written to a FIFO come out as SDL joystick events, and the Caanoo's event
// records give the Wiz's presses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "pad.h"
#include "platform.h"
#include "support.h"

namespace {

constexpr Uint32 up = 1u << 0, down = 1u << 4, select = 1u << 9, a = 1u << 12;

std::string maskBytes(Uint32 mask) { return std::string(reinterpret_cast<const char*>(&mask), sizeof mask); }

// SDL's event queue, which needs the video subsystem (the dummy driver here).
struct EventQueue {
    EventQueue() { SDL_Init(SDL_INIT_VIDEO); }
    ~EventQueue() { SDL_Quit(); }
    // The button-downs waiting, as "joystick:button" each.
    std::vector<std::string> drain() {
        std::vector<std::string> presses;
        for (SDL_Event event; SDL_PollEvent(&event);) {
            if (event.type != SDL_JOYBUTTONDOWN || event.jbutton.state != SDL_PRESSED)
                presses.push_back("not a button-down");
            else
                presses.push_back(std::to_string(event.jbutton.which) + ":" +
                                  std::to_string(event.jbutton.button));
        }
        return presses;
    }
};

TEST(PadDevice, EachNewlyPressedButtonBecomesOneJoystickButtonDown) {
    const struct {
        const char* what;
        std::vector<std::string> reads;  // the bytes written before each poll
        std::vector<std::string> presses;
        std::string heldAtStart = "";  // when set, the device is a terminal that gives this first
    } cases[] = {
        {"Down", {maskBytes(down)}, {"0:4"}},
        {"a held button is pressed once", {maskBytes(down), maskBytes(down), maskBytes(down)}, {"0:4"}},
        {"released and pressed again", {maskBytes(down), maskBytes(0), maskBytes(down)}, {"0:4", "0:4"}},
        {"two at once, lowest number first", {maskBytes(a | down)}, {"0:4", "0:12"}},
        {"a second button while the first is held", {maskBytes(down), maskBytes(down | a)}, {"0:4", "0:12"}},
        {"one mask a poll", {maskBytes(up) + maskBytes(select), "", ""}, {"0:0", "0:9"}},
        {"a mask in two reads",
         {maskBytes(down).substr(0, 2), maskBytes(down).substr(2), maskBytes(a)},
         {"0:4", "0:12"}},
        {"nothing written", {"", ""}, {}},
        {"every button",
         {maskBytes(0xffffffffu)},
         [] {
             std::vector<std::string> all;
             for (int button = 0; button < 32; ++button) all.push_back("0:" + std::to_string(button));
             return all;
         }()},
        {"held at start: a press once let go",
         {maskBytes(a), maskBytes(0), maskBytes(a)},
         {"0:12"},
         maskBytes(a | down)},
    };
    for (const auto& sequence : cases) {
        SCOPED_TRACE(sequence.what);
        TempFolder folder;
        std::string device = folder / "GPIO";
        int writer = -1, reader = -1;  // a terminal's reader, to wait for what was written
        // Writes `bytes`, and waits for a terminal's reader to have them: false when either fails.
        auto give = [&](const std::string& bytes) {
            pollfd ready = {reader, POLLIN, 0};
            return write(writer, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                   (reader < 0 || poll(&ready, 1, 5000) == 1);
        };
        if (sequence.heldAtStart.empty()) {
            ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
        } else {  // a character device that reads as the held buttons: a raw terminal
            writer = posix_openpt(O_RDWR | O_NOCTTY);
            termios raw = {};
            ASSERT_TRUE(writer >= 0 && grantpt(writer) == 0 && unlockpt(writer) == 0 &&
                        tcgetattr(writer, &raw) == 0);
            cfmakeraw(&raw);
            ASSERT_EQ(tcsetattr(writer, TCSANOW, &raw), 0);
            device = ptsname(writer);
            reader = open(device.c_str(), O_RDONLY | O_NOCTTY);
            ASSERT_TRUE(give(sequence.heldAtStart));
        }
        EventQueue queue;
        setenv(platform::padDeviceVariable, device.c_str(), 1);
        PadDevice pad = openPad();
        unsetenv(platform::padDeviceVariable);
        ASSERT_EQ(pad.kind, PadKind::ButtonMask);
        if (writer < 0) writer = open(device.c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(writer, 0);
        std::vector<std::string> presses;
        for (const std::string& bytes : sequence.reads) {
            ASSERT_TRUE(give(bytes));
            pollPadDevice(pad);
            for (const std::string& press : queue.drain()) presses.push_back(press);
        }
        close(writer);
        if (reader >= 0) close(reader);
        EXPECT_EQ(presses, sequence.presses);
    }
}

TEST(PadDevice, AMissingDeviceIsNoError) {
    EventQueue queue;
    PadDevice pad = openPadDevice("/no/such/GPIO", PadKind::None);
    EXPECT_EQ(pad.descriptor, -1);
    pollPadDevice(pad);
    EXPECT_TRUE(queue.drain().empty());
}

// An input event record as the kernel writes it on 32-bit ARM: two 32-bit
// time fields, then type, code and value.
std::string record(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    unsigned char bytes[16] = {0x5a, 0x5a, 0x5a, 0x5a, 0xa5, 0xa5, 0xa5, 0xa5};
    std::memcpy(bytes + 8, &type, 2);
    std::memcpy(bytes + 10, &code, 2);
    std::memcpy(bytes + 12, &value, 4);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}
std::string key(int code, int value) { return record(EV_KEY, static_cast<std::uint16_t>(code), value); }
std::string stick(int value) { return record(EV_ABS, ABS_Y, value); }

TEST(CaanooPad, EventsGiveOnePressPerPhysicalPress) {
    constexpr int A = 0x120, X = 0x121, B = 0x122, Y = 0x123, L = 0x124, R = 0x125, HOME = 0x126,
                  HOLD = 0x127, I = 0x128, II = 0x129, click = 0x12a;
    const int Up = platform::buttonUp, Down = platform::buttonDown, Select = platform::buttonSelect,
              Launch = platform::buttonA;
    const struct {
        const char* what;
        int minimum, maximum;
        std::vector<std::string> records;
        size_t chunk;  // bytes handed over at a time
        std::vector<int> presses;
    } cases[] = {
        {"A, held, released", -32768, 32767, {key(A, 1), key(A, 2), key(A, 2), key(A, 0)}, 16, {Launch}},
        {"HOME and I go to the menu",
         -32768,
         32767,
         {key(HOME, 1), key(HOME, 0), key(I, 1)},
         16,
         {Select, Select}},
        {"no other button is a press",
         -32768,
         32767,
         {key(X, 1), key(B, 1), key(Y, 1), key(L, 1), key(R, 1), key(HOLD, 1), key(II, 1), key(click, 1),
          record(EV_ABS, ABS_X, 32767), record(EV_SYN, SYN_REPORT, 0)},
         16,
         {}},
        {"stick down, back, down again",
         -32768,
         32767,
         {stick(20000), stick(32767), stick(9000), stick(7000), stick(20000)},
         16,
         {Down, Down}},
        {"not re-armed outside a quarter",
         -32768,
         32767,
         {stick(-17000), stick(-9000), stick(-17000)},
         16,
         {Up}},
        {"within half the range: nothing", -32768, 32767, {stick(16000), stick(-16000)}, 16, {}},
        {"a flick from down to up", -32768, 32767, {stick(32767), stick(-32768)}, 16, {Down, Up}},
        {"the range is the device's",
         0,
         255,
         {stick(255), stick(128), stick(0), stick(90), stick(0)},
         16,
         {Down, Up}},
        {"records in pieces", -32768, 32767, {stick(32767), key(A, 1)}, 5, {Down, Launch}},
        // pollux-analog: 0-255 in even steps, exactly 128 at rest, keys without SYN
        {"the Caanoo's stick pushed up and let go by steps",
         0,
         255,
         {stick(128), stick(100), stick(66), stick(64), stick(62), stick(0), stick(40), stick(98), stick(128)},
         16,
         {Up}},
        {"the Caanoo's stick pushed down twice",
         0,
         255,
         {stick(190), stick(192), stick(255), stick(160), stick(158), stick(128), stick(254)},
         16,
         {Down, Down}},
        {"HOLD gives nothing, and what comes after it acts",
         0,
         255,
         {key(HOLD, 1), key(HOLD, 0), stick(0), stick(128), key(A, 1)},
         16,
         {Up, Launch}},
    };
    for (const auto& sequence : cases) {
        SCOPED_TRACE(sequence.what);
        PadDevice pad;
        pad.kind = PadKind::InputEvents;
        pad.stick.minimum = sequence.minimum;
        pad.stick.maximum = sequence.maximum;
        std::string bytes;
        for (const std::string& one : sequence.records) bytes += one;
        std::vector<int> presses;
        for (size_t at = 0; at < bytes.size(); at += sequence.chunk) {
            const std::string piece = bytes.substr(at, sequence.chunk);
            for (int button :
                 padPresses(pad, reinterpret_cast<const unsigned char*>(piece.data()), piece.size()))
                presses.push_back(button);
        }
        EXPECT_EQ(presses, sequence.presses);
    }
}

SDL_Event joyButton(Uint8 type, Uint8 button, Uint8 joystick) {
    SDL_Event event{};
    event.type = type;
    event.jbutton.type = type;
    event.jbutton.button = button;
    event.jbutton.which = joystick;
    return event;
}

SDL_Event ofType(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

SDL_Event keyDown(SDLKey key) {
    SDL_Event event = ofType(SDL_KEYDOWN);
    event.key.keysym.sym = key;
    return event;
}

TEST(PadInput, OnlyButtonDownsOfTheFourPadButtonsAct) {
    const PadAction ifPreview = platform::desktopPreview ? PadAction::Launch : PadAction::None;
    const struct {
        const char* what;
        SDL_Event event;
        PadAction action;
    } cases[] = {
        {"Up", joyButton(SDL_JOYBUTTONDOWN, 0, 0), PadAction::Up},
        {"Down", joyButton(SDL_JOYBUTTONDOWN, 4, 0), PadAction::Down},
        {"Select", joyButton(SDL_JOYBUTTONDOWN, 9, 0), PadAction::Quit},
        {"A", joyButton(SDL_JOYBUTTONDOWN, 12, 0), PadAction::Launch},
        {"A on another joystick", joyButton(SDL_JOYBUTTONDOWN, 12, 3), PadAction::Launch},
        {"another button", joyButton(SDL_JOYBUTTONDOWN, 5, 0), PadAction::None},
        {"A released", joyButton(SDL_JOYBUTTONUP, 12, 0), PadAction::None},
        {"Return key", keyDown(SDLK_RETURN), ifPreview},
        {"other key", keyDown(SDLK_a), PadAction::None},
        {"Return released", ofType(SDL_KEYUP), PadAction::None},
        {"stick", ofType(SDL_JOYAXISMOTION), PadAction::None},
        {"hat", ofType(SDL_JOYHATMOTION), PadAction::None},
        {"ball", ofType(SDL_JOYBALLMOTION), PadAction::None},
        {"mouse", ofType(SDL_MOUSEBUTTONDOWN), PadAction::None},
        {"window close", ofType(SDL_QUIT), platform::desktopPreview ? PadAction::Quit : PadAction::None},
    };
    for (const auto& input : cases) EXPECT_EQ(actionForEvent(input.event), input.action) << input.what;
}

}  // namespace
