#include "handheld.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Makes `root` the calling process's "/", as root or in a user namespace of
// its own, and enters the card's folder as the handheld's menu would.
void enterRoot(const std::string& root) {
    if (geteuid() != 0) {
        const uid_t user = geteuid();
        const gid_t group = getegid();
        if (unshare(CLONE_NEWUSER) != 0) _exit(123);
        writeFile("/proc/self/setgroups", "deny");
        writeFile("/proc/self/uid_map", "0 " + std::to_string(user) + " 1");
        writeFile("/proc/self/gid_map", "0 " + std::to_string(group) + " 1");
    }
    if (chroot(root.c_str()) != 0 || chdir("/mnt/sd/selector") != 0) _exit(124);
}

// Writes the masks to the FIFO `pad` once the program has opened it.
void pressPad(const std::string& fifo, const std::vector<Uint32>& masks) {
    int pad = -1;
    for (int waited = 0; pad < 0 && waited < 6000; ++waited) {
        pad = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // ENXIO until it is opened
        if (pad < 0) usleep(10000);
    }
    if (pad < 0) return;            // never opened: the run ends without presses
    std::signal(SIGPIPE, SIG_IGN);  // a program that has already ended must not end the tests
    for (Uint32 mask : masks) {
        if (write(pad, &mask, sizeof mask) != sizeof mask) break;
    }
    close(pad);
}

}  // namespace

std::optional<HandheldBuild> handheldBuild() {
    HandheldBuild found = {
        fromEnvironment("SELECTOR_HANDHELD_CARD"), fromEnvironment("SELECTOR_HANDHELD_BUILD"),
        fromEnvironment("SELECTOR_HANDHELD_TOOLCHAIN"), fromEnvironment("SELECTOR_HANDHELD_LIBRARIES"),
        fromEnvironment("SELECTOR_ABI_CONTROLS")};
    if (found.card.empty() || found.controls.empty()) return std::nullopt;
    return found;
}

std::vector<HandheldMachine> handheldMachines() {
    // Models on the same processor and kernel run as one machine.
    std::vector<HandheldMachine> machines;
    for (const Model& row : models()) {
        auto same = std::find_if(machines.begin(), machines.end(), [&](const HandheldMachine& machine) {
            return machine.qemuOptions == std::vector<std::string>{"-cpu", row.cpu, "-r", row.kernel};
        });
        if (same != machines.end())
            same->models += ", " + row.name;
        else
            machines.push_back(
                {row.name, {"-cpu", row.cpu, "-r", row.kernel}, row.kernel.rfind("2.4.", 0) == 0});
    }
    return machines;
}

HandheldRoot::HandheldRoot(const std::string& card, const std::vector<std::string>& roms) {
    fs::create_directories(root / "mnt/sd/roms");
    fs::copy(card, root / "mnt/sd/selector", fs::copy_options::recursive);
    for (const std::string& name : roms) writeFile(root / "mnt/sd/roms" + "/" + name, "");
    fs::create_directories(root / "mnt/sd/emulator");
    fs::copy_file(STATIC_RECORDER, root / "mnt/sd/emulator/emulator.gpe");
    fs::create_directories(root / "usr/gp2x");
    fs::copy_file(STATIC_RECORDER, root / "usr/gp2x/gp2xmenu");
    fs::create_directories(root / "dev");
    mkfifo((root / "dev/GPIO").c_str(), 0600);
    fs::copy_file(QEMU_ARM_STATIC, root / "qemu-arm-static");
}

ProgramRun HandheldRoot::run(const std::vector<Uint32>& masks, const std::vector<std::string>& qemuOptions) {
    const std::string output = root / "output", errors = root / "errors";
    std::vector<std::string> words = {"/qemu-arm-static"};
    words.insert(words.end(), qemuOptions.begin(), qemuOptions.end());
    words.push_back("/mnt/sd/selector/selector");
    const pid_t child = startChild(words, [&] {
        if (!freopen(output.c_str(), "w", stdout) || !freopen(errors.c_str(), "w", stderr)) _exit(121);
        enterRoot(root.path);
        clearenv();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("RECORD_FILE", "/record", 1);
    });
    pressPad(root / "dev/GPIO", masks);
    ProgramRun run = StartedSelector{child, output}.finish(60);
    run.errors = readFile(errors);
    return run;
}

SystemCalls systemCallsOf(const std::string& trace, const std::string& toolchain) {
    std::map<std::string, long> numbers;  // "#define __NR_read 3"
    for (const std::string& line :
         readLines(toolchain + "/arm-linux-musleabi/sysroot/usr/include/bits/syscall.h")) {
        char name[64];
        long number = 0;
        if (std::sscanf(line.c_str(), "#define __NR_%63s %ld", name, &number) == 2) numbers[name] = number;
    }
    SystemCalls calls;
    std::map<int, bool> open;  // descriptor: has FD_CLOEXEC
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        // "12345 open("/dev/GPIO",O_RDONLY|O_CLOEXEC) = 3"
        const size_t name = line.find(' '), end = line.find('(');
        if (name == std::string::npos || end == std::string::npos || name > end || name == 0 ||
            line.find_first_not_of("0123456789") != name)
            continue;
        // The C library names the calls whose time became 64 bits later "..._time32".
        const std::string call = line.substr(name + 1, end - name - 1);
        auto number = numbers.find(call);
        if (number == numbers.end()) number = numbers.find(call + "_time32");
        calls.numbers[call] = number == numbers.end() ? -1 : number->second;

        if (calls.handedOff) continue;
        const size_t equals = line.rfind(" = ");
        const int result = equals == std::string::npos ? -1 : std::atoi(line.c_str() + equals + 3);
        const int first = std::atoi(line.c_str() + end + 1);
        if ((call == "open" || call == "openat" || call == "dup" || call == "dup2" || call == "socket") &&
            result >= 0)
            open[result] = false;
        else if (call == "close")
            open.erase(first);
        else if ((call == "fcntl" || call == "fcntl64") && line.find(",F_SETFD,") != std::string::npos)
            open[first] = line.find(",F_SETFD,0)") == std::string::npos;
        else if (call == "execve") {
            calls.handedOff = true;
            for (const auto& [descriptor, closesOnExec] : open)
                if (descriptor > 2 && !closesOnExec) calls.passedOn.insert(descriptor);
        }
    }
    return calls;
}
