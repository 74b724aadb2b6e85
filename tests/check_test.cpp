// selector-check, run as a user runs it, on real folders: each verdict is
// compared with what the real selector does on the same folder, where it
// can run here (headless, with a recorder in place of the emulator).
#include <elf.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <SDL_image.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "check.h"
#include "pngfile.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// In a build with AddressSanitizer every program the selector starts loads
// its runtime, which reads its options from /proc/self/environ: a program
// that may not be read cannot read that, and stops.
#if defined(__SANITIZE_ADDRESS__)  // GCC
constexpr bool sanitized = true;
#elif defined(__has_feature)  // clang
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

// The user nobody, when the tests may become it (as root).
const struct passwd* nobody() {
    static const struct passwd* const user = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    return user;
}

struct CheckRun {
    int status = -1;
    std::string output, errors;
};

// Runs selector-check with `arguments` in a child process, as nobody when
// `asNobody`, killed after a minute.
CheckRun runCheck(const std::vector<std::string>& arguments, bool asNobody = false) {
    TempFolder outputs;
    std::vector<std::string> words = {SELECTOR_CHECK};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const struct passwd* user = asNobody ? nobody() : nullptr;
    std::fflush(nullptr);  // else the child writes what is buffered here a second time
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen((outputs / "out").c_str(), "w", stdout) ||
            !freopen((outputs / "err").c_str(), "w", stderr))
            _exit(121);
        if (user && (setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0)) _exit(123);
        alarm(60);
        execv(argv[0], argv.data());
        _exit(122);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outputs / "out"),
            readFile(outputs / "err")};
}

// An executable file at `path` that holds `contents`.
void program(const std::string& path, const std::string& contents, fs::perms mode = fs::perms(0755)) {
    writeFile(path, contents);
    fs::permissions(path, mode);
}

std::string bigEndian32(unsigned long value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

// A PNG file of `width` x `height` pixels of the colour type `colourType`,
// whose 8-bit samples are `samples` row after row, with `chunks` (type, data)
// before the image data.
std::string pngFile(int width, int height, int colourType, const std::string& samples,
                    const std::vector<std::pair<std::string, std::string>>& chunks = {}) {
    auto chunk = [](const std::string& type, const std::string& data) {
        const std::string body = type + data;
        return bigEndian32(data.size()) + body +
               bigEndian32(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    };
    const size_t rowBytes = samples.size() / height;
    std::string rows;
    for (int y = 0; y < height; ++y) rows += '\0' + samples.substr(y * rowBytes, rowBytes);
    uLongf packedSize = compressBound(rows.size());
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(rows.data()), rows.size());
    packed.resize(packedSize);
    std::string file =
        "\x89PNG\r\n\x1a\n" + chunk("IHDR", bigEndian32(width) + bigEndian32(height) + '\x08' +
                                                static_cast<char>(colourType) + std::string(3, '\0'));
    for (const auto& [type, data] : chunks) file += chunk(type, data);
    return file + chunk("IDAT", packed) + chunk("IEND", "");
}

// The samples of a width x height image of one colour, with `channels` of
// the bytes of `pixel` each.
std::string filled(int width, int height, const std::string& pixel) {
    std::string samples;
    for (int i = 0; i < width * height; ++i) samples += pixel;
    return samples;
}

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (const int value : values) text += static_cast<char>(value);
    return text;
}

// The test font (support.h) as RGBA samples: its key pixels as `keyPixel`,
// every other pixel opaque.
std::string rgbaFont(const std::string& keyPixel) {
    Surface font = makeTestFont();
    std::string samples;
    for (int y = 0; y < font->h; ++y)
        for (int x = 0; x < font->w; ++x) {
            const SDL_Color c = pixelAt(font.get(), x, y);
            const bool key =
                c.r == platform::fontKey.r && c.g == platform::fontKey.g && c.b == platform::fontKey.b;
            samples += key ? keyPixel : bytes({c.r, c.g, c.b, 255});
        }
    return samples;
}

// The test font as a paletted PNG: entries 0 to 51 the cells' colours, then
// `more`; the key pixels take entry `keyEntry`.
std::string palettedFont(const std::vector<SDL_Color>& more, int keyEntry) {
    std::string palette, samples;
    for (int cell = 0; cell < fontCells; ++cell)
        palette += bytes({cellColour(cell).r, cellColour(cell).g, cellColour(cell).b});
    for (const SDL_Color& c : more) palette += bytes({c.r, c.g, c.b});
    for (int y = 0; y < glyphSize; ++y)
        for (int x = 0; x < glyphSize * fontCells; ++x)
            samples += static_cast<char>(x % 8 == 7 && y == 7 ? keyEntry : x / 8);
    return pngFile(glyphSize * fontCells, glyphSize, 3, samples, {{"PLTE", palette}});
}

