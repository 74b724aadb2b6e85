#include "support.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pngfile.h"

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "selector-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path, ignored);
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

std::string readFile(const std::string& path) {
    std::ostringstream contents;
    contents << std::ifstream(path, std::ios::binary).rdbuf();
    return contents.str();
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

std::string fromEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

InFolder::InFolder(const std::string& folder) : previous(std::filesystem::current_path().string()) {
    std::filesystem::current_path(folder);
}

InFolder::~InFolder() { std::filesystem::current_path(previous); }

Surface makeSurface(int width, int height, SDL_Color fill) {
    Surface surface(SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 24, 0xff, 0xff00, 0xff0000, 0));
    fillRect(surface.get(), 0, 0, width, height, fill);
    return surface;
}

void fillRect(SDL_Surface* surface, int x, int y, int width, int height, SDL_Color colour) {
    SDL_Rect area = {static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(width),
                     static_cast<Uint16>(height)};
    SDL_FillRect(surface, &area, SDL_MapRGB(surface->format, colour.r, colour.g, colour.b));
}

bool sameColour(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::string describe(SDL_Color colour) {
    return "(" + std::to_string(colour.r) + ", " + std::to_string(colour.g) + ", " +
           std::to_string(colour.b) + ")";
}

SDL_Color cellColour(int cell) {
    return {static_cast<Uint8>(8 * (cell % 32)), static_cast<Uint8>(cell < 32 ? 64 : 192), 128, 0};
}

Surface makeTestFont() {
    Surface font = makeSurface(glyphSize * fontCells, glyphSize, {0, 0, 0, 0});
    const SDL_Color key = {platform::fontKey.r, platform::fontKey.g, platform::fontKey.b, 0};
    for (int cell = 0; cell < fontCells; ++cell) {
        fillRect(font.get(), glyphSize * cell, 0, glyphSize, glyphSize, cellColour(cell));
        fillRect(font.get(), glyphSize * cell + glyphSize - 1, glyphSize - 1, 1, 1, key);
    }
    setColourKey(font.get(), platform::fontKey);
    return font;
}

void writeTestArtwork(const std::string& folder) {
    const SDL_Color arrowKey = {platform::arrowKey.r, platform::arrowKey.g, platform::arrowKey.b, 0};
    Surface arrow = makeSurface(16, 15, arrowKey);
    fillRect(arrow.get(), arrowInkX, arrowInkY, 8, 7, arrowColour);
    savePng(makeSurface(platform::screenWidth, platform::screenHeight, backgroundColour).get(),
            (folder + "/" + platform::backgroundFile).c_str());
    savePng(makeSurface(platform::screenWidth, platform::screenHeight, splashColour).get(),
            (folder + "/" + platform::splashFile).c_str());
    savePng(makeTestFont().get(), (folder + "/" + platform::fontFile).c_str());
    savePng(arrow.get(), (folder + "/" + platform::arrowFile).c_str());
}

pid_t startChild(const std::vector<std::string>& command, const std::function<void()>& prepare) {
    std::vector<char*> words;
    for (const std::string& word : command) words.push_back(const_cast<char*>(word.c_str()));
    words.push_back(nullptr);
    const pid_t runner = getpid();
    std::fflush(nullptr);  // else the child writes what is buffered here a second time
    const pid_t child = fork();
    if (child == 0) {
        if (prepare) prepare();
        // Dies with the runner, even when that died first; set after
        // `prepare`, since a change of user clears it.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != runner) _exit(119);
        execv(words[0], words.data());
        _exit(122);
    }
    return child < 0 ? -1 : child;
}

ChildEnd waitForChild(pid_t child, int seconds) {
    ChildEnd end;
    if (child <= 0) return end;
    int status = 0;
    pid_t waited = 0;
    for (int ticks = 0; (waited = waitpid(child, &status, WNOHANG)) == 0; ++ticks) {
        if (ticks == seconds * 100) {  // a program that never ends
            kill(child, SIGKILL);
            waited = waitpid(child, &status, 0);
            break;
        }
        usleep(10000);
    }
    if (waited != child) return end;
    end.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

ChildEnd runChild(const std::vector<std::string>& command, const std::function<void()>& prepare,
                  int seconds) {
    return waitForChild(startChild(command, prepare), seconds);
}

std::string commandOutput(const std::vector<std::string>& command) {
    TempFolder folder;
    const std::string output = folder / "output";
    runChild(
        command,
        [&] {
            if (!freopen(output.c_str(), "w", stdout) || dup2(fileno(stdout), 2) != 2) _exit(121);
        },
        60);
    return readFile(output);
}

std::vector<Model> models() {
    std::vector<Model> found;
    for (const std::string& line : readLines(MODELS_FILE)) {
        std::istringstream fields(line);
        Model row;
        if (line.empty() || line[0] == '#' ||
            !(fields >> row.name >> row.cpu >> row.kernel >> row.board >> row.pad))
            continue;
        found.push_back(row);
    }
    return found;
}

Model model(const std::string& name) {
    for (const Model& row : models())
        if (row.name == name) return row;
    return {};
}

StartedSelector startRealSelector(const std::string& folder, const std::string& script,
                                  const std::vector<std::string>& environment,
                                  const std::vector<std::string>& wrapper, const std::string& outputFile,
                                  const std::string& program) {
    std::vector<std::string> command = wrapper;
    command.push_back(program);
    const pid_t child = startChild(command, [&] {
        if (chdir(folder.c_str()) != 0) _exit(120);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("LD_PRELOAD", PAD_SCRIPT_LIBRARY, 1);
        setenv("PAD_SCRIPT", script.c_str(), 1);
        // In sanitizer builds the preloaded script library comes before the runtime.
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
        if (!freopen(outputFile.c_str(), "w", stdout) ||
            !freopen((outputFile + ".errors").c_str(), "w", stderr))
            _exit(121);
    });
    return {child, outputFile};
}

ProgramRun StartedSelector::finish(int seconds) const {
    const ChildEnd end = waitForChild(process, seconds);
    ProgramRun run;
    run.status = end.status;
    run.signal = end.signal;
    run.output = readFile(outputFile);
    run.errors = readFile(outputFile + ".errors");
    return run;
}

SelectorFolder::SelectorFolder(const std::vector<std::string>& roms, const std::string& launchProgram)
    : where(std::filesystem::canonical(folder.path).string()) {
    writeTestArtwork(where);
    mkdir((folder / "roms").c_str(), 0755);
    for (const std::string& name : roms) writeFile(folder / "roms/" + name, "");
    symlink(ARGV_RECORDER, (folder / "emulator").c_str());
    std::filesystem::create_directories(folder / "menu-root/usr/gp2x");
    symlink(ARGV_RECORDER, (folder / "menu-root/usr/gp2x/gp2xmenu").c_str());
    writeFile(folder / "selector.cfg", "romdir=roms/\next1=.rom\next2=.bin\nlaunch=" + launchProgram + "\n");
}

ProgramRun SelectorFolder::run(const std::string& script, const std::vector<std::string>& environment,
                               const std::vector<std::string>& wrapper) {
    return start(script, environment, wrapper).finish();
}

StartedSelector SelectorFolder::start(const std::string& script, std::vector<std::string> environment,
                                      const std::vector<std::string>& wrapper) {
    environment.push_back("RECORD_FILE=" + where + "/record");
    environment.push_back("GP2X_ROOT=" + where + "/menu-root");
    return startRealSelector(where, script, environment, wrapper, where + "/output", program);
}
