// What the board driver's parts share (board_driver.cpp, board_pad.cpp).
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

extern FILE* host;  // the second serial port, to the host

// The board's model of the Pollux drivers, when the boot has one.
constexpr const char* model = "/proc/pollux";

// One line to the host.
void report(const std::string& line);
// Reports "FAILED WHY: the last error" and ends the driver.
[[noreturn]] void fail(const std::string& why);
void sleepMilliseconds(int milliseconds);

// Tells the model one command ("buttons 0x10", "adc 511 861", ...); fails
// when it is refused.
void tellModel(const std::string& command);

// The pad: the Wiz's button device (a FIFO here), a Caanoo-like input
// device made through uinput, or the model's devices (gpio, stick).
struct Pad {
    std::string kind;  // wiz, caanoo, gpio or stick
    bool caanoo = false;
    int descriptor = -1;

    // Opens the FIFO once the selector (`selectorProcess`) reads it.
    void open(pid_t selectorProcess);
    // Makes the Caanoo-like pad.
    void makeCaanoo();
    void event(int type, int code, int value);
    // A press and its release: "down", "a" or "menu".
    void press(const std::string& what);
};