// A program for the processor `machine` as the kernel reads it: an ELF
// header, one segment over the whole file and, unless `interpreter` is
// empty, a program interpreter.
std::string elfProgram(Elf32_Half machine, const std::string& interpreter = "") {
    const Elf32_Half segments = interpreter.empty() ? 1 : 2;
    const Elf32_Off nameAt = sizeof(Elf32_Ehdr) + segments * sizeof(Elf32_Phdr);
    const Elf32_Word size = nameAt + static_cast<Elf32_Word>(interpreter.size()) + 1;
    Elf32_Ehdr header = {};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS32;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_machine = machine;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof(Elf32_Ehdr);
    header.e_ehsize = sizeof(Elf32_Ehdr);
    header.e_phentsize = sizeof(Elf32_Phdr);
    header.e_phnum = segments;
    const Elf32_Phdr table[] = {{PT_LOAD, 0, 0x8000, 0x8000, size, size, PF_R | PF_X, 0x1000},
                                {PT_INTERP, nameAt, 0, 0, size - nameAt, size - nameAt, PF_R, 1}};
    std::string file(reinterpret_cast<const char*>(&header), sizeof header);
    file.append(reinterpret_cast<const char*>(table), segments * sizeof(Elf32_Phdr));
    return file + interpreter + '\0';
}

// A copy of this machine's program `from` whose program interpreter is
// renamed so that it does not exist.
std::string withoutItsInterpreter(const std::string& from) {
    std::string file = readFile(from);
    const size_t at = file.find("/ld-");
    if (at != std::string::npos) file[file.find('\0', at) - 1] = '#';
    return file;
}

// A selector folder (support.h) checked as a user would check it: the
// absolute launch program "WHERE/emulator" (the recorder), and selector-check
// given `checked` (the folder itself by default) and `options`.
struct CheckFolder : SelectorFolder {
    std::string checked = where, romDirectory;
    std::vector<std::string> options;

    CheckFolder() : SelectorFolder({"a.rom"}) { settings("roms/", ".rom", ".bin", where + "/emulator"); }
    void settings(const std::string& folder, const std::string& extension1, const std::string& extension2,
                  const std::string& launch, const std::string& lineEnd = "\n") {
        romDirectory = folder;
        writeFile(where + "/selector.cfg", "romdir=" + folder + lineEnd + "ext1=" + extension1 + lineEnd +
                                               "ext2=" + extension2 + lineEnd + "emulator=" + launch +
                                               lineEnd);
    }
};

// The set-ups of the tables' rows.
using SetUp = std::function<void(CheckFolder&)>;

// The four settings, the launch program "WHERE/emulator" when `launch` is empty
// and else WHERE/`launch` when it begins with "/".
SetUp settings(const std::string& folder, const std::string& extension1, const std::string& extension2,
               const std::string& launch = "", const std::string& lineEnd = "\n") {
    return [=](CheckFolder& f) {
        const std::string program = launch.empty()     ? f.where + "/emulator"
                                    : launch[0] == '/' ? f.where + launch
                                                       : launch;
        f.settings(folder, extension1, extension2, program, lineEnd);
    };
}

SetUp launching(const std::string& launch) { return settings("roms/", ".rom", ".bin", launch); }

// The file `name` in the folder, with `contents` and `mode`.
SetUp file(const std::string& name, const std::string& contents, fs::perms mode = fs::perms(0644)) {
    return [=](CheckFolder& f) {
        fs::remove_all(f.where + "/" + name);
        program(f.where + "/" + name, contents, mode);
    };
}

// The launch program WHERE/emu with `contents` and `mode`.
SetUp launch(const std::string& contents, fs::perms mode = fs::perms(0755)) {
    return [=](CheckFolder& f) {
        file("emu", contents, mode)(f);
        f.settings("roms/", ".rom", ".bin", f.where + "/emu");
    };
}

SetUp removed(const std::string& name) {
    return [=](CheckFolder& f) { fs::remove(f.where + "/" + name); };
}

SetUp folderAt(const std::string& name) {
    return [=](CheckFolder& f) {
        fs::remove(f.where + "/" + name);
        fs::create_directory(f.where + "/" + name);
    };
}

