// selector-check on launch programs, judged as the kernel would start them
// and compared with what the real selector does with them.
#include <gtest/gtest.h>

#include "check_support.h"

namespace {

namespace fs = std::filesystem;

TEST(SelectorCheck, JudgesLaunchProgramsAsTheKernelStartsThem) {
    if (UNDER_EMULATION)
        GTEST_SKIP() << "programs for this processor start through qemu here, not as the kernel starts them";
    const std::string recorder = readFile(ARGV_RECORDER), line4 = "selector.cfg line 4: ";
    const std::string script = std::string("#!/bin/sh\nexec ") + ARGV_RECORDER + " \"$@\"\n";
    // A script whose interpreter is WHERE/shell, holding `contents`.
    auto through = [](const std::string& contents) {
        return [contents](CheckFolder& f) {
            file("shell", contents, fs::perms(0755))(f);
            launch("#!" + f.where + "/shell\n")(f);
        };
    };
    const Real cannot = Real::CannotStart, launches = Real::Launches;
    expectVerdicts({
        row("a script", 0, launches, {}, launch(script)),
        row("a script saved with Windows line ends", 1, cannot,
            {line4 + "launch program",
             "so the system looks for the interpreter \"/bin/sh\\r\": it was saved with "
             "Windows line ends"},
            launch("#!/bin/sh\r\nexec true\r\n")),
        row("an argument to the interpreter, with Windows line ends", 1, Real::NotRun,
            {"gives its interpreter the argument \"-e\\r\""}, launch("#!/bin/sh -e\r\n")),
        row("an interpreter that is a folder", 1, cannot,
            {"is a folder, not a program: A would stop the selector"},
            [](CheckFolder& f) { launch("#!" + f.where + "/roms\n")(f); }),
        row("an interpreter that is no program", 1, cannot, {"/shell\" is not a program (ELF) at all"},
            through("echo\n")),
        // The handheld's kernel refuses what this one takes.
        row("an interpreter that is a script", 1, launches,
            {"is a script itself, and the handheld's kernel (Linux 2.6.24)"}, through(script)),
        row("a missing interpreter", 1, cannot, {"interpreter \"/no/such/shell\" does not exist"},
            launch("#!/no/such/shell -e\n")),
        row("a program whose interpreter is missing", 1, cannot,
            {"needs its program interpreter",
             "which does not exist on this machine: the system cannot start it"},
            launch(withoutItsInterpreter(ARGV_RECORDER))),
        row("a program cut short", 1, cannot,
            {"is cut short (64 bytes): its program headers lie past its end"},
            launch(recorder.substr(0, 64))),
        row("a program nobody may read, only run", 0, sanitized ? Real::NotRun : launches,
            {line4 + "note: launch program", "selector-check cannot read it to check (Permission denied)"},
            launch(recorder, fs::perms(0711)), true),
        row("a program that is not executable", 1, cannot, {"is not executable"},
            launch(recorder, fs::perms(0644))),
        row("a folder", 1, cannot, {"is not a file"}, launching("/roms")),
        row("a missing program", 1, cannot, {"does not exist: A would stop the selector"},
            launching("/gone")),
        row("neither script nor program", 1, cannot, {"is neither a script"}, launch("echo hello\n")),
        row("an ARM program", 0, Real::NotRun, {}, launch(elfProgram(EM_ARM))),
        row("an ARM program whose program interpreter has no name", 1, Real::NotRun,
            {"names a program interpreter the system rejects"},
            launch(elfProgram(EM_ARM, std::string(1, '\0')))),
        row("a program for another processor", 1, Real::NotRun,
            {"is a program for MIPS, not ARM: it runs neither on the handheld nor here"},
            launch(elfProgram(EM_MIPS))),
        row("a relative launch program", 0, launches,
            {line4 + "note: launch program \"./emulator\" is relative"}, launching("./emulator")),
    });
}

}  // namespace
