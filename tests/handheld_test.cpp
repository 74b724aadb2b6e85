// The handheld program (scripts/handheld): one static file for every model,
// ARMv4T code in the old system-call ABI, run under qemu-arm as each model's
// processor and kernel (handheld.h). qemu-arm would also run code that no
// handheld runs, so what the program holds and does is checked, and each
// check is shown to catch a program that breaks it (the ABI controls).
#include <SDL_image.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "draw.h"
#include "handheld.h"

namespace {

namespace fs = std::filesystem;

#define REQUIRE_BUILD()                                                                      \
    const std::optional<HandheldBuild> built = handheldBuild();                              \
    if (!built) GTEST_SKIP() << "no handheld build given (scripts/test-handheld gives one)"; \
    ASSERT_FALSE(handheldMachines().empty()) << "no models read from " MODELS_FILE

// What the code of a program holds that some handheld cannot run, from its
// disassembly (an unstripped program, whose mapping symbols tell code from
// data, and ARM code from Thumb).
struct Audit {
    std::string architecture;         // readelf's Tag_CPU_arch
    int eabiCalls = 0;                // svc 0: the new ABI's system calls, which the Wiz kills
    int fstatat64Calls = 0;           // swi 0x900147: the call the Caanoo's old-ABI layer gets wrong
    int thumbCode = 0;                // Thumb regions: the Caanoo takes their calls as EABI
    std::set<std::string> mnemonics;  // instructions of ARMv5 and later, VFP, the TLS register
    int kernelHelperWords = 0;        // 0xffff0fxx: the kernel helpers' addresses, which 2.4 lacks
};

Audit audit(const std::string& tools, const std::string& program) {
    Audit found;
    std::istringstream attributes(commandOutput({tools + "readelf", "-A", program}));
    for (std::string line; std::getline(attributes, line);)
        if (line.find("Tag_CPU_arch:") != std::string::npos)
            found.architecture = line.substr(line.find(':') + 2);
    std::istringstream symbols(commandOutput({tools + "readelf", "-sW", program}));
    for (std::string line; std::getline(symbols, line);)
        found.thumbCode += line.size() > 3 && line.compare(line.size() - 3, 3, " $t") == 0;
    const std::set<std::string> newer = {
        "clz",    "blx",     "ldrd",   "strd",   "pld",    "ldrex",  "strex",  "ldrexd", "strexd",
        "dmb",    "dsb",     "isb",    "qadd",   "qsub",   "qdadd",  "qdsub",  "smulbb", "smulbt",
        "smultb", "smultt",  "smulwb", "smulwt", "smlabb", "smlabt", "smlatb", "smlatt", "smlawb",
        "smlawt", "smlalbb", "mcrr",   "mrrc",   "ldc2",   "stc2",   "mcr2",   "mrc2",   "cdp2"};
    // "   10074:\te59f3010 \tldr\tr3, [pc, #16]" and "   10090:\tffff0fc0 \t.word\t0xffff0fc0"
    std::istringstream code(commandOutput({tools + "objdump", "-d", program}));
    for (std::string line; std::getline(code, line);) {
        std::istringstream fields(line);
        std::string address, word, mnemonic, operands;
        if (!std::getline(fields, address, '\t') || address.empty() || address.back() != ':' ||
            !std::getline(fields, word, '\t') || !std::getline(fields, mnemonic, '\t'))
            continue;
        std::getline(fields, operands);
        const std::string base = mnemonic.substr(0, mnemonic.find('.'));
        if (newer.count(base) || base.rfind("blx", 0) == 0 || (base[0] == 'v' && base != "vorr") ||
            (base.rfind("mrc", 0) == 0 && operands.find("cr13") != std::string::npos))
            found.mnemonics.insert(base);
        if (base.rfind("svc", 0) == 0 && operands.find("0x") != std::string::npos) {
            const unsigned long number = std::stoul(operands.substr(operands.find("0x")), nullptr, 16);
            found.eabiCalls += number < 0x900000;
            found.fstatat64Calls += number == 0x900000 + 327;
        }
        if (operands.rfind("0xffff0f", 0) == 0) ++found.kernelHelperWords;
    }
    return found;
}

TEST(HandheldProgram, IsOneSmallStaticArmv4tFileInTheOldAbiAndTheChecksCatchOthers) {
    REQUIRE_BUILD();
    const std::string tools = built->toolchain + "/bin/arm-linux-musleabi-";
    const std::string program = readFile(built->card + "/selector");
    ASSERT_GT(program.size(), sizeof(Elf32_Ehdr));
    EXPECT_LT(program.size(), 1u << 20) << "bytes, stripped";
    // The loaders of 2.4 and 2.6.24 check the machine and the entry, not the
    // EABI version: the userland's own marks stay.
    Elf32_Ehdr header;
    std::memcpy(&header, program.data(), sizeof header);
    EXPECT_EQ(header.e_ident[EI_CLASS], ELFCLASS32);
    EXPECT_EQ(header.e_machine, EM_ARM);
    EXPECT_EQ(header.e_flags & EF_ARM_ABI_FLOAT_HARD, 0u) << "soft float";
    const std::string segments = commandOutput({tools + "readelf", "-lW", built->card + "/selector"});
    EXPECT_NE(segments.find("LOAD"), std::string::npos);
    for (const char* dynamic : {"INTERP", "DYNAMIC"})
        EXPECT_EQ(segments.find(dynamic), std::string::npos) << dynamic;
    // One C library, and nothing that stops at start on a kernel before 3.1.
    for (const char* foreign : {"GLIBC_2.", "__libc_start_main@", "A newer kernel is required"})
        EXPECT_EQ(program.find(foreign), std::string::npos) << foreign;

    const Audit selector = audit(tools, built->build + "/selector");
    EXPECT_EQ(selector.architecture, "v4T");
    EXPECT_EQ(selector.eabiCalls, 0);
    EXPECT_EQ(selector.fstatat64Calls, 0);
    EXPECT_EQ(selector.thumbCode, 0);
    EXPECT_EQ(selector.mnemonics, std::set<std::string>{});
    EXPECT_EQ(selector.kernelHelperWords, 0);
    // The same checks on programs that break them.
    const Audit eabi = audit(tools, built->controls + "/eabi"),
                mistakes = audit(tools, built->controls + "/mistakes");
    EXPECT_EQ(eabi.architecture, "v5TE");
    EXPECT_GT(eabi.eabiCalls, 0);
    EXPECT_TRUE(eabi.mnemonics.count("blx")) << testing::PrintToString(eabi.mnemonics);
    EXPECT_GT(eabi.kernelHelperWords, 0);
    EXPECT_GT(mistakes.fstatat64Calls, 0);
    EXPECT_GT(mistakes.thumbCode, 0);
}

// The card's game folder, as the Wiz's and the Caanoo's menus list it: an
// INI file beside each program's folder, whose paths (a leading "/" is the
// game folder) name the program, the Caanoo's 26x26 icon and 305x57 title;
// and beside each .gpe the 32x32 icon of the same name.
TEST(HandheldProgram, CardListsEachProgramInTheMenusGameFolder) {
    REQUIRE_BUILD();
    const std::string game = built->card + "/..";
    const struct {
        const char *entry, *name, *program;
    } entries[] = {{"selector.ini", "ROM Selector", "/selector/selector.gpe"},
                   {"probe.ini", "Selector Probe", "/probe/probe.gpe"}};
    for (const auto& expected : entries) {
        SCOPED_TRACE(expected.entry);
        const std::vector<std::string> lines = readLines(game + "/" + expected.entry);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], "[info]");
        std::map<std::string, std::string> values;  // key="value"
        for (size_t line = 1; line < lines.size(); ++line) {
            const size_t equals = lines[line].find("=\"");
            ASSERT_TRUE(equals != std::string::npos && lines[line].back() == '"') << lines[line];
            values[lines[line].substr(0, equals)] =
                lines[line].substr(equals + 2, lines[line].size() - equals - 3);
        }
        EXPECT_EQ(values.size(), 4u) << testing::PrintToString(values);
        EXPECT_EQ(values["name"], expected.name);
        EXPECT_EQ(values["path"], expected.program);
        const std::string program = expected.program;
        const struct {
            std::string image;
            int width, height;
        } images[] = {{values["icon"], 26, 26},
                      {values["title"], 305, 57},
                      {program.substr(0, program.size() - 4) + ".png", 32, 32}};
        EXPECT_TRUE(fs::is_regular_file(game + program));
        for (const auto& image : images) {
            Surface read(IMG_Load((game + image.image).c_str()));
            ASSERT_TRUE(read) << image.image << ": " << IMG_GetError();
            EXPECT_EQ(read->w, image.width) << image.image;
            EXPECT_EQ(read->h, image.height) << image.image;
        }
    }
}