// The ROM folder holding empty files of these names alone.
SetUp roms(const std::vector<std::string>& names) {
    return [=](CheckFolder& f) {
        fs::remove(f.where + "/roms/a.rom");
        for (const std::string& name : names) writeFile(f.where + "/roms/" + name, "");
    };
}

// What the real selector does on a folder, pressing A and then Select.
enum class Real {
    Launches,      // starts the launch program with a ROM
    CannotStart,   // stops with "Cannot start ..." on A
    ListsNothing,  // shows an empty list, so that A does nothing and Select starts the menu
    Stops,         // stops at start-up with one line
    NotRun,        // cannot run here (a path under /mnt/sd, a program for another processor)
};

const char* nameOf(Real real) {
    const char* names[] = {"launches", "cannot start", "lists nothing", "stops at start-up", "not run"};
    return names[static_cast<int>(real)];
}

struct Case {
    const char* what;
    int status;
    Real real;                      // what the real selector does, here
    std::vector<std::string> says;  // each in the report
    SetUp setUp;
    bool asNobody;  // check and run as the user nobody (needs root)
};

// A row of a table: the folder `setUp` makes gets the exit `status`, and lines
// that say `says`; the real selector does `real` there.
Case row(const char* what, int status, Real real, std::vector<std::string> says, SetUp setUp,
         bool asNobody = false) {
    return {what, status, real, std::move(says), std::move(setUp), asNobody};
}

// The first name of the report's first screen, or "".
std::string firstShown(const std::string& report) {
    const std::string start = "the first screen shows:\n    ";
    const size_t at = report.find(start);
    return at == std::string::npos
               ? ""
               : report.substr(at + start.size(), report.find('\n', at + start.size()) - at - start.size());
}

// Sets up each case in a fresh folder, checks it, and runs the real selector on it.
void expectVerdicts(const std::vector<Case>& cases) {
    for (const Case& verdict : cases) {
        SCOPED_TRACE(verdict.what);
        if (verdict.asNobody && !nobody()) {
            std::printf("skipped: %s (needs root and a user nobody)\n", verdict.what);
            continue;
        }
        CheckFolder folder;
        verdict.setUp(folder);
        std::vector<std::string> wrapper;
        if (verdict.asNobody) {
            fs::permissions(folder.where, fs::perms::all);
            const std::string id = std::to_string(nobody()->pw_uid), group = std::to_string(nobody()->pw_gid);
            wrapper = {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + group, "--clear-groups"};
        }
        std::vector<std::string> arguments = folder.options;
        arguments.push_back(folder.checked);
        const CheckRun check = runCheck(arguments, verdict.asNobody);
        EXPECT_EQ(check.status, verdict.status) << check.output << check.errors;
        for (const std::string& line : verdict.says)
            EXPECT_NE(check.output.find(line), std::string::npos) << check.output;
        const size_t summaryAt = check.output.rfind("selector-check: ");
        ASSERT_NE(summaryAt, std::string::npos) << check.output << check.errors;
        const std::string summary = check.output.substr(summaryAt);
        EXPECT_EQ(summary.find(": no errors,") != std::string::npos, check.status == 0) << summary;
        if (verdict.real == Real::NotRun) continue;

        const ProgramRun run = folder.run("a | select", {}, wrapper);
        const std::vector<std::string> record = folder.record();
        const Real real = record.size() > 1 && record[1] == platform::menuProgram ? Real::ListsNothing
                          : !record.empty()                                       ? Real::Launches
                          : run.output.rfind("Cannot start ", 0) == 0             ? Real::CannotStart
                                                                                  : Real::Stops;
        EXPECT_EQ(nameOf(real), std::string(nameOf(verdict.real))) << run.output << run.errors;
        EXPECT_TRUE(check.status == 1 || real == Real::Launches)
            << "the check passes a folder the selector fails";
        if (real == Real::Launches && record.back().rfind(folder.romDirectory, 0) == 0) {
            EXPECT_EQ(shownName(record.back().substr(folder.romDirectory.size()).c_str()),
                      firstShown(check.output))
                << "the selector started another entry than the first the check shows";
        }
    }
}

