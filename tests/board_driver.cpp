// Runs inside the emulated board (tests/board.h): starts the card's
// selector as the handheld's menu would, presses its pad, and watches the
// framebuffer for the frames the host expects. Reports on the second serial
// port, one line each, and waits there for "go" while the host takes
// pictures of a frame the selector is held on (SIGSTOP).
//
//   board-driver show wiz|caanoo   splash, list and list after Down shown to
//                                  the host; then A; then a second run: Select
//   board-driver time wiz|caanoo   times start to splash and to list, peak
//                                  memory, then Select
//   board-driver control wiz       runs /control (a program that some
//                                  kernel must refuse) instead of the
//                                  selector, and reports how it ended
//
// The frames are /frames/NAME.rgb565 (320x240, as /dev/fb0 holds them).
// Each run's record (the recorder's working folder and arguments) is
// reported line by line.
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

namespace {

constexpr size_t frameBytes = 320 * 240 * 2;
constexpr const char* selector = "/mnt/sd/selector/selector";

FILE* host = nullptr;  // the second serial port

void report(const std::string& line) {
    std::fprintf(host, "%s\n", line.c_str());
    std::fflush(host);
}

[[noreturn]] void fail(const std::string& why) {
    report("FAILED " + why + ": " + std::strerror(errno));
    std::exit(1);
}

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

void sleepMilliseconds(int milliseconds) {
    timespec pause = {0, milliseconds * 1000000L};
    nanosleep(&pause, nullptr);
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
        const int fb = open("/dev/fb0", O_RDONLY);
        void* mapped = fb < 0 ? MAP_FAILED : mmap(nullptr, frameBytes, PROT_READ, MAP_SHARED, fb, 0);
        if (mapped == MAP_FAILED) fail("/dev/fb0");
        return static_cast<const unsigned char*>(mapped);
    }();
    return pixels;
}

// Waits until the screen shows `frame`, looking every `milliseconds`: a
// few rows first, all of it when they match. False after 120 s.
bool waitForFrame(const std::string& frame, int milliseconds) {
    const std::string expected = readWhole("/frames/" + frame + ".rgb565");
    if (expected.size() != frameBytes) fail("/frames/" + frame + ".rgb565");
    const unsigned char* screen = framebuffer();
    for (const double start = now(); now() - start < 120; sleepMilliseconds(milliseconds)) {
        bool rowsMatch = true;
        for (size_t row = 0; row < 240 && rowsMatch; row += 15)
            rowsMatch = std::memcmp(screen + row * 640, expected.data() + row * 640, 640) == 0;
        if (rowsMatch && std::memcmp(screen, expected.data(), frameBytes) == 0) return true;
    }
    return false;
}

// The pad: the Wiz's button device (a FIFO here) or a Caanoo-like input
// device made through uinput.
struct Pad {
    bool caanoo = false;
    int descriptor = -1;

    void open(pid_t selectorProcess) {
        if (caanoo) return;
        if (descriptor >= 0) close(descriptor);
        // No reader yet gives ENXIO: wait for the selector to open its end.
        for (int waited = 0; (descriptor = ::open("/dev/GPIO", O_WRONLY | O_NONBLOCK)) < 0; ++waited) {
            if (waited > 60000 || waitpid(selectorProcess, nullptr, WNOHANG) != 0) fail("/dev/GPIO");
            sleepMilliseconds(1);
        }
    }

    void makeCaanoo() {
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

    void event(int type, int code, int value) {
        input_event record{};
        record.type = static_cast<__u16>(type);
        record.code = static_cast<__u16>(code);
        record.value = value;
        if (write(descriptor, &record, sizeof record) != sizeof record) fail("uinput write");
    }

    // A press and its release: "down", "a" or "menu".
    void press(const std::string& what) {
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
};

pid_t startSelector(const std::string& record) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir("/mnt/sd/selector") != 0) _exit(120);
        setenv("RECORD_FILE", record.c_str(), 1);
        execl(selector, selector, static_cast<char*>(nullptr));
        _exit(121);
    }
    return child;
}

// Waits for the run's end and reports its status and record.
void finishRun(const std::string& run, pid_t child, const std::string& record) {
    int status = 0;
    waitpid(child, &status, 0);
    report("RUN " + run + " " +
           (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                              : "signal " + std::to_string(WTERMSIG(status))));
    std::istringstream lines(readWhole(record));
    for (std::string line; std::getline(lines, line);) report("RECORD " + run + " " + line);
}

// Holds the selector on `frame` while the host takes its pictures.
void show(pid_t child, const std::string& frame) {
    const bool shown = waitForFrame(frame, 5);
    kill(child, SIGSTOP);
    report((shown ? "SHOWN " : "MISSED ") + frame);
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
    if (argc != 3) fail("usage: board-driver show|time|control wiz|caanoo");
    const std::string mode = argv[1];
    Pad pad;
    if (std::string(argv[2]) == "caanoo") pad.makeCaanoo();

    if (mode == "control") {
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
        reportClearedScreen("launch");

        child = startSelector("/record-menu");
        pad.open(child);
        if (!waitForFrame("list", 5)) report("MISSED list");
        pad.press("menu");
        finishRun("menu", child, "/record-menu");
    }
    report("DONE");
    return 0;
}
