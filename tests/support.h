// Helpers shared by the tests: temporary folders, SDL surfaces made in
// memory, and runs of the real selector in a child process.
#pragma once

#include <SDL.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "app.h"

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
struct TempFolder {
    std::string path;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

void writeFile(const std::string& path, const std::string& contents);
std::string readFile(const std::string& path);
std::vector<std::string> readLines(const std::string& path);
// `text` `times` times over.
std::string repeat(const std::string& text, int times);
// The variable `name` of the environment, or "".
std::string fromEnvironment(const std::string& name);

// One model of scripts/models, the table of what differs between models.
struct Model {
    std::string name, cpu, kernel, board, pad;
};
// The models, in the table's order; none when it cannot be read.
std::vector<Model> models();
// The model called `name`, or one with empty fields.
Model model(const std::string& name);

// Changes the working folder for the life of the object.
struct InFolder {
    std::string previous;
    explicit InFolder(const std::string& folder);
    ~InFolder();
};

// A 24-bit software surface filled with one colour.
Surface makeSurface(int width, int height, SDL_Color fill);
void fillRect(SDL_Surface* surface, int x, int y, int width, int height, SDL_Color colour);
bool sameColour(SDL_Color a, SDL_Color b);
std::string describe(SDL_Color colour);

// The colour of cell n in the test font strip. Every cell is a solid block of
// its own colour, but for its bottom-right pixel, which has the font's key.
// The colours survive the 16-bit display unchanged.
SDL_Color cellColour(int cell);
Surface makeTestFont();

// Test artwork of plain colours, written as PNGs into a selector folder,
// with a selector.cfg of the four given lines.
constexpr SDL_Color splashColour = {248, 0, 0, 0};
constexpr SDL_Color backgroundColour = {0, 0, 128, 0};
constexpr SDL_Color arrowColour = {0, 252, 0, 0};
constexpr int arrowInkX = 3, arrowInkY = 8;  // the arrow's ink starts here
void writeTestArtwork(const std::string& folder);

// Every program a test starts runs through these, with a time limit. The
// child dies with the test runner, and nothing but the child is ever
// signalled.
//
// Starts `command` (the program's path first) in a child process, which
// first runs `prepare` (entering a folder, setting variables, redirecting
// its streams: it may _exit to give up). Returns the child's process id, or
// -1 when it could not be started.
pid_t startChild(const std::vector<std::string>& command, const std::function<void()>& prepare = {});

// How a child ended: its exit status (-1 when it did not exit, or when it
// was never started or could not be waited for) and the signal that ended it.
struct ChildEnd {
    int status = -1;
    int signal = 0;
    // As a shell gives it: 128 + the signal when one ended it.
    int shellStatus() const { return signal ? 128 + signal : status; }
};

// Waits `seconds` at most for `child` to end; then kills it (SIGKILL) and
// waits for that. A child of -1 ends at once with status -1.
ChildEnd waitForChild(pid_t child, int seconds);

// startChild, then waitForChild.
ChildEnd runChild(const std::vector<std::string>& command, const std::function<void()>& prepare, int seconds);

// What `command` prints on standard output and error, run with a limit of
// 60 seconds.
std::string commandOutput(const std::vector<std::string>& command);

// How a run of the real selector ended.
struct ProgramRun {
    int status = -1;     // exit status, or -1 when the process did not exit
    int signal = 0;      // the signal that ended it, 0 when it exited
    std::string output;  // what it printed on standard output
    std::string errors;  // and on standard error
};

// A run of build/selector in a child process.
struct StartedSelector {
    pid_t process = -1;
    std::string outputFile;  // standard output; standard error goes to OUTPUT.errors
    // Waits for the end of the run, killing it after `seconds`.
    ProgramRun finish(int seconds = 60) const;
};

// Starts `program` (the selector by default) in `folder` with the pad script
// `script` and the extra environment `environment` ("NAME=value" each), under
// the program and options of `wrapper` when it is not empty.
StartedSelector startRealSelector(const std::string& folder, const std::string& script,
                                  const std::vector<std::string>& environment,
                                  const std::vector<std::string>& wrapper, const std::string& outputFile,
                                  const std::string& program = SELECTOR_BINARY);

// A selector folder: test artwork, a ROM folder "roms/" with empty files of
// the given names, the recorder as launch program (by default "./emulator")
// and as the system menu under menu-root/.
struct SelectorFolder {
    TempFolder folder;
    std::string where;                      // the folder's canonical path
    std::string program = SELECTOR_BINARY;  // what run and start start

    explicit SelectorFolder(const std::vector<std::string>& roms,
                            const std::string& launchProgram = "./emulator");

    // Runs the real selector here (see startRealSelector) to its end, or
    // starts it; its output goes to the files "output" and "output.errors".
    ProgramRun run(const std::string& script, const std::vector<std::string>& environment = {},
                   const std::vector<std::string>& wrapper = {});
    StartedSelector start(const std::string& script, std::vector<std::string> environment = {},
                          const std::vector<std::string>& wrapper = {});

    // The working folder and the argument vector the started program received.
    std::vector<std::string> record() const { return readLines(where + "/record"); }
};