TEST(SelectorCheck, JudgesTheSettingsAndTheListAsTheSelectorReadsThem) {
    const std::string cfg = "selector.cfg: ", line1 = "selector.cfg line 1: ",
                      line3 = "selector.cfg line 3: ";
    const Real stops = Real::Stops, launches = Real::Launches, nothing = Real::ListsNothing;
    expectVerdicts({
        row("a folder the selector works in", 0, launches, {": no errors, 0 note(s)"}, [](CheckFolder&) {}),
        row("no settings", 1, stops,
            {cfg + "missing: the selector stops at start-up with \"Cannot open file selector.cfg\""},
            removed("selector.cfg")),
        row("settings in a loop of links", 1, stops,
            {cfg + "cannot be opened (Too many levels of symbolic links): the selector stops"},
            [](CheckFolder& f) {
                fs::remove(f.where + "/selector.cfg");
                fs::create_symlink("selector.cfg", f.where + "/selector.cfg");
            }),
        row(
            "settings nobody may read", 1, stops,
            {cfg + "cannot be opened (Permission denied): the selector stops at start-up with \"Cannot open"},
            [](CheckFolder& f) { chmod((f.where + "/selector.cfg").c_str(), 0600); }, true),
        row("settings are a folder", 1, stops, {cfg + "is a directory, not a file"},
            folderAt("selector.cfg")),
        row("a line without \"=\"", 1, stops, {"selector.cfg line 2: no \"=\""},
            file("selector.cfg", "a=roms/\n.rom\nc=.bin\nd=/e\n")),
        row("Windows line ends", 1, nothing,
            {line1 + "the values of line(s) 1, 2, 3, 4 end in a carriage return",
             "does not exist: correct the path; this follows from the carriage return"},
            settings("roms/", ".rom", ".bin", "", "\r\n")),
        row("spaces", 1, launches, {line3 + "value \" .bin\" has spaces at an end"},
            settings("roms/", ".rom", " .bin")),
        row("no ROM folder", 1, nothing, {line1 + "ROM folder \"games/\" does not exist"},
            settings("games/", ".rom", ".bin")),
        row("a ROM folder under a file", 1, nothing, {"cannot be reached (Not a directory)"},
            settings("emulator/", ".rom", ".bin")),
        row("a ROM folder in a loop", 1, nothing, {"Too many levels of symbolic links"},
            [](CheckFolder& f) {
                fs::create_directory_symlink("loop", f.where + "/loop");
                settings("loop/", ".rom", ".bin")(f);
            }),
        row("a ROM folder that is a file", 1, nothing, {"is not a folder"},
            settings("selector.cfg", ".rom", ".bin")),
        row("no \"/\" after the ROM folder", 1, launches,
            {line1 + "ROM folder \"roms\" does not end in \"/\""}, settings("roms", ".rom", ".bin")),
        row("an extension without its dot", 1, launches,
            {line3 + "extension \"bin\" does not begin with \".\""}, settings("roms/", ".rom", "bin")),
        row("an extension with \"/\"", 1, launches, {"contains \"/\""}, settings("roms/", ".rom", "./bin")),
        row("an extension with a second dot", 1, launches,
            {line3 + "extension \".rom.gz\" holds a second dot"}, settings("roms/", ".rom", ".rom.gz")),
        row("the same extension twice", 0, launches, {line3 + "note: both extensions are \".rom\""},
            settings("roms/", ".rom", ".rom")),
        row("no file with either extension", 1, nothing,
            {"roms/: no file in the ROM folder ends in \".rom\" or \".bin\", so the list would be empty; it "
             "holds "
             "2 \".gba\", 1 without an extension, 1 \".ROM\" (differs from \".rom\" only by case)",
             "; the list would be empty\n"},
            roms({"a.gba", "b.gba", "c.ROM", "notes"})),
        row("an empty ROM folder", 1, nothing, {"roms/: the ROM folder holds no files"}, roms({})),
        row("9.rom beside 10.rom", 0, launches, {"\n    10.ROM\n    9.ROM\n"}, roms({"9.rom", "10.rom"})),
        row("a ROM in capitals beside one in small letters", 0, launches,
            {"roms/: note: the file \"b.ROM\" ends in \".ROM\", which differs from a configured extension "
             "only by"},
            roms({"a.rom", "b.ROM"})),
        row("listed entries that are not ROMs", 0, launches,
            {"roms/: note: the listed entry \"dir.rom\" is a folder",
             "\"link.bin\" is a symbolic link to nothing", "\"loop.rom\" is a symbolic link in a loop",
             "\"._a.rom\" is a macOS companion file"},
            [](CheckFolder& f) {
                fs::create_directory(f.where + "/roms/dir.rom");
                fs::create_symlink("nowhere", f.where + "/roms/link.bin");
                fs::create_symlink("loop.rom", f.where + "/roms/loop.rom");
                writeFile(f.where + "/roms/._a.rom", "");
            }),
    });
}

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
        row("a program for another processor", 1, Real::NotRun,
            {"is a program for MIPS, not ARM: it runs neither on the handheld nor here"},
            launch(elfProgram(EM_MIPS))),
        row("a relative launch program", 0, launches,
            {line4 + "note: launch program \"./emulator\" is relative"}, launching("./emulator")),
    });
}

