// The Wiz and Caanoo program (scripts/handheld): one static ARMv5TE file,
// run under qemu-arm as an ARM926EJ-S on Linux 2.6.24 (handheld.h).
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "handheld.h"

namespace {

namespace fs = std::filesystem;

#define REQUIRE_MODEL(model)                                          \
    const std::optional<HandheldModel> model = handheldModel(#model); \
    if (!model) GTEST_SKIP() << "no " #model " build given (scripts/test-handheld gives one)"

TEST(HandheldProgram, IsOneSmallStaticArmv5teFile) {
    REQUIRE_MODEL(WIZ);
    const std::string program = readFile(WIZ->card + "/selector");
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
    EXPECT_NE(commandOutput("readelf -A " + WIZ->card + "/selector").find("Tag_CPU_arch: v5TE\n"),
              std::string::npos);

    // One C library, and nothing that stops at start on a kernel before 3.1.
    for (const char* foreign : {"GLIBC_2.", "__libc_start_main@", "A newer kernel is required"})
        EXPECT_EQ(program.find(foreign), std::string::npos) << foreign;
}

TEST(HandheldProgram, HasFramebufferAndDummyVideoAndNoSoundOrJoystick) {
    REQUIRE_MODEL(WIZ);
    const std::vector<std::string> config = readLines(WIZ->libraries + "/usr/include/SDL/SDL_config.h");
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

TEST(HandheldProgram, StartsFromItsCardFolderAndHandsOffByThePadDevice) {
    REQUIRE_MODEL(WIZ);
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
        HandheldRoot handheld(WIZ->card, roms);
        if (*handOff.removed) fs::remove(handheld.root / handOff.removed);
        const ProgramRun run = handheld.run(handOff.masks, WIZ->machine);
        EXPECT_EQ(run.status, 0) << run.output << run.errors;
        EXPECT_EQ(run.output, handOff.output);
        EXPECT_EQ(handheld.record(), handOff.record);
    }
}

TEST(HandheldProgram, MakesOnlySystemCallsThatLinux2624Has) {
    REQUIRE_MODEL(WIZ);
    HandheldRoot handheld(WIZ->card, {"a.zip", "b.rom"});
    std::vector<std::string> options = WIZ->machine;
    options.push_back("-strace");
    const ProgramRun run = handheld.run({downMask, 0, aMask}, options);
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::map<std::string, long> calls = systemCallsOf(run.errors, WIZ->toolchain);
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
