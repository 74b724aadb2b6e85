// The probe: a handheld program that changes nothing and writes, in
// "probe.txt" beside itself, what only a device can tell about how its
// system leaves things for a program: the framebuffer's settings, on the Wiz
// and the Caanoo the display controller's screen-layer words and the panel's
// orientation hint, the kernel, the input devices, the modules, the mounts,
// which device nodes exist, the standard input, the working folder and the
// environment, and on the Caanoo what its stick reads while the user holds
// it up, then down. Then it goes back to the system menu.
#include <fcntl.h>
#include <linux/fb.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform.h"

extern char** environ;

namespace {

namespace pollux = platform::pollux;

constexpr const char* probeVersion = "1";
constexpr const char* nodes[] = {"/dev/fb0",   "/dev/fb/0", "/dev/tty0", "/dev/vc/0", "/dev/GPIO",
                                 "/dev/mem",   "/dev/input/mice"};
constexpr const char* textFiles[] = {"/proc/bus/input/devices", "/proc/modules", "/proc/mounts"};
// The stick is read for these spans after the start, in seconds: held up, then down.
constexpr double upFrom = 0.5, upTo = 2.5, downFrom = 3.5, downTo = 5.5;

double secondsSince(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9;
}

void node(FILE* out, const char* path) {
    struct stat status = {};
    if (lstat(path, &status) != 0) {
        std::fprintf(out, "node %s missing\n", path);
    } else if (S_ISCHR(status.st_mode)) {
        std::fprintf(out, "node %s char %u:%u\n", path, major(status.st_rdev), minor(status.st_rdev));
    } else {
        const char* kind = S_ISLNK(status.st_mode) ? "link" : S_ISDIR(status.st_mode) ? "folder" : "other";
        std::fprintf(out, "node %s %s\n", path, kind);
    }
}

void framebuffer(FILE* out, fb_fix_screeninfo& fix) {
    const int fb = open(platform::framebufferDevice, O_RDONLY | O_CLOEXEC);
    fb_var_screeninfo var = {};
    if (fb < 0 || ioctl(fb, FBIOGET_FSCREENINFO, &fix) != 0 || ioctl(fb, FBIOGET_VSCREENINFO, &var) != 0) {
        std::fprintf(out, "fb %s unreadable: %s\n", platform::framebufferDevice, std::strerror(errno));
        if (fb >= 0) close(fb);
        return;
    }
    std::fprintf(out, "fb fix id %.16s smem_start 0x%08lx smem_len %u type %u visual %u line_length %u\n",
                 fix.id, fix.smem_start, fix.smem_len, fix.type, fix.visual, fix.line_length);
    std::fprintf(out,
                 "fb var %ux%u virtual %ux%u offset %u,%u bpp %u red %u/%u green %u/%u blue %u/%u width %u "
                 "height %u activate %u\n",
                 var.xres, var.yres, var.xres_virtual, var.yres_virtual, var.xoffset, var.yoffset,
                 var.bits_per_pixel, var.red.offset, var.red.length, var.green.offset, var.green.length,
                 var.blue.offset, var.blue.length, var.width, var.height, var.activate);
    // The vendor's requests only on the vendor's driver.
    unsigned char board = 0;
    if (std::strncmp(fix.id, pollux::framebufferId, sizeof fix.id) == 0) {
        if (ioctl(fb, pollux::boardNumber, &board) == 0)
            std::fprintf(out, "fb board-number 0x%02x\n", board);
        else
            std::fprintf(out, "fb board-number unreadable: %s\n", std::strerror(errno));
    }
    close(fb);
}

// The screen layer's words, read only: the node opened for reading, the
// page mapped without write access.
void controller(FILE* out) {
    const int memory = open(pollux::memoryDevice, O_RDONLY | O_SYNC | O_CLOEXEC);
    void* mapped = memory < 0 ? MAP_FAILED
                              : mmap(nullptr, 4096, PROT_READ, MAP_SHARED, memory,
                                     static_cast<off_t>(pollux::controllerPage));
    if (memory >= 0) close(memory);
    if (mapped == MAP_FAILED) {
        std::fprintf(out, "mlc unreadable: %s\n", std::strerror(errno));
        return;
    }
    const volatile std::uint32_t* page = static_cast<const volatile std::uint32_t*>(mapped);
    for (unsigned offset : {pollux::topControl, pollux::screenSize, pollux::layerLeftRight, pollux::layerTopBottom,
                            pollux::layerControl, pollux::layerPixelStride, pollux::layerRowStride,
                            pollux::layerAddress})
        std::fprintf(out, "mlc 0x%03x 0x%08x\n", offset, static_cast<unsigned>(page[offset / 4]));
    munmap(mapped, 4096);
}

// The Caanoo's stick device, or -1: asked only once the node is known to be
// an input event device.
int stick() {
    for (int number = 0; number < platform::inputDevicesSearched; ++number) {
        const std::string path = platform::inputDevicePrefix + std::to_string(number);
        const int device = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (device < 0) continue;
        struct stat status = {};
        char name[64] = {};
        if (fstat(device, &status) == 0 && S_ISCHR(status.st_mode) &&
            major(status.st_rdev) == platform::inputDeviceMajor &&
            ioctl(device, EVIOCGNAME(sizeof name - 1), name) >= 0 && std::strcmp(name, pollux::stickDevice) == 0)
            return device;
        close(device);
    }
    return -1;
}

// What the stick reads in the span, five times a second.
void stickSpan(FILE* out, int device, const timespec& start, const char* held, double from, double to) {
    std::fprintf(out, "stick %s (%.1f s to %.1f s after the start):", held, from, to);
    while (secondsSince(start) < from) usleep(10000);
    while (secondsSince(start) < to) {
        input_absinfo x = {}, y = {};
        if (ioctl(device, EVIOCGABS(ABS_X), &x) == 0 && ioctl(device, EVIOCGABS(ABS_Y), &y) == 0)
            std::fprintf(out, " %d,%d", x.value, y.value);
        else
            std::fprintf(out, " unreadable");
        usleep(200000);
    }
    std::fprintf(out, "\n");
}

void textFile(FILE* out, const char* path) {
    std::fprintf(out, "==== %s\n", path);
    FILE* file = std::fopen(path, "r");
    if (!file) {
        std::fprintf(out, "unreadable: %s\n", std::strerror(errno));
        return;
    }
    char line[512];
    while (std::fgets(line, sizeof line, file)) std::fputs(line, out);
    std::fclose(file);
}

// The folder this program is in, with its "/", else "".
std::string ownFolder() {
    char path[1024] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    const std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/') + 1);
}

}  // namespace