TEST(SelectorCheck, JudgesImagesAsTheHandheldLoadsAndDrawsThem) {
    const std::string data = DATA_FOLDER;
    const SDL_Color key = {platform::fontKey.r, platform::fontKey.g, platform::fontKey.b, 0};
    const std::string navy = bytes({0, 0, 128}), navyOpaque = bytes({0, 0, 128, 255});
    std::string badChecksum = pngFile(320, 240, 2, filled(320, 240, navy));
    badChecksum[badChecksum.size() - 13] ^= 1;  // the last byte of the image data's checksum
    std::string seeThrough = filled(320, 240, navyOpaque);
    for (int i = 0; i < 100; ++i) seeThrough[4 * i + 3] = '\x80';
    TempFolder scratch;
    Surface arrow(IMG_Load((data + "/arrow.png").c_str()));
    SDL_SaveBMP(arrow.get(), (scratch / "arrow.bmp").c_str());
    const char gif[] =
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01"
        "\x00\x00\x02\x02\x44\x01\x00;";  // one white pixel
    const std::string handheld = "the handheld reads PNG only", stops = ": the selector stops at start-up";
    const std::string bg = "background.png: ", font = "font.png: ";
    const Real launches = Real::Launches;
    expectVerdicts({
        row("the project's own artwork", 0, launches, {": no errors, 0 note(s)"},
            [&](CheckFolder& f) {
                for (const char* name : {"background.png", "quelp-splash.png", "font.png", "arrow.png"})
                    file(name, readFile(data + "/" + name))(f);
            }),
        row("a BMP named arrow.png", 1, launches, {"arrow.png: is a BMP image, not a PNG: " + handheld},
            file("arrow.png", readFile(scratch / "arrow.bmp"))),
        row("a GIF named arrow.png", 1, launches, {"arrow.png: is a GIF image, not a PNG: " + handheld},
            file("arrow.png", std::string(gif, sizeof gif - 1))),
        row("a JPEG named background.png", 1, Real::Stops, {bg + "is a JPEG image, not a PNG"},
            file("background.png", "\xff\xd8\xff\xe0 and no more")),
        row("a PNG cut short", 1, Real::Stops, {font + "is a damaged PNG (libpng: "},
            file("font.png", readFile(data + "/font.png").substr(0, 300))),
        row("a PNG with a wrong checksum", 1, Real::Stops,
            {bg + "is a damaged PNG (libpng: \"IDAT: CRC error\")" + stops},
            file("background.png", badChecksum)),
        row("a font 16,384 pixels wide", 1, Real::Stops,
            {font + "is 16384x8: SDL 1.2 makes no image 16,384 pixels wide"},
            file("font.png", pngFile(16384, 8, 2, filled(16384, 8, navy)))),
        row("a background too big for the handheld", 1, launches,
            {bg + "is 320x18000, which takes 16 MiB once loaded: too much of the handheld's 64 MB"},
            file("background.png", pngFile(320, 18000, 2, filled(320, 18000, navy)))),
        row("a background with a transparent colour", 1, launches,
            {bg + "has a transparent colour, (0, 0, 128) (a tRNS chunk), which SDL_image makes its colour "
                  "key: 76800"},
            file("background.png",
                 pngFile(320, 240, 2, filled(320, 240, navy), {{"tRNS", bytes({0, 0, 0, 0, 0, 128})}}))),
        row("an opaque RGBA background", 0, launches, {},
            file("background.png", pngFile(320, 240, 6, filled(320, 240, navyOpaque)))),
        row("an RGBA background with see-through pixels", 1, launches,
            {bg + "has 100 pixels that its alpha channel makes see-through"},
            file("background.png", pngFile(320, 240, 6, seeThrough))),
        row("a font at twice the size", 1, launches, {font + "is 832x16: the font is one row of 8x8 cells"},
            file("font.png", pngFile(832, 16, 2, filled(832, 16, navy)))),
        row("an RGBA font whose alpha is 0 or 255", 0, launches, {},
            file("font.png", pngFile(416, 8, 6, rgbaFont(bytes({0, 0, 0, 0}))))),
        row("an RGBA font with its key colour opaque", 1, launches,
            {font + "has an alpha channel, so SDL draws it by alpha and ignores the transparent colour (255, "
                    "81, 247): "
                    "52 pixels"},
            file("font.png", pngFile(416, 8, 6, rgbaFont(bytes({key.r, key.g, key.b, 255}))))),
        row("a paletted font whose key maps to a near entry", 0, launches, {},
            file("font.png", palettedFont({{255, 80, 240, 0}}, 52))),
        row("a paletted font without the key", 1, launches,
            {font +
             "is paletted without the transparent colour (255, 81, 247): SDL takes its nearest colour, "
             "(248, 64, 128), as transparent, so 63 pixels"},
            file("font.png", palettedFont({{250, 250, 250, 0}, {0, 0, 0, 0}}, 53))),
        row("a palette holding the key twice", 1, launches,
            {font + "its palette holds the transparent colour (255, 81, 247) more than once (entries 52, "
                    "53): SDL makes "
                    "only the first transparent, so 52 pixels"},
            file("font.png", palettedFont({key, key}, 53))),
        row("an arrow of a colour near the key", 1, launches,
            {"arrow.png: 240 pixels are (255, 80, 248) or the like, which the screen shows as the "
             "transparent colour "
             "(255, 82, 249) but which is not it"},
            file("arrow.png", pngFile(16, 15, 2, filled(16, 15, bytes({255, 80, 248}))))),
        row("no font", 1, Real::Stops, {font + "missing" + stops}, removed("font.png")),
        row("a background that is a folder", 1, Real::Stops, {bg + "is a directory, not a file" + stops},
            folderAt("background.png")),
        row("a small splash", 0, launches,
            {"quelp-splash.png: note: is 160x120, the selector expects 320x240"},
            file("quelp-splash.png", pngFile(160, 120, 2, filled(160, 120, navy)))),
    });
}

