// The launch program of line 4 as the handheld's kernel (Linux 2.6.24) would
// start it: a script by its "#!" line, an ELF program by its headers and its
// program interpreter. The program is read, never run.
#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "check.h"
#include "check_fat.h"
#include "files.h"

namespace {

// What the check says about the program: errors stop A, notes do not.
struct Said {
    std::string text;
    bool error = true;
};

// The kernel reads this much of a program to tell what it is, and takes a
// "#!" line up to a newline within it.
constexpr size_t kernelHead = 128;

// The bytes of `file` from `offset`, at most `size` of them.
std::string bytesAt(FILE* file, unsigned long long offset, size_t size) {
    std::string bytes(size, '\0');
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return "";
    bytes.resize(std::fread(bytes.data(), 1, size, file));
    return bytes;
}

// The unsigned number of `bytes` bytes at `at` in `data`, in the ELF file's byte order.
unsigned long long number(const std::string& data, size_t at, int bytes, bool bigEndian) {
    unsigned long long value = 0;
    for (int i = 0; i < bytes && at + i < data.size(); ++i) {
        const unsigned long long byte = static_cast<unsigned char>(data[at + i]);
        value |= bigEndian ? byte << 8 * (bytes - 1 - i) : byte << 8 * i;
    }
    return value;
}

bool isElf(const std::string& head) {
    return head.size() >= SELFMAG && head.compare(0, SELFMAG, ELFMAG) == 0;
}

int elfMachine(const std::string& head) {
    return static_cast<int>(number(head, 18, 2, head.size() > EI_DATA && head[EI_DATA] == ELFDATA2MSB));
}

std::string machineName(int machine) {
    switch (machine) {
    case EM_ARM: return "ARM";
    case EM_386: return "x86";
    case EM_X86_64: return "x86-64";
    case EM_AARCH64: return "64-bit ARM";
    case EM_MIPS: return "MIPS";
    case EM_PPC: return "PowerPC";
    default: return say("ELF machine {}", {std::to_string(machine)});
    }
}

int thisMachine() {
    const OpenedFile self = openRegularFile("/proc/self/exe");
    return self.file ? elfMachine(bytesAt(self.file.get(), 0, EI_NIDENT + 4)) : -1;
}

// Where `path` (a program interpreter) lies, for a line: on the card or not.
std::string onCard(const CheckPlace& place, const std::string& path, const Reached& reached) {
    return reached.path != path && !path.empty() && path.front() == '/' && !place.card.empty()
               ? say(" (on the card: {})", {reached.path})
               : "";
}

// True when `here`, a path reach gave, lies on the card.
bool onTheCard(const CheckPlace& place, const std::string& here) {
    return !place.card.empty() && here.compare(0, place.card.size() + 1, place.card + "/") == 0;
}

// Fills `info` for the program interpreter at `path` here. Where this runs
// under qemu-user, a program for another processor finds its interpreter
// under $QEMU_LD_PREFIX too. False, with errno from `path`, when neither is.
bool statProgramInterpreter(const std::string& path, const CheckPlace& place, struct stat& info) {
    if (stat(path.c_str(), &info) == 0) return true;
    const int error = errno;
    const char* emulatorRoot = std::getenv("QEMU_LD_PREFIX");
    if (place.card.empty() && emulatorRoot && stat((emulatorRoot + path).c_str(), &info) == 0) return true;
    errno = error;
    return false;
}

// What is wrong with the ELF program `file` of `size` bytes, for the kernel;
// `named` begins each line.
std::vector<Said> judgeElf(FILE* file, unsigned long long size, const std::string& named,
                           const CheckPlace& place) {
    const std::string head = bytesAt(file, 0, 64);
    const bool wide = head.size() > EI_CLASS && head[EI_CLASS] == ELFCLASS64;
    const bool big = head.size() > EI_DATA && head[EI_DATA] == ELFDATA2MSB;
    const int machine = elfMachine(head);
    const std::string bytes = std::to_string(size);
    const size_t headerSize = wide ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
    if (head.size() < headerSize)
        return {
            {say("{} is cut short ({} bytes): its ELF header is incomplete; copy it again", {named, bytes})}};
    if (machine != EM_ARM && (!place.card.empty() || machine != thisMachine()))
        return {{place.card.empty()
                     ? say("{} is a program for {}, not ARM: it runs neither on the handheld nor here",
                           {named, machineName(machine)})
                     : say("{} is a program for {}, not ARM: the handheld cannot run it",
                           {named, machineName(machine)})}};
    const unsigned long long type = number(head, 16, 2, big);
    if (type != ET_EXEC && type != ET_DYN)
        return {{say("{} is an ELF file but not a program (an object file or a core dump)", {named})}};
    const unsigned long long tableAt = number(head, wide ? 32 : 28, wide ? 8 : 4, big);
    const size_t entrySize = number(head, wide ? 54 : 42, 2, big),
                 entries = number(head, wide ? 56 : 44, 2, big);
    if (entrySize != (wide ? sizeof(Elf64_Phdr) : sizeof(Elf32_Phdr)) || entries == 0 ||
        entries * entrySize > 65536)
        return {{say("{} has no program headers the system can use: it cannot start it", {named})}};
    if (tableAt > size || entries * entrySize > size - tableAt)
        return {
            {say("{} is cut short ({} bytes): its program headers lie past its end, so the system cannot "
                 "start it; copy it again",
                 {named, bytes})}};
    const std::string table = bytesAt(file, tableAt, entries * entrySize);
    std::vector<Said> said;
    for (size_t i = 0; i < entries; ++i) {
        const size_t at = i * entrySize;
        const unsigned long long kind = number(table, at, 4, big);
        const unsigned long long offset = number(table, at + (wide ? 8 : 4), wide ? 8 : 4, big);
        const unsigned long long length = number(table, at + (wide ? 32 : 16), wide ? 8 : 4, big);
        if (kind != PT_LOAD && kind != PT_INTERP) continue;
        if (offset > size || length > size - offset)
            return {
                {say("{} is cut short ({} bytes): its segments lie past its end, so it would not start "
                     "or would crash; copy it again",
                     {named, bytes})}};
        if (kind != PT_INTERP) continue;
        if (length < 2 || length > PATH_MAX)
            return {{say("{} names a program interpreter the system rejects", {named})}};
        std::string interpreter = bytesAt(file, offset, length);
        interpreter.resize(strnlen(interpreter.c_str(), interpreter.size()));
        if (interpreter.empty()) return {{say("{} names a program interpreter the system rejects", {named})}};
        const Reached reached = reach(place, interpreter);
        struct stat info;
        if (reached.path.empty())
            said.push_back(
                {say("the program interpreter {} of {} {}", {quoted(interpreter), named, reached.unchecked}),
                 reached.wrong});
        else if (!statProgramInterpreter(reached.path, place, info)) {
            const std::string why = whyNot(errno);
            said.push_back(
                {place.card.empty()
                     ? say("{} needs its program interpreter {}, which {}{} on this machine: the "
                           "system cannot start it",
                           {named, quoted(interpreter), why, onCard(place, interpreter, reached)})
                     : say("{} needs its program interpreter {}, which {}{}: the system cannot "
                           "start it",
                           {named, quoted(interpreter), why, onCard(place, interpreter, reached)})});
        } else if (!S_ISREG(info.st_mode))
            said.push_back(
                {say("{} needs its program interpreter {}, which is not a file: the system cannot "
                     "start it",
                     {named, quoted(interpreter)})});
    }
    return said;
}

// What is wrong with the interpreter a "#!" line names, for the kernel.
std::vector<Said> judgeInterpreter(const std::string& interpreter, const std::string& named,
                                   const CheckPlace& place) {
    const Reached reached = reach(place, interpreter);
    if (reached.path.empty())
        return {{say("the interpreter {} of {} {}", {quoted(interpreter), named, reached.unchecked}),
                 reached.wrong}};
    const std::string where = onCard(place, interpreter, reached);
    struct stat info;
    if (stat(reached.path.c_str(), &info) != 0) {
        const std::string why = whyNot(errno);
        return {{say("{} is a script whose interpreter {}{} {}", {named, quoted(interpreter), where, why})}};
    }
    if (S_ISDIR(info.st_mode))
        return {{say("{} is a script whose interpreter {}{} is a folder, not a program",
                     {named, quoted(interpreter), where})}};
    if (!S_ISREG(info.st_mode))
        return {{say("{} is a script whose interpreter {}{} is not a file",
                     {named, quoted(interpreter), where})}};
    const Runnable runs = runnableThere(mountOf(reached.path), access(reached.path.c_str(), X_OK) == 0,
                                        onTheCard(place, reached.path));
    if (!runs.runs)
        return {{say("{} is a script whose interpreter {}{} cannot be run (it {}): {}",
                     {named, quoted(interpreter), where, runs.why, runs.fix})}};
    const OpenedFile opened = openRegularFile(reached.path.c_str());
    if (!opened.file) return {};  // the kernel may still start it: nothing to say
    const std::string head = bytesAt(opened.file.get(), 0, kernelHead);
    if (head.compare(0, 2, "#!") == 0)
        return {
            {say("{} is a script whose interpreter {}{} is a script itself, and the handheld's kernel "
                 "(Linux 2.6.24) starts a script only through a program (ELF)",
                 {named, quoted(interpreter), where})}};
    if (!isElf(head))
        return {{say("{} is a script whose interpreter {}{} is not a program (ELF) at all",
                     {named, quoted(interpreter), where})}};
    return judgeElf(opened.file.get(), static_cast<unsigned long long>(info.st_size),
                    say("the interpreter {} of {}", {quoted(interpreter), named}), place);
}

// What is wrong with the script whose first line is in `head`, for the kernel.
std::vector<Said> judgeScript(const std::string& head, const std::string& named, const CheckPlace& place) {
    const size_t newline = head.find('\n');
    const std::string line = head.substr(2, (newline == std::string::npos ? kernelHead - 1 : newline) - 2);
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {{say("{} is a script whose first line names no interpreter", {named})}};
    const size_t end = line.find_last_not_of(" \t") + 1;  // the kernel drops spaces and tabs at the end
    const size_t nameEnd = std::min(line.find_first_of(" \t", start), end);
    const std::string interpreter = line.substr(start, nameEnd - start);
    if (line[end - 1] == '\r') {
        const size_t argument = line.find_first_not_of(" \t", nameEnd);
        if (argument < end)
            return {
                {say("{} has a first line that ends in a carriage return, so the system gives its "
                     "interpreter the argument {}: it was saved with Windows line ends; save it with Unix "
                     "(LF) line ends",
                     {named, quoted(line.substr(argument, end - argument))})}};
        return {
            {say("{} has a first line that ends in a carriage return, so the system looks for the "
                 "interpreter {}: it was saved with Windows line ends; save it with Unix (LF) line ends",
                 {named, quoted(interpreter)})}};
    }
    return judgeInterpreter(interpreter, named, place);
}

// What is wrong with the launch program `named`, at `path` here, as the
// kernel would start it; each error line already says what A would do.
std::vector<Said> judgeLaunchProgram(const std::string& path, const std::string& named,
                                     const std::string& here, const std::string& program,
                                     const CheckPlace& place) {
    const std::string onA = ": A would stop the selector with \"Cannot start ...\"";
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        const std::string why = whyNot(errno);
        return {{say("{}{} {}{}; correct the path{}{}",
                     {named, here, why, onA, followsFromReturn(program), followsFromEncoding(program)})}};
    }
    if (!S_ISREG(info.st_mode))
        return {{say("{}{} is not a file{}; name the program itself", {named, here, onA})}};
    const Runnable runs =
        runnableThere(mountOf(path), access(path.c_str(), X_OK) == 0, onTheCard(place, path));
    if (!runs.runs) return {{say("{}{} {}{}; {}", {named, here, runs.why, onA, runs.fix})}};
    std::vector<Said> said;
    if (!runs.why.empty()) said.push_back({say("{}{} {}", {named, here, runs.why}), false});
    const OpenedFile opened = openRegularFile(path.c_str());
    if (!opened.file)
        return {{say("{}: selector-check cannot read it to check ({}); the system can still start a program "
                     "(ELF) that it may only execute, though a script needs reading too",
                     {named, std::strerror(opened.error)}),
                 false}};
    const std::string head = bytesAt(opened.file.get(), 0, kernelHead);
    std::vector<Said> judged;
    if (head.compare(0, 2, "#!") == 0)
        judged = judgeScript(head, named, place);
    else if (isElf(head))
        judged = judgeElf(opened.file.get(), static_cast<unsigned long long>(info.st_size), named, place);
    else
        judged = {
            {say("{} is neither a script (#!) nor a program (ELF): the system cannot start it", {named})}};
    said.insert(said.end(), judged.begin(), judged.end());
    for (Said& line : said)
        if (line.error) line.text += onA;
    return said;
}

}  // namespace

void checkLaunchProgram(const std::string& program, const CheckPlace& place, std::vector<Finding>& findings) {
    const std::string where = lineOf(4), named = say("launch program {}", {quoted(program)});
    const Reached reached = reach(place, program);
    if (reached.path.empty())
        findings.push_back(
            {where,
             say(reached.wrong ? "{} {}: A would stop the selector with \"Cannot start ...\"" : "{} {}",
                 {named, reached.unchecked}),
             reached.wrong});
    else
        for (const Said& line :
             judgeLaunchProgram(reached.path, named, onCard(place, program, reached), program, place))
            findings.push_back({where, line.text, line.error});
    if (program.front() != '/')
        findings.push_back({where,
                            say("{} is relative: it is found from the selector's working folder ({}), so "
                                "start the selector from there",
                                {named, workingFolderOnHandheld(place)}),
                            false});
}
