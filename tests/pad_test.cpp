// The pad device: masks written to a FIFO come out as SDL joystick events.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "pad.h"
#include "support.h"

namespace {

constexpr Uint32 up = 1u << 0, down = 1u << 4, select = 1u << 9, a = 1u << 12;

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
        std::vector<std::vector<Uint32>> reads;  // the masks each poll finds; none: nothing written
        std::vector<std::string> presses;
    } cases[] = {
        {"Down", {{down}}, {"0:4"}},
        {"a held button is pressed once", {{down}, {down}, {down}}, {"0:4"}},
        {"released and pressed again", {{down}, {0}, {down}}, {"0:4", "0:4"}},
        {"two at once, lowest number first", {{a | down}}, {"0:4", "0:12"}},
        {"a second button while the first is held", {{down}, {down | a}}, {"0:4", "0:12"}},
        {"one mask a poll", {{up, select}, {}, {}}, {"0:0", "0:9"}},
        {"nothing written", {{}, {}}, {}},
        {"every button",
         {{0xffffffffu}},
         [] {
             std::vector<std::string> all;
             for (int button = 0; button < 32; ++button) all.push_back("0:" + std::to_string(button));
             return all;
         }()},
    };
    for (const auto& sequence : cases) {
        SCOPED_TRACE(sequence.what);
        TempFolder folder;
        const std::string fifo = folder / "GPIO";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        EventQueue queue;
        PadDevice pad = openPadDevice(fifo.c_str());
        ASSERT_GE(pad.descriptor, 0);
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(writer, 0);
        std::vector<std::string> presses;
        for (const std::vector<Uint32>& masks : sequence.reads) {
            for (Uint32 mask : masks) ASSERT_EQ(write(writer, &mask, sizeof mask), 4);
            pollPadDevice(pad);
            for (const std::string& press : queue.drain()) presses.push_back(press);
        }
        close(writer);
        EXPECT_EQ(presses, sequence.presses);
    }
}

TEST(PadDevice, AMissingDeviceIsNoError) {
    EventQueue queue;
    PadDevice pad = openPadDevice("/no/such/GPIO");
    EXPECT_EQ(pad.descriptor, -1);
    pollPadDevice(pad);
    EXPECT_TRUE(queue.drain().empty());
}

TEST(PadDevice, TheEnvironmentNamesAnotherDevice) {
    unsetenv("SELECTOR_PAD_DEVICE");
    EXPECT_STREQ(padDevicePath(), "/dev/GPIO");
    setenv("SELECTOR_PAD_DEVICE", "/tmp/pad", 1);
    EXPECT_STREQ(padDevicePath(), "/tmp/pad");
    unsetenv("SELECTOR_PAD_DEVICE");
}

}  // namespace