// The card as scripts/handheld lays it out (the install rules of
// CMakeLists.txt), with a ROM folder and an ARM launch program, under a
// folder that stands for its mount point, changed by `change(MOUNT)`.
SetUp card(const std::function<void(const std::string& mount)>& change, bool option = true) {
    return [=](CheckFolder& f) {
        const std::string mount = f.where + "/card", folder = mount + "/selector", data = DATA_FOLDER;
        fs::create_directories(folder);
        for (const char* name : {"background.png", "font.png", "arrow.png", "quelp-splash.png"})
            fs::copy_file(data + "/" + name, folder + "/" + name);
        for (const char* name : {"selector.cfg", "README.txt"})
            fs::copy_file(data + "/sdcard/" + name, folder + "/" + name);
        for (const char* name : {"selector", "selector.gpe"})
            fs::copy_file(SELECTOR_BINARY, folder + "/" + name);
        fs::create_directories(mount + "/roms");
        writeFile(mount + "/roms/game.zip", "");
        fs::create_directories(mount + "/emulator");
        program(mount + "/emulator/emulator.gpe", elfProgram(EM_ARM));
        change(mount);
        f.checked = folder;
        if (option) f.options = {"--card", mount};
    };
}

TEST(SelectorCheck, LooksUpTheCardWhereItIsMounted) {
    auto emulator = [](const std::string& contents) {
        return [contents](const std::string& mount) { program(mount + "/emulator/emulator.gpe", contents); };
    };
    auto asLaidOut = [](const std::string&) {};
    const std::string line1 = "selector.cfg line 1: ", line4 = "selector.cfg line 4: ";
    const Real notRun = Real::NotRun;
    expectVerdicts({
        row("the card's folder as the handheld build lays it out", 0, notRun, {"\n    GAME.ZIP\n"},
            card(asLaidOut)),
        row("the card without --card", 0, notRun,
            {line1 + "note: ROM folder \"/mnt/sd/roms/\" is on the handheld's card, which is not here: give "
                     "the folder "
                     "where the card is mounted on this PC, as in \"selector-check --card /media/card",
             "the ROM folder could not be checked from here"},
            card(asLaidOut, false)),
        row("a ROM folder missing from the card", 1, notRun,
            {line1 + "ROM folder \"/mnt/sd/roms/\" (on the card: "},
            card([](const std::string& mount) { fs::remove_all(mount + "/roms"); })),
        row("a script for the handheld's own shell", 0, notRun,
            {line4 + "note: the interpreter \"/bin/sh\" of launch program \"/mnt/sd/emulator/emulator.gpe\" "
                     "is on the "
                     "handheld's own system, not on its card: it cannot be checked from a PC"},
            card(emulator("#!/bin/sh\n"))),
        row("an ARM program whose interpreter is not on the card", 1, notRun,
            {"needs its program interpreter \"/mnt/sd/lib/ld.so\", which does not exist (on the card: "},
            card(emulator(elfProgram(EM_ARM, "/mnt/sd/lib/ld.so")))),
        row("an ARM program whose interpreter is on the card", 0, notRun, {},
            card([&](const std::string& mount) {
                emulator(elfProgram(EM_ARM, "/mnt/sd/lib/ld.so"))(mount);
                fs::create_directories(mount + "/lib");
                writeFile(mount + "/lib/ld.so", "");
            })),
        row("a program for a PC on the card", 1, notRun,
            {"is a program for x86-64, not ARM: the handheld cannot run it"},
            card(emulator(elfProgram(EM_X86_64)))),
        row("a launch program on the handheld's own system", 0, notRun,
            {line4 + "note: launch program \"/usr/bin/emulator\" is on the handheld's own system"},
            card([](const std::string& mount) {
                writeFile(mount + "/selector/selector.cfg",
                          "a=/mnt/sd/roms/\nb=.zip\nc=.rom\nd=/usr/bin/emulator\n");
            })),
    });
}