int main() {
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const std::string report = ownFolder() + "probe.txt";
    FILE* out = std::fopen(report.c_str(), "w");
    if (!out) out = std::fopen("probe.txt", "w");
    if (out) {
        std::fprintf(out, "probe %s\n", probeVersion);
        utsname system = {};
        if (uname(&system) == 0)
            std::fprintf(out, "uname %s %s %s %s\n", system.sysname, system.release, system.version,
                         system.machine);
        FILE* cpu = std::fopen("/proc/cpuinfo", "r");
        char line[512];
        while (cpu && std::fgets(line, sizeof line, cpu))
            if (std::strncmp(line, "Hardware", 8) == 0) std::fprintf(out, "cpuinfo %s", line);
        if (cpu) std::fclose(cpu);
        std::fprintf(out, "isatty0 %s\n", isatty(0) ? "yes" : "no");
        std::fprintf(out, "cwd %s\n", getcwd(line, sizeof line) ? line : "unreadable");
        for (const char* path : nodes) node(out, path);
        for (int number = 0; number < 8; ++number)
            node(out, (platform::inputDevicePrefix + std::to_string(number)).c_str());
        fb_fix_screeninfo fix = {};
        framebuffer(out, fix);
        if (std::strncmp(fix.id, pollux::framebufferId, sizeof fix.id) == 0) controller(out);
        const int device = stick();
        if (device < 0) {
            std::fprintf(out, "stick none\n");
        } else {
            stickSpan(out, device, start, "held up", upFrom, upTo);
            stickSpan(out, device, start, "held down", downFrom, downTo);
            close(device);
        }
        for (const char* path : textFiles) textFile(out, path);
        std::fprintf(out, "==== environment\n");
        for (char** variable = environ; *variable; ++variable) std::fprintf(out, "%s\n", *variable);
        std::fclose(out);
    }
    sync();
    [[maybe_unused]] const int moved = chdir(platform::menuDirectory);
    execl(platform::menuProgram, platform::menuProgram, static_cast<char*>(nullptr));
    std::perror(platform::menuProgram);
    return 1;
}
