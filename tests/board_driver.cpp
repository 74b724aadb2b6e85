// Runs inside the emulated board (tests/board.h): starts the card's
// selector as the handheld's menu would, presses its pad, and watches the
// framebuffer for the frames the host expects. Reports on the second serial
// port, one line each, and waits there for "go" while the host takes
// pictures of a frame the selector is held on (SIGSTOP).
//
//   board-driver show PAD      splash, list and list after Down shown to
//                              the host; then A; then a second run: Select
//   board-driver time PAD      times start to splash and to list, peak
//                              memory, then Select
//   board-driver glance PAD    the list, or what shows instead within 10 s,
//                              shown to the host; then Select
//   board-driver fail PAD      one run, left to end by itself
//   board-driver probe PAD     runs the card's probe with the stick held up,
//                              then down, and reports what it wrote
//   board-driver dirty PAD     writes the display controller's screen layer
//                              through /dev/mem, and reports the model's
//                              active words before and after the dirty bit
//   board-driver control PAD   runs /control (a program that some kernel
//                              must refuse) instead of the selector, and
//                              reports how it ended
//
// PAD is wiz (a FIFO as /dev/GPIO), caanoo (a Caanoo-like pad made through
// uinput), or, with the board's model of the Pollux drivers, gpio (its
// /dev/GPIO) or stick (its pollux-analog), both worked through /proc/pollux.
// The frames are /frames/NAME.rgb565 (320x240, as the board's display,
// /dev/panel, holds them). Each run's record (the recorder's working folder
// and arguments, and the model's report as the recorder starts) and what the
// selector printed are reported line by line.
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "board_driver.h"

FILE* host = nullptr;  // the second serial port

void report(const std::string& line) {
    std::fprintf(host, "%s\n", line.c_str());
    std::fflush(host);
}

[[noreturn]] void fail(const std::string& why) {
    report("FAILED " + why + ": " + std::strerror(errno));
    std::exit(1);
}

void sleepMilliseconds(int milliseconds) {
    timespec pause = {milliseconds / 1000, milliseconds % 1000 * 1000000L};
    nanosleep(&pause, nullptr);
}

namespace {

constexpr size_t frameBytes = 320 * 240 * 2;
constexpr const char* selector = "/mnt/sd/selector/selector";

void waitForGo() {
    char line[64];
    while (std::fgets(line, sizeof line, host) && std::strncmp(line, "go", 2) != 0) {
    }
}

double now() {
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    return at.tv_sec + at.tv_nsec / 1e9;
}

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// The framebuffer, mapped.
const unsigned char* framebuffer() {
    static const unsigned char* pixels = [] {
        const int fb = open("/dev/panel", O_RDONLY);
        void* mapped = fb < 0 ? MAP_FAILED : mmap(nullptr, frameBytes, PROT_READ, MAP_SHARED, fb, 0);
        if (mapped == MAP_FAILED) fail("/dev/panel");
        return static_cast<const unsigned char*>(mapped);
    }();
    return pixels;
}

// Waits until the screen shows `frame`, looking every `milliseconds`: a
// few rows first, all of it when they match. False after `seconds`.
bool waitForFrame(const std::string& frame, int milliseconds, int seconds = 120) {
    const std::string expected = readWhole("/frames/" + frame + ".rgb565");
    if (expected.size() != frameBytes) fail("/frames/" + frame + ".rgb565");
    const unsigned char* screen = framebuffer();
    for (const double start = now(); now() - start < seconds; sleepMilliseconds(milliseconds)) {
        bool rowsMatch = true;
        for (size_t row = 0; row < 240 && rowsMatch; row += 15)
            rowsMatch = std::memcmp(screen + row * 640, expected.data() + row * 640, 640) == 0;
        if (rowsMatch && std::memcmp(screen, expected.data(), frameBytes) == 0) return true;
    }
    return false;
}

bool hasModel() { return access(model, F_OK) == 0; }

// Starts `program` in `folder`, with what it prints going to RECORD.out
// when `kept` (else it has the driver's standard output).
pid_t start(const char* folder, const char* program, const std::string& record, bool kept = false) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder) != 0 || (kept && !std::freopen((record + ".out").c_str(), "w", stdout))) _exit(120);
        setenv("RECORD_FILE", record.c_str(), 1);
        if (hasModel()) setenv("RECORD_DISPLAY", model, 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(121);
    }
    return child;
}

pid_t startSelector(const std::string& record, bool kept = false) {
    return start("/mnt/sd/selector", selector, record, kept);
}

void reportLines(const std::string& prefix, const std::string& path) {
    std::istringstream lines(readWhole(path));
    for (std::string line; std::getline(lines, line);) report(prefix + line);
}

// Waits for the run's end and reports its status, what it printed and its record.
void finishRun(const std::string& run, pid_t child, const std::string& record) {
    int status = 0;
    waitpid(child, &status, 0);
    report("RUN " + run + " " +
           (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                              : "signal " + std::to_string(WTERMSIG(status))));
    reportLines("SAID " + run + " ", record + ".out");
    reportLines("RECORD " + run + " ", record);
}

