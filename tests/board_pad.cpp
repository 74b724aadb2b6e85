// The board driver's pad (board_driver.h): the presses it gives the selector.
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "board_driver.h"

// Tells the model of the Pollux drivers one command ("buttons 0x10", ...).
void tellModel(const std::string& command) {
    const int control = ::open(model, O_WRONLY);
    if (control < 0 || write(control, command.data(), command.size()) != static_cast<ssize_t>(command.size()))
        fail(model + (": " + command));
    close(control);
}

void Pad::open(pid_t selectorProcess) {
    if (caanoo || kind == "gpio" || kind == "stick") return;
    if (descriptor >= 0) close(descriptor);
    // No reader yet gives ENXIO: wait for the selector to open its end.
    for (int waited = 0; (descriptor = ::open("/dev/GPIO", O_WRONLY | O_NONBLOCK)) < 0; ++waited) {
        if (waited > 60000 || waitpid(selectorProcess, nullptr, WNOHANG) != 0) fail("/dev/GPIO");
        sleepMilliseconds(1);
    }
}

void Pad::makeCaanoo() {
    descriptor = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK);
    if (descriptor < 0) fail("/dev/uinput");
    ioctl(descriptor, UI_SET_EVBIT, EV_KEY);
    ioctl(descriptor, UI_SET_EVBIT, EV_ABS);
    for (int key = 0x120; key <= 0x12a; ++key)
        ioctl(descriptor, UI_SET_KEYBIT, key);  // A ... stick click
    for (int axis : {ABS_X, ABS_Y}) {
        ioctl(descriptor, UI_SET_ABSBIT, axis);
        uinput_abs_setup range{};
        range.code = static_cast<__u16>(axis);
        range.absinfo.minimum = -32768;
        range.absinfo.maximum = 32767;
        ioctl(descriptor, UI_ABS_SETUP, &range);
    }
    uinput_setup setup{};
    std::strcpy(setup.name, "Caanoo-like pad");
    setup.id.bustype = BUS_HOST;
    if (ioctl(descriptor, UI_DEV_SETUP, &setup) < 0 || ioctl(descriptor, UI_DEV_CREATE) < 0)
        fail("uinput");
    caanoo = true;
}

void Pad::event(int type, int code, int value) {
    input_event record{};
    record.type = static_cast<__u16>(type);
    record.code = static_cast<__u16>(code);
    record.value = value;
    if (write(descriptor, &record, sizeof record) != sizeof record) fail("uinput write");
}

// The model's devices are sampled, not queued: each state is held for some
// of their polls.
void Pad::press(const std::string& what) {
    if (kind == "gpio" || kind == "stick") {
        const bool stick = kind == "stick";
        const std::string code = what == "a" ? "0x120" : "0x126";  // A, HOME
        const std::string pressed = what == "down" ? (stick ? "adc 511 861" : "buttons 0x10")
                                    : stick        ? "key " + code + " 1"
                                    : what == "a"  ? "buttons 0x1000"
                                                   : "buttons 0x200";
        const std::string released = what == "down" ? (stick ? "adc 511 511" : "buttons 0")
                                     : stick        ? "key " + code + " 0"
                                                    : "buttons 0";
        tellModel(pressed);
        sleepMilliseconds(200);
        tellModel(released);
        sleepMilliseconds(200);
        return;
    }
    if (!caanoo) {
        const unsigned mask = what == "down" ? 1u << 4 : what == "a" ? 1u << 12 : 1u << 9;
        for (unsigned held : {mask, 0u})
            if (write(descriptor, &held, sizeof held) != sizeof held) fail("/dev/GPIO write");
        return;
    }
    for (int pressed : {1, 0}) {
        if (what == "down")
            event(EV_ABS, ABS_Y, pressed ? 32767 : 0);
        else
            event(EV_KEY, what == "a" ? 0x120 : 0x126, pressed);  // A, HOME
        event(EV_SYN, SYN_REPORT, 0);
    }
}