TEST(HandheldProgram, HasFramebufferAndDummyVideoAndNoSoundOrJoystick) {
    REQUIRE_BUILD();
    const std::vector<std::string> config = readLines(built->libraries + "/usr/include/SDL/SDL_config.h");
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

TEST(HandheldProgram, StartsFromItsCardFolderAndHandsOffByThePadDeviceOnEveryModel) {
    REQUIRE_BUILD();
    const std::vector<std::string> roms = {"Alpha.zip", "Beta (E).rom", "gamma.zip", "notes.txt"};
    const std::vector<std::string> menu = {"/usr/gp2x", "/usr/gp2x/gp2xmenu"};
    const std::string emulator = "/mnt/sd/emulator/emulator.gpe";
    const struct {
        const char* what;
        std::vector<Uint32> masks;
        std::vector<std::string> record;  // working folder, then argument vector
        const char* removed;              // from the root before the run
        std::string output;
    } cases[] = {
        {"Down, release, A",
         {downMask, 0, aMask},
         {"/mnt/sd/selector", emulator, "/mnt/sd/roms/Beta (E).rom"},
         "",
         ""},
        {"Down held while A is pressed",
         {downMask, downMask, downMask | aMask},
         {"/mnt/sd/selector", emulator, "/mnt/sd/roms/Beta (E).rom"},
         "",
         ""},
        {"Down twice, then A",
         {downMask, 0, downMask, 0, aMask},
         {"/mnt/sd/selector", emulator, "/mnt/sd/roms/gamma.zip"},
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
    for (const HandheldMachine& machine : handheldMachines()) {
        for (const auto& handOff : cases) {
            SCOPED_TRACE(std::string(machine.models) + ": " + handOff.what);
            HandheldRoot handheld(built->card, roms);
            if (*handOff.removed) fs::remove(handheld.root / handOff.removed);
            const ProgramRun run = handheld.run(handOff.masks, machine.qemuOptions);
            EXPECT_EQ(run.status, 0) << run.output << run.errors;
            EXPECT_EQ(run.output, handOff.output);
            EXPECT_EQ(handheld.record(), handOff.record);
        }
    }
}

// Linux 2.4's system calls on ARM (a late 2.4 include/asm-arm/unistd.h);
// 2.6.24's end at 352 (fallocate), with 350 then an empty slot.
bool inKernel(long number, bool linux24) {
    if (!linux24) return number >= 0 && number <= 352 && number != 350;
    const long ranges[][2] = {{1, 17},    {19, 27},   {29, 58},   {60, 83},  {85, 108},
                              {111, 187}, {190, 221}, {223, 225}, {238, 238}};
    for (const auto& range : ranges)
        if (number >= range[0] && number <= range[1]) return true;
    return false;
}

// qemu's options that trace the calls and log each block run at the kernel
// helpers' addresses ("Trace 0: ... [.../ffff0fc0/...]") to /exec.log.
std::vector<std::string> traced(std::vector<std::string> options, const std::string& log) {
    for (const char* option : {"-strace", "-d", "exec,nochain", "-dfilter", "0xffff0000+0x10000", "-D"})
        options.push_back(option);
    options.push_back(log);
    return options;
}

TEST(HandheldProgram, MakesOnlyCallsEachKernelHasAndPassesNoDescriptorOn) {
    REQUIRE_BUILD();
    for (const HandheldMachine& machine : handheldMachines()) {
        SCOPED_TRACE(machine.models);
        HandheldRoot handheld(built->card, {"a.zip", "b.rom"});
        const ProgramRun run = handheld.run({downMask, 0, aMask}, traced(machine.qemuOptions, "/exec.log"));
        ASSERT_EQ(run.status, 0) << run.errors;
        ASSERT_EQ(handheld.record().size(), 3u) << "no hand-off";
        const std::string log = readFile(handheld.root / "exec.log") + run.errors;
        const SystemCalls calls = systemCallsOf(log, built->toolchain);
        std::set<std::string> outside;
        for (const auto& [name, number] : calls.numbers)
            if (!inKernel(number, machine.linux24)) outside.insert(name);
        EXPECT_EQ(outside, std::set<std::string>{});
        EXPECT_EQ(calls.numbers.count("fstatat64"), 0u);
        EXPECT_EQ(log.find("Trace "), std::string::npos) << "code ran in the kernel helpers' page";
        // 2.4 ignores O_CLOEXEC: what is still open at the hand-off must
        // have had FD_CLOEXEC set by fcntl.
        ASSERT_TRUE(calls.handedOff);
        EXPECT_EQ(calls.passedOn, std::set<int>{});
    }

    // The same checks catch programs that break them.
    const struct {
        const char* what;
        const char* program;
        bool linux24;         // the table of calls it is held to
        const char* missing;  // a call that the kernel lacks or mishandles
        bool helperRuns;
        bool passesOn;  // a descriptor into the program it starts
    } controls[] = {
        {"an EABI program on Linux 2.4", "eabi", true, "set_tid_address", true, false},
        {"an EABI program on Linux 2.6.24", "eabi", false, "statx", true, false},
        {"an old-ABI program that calls fstatat64 and passes a descriptor on", "mistakes", true, "fstatat64",
         false, true},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.what);
        TempFolder folder;
        // An ARM926, so that an ARMv5 instruction does not stop the run first.
        std::vector<std::string> command = traced({"-cpu", "arm926", "-r", "2.4.26"}, folder / "exec.log");
        command.insert(command.begin(), QEMU_ARM_STATIC);
        command.push_back(built->controls + "/" + control.program);
        const std::string trace = commandOutput(command);
        const std::string log = readFile(folder / "exec.log") + trace;
        const SystemCalls calls = systemCallsOf(log, built->toolchain);
        const auto call = calls.numbers.find(control.missing);
        EXPECT_TRUE(call != calls.numbers.end() && !inKernel(call->second, control.linux24)) << log;
        EXPECT_EQ(log.find("Trace ") != std::string::npos, control.helperRuns);
        EXPECT_EQ(!calls.passedOn.empty(), control.passesOn) << testing::PrintToString(calls.passedOn);
    }
}

}  // namespace
