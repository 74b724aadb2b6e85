// The program for the first models, the F100 and the F200 (scripts/handheld
// f100): their ARM920T is an ARMv4T core, and their Linux 2.4 speaks only
// the old system-call ABI and has no kernel helper page. qemu-arm runs such
// a program (as a TI925T, ARMv4T too), but it would run anything newer as
// well, so what the program does is checked three ways, and each check is
// shown to catch the Wiz's program (ARMv5TE, EABI calls, kernel helpers).
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "handheld.h"

namespace {

#define REQUIRE_MODELS()                                                                         \
    const std::optional<HandheldModel> f100 = handheldModel("F100"), wiz = handheldModel("WIZ"); \
    if (!f100 || !wiz) GTEST_SKIP() << "no F100 and Wiz builds given (scripts/test-handheld gives them)"

TEST(FirstModelsProgram, StartsFromItsCardFolderAndHandsOffByThePadDevice) {
    REQUIRE_MODELS();
    const std::vector<std::string> roms = {"Alpha.zip", "Beta (E).rom", "gamma.zip", "notes.txt"};
    const std::string emulator = "/mnt/sd/emulator/emulator.gpe";
    const struct {
        const char* what;
        std::vector<Uint32> masks;
        std::vector<std::string> record;  // working folder, then argument vector
    } cases[] = {
        {"Down, release, A",
         {downMask, 0, aMask},
         {"/mnt/sd/selector", emulator, "/mnt/sd/roms/Beta (E).rom"}},
        {"Down twice, then A",
         {downMask, 0, downMask, 0, aMask},
         {"/mnt/sd/selector", emulator, "/mnt/sd/roms/gamma.zip"}},
        {"Select", {selectMask}, {"/usr/gp2x", "/usr/gp2x/gp2xmenu"}},
    };
    for (const auto& handOff : cases) {
        SCOPED_TRACE(handOff.what);
        HandheldRoot handheld(f100->card, roms);
        const ProgramRun run = handheld.run(handOff.masks, f100->machine);
        EXPECT_EQ(run.status, 0) << run.output << run.errors;
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(handheld.record(), handOff.record);
    }
}

// What the code of a program holds that an ARMv4T core on Linux 2.4 cannot
// run, from its disassembly (the unstripped program, whose mapping symbols
// tell code from data).
struct NewerThanTheFirstModels {
    std::string architecture;         // readelf's Tag_CPU_arch
    int eabiCalls = 0;                // svc 0: the new ABI's system calls
    std::set<std::string> mnemonics;  // instructions of ARMv5 and later, VFP, the TLS register
    int kernelHelperWords = 0;        // 0xffff0fxx: the kernel helpers' addresses
};

NewerThanTheFirstModels newerThanTheFirstModels(const HandheldModel& model) {
    const std::string tools = model.toolchain + "/bin/arm-linux-musleabi-",
                      program = model.build + "/selector";
    NewerThanTheFirstModels found;
    std::istringstream attributes(commandOutput(tools + "readelf -A " + program));
    for (std::string line; std::getline(attributes, line);)
        if (line.find("Tag_CPU_arch:") != std::string::npos)
            found.architecture = line.substr(line.find(':') + 2);
    const std::set<std::string> newer = {
        "clz",    "blx",     "ldrd",   "strd",   "pld",    "ldrex",  "strex",  "ldrexd", "strexd",
        "dmb",    "dsb",     "isb",    "qadd",   "qsub",   "qdadd",  "qdsub",  "smulbb", "smulbt",
        "smultb", "smultt",  "smulwb", "smulwt", "smlabb", "smlabt", "smlatb", "smlatt", "smlawb",
        "smlawt", "smlalbb", "mcrr",   "mrrc",   "ldc2",   "stc2",   "mcr2",   "mrc2",   "cdp2"};
    // "   10074:\te59f3010 \tldr\tr3, [pc, #16]" and "   10090:\tffff0fc0 \t.word\t0xffff0fc0"
    std::istringstream code(commandOutput(tools + "objdump -d " + program));
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
        if (base.rfind("svc", 0) == 0 &&
            std::stoul(operands.substr(operands.find("0x")), nullptr, 16) < 0x900000)
            ++found.eabiCalls;
        if (operands.rfind("0xffff0f", 0) == 0) ++found.kernelHelperWords;
    }
    return found;
}

