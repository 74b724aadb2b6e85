// Helpers of the selector-check tests (check_support.h).
#include "check_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "check.h"
#include "pngfile.h"

namespace fs = std::filesystem;

const struct passwd* nobody() {
    static const struct passwd* const user = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    return user;
}

CheckRun runCheck(const std::vector<std::string>& arguments, bool asNobody) {
    TempFolder outputs;
    std::vector<std::string> command = {SELECTOR_CHECK};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const struct passwd* user = asNobody ? nobody() : nullptr;
    const ChildEnd end = runChild(
        command,
        [&] {
            if (!freopen((outputs / "out").c_str(), "w", stdout) ||
                !freopen((outputs / "err").c_str(), "w", stderr))
                _exit(121);
            if (user && (setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0)) _exit(123);
        },
        60);
    return {end.shellStatus(), readFile(outputs / "out"), readFile(outputs / "err")};
}

void program(const std::string& path, const std::string& contents, fs::perms mode) {
    writeFile(path, contents);
    fs::permissions(path, mode);
}

namespace {

std::string bigEndian32(unsigned long value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

}  // namespace

std::string pngFile(int width, int height, int colourType, const std::string& samples,
                    const std::vector<std::pair<std::string, std::string>>& chunks) {
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

std::string filled(int width, int height, const std::string& pixel) { return repeat(pixel, width * height); }

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (const int value : values) text += static_cast<char>(value);
    return text;
}

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

std::string elfProgram(Elf32_Half machine, const std::string& interpreter) {
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

std::string withoutItsInterpreter(const std::string& from) {
    std::string file = readFile(from);
    const size_t at = file.find("/ld-");
    if (at != std::string::npos) file[file.find('\0', at) - 1] = '#';
    return file;
}

SetUp settings(const std::string& folder, const std::string& extension1, const std::string& extension2,
               const std::string& launch, const std::string& lineEnd) {
    return [=](CheckFolder& f) {
        const std::string program = launch.empty()     ? f.where + "/emulator"
                                    : launch[0] == '/' ? f.where + launch
                                                       : launch;
        f.settings(folder, extension1, extension2, program, lineEnd);
    };
}

SetUp launching(const std::string& launch) { return settings("roms/", ".rom", ".bin", launch); }

SetUp file(const std::string& name, const std::string& contents, fs::perms mode) {
    return [=](CheckFolder& f) {
        fs::remove_all(f.where + "/" + name);
        program(f.where + "/" + name, contents, mode);
    };
}

SetUp launch(const std::string& contents, fs::perms mode) {
    return [=](CheckFolder& f) {
        file("emu", contents, mode)(f);
        launching("/emu")(f);
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

SetUp roms(const std::vector<std::string>& names) {
    return [=](CheckFolder& f) {
        fs::remove(f.where + "/roms/a.rom");
        for (const std::string& name : names) writeFile(f.where + "/roms/" + name, "");
    };
}

namespace {

const char* nameOf(Real real) {
    const char* names[] = {"launches", "cannot start", "lists nothing", "stops at start-up", "not run"};
    return names[static_cast<int>(real)];
}

}  // namespace

Case row(const char* what, int status, Real real, std::vector<std::string> says, SetUp setUp, bool asNobody) {
    return {what, status, real, std::move(says), std::move(setUp), asNobody};
}

namespace {

// The first name of the report's first screen, or "".
std::string firstShown(const std::string& report) {
    const std::string start = "the first screen shows:\n    ";
    const size_t at = report.find(start);
    return at == std::string::npos
               ? ""
               : report.substr(at + start.size(), report.find('\n', at + start.size()) - at - start.size());
}

}  // namespace

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

SetUp card(const std::function<void(const std::string& mount)>& change, bool option) {
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