TEST(SelectorCheck, TheReportIsSafeForATerminal) {
    CheckFolder folder;
    // Names whose extension differs by case are named in notes.
    writeFile(folder.where + "/roms/b\x1b[2J\x07.ROM", "");  // would clear the screen and ring
    writeFile(folder.where +
                  "/roms/c\xc2\x9b"
                  "2J.Rom",
              "");  // the same with a C1 control, in UTF-8
    writeFile(folder.where +
                  "/roms/d\x9b"
                  "2J.rOm",
              "");  // and as a single byte
    fs::create_directory_symlink("roms", folder.where + "/ro\x07ms");
    folder.settings("ro\x07ms/", ".rom", ".bin", folder.where + "/emu\x1b]0;title\x07");
    const std::string text = runCheck({folder.where}).output;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7f && (c < 0x80 || c > 0x9f))) << int(c) << " in\n"
                                                                                     << text;
    }
    EXPECT_NE(text.find("ro\\x07ms/: note: the file \"c\\xc2\\x9b2J.Rom\""), std::string::npos) << text;
    EXPECT_NE(text.find("the file \"d\\x9b2J.rOm\""), std::string::npos) << text;
    EXPECT_NE(text.find("\\x1b]0;title\\x07"), std::string::npos) << text;
    EXPECT_EQ(printable("a\\b\r\n\t\x7f\xc3\xa9\xe9\xc4\x80\xc2\x85\x85"),
              "a\\\\b\\r\\n\\t\\x7f\xc3\xa9\xe9\xc4\x80\\xc2\\x85\\x85");
}

TEST(SelectorCheck, ShowsTheFirstScreenAsTheSelectorDrawsIt) {
    SelectorFolder folder({"b.rom", "super_game_with_a_very_long_name_indeed.rom", "\xe9t\xe9.bin", "c.txt"});
    const CheckReport report = checkFolder({folder.where, ""});
    EXPECT_EQ(report.firstScreen,
              (std::vector<std::string>{"B.ROM", "SUPER GAME WITH A VERY LONG NAME I", " T .BIN"}));
    EXPECT_EQ(report.cutNames, 1);
    EXPECT_EQ(report.blankedNames, 2);
    const std::string text = formatReport(report, folder.where);
    EXPECT_EQ(
        text.substr(text.rfind("selector-check: ")),
        "selector-check: " + folder.where + ": no errors, 1 note(s); the selector would list 3 entries\n");
}

