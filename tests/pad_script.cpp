// Loaded with LD_PRELOAD into the real selector by the end-to-end tests.
//
// SDL_PollEvent answers from the words of $PAD_SCRIPT instead of the pad:
//   up down a select     a button-down of pad button 0, 4, 12 or 9
//   button:N[:J]         a button-down of button N (of joystick J, 0 by default)
//   release:N            a button-up of button N
//   key:N                a key-down of SDL key N
//   axis hat close       a stick motion, a hat motion, the window-close request
//   |                    the end of one drain: SDL_PollEvent reports no event
//   save:FILE            saves the screen as it was last flipped to FILE (BMP)
//   hold                 waits for a signal, for ever: the run ends only by one
//   caption:FILE         writes the window's title to FILE
// Once the words run out every drain is empty; after 100 such drains the
// process ends with status 97, so a test that never reaches a hand-off fails.
//
// chdir and execl see paths under "/usr/gp2x" moved under $GP2X_ROOT, so the
// system menu can be a stand-in in a test folder.
#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> words;
size_t next = 0;
bool loaded = false;
int emptyDrains = 0;

SDL_Event joyButton(Uint8 type, int button, int joystick) {
    SDL_Event event{};
    event.type = type;
    event.jbutton.type = type;
    event.jbutton.which = static_cast<Uint8>(joystick);
    event.jbutton.button = static_cast<Uint8>(button);
    event.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    return event;
}

// The event a word stands for; false for "|" and for words that are not events.
bool eventFor(const std::string& word, SDL_Event& event) {
    int number = 0, joystick = 0;
    if (word == "up")
        event = joyButton(SDL_JOYBUTTONDOWN, 0, 0);
    else if (word == "down")
        event = joyButton(SDL_JOYBUTTONDOWN, 4, 0);
    else if (word == "a")
        event = joyButton(SDL_JOYBUTTONDOWN, 12, 0);
    else if (word == "select")
        event = joyButton(SDL_JOYBUTTONDOWN, 9, 0);
    else if (std::sscanf(word.c_str(), "button:%d:%d", &number, &joystick) >= 1)
        event = joyButton(SDL_JOYBUTTONDOWN, number, joystick);
    else if (std::sscanf(word.c_str(), "release:%d", &number) == 1)
        event = joyButton(SDL_JOYBUTTONUP, number, 0);
    else if (std::sscanf(word.c_str(), "key:%d", &number) == 1) {
        event = SDL_Event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = static_cast<SDLKey>(number);
    } else if (word == "axis") {
        event = SDL_Event{};
        event.type = SDL_JOYAXISMOTION;
        event.jaxis.value = 32767;
    } else if (word == "hat") {
        event = SDL_Event{};
        event.type = SDL_JOYHATMOTION;
        event.jhat.value = SDL_HAT_DOWN;
    } else if (word == "close") {
        event = SDL_Event{};
        event.type = SDL_QUIT;
    } else {
        return false;
    }
    return true;
}

std::string moved(const char* path) {
    const char* root = std::getenv("GP2X_ROOT");
    const size_t length = std::strlen("/usr/gp2x");
    if (root && std::strncmp(path, "/usr/gp2x", length) == 0 && (path[length] == '/' || !path[length]))
        return std::string(root) + path;
    return path;
}

}  // namespace

extern "C" int SDL_PollEvent(SDL_Event* event) {
    if (!loaded) {
        std::istringstream script(std::getenv("PAD_SCRIPT") ? std::getenv("PAD_SCRIPT") : "");
        for (std::string word; script >> word;) words.push_back(word);
        loaded = true;
    }
    while (next < words.size()) {
        const std::string& word = words[next++];
        if (word.rfind("save:", 0) == 0) {
            SDL_SaveBMP(SDL_GetVideoSurface(), word.c_str() + 5);
            continue;
        }
        if (word == "hold")
            for (;;) pause();
        if (word.rfind("caption:", 0) == 0) {
            char* title = nullptr;
            SDL_WM_GetCaption(&title, nullptr);
            if (FILE* file = std::fopen(word.c_str() + 8, "w")) {
                std::fputs(title ? title : "", file);
                std::fclose(file);
            }
            continue;
        }
        SDL_Event scripted;
        if (!eventFor(word, scripted)) return 0;
        if (event) *event = scripted;
        return 1;
    }
    if (++emptyDrains > 100) {
        std::fprintf(stderr, "pad script: ran out of presses\n");
        _exit(97);
    }
    return 0;
}

extern "C" int chdir(const char* path) {
    using Chdir = int (*)(const char*);
    static const Chdir realChdir = reinterpret_cast<Chdir>(dlsym(RTLD_NEXT, "chdir"));
    return realChdir(moved(path).c_str());
}

extern "C" int execl(const char* path, const char* arg, ...) {
    std::vector<char*> arguments;
    va_list list;
    va_start(list, arg);
    for (const char* argument = arg; argument; argument = va_arg(list, const char*))
        arguments.push_back(const_cast<char*>(argument));
    va_end(list);
    arguments.push_back(nullptr);
    return execv(moved(path).c_str(), arguments.data());
}