TEST(FirstModelsProgram, IsOneSmallStaticFileWithNothingAnArmv4tOnLinux24Lacks) {
    REQUIRE_MODELS();
    const std::string program = f100->card + "/selector";
    EXPECT_LT(readFile(program).size(), 1u << 20) << "bytes, stripped";
    const std::string segments =
        commandOutput(f100->toolchain + "/bin/arm-linux-musleabi-readelf -lW " + program);
    EXPECT_NE(segments.find("LOAD"), std::string::npos);
    for (const char* dynamic : {"INTERP", "DYNAMIC"})
        EXPECT_EQ(segments.find(dynamic), std::string::npos) << dynamic;

    const NewerThanTheFirstModels first = newerThanTheFirstModels(*f100),
                                  control = newerThanTheFirstModels(*wiz);
    EXPECT_EQ(first.architecture, "v4T");
    EXPECT_EQ(first.eabiCalls, 0);
    EXPECT_EQ(first.mnemonics, std::set<std::string>{});
    EXPECT_EQ(first.kernelHelperWords, 0);
    // The checks see what is wrong with the Wiz's program.
    EXPECT_EQ(control.architecture, "v5TE");
    EXPECT_GT(control.eabiCalls, 0);
    EXPECT_TRUE(control.mnemonics.count("clz") && control.mnemonics.count("blx")) << control.mnemonics.size();
    EXPECT_GT(control.kernelHelperWords, 0);
}

// Linux 2.4's system calls on ARM (a late 2.4 include/asm-arm/unistd.h).
bool inLinux24(long number) {
    const long ranges[][2] = {{1, 17},    {19, 27},   {29, 58},   {60, 83},  {85, 108},
                              {111, 187}, {190, 221}, {223, 225}, {238, 238}};
    for (const auto& range : ranges)
        if (number >= range[0] && number <= range[1]) return true;
    return false;
}

TEST(FirstModelsProgram, MakesOnlyLinux24CallsAndNeverRunsKernelHelperCode) {
    REQUIRE_MODELS();
    const struct {
        const char* what;
        const HandheldModel* model;
        std::vector<std::string> machine;
        bool fitsLinux24;
    } runs[] = {
        {"the F100 program", &*f100, f100->machine, true},
        // The Wiz's program would stop at its first ARMv5 instruction on a
        // TI925T: it runs as an ARM926 here, so that the checks see all of it.
        {"the Wiz program, as a control", &*wiz, {"-cpu", "arm926", "-r", "2.4.26"}, false},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        HandheldRoot handheld(run.model->card, {"a.zip", "b.rom"});
        std::vector<std::string> options = run.machine;
        for (const char* option :
             {"-strace", "-d", "exec,nochain", "-dfilter", "0xffff0000+0x10000", "-D", "/exec.log"})
            options.push_back(option);
        const ProgramRun ran = handheld.run({downMask, 0, aMask}, options);
        ASSERT_EQ(ran.status, 0) << ran.errors;
        ASSERT_EQ(handheld.record().size(), 3u) << "no hand-off";

        // qemu logs the calls, and each block it runs at the kernel helpers'
        // addresses ("Trace 0: ... [.../ffff0fc0/...]"), to the log file.
        const std::string log = readFile(handheld.root / "exec.log") + ran.errors;
        std::set<std::string> outside;
        for (const auto& [name, number] : systemCallsOf(log, run.model->toolchain))
            if (!inLinux24(number)) outside.insert(name);
        const bool helperRan = log.find("Trace ") != std::string::npos;
        if (run.fitsLinux24) {
            EXPECT_EQ(outside, std::set<std::string>{});
            EXPECT_FALSE(helperRan);
        } else {
            EXPECT_TRUE(outside.count("set_tid_address") && outside.count("statx"))
                << testing::PrintToString(outside);
            EXPECT_TRUE(helperRan);
        }
    }
}

}  // namespace