TEST(SelectorCheck, ScreenshotIsTheSelectorsOwnFirstFrame) {
    SelectorFolder folder({"b.rom", "a.rom", "Zed (1).bin"});
    const std::string frame = folder.where + "/frame.bmp", shot = folder.where + "/shot.png";
    ASSERT_EQ(folder.run("| save:" + frame + " select").status, 0);
    ASSERT_EQ(renderFirstScreen({folder.where, ""}, shot).problem, "");
    Surface expected(SDL_LoadBMP(frame.c_str()));
    Surface drawn(IMG_Load(shot.c_str()));
    ASSERT_TRUE(expected && drawn);
    ASSERT_EQ(drawn->w, expected->w);
    ASSERT_EQ(drawn->h, expected->h);
    // Both come from the 16-bit display, widened to 24 bits in two ways
    // (the BMP writer shifts, the PNG writer rounds): compare them as 5-6-5.
    auto onDisplay = [](SDL_Color c) { return (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3; };
    int different = 0;
    for (int y = 0; y < drawn->h; ++y)
        for (int x = 0; x < drawn->w; ++x)
            different += onDisplay(pixelAt(drawn.get(), x, y)) != onDisplay(pixelAt(expected.get(), x, y));
    EXPECT_EQ(different, 0);
}

TEST(SelectorCheck, ExitStatusTellsUsageErrors) {
    CheckFolder folder;
    const std::string where = folder.where;
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string says = "";  // on standard output, or on standard error for status 2
    } cases[] = {
        {{"--help"}, 0, "--card MOUNT"},
        {{"--version"}, 0, "selector-check " SELECTOR_VERSION "\n"},
        {{where}, 0},
        {{"--frobnicate"}, 2},
        {{where, where}, 2},
        {{"--screenshot"}, 2},
        {{"--screenshot", "", where}, 2},
        {{"--card", where, "--card", where, where}, 2},
        {{""}, 2},
        {{"/no/such/folder"}, 1, "/no/such/folder: does not exist"},
        {{"--card", "/no/such/card", where}, 2, "selector-check: --card /no/such/card: does not exist"},
        {{where, "--screenshot", where + "/no/such/folder/shot.png"},
         2,
         "selector-check: no screenshot: cannot write " + where +
             "/no/such/folder/shot.png (No such file or"},
    };
    for (const auto& call : cases) {
        const CheckRun run = runCheck(call.arguments);
        EXPECT_EQ(run.status, call.status) << call.arguments[0] << "\n" << run.output << run.errors;
        EXPECT_NE((call.status == 2 ? run.errors : run.output).find(call.says), std::string::npos)
            << run.errors;
    }
    for (const std::string& full : {std::string("--help >/dev/full"), where + " >/dev/full"})
        EXPECT_EQ(WEXITSTATUS(std::system(
                      ("timeout 60 " + std::string(SELECTOR_CHECK) + " " + full + " 2>/dev/null").c_str())),
                  2)
            << full;
}

// Runs selector-check on `folder` from a working folder that `enter` makes
// and enters, in a child process; returns its exit status and output.
std::pair<int, std::string> checkFrom(const std::function<void()>& enter, const std::string& checkProgram,
                                      const std::string& folder, const std::string& output) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (!freopen(output.c_str(), "w", stdout)) _exit(121);
        enter();
        alarm(60);
        execl(checkProgram.c_str(), checkProgram.c_str(), folder.c_str(), static_cast<char*>(nullptr));
        _exit(122);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(output)};
}

TEST(SelectorCheck, JudgesTheFolderAlikeFromAnyWorkingFolder) {
    CheckFolder folder;
    chmod(folder.where.c_str(), 0755);  // for the run as nobody
    const std::string checkProgram = folder.where + "/selector-check";
    fs::copy_file(SELECTOR_CHECK, checkProgram);
    TempFolder places;
    const std::string base = places.path;
    const struct {
        const char* what;
        std::function<void()> enter;
        bool runs;
    } cases[] = {
        {"a deleted folder",
         [&] {
             const std::string gone = base + "/gone";
             if (mkdir(gone.c_str(), 0755) != 0 || chdir(gone.c_str()) != 0 || rmdir(gone.c_str()) != 0)
                 _exit(123);
         },
         true},
        {"a folder deeper than PATH_MAX",
         [&] {
             const std::string step(200, 'd');
             if (chdir(base.c_str()) != 0) _exit(123);
             for (int depth = 0; depth * step.size() <= PATH_MAX; ++depth)
                 if (mkdir(step.c_str(), 0755) != 0 || chdir(step.c_str()) != 0) _exit(123);
         },
         true},
        {"a folder it may not enter again, as nobody",
         [&] {
             if (chdir(base.c_str()) != 0 || setgid(nobody()->pw_gid) != 0 || setuid(nobody()->pw_uid) != 0)
                 _exit(123);
         },
         nobody() != nullptr},
    };
    for (const auto& start : cases) {
        SCOPED_TRACE(start.what);
        if (!start.runs) {
            std::printf("skipped: %s (needs root and a user nobody)\n", start.what);
            continue;
        }
        const auto [status, output] = checkFrom(start.enter, checkProgram, folder.where, base + "/output");
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find(": no errors, 0 note(s); the selector would list 1 entries\n"),
                  std::string::npos)
            << output;
    }
    // The deep chain is longer than a path may be: remove it a step at a time.
    const pid_t child = fork();
    if (child == 0) {
        const std::string step(200, 'd');
        if (chdir(base.c_str()) != 0) _exit(1);
        int depth = 0;
        while (chdir(step.c_str()) == 0) ++depth;
        while (depth-- > 0)
            if (chdir("..") != 0 || rmdir(step.c_str()) != 0) _exit(1);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
}

}  // namespace