// Writes the screen layer as the Caanoo's set-up does, and reports the
// model's active words a few vertical blanks after it, then after the dirty bit.
void writeLayer() {
    const int memory = ::open("/dev/mem", O_RDWR | O_SYNC);
    void* mapped = memory < 0 ? MAP_FAILED
                              : mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0xC0004000LL);
    if (mapped == MAP_FAILED) fail("/dev/mem");
    volatile unsigned* layer = static_cast<volatile unsigned*>(mapped);
    layer[0x05C / 4] = 2;
    layer[0x060 / 4] = 640;
    layer[0x058 / 4] = 0x4432D020;
    sleepMilliseconds(200);
    reportLines("BEFORE-DIRTY ", model);
    layer[0x058 / 4] = 0x4432D020 | 0x10;
    sleepMilliseconds(200);
    reportLines("AFTER-DIRTY ", model);
}

// Runs the card's probe, holding the model's stick up, then down, as its
// file says to, and reports what it wrote.
void probe(bool stick) {
    if (stick) tellModel("adc 511 161");
    const pid_t child = start("/mnt/sd/probe", "/mnt/sd/probe/probe.gpe", "/record-probe", true);
    sleepMilliseconds(3000);
    if (stick) tellModel("adc 511 861");
    finishRun("probe", child, "/record-probe");
    if (stick) tellModel("adc 511 511");
    reportLines("PROBE ", "/mnt/sd/probe/probe.txt");
}

// Holds the selector on `frame` while the host takes its pictures.
void show(pid_t child, const std::string& frame) {
    const bool shown = waitForFrame(frame, 5);
    kill(child, SIGSTOP);
    report((shown ? "SHOWN " : "MISSED ") + frame);
    if (!shown && hasModel()) reportLines("MODEL ", model);  // what the model's panel is made from
    waitForGo();
    kill(child, SIGCONT);
}

// Reports whether the screen was cleared at the hand-off: black but for the
// console's cursor cell at the top left (2 s at most to settle).
void reportClearedScreen(const std::string& run) {
    const unsigned char* screen = framebuffer();
    size_t lit = 0;
    for (const double start = now(); now() - start < 2; sleepMilliseconds(10)) {
        lit = 0;
        for (size_t at = 0; at < frameBytes; at += 2)
            lit += (at / 640 >= 8 || at % 640 >= 16) && (screen[at] || screen[at + 1]);
        if (lit == 0) break;
    }
    report("AFTER " + run + (lit ? " " + std::to_string(lit) + " pixels lit" : " cleared"));
}

std::string peakMemory(pid_t child) {
    std::istringstream status(readWhole("/proc/" + std::to_string(child) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    host = std::fopen("/dev/ttyAMA1", "r+");
    if (!host) return 2;
    termios raw{};
    tcgetattr(fileno(host), &raw);
    cfmakeraw(&raw);
    tcsetattr(fileno(host), TCSANOW, &raw);
    if (argc != 3) fail("usage: board-driver show|time|glance|fail|probe|dirty|control wiz|caanoo|gpio|stick");
    // What selector-check said of the card, run before the driver when it was.
    if (std::ifstream("/check.out")) reportLines("CHECK ", "/check.out");
    const std::string mode = argv[1];
    Pad pad;
    pad.kind = argv[2];
    if (pad.kind == "caanoo") pad.makeCaanoo();

    if (mode == "probe") {
        probe(pad.kind == "stick");
    } else if (mode == "dirty") {
        writeLayer();
    } else if (mode == "fail") {
        finishRun("fail", startSelector("/record-fail", true), "/record-fail");
    } else if (mode == "glance") {
        const pid_t child = startSelector("/record-menu");
        pad.open(child);
        const bool shown = waitForFrame("list", 5, 10);
        kill(child, SIGSTOP);
        report(shown ? "SHOWN list" : "MISSED list");
        waitForGo();
        kill(child, SIGCONT);
        pad.press("menu");
        finishRun("menu", child, "/record-menu");
    } else if (mode == "control") {
        const pid_t child = fork();
        if (child == 0) {
            execl("/control", "/control", static_cast<char*>(nullptr));
            _exit(121);
        }
        finishRun("control", child, "/record-control");
    } else if (mode == "time") {
        const double start = now();
        const pid_t child = startSelector("/record-menu");
        pad.open(child);
        const bool splash = waitForFrame("splash", 1);
        const double splashAt = now() - start;
        const bool list = waitForFrame("list", 1);
        const double listAt = now() - start;
        char line[160];
        std::snprintf(line, sizeof line, "TIME splash %s %.4f s, list %s %.4f s, peak memory%s",
                      splash ? "at" : "missed", splashAt, list ? "at" : "missed", listAt,
                      peakMemory(child).c_str());
        report(line);
        pad.press("menu");
        finishRun("menu", child, "/record-menu");
    } else {
        pid_t child = startSelector("/record-launch");
        pad.open(child);
        show(child, "splash");
        show(child, "list");
        pad.press("down");
        show(child, "down");
        pad.press("a");
        finishRun("launch", child, "/record-launch");
        // The model's panel shows the layer as the menu left it, not SDL's cleared rows.
        if (!hasModel()) reportClearedScreen("launch");

        child = startSelector("/record-menu");
        pad.open(child);
        if (!waitForFrame("list", 5)) report("MISSED list");
        pad.press("menu");
        finishRun("menu", child, "/record-menu");
    }
    report("DONE");
    return 0;
}
