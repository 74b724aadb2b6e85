// The handheld program (scripts/handheld), checked as the Wiz or the Caanoo
// would run it: one static ARMv5TE file, started under qemu-arm as an
// ARM926EJ-S on Linux 2.6.24 from its SD-card folder, in a root of its own
// (/mnt/sd, /usr/gp2x, a FIFO as /dev/GPIO), driven through its pad device.
//
// scripts/test-handheld runs these with the paths below in the environment;
// without them they are skipped:
//   SELECTOR_HANDHELD_CARD       the SD-card folder the handheld build made
//   SELECTOR_HANDHELD_TOOLCHAIN  the compiler it was made with
//   SELECTOR_HANDHELD_LIBRARIES  the libraries it was made with
#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support.h"

namespace {

namespace fs = std::filesystem;

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

#define REQUIRE_HANDHELD_BUILD()                           \
    if (fromEnvironment("SELECTOR_HANDHELD_CARD").empty()) \
    GTEST_SKIP() << "no handheld build given (scripts/test-handheld gives one)"

std::string handheldProgram() { return fromEnvironment("SELECTOR_HANDHELD_CARD") + "/selector"; }

// The output of a command run with a time limit.
std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(("timeout 60 " + command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

TEST(HandheldProgram, IsOneSmallStaticArmv5teFile) {
    REQUIRE_HANDHELD_BUILD();
    const std::string program = readFile(handheldProgram());
    ASSERT_GT(program.size(), sizeof(Elf32_Ehdr));
    EXPECT_LT(program.size(), 1u << 20) << "bytes, stripped";

    Elf32_Ehdr header;
    std::memcpy(&header, program.data(), sizeof header);
    EXPECT_EQ(header.e_ident[EI_CLASS], ELFCLASS32);
    EXPECT_EQ(header.e_machine, EM_ARM);
    EXPECT_EQ(header.e_flags & EF_ARM_EABIMASK, static_cast<Elf32_Word>(EF_ARM_EABI_VER5));
    EXPECT_EQ(header.e_flags & EF_ARM_ABI_FLOAT_HARD, 0u) << "soft float";
    ASSERT_LE(header.e_phoff + header.e_phnum * sizeof(Elf32_Phdr), program.size());
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf32_Phdr segment;
        std::memcpy(&segment, program.data() + header.e_phoff + i * sizeof segment, sizeof segment);
        EXPECT_NE(segment.p_type, static_cast<Elf32_Word>(PT_INTERP)) << "it asks for a program interpreter";
        EXPECT_NE(segment.p_type, static_cast<Elf32_Word>(PT_DYNAMIC)) << "it has a dynamic section";
    }
    EXPECT_NE(commandOutput("readelf -A " + handheldProgram()).find("Tag_CPU_arch: v5TE\n"),
              std::string::npos);

    // One C library, and nothing that stops at start on a kernel before 3.1.
    for (const char* foreign : {"GLIBC_2.", "__libc_start_main@", "A newer kernel is required"})
        EXPECT_EQ(program.find(foreign), std::string::npos) << foreign;
}

TEST(HandheldProgram, HasFramebufferAndDummyVideoAndNoSoundOrJoystick) {
    REQUIRE_HANDHELD_BUILD();
    const std::vector<std::string> config =
        readLines(fromEnvironment("SELECTOR_HANDHELD_LIBRARIES") + "/usr/include/SDL/SDL_config.h");
    ASSERT_FALSE(config.empty());
    std::set<std::string> drivers;
    for (const std::string& line : config) {
        char driver[64];
        if (std::sscanf(line.c_str(), "#define SDL_VIDEO_DRIVER_%63s 1", driver) == 1 ||
            std::sscanf(line.c_str(), "#define SDL_AUDIO_DRIVER_%63s 1", driver) == 1)
            drivers.insert(line.substr(std::strlen("#define SDL_"), 5) + " " + driver);
    }
    EXPECT_EQ(drivers, (std::set<std::string>{"VIDEO DUMMY", "VIDEO FBCON"}));
    // The program reads the pads itself: SDL's joystick driver would also
    // deliver the Caanoo's buttons, in another numbering.
    for (const char* disabled : {"#define SDL_AUDIO_DISABLED 1", "#define SDL_JOYSTICK_DISABLED 1"})
        EXPECT_NE(std::find(config.begin(), config.end(), disabled), config.end()) << disabled;
}

// The masks of the pad device, bit n for button n.
constexpr Uint32 downMask = 1u << 4, selectMask = 1u << 9, aMask = 1u << 12;

// A root laid out like the handheld's: the SD-card folder as the handheld
// build made it at /mnt/sd/selector, ROMs where its settings look for them,
// a recorder as the emulator they name and as the system menu, a FIFO as the
// pad device, and qemu to run the ARM program.
struct HandheldRoot {
    TempFolder root;

    explicit HandheldRoot(const std::vector<std::string>& roms) {
        fs::create_directories(root / "mnt/sd/roms");
        fs::copy(fromEnvironment("SELECTOR_HANDHELD_CARD"), root / "mnt/sd/selector",
                 fs::copy_options::recursive);
        for (const std::string& name : roms) writeFile(root / "mnt/sd/roms" + "/" + name, "");
        fs::create_directories(root / "mnt/sd/emulator");
        fs::copy_file(STATIC_RECORDER, root / "mnt/sd/emulator/emulator.gpe");
        fs::create_directories(root / "usr/gp2x");
        fs::copy_file(STATIC_RECORDER, root / "usr/gp2x/gp2xmenu");
        fs::create_directories(root / "dev");
        mkfifo((root / "dev/GPIO").c_str(), 0600);
        fs::copy_file(QEMU_ARM_STATIC, root / "qemu-arm-static");
    }

    // Starts the program in its folder as the handheld would, presses the
    // pad as `masks` say, and waits for the end (60 seconds at most).
    // `qemuOptions` go before the program's path.
    ProgramRun run(const std::vector<Uint32>& masks, const std::vector<std::string>& qemuOptions = {}) {
        const std::string output = root / "output", errors = root / "errors";
        std::vector<std::string> words = {"/qemu-arm-static", "-cpu", "arm926", "-r", "2.6.24"};
        words.insert(words.end(), qemuOptions.begin(), qemuOptions.end());
        words.push_back("/mnt/sd/selector/selector");
        std::vector<char*> command;
        for (std::string& word : words) command.push_back(word.data());
        command.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (!freopen(output.c_str(), "w", stdout) || !freopen(errors.c_str(), "w", stderr)) _exit(121);
            enterRoot();
            char* environment[] = {const_cast<char*>("SDL_VIDEODRIVER=dummy"),
                                   const_cast<char*>("RECORD_FILE=/record"), nullptr};
            execve(command[0], command.data(), environment);
            _exit(122);
        }
        pressPad(masks);
        StartedSelector started{child, output};
        ProgramRun run = started.finish(60);
        run.errors = readFile(errors);
        return run;
    }

    std::vector<std::string> record() const { return readLines(root / "record"); }

private:
    // Makes the root the child's "/", as root or in a user namespace of its
    // own, and enters the card's folder as the handheld's menu would.
    void enterRoot() const {
        if (geteuid() != 0) {
            const uid_t user = geteuid();
            const gid_t group = getegid();
            if (unshare(CLONE_NEWUSER) != 0) _exit(123);
            writeFile("/proc/self/setgroups", "deny");
            writeFile("/proc/self/uid_map", "0 " + std::to_string(user) + " 1");
            writeFile("/proc/self/gid_map", "0 " + std::to_string(group) + " 1");
        }
        if (chroot(root.path.c_str()) != 0 || chdir("/mnt/sd/selector") != 0) _exit(124);
    }

    // Writes the masks to the FIFO once the program has opened it.
    void pressPad(const std::vector<Uint32>& masks) const {
        int pad = -1;
        for (int waited = 0; pad < 0 && waited < 6000; ++waited) {
            pad = open((root / "dev/GPIO").c_str(), O_WRONLY | O_NONBLOCK);  // ENXIO until it is opened
            if (pad < 0) usleep(10000);
        }
        if (pad < 0) return;  // never opened: the run ends without presses
        for (Uint32 mask : masks) {
            if (write(pad, &mask, sizeof mask) != sizeof mask) break;
        }
        close(pad);
    }
};

TEST(HandheldProgram, StartsFromItsCardFolderAndHandsOffByThePadDevice) {
    REQUIRE_HANDHELD_BUILD();
    const std::vector<std::string> roms = {"Alpha.zip", "Beta (E).rom", "gamma.zip", "notes.txt"};
    const std::vector<std::string> menu = {"/usr/gp2x", "/usr/gp2x/gp2xmenu"};
    const struct {
        const char* what;
        std::vector<Uint32> masks;
        std::vector<std::string> record;  // working folder, then argument vector
        const char* removed;              // from the root before the run
        std::string output;
    } cases[] = {
        {"Down, release, A",
         {downMask, 0, aMask},
         {"/mnt/sd/selector", "/mnt/sd/emulator/emulator.gpe", "/mnt/sd/roms/Beta (E).rom"},
         "",
         ""},
        {"Down held while A is pressed",
         {downMask, downMask, downMask | aMask},
         {"/mnt/sd/selector", "/mnt/sd/emulator/emulator.gpe", "/mnt/sd/roms/Beta (E).rom"},
         "",
         ""},
        {"Down twice, then A",
         {downMask, 0, downMask, 0, aMask},
         {"/mnt/sd/selector", "/mnt/sd/emulator/emulator.gpe", "/mnt/sd/roms/gamma.zip"},
         "",
         ""},
        {"Select", {selectMask}, menu, "", ""},
        {"a launch program that cannot start: shown, then the menu after a press",
         {aMask, 0, aMask},
         menu,
         "mnt/sd/emulator/emulator.gpe",
         "Cannot start /mnt/sd/emulator/emulator.gpe: No such file or directory\n"},
        {"an image missing: shown, then the menu after three seconds",
         {},
         menu,
         "mnt/sd/selector/arrow.png",
         "IMG_Load failed: Couldn't open arrow.png\n"},
    };
    for (const auto& handOff : cases) {
        SCOPED_TRACE(handOff.what);
        HandheldRoot handheld(roms);
        if (*handOff.removed) fs::remove(handheld.root / handOff.removed);
        const ProgramRun run = handheld.run(handOff.masks);
        EXPECT_EQ(run.status, 0) << run.output << run.errors;
        EXPECT_EQ(run.output, handOff.output);
        EXPECT_EQ(handheld.record(), handOff.record);
    }
}

// The system calls of one run, start-up to hand-off, each with its number on
// ARM (from the C library's own table).
std::map<std::string, long> systemCallsOfARun(const std::string& trace) {
    std::map<std::string, long> numbers;  // "#define __NR_read 3"
    for (const std::string& line : readLines(fromEnvironment("SELECTOR_HANDHELD_TOOLCHAIN") +
                                             "/arm-linux-musleabi/sysroot/usr/include/bits/syscall.h")) {
        char name[64];
        long number = 0;
        if (std::sscanf(line.c_str(), "#define __NR_%63s %ld", name, &number) == 2) numbers[name] = number;
    }
    std::map<std::string, long> calls;  // "12345 read(3,0x40800000,4) = 4"
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const size_t name = line.find(' '), end = line.find('(');
        if (name == std::string::npos || end == std::string::npos || name > end ||
            line.find_first_not_of("0123456789") != name)
            continue;
        const std::string call = line.substr(name + 1, end - name - 1);
        const auto number = numbers.find(call);
        calls[call] = number == numbers.end() ? -1 : number->second;
    }
    return calls;
}

TEST(HandheldProgram, MakesOnlySystemCallsThatLinux2624Has) {
    REQUIRE_HANDHELD_BUILD();
    HandheldRoot handheld({"a.zip", "b.rom"});
    const ProgramRun run = handheld.run({downMask, 0, aMask}, {"-strace"});
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::map<std::string, long> calls = systemCallsOfARun(run.errors);
    ASSERT_TRUE(calls.count("execve")) << "no hand-off in the trace";

    // Linux 2.6.24's system calls on ARM end at 352 (fallocate); 350 was
    // then an empty slot (timerfd_create came in 2.6.25). The C library
    // tries these newer calls first and falls back on ENOSYS to the old ones:
    const std::map<std::string, std::string> fallbacks = {
        {"statx", "fstatat64"},
        {"clock_gettime64", "clock_gettime"},
    };
    for (const auto& [name, number] : calls) {
        if (fallbacks.count(name)) continue;
        EXPECT_TRUE(number >= 0 && number <= 352 && number != 350)
            << name << " (number " << number << ") is not in Linux 2.6.24";
    }
}

}  // namespace
