// The selector application: start-up, the main loop with its splash and
// browse passes, and the hand-off to the launch program or the system menu.
#pragma once

#include <SDL.h>

#include <optional>
#include <string>

#include "catalogue.h"
#include "display.h"
#include "draw.h"
#include "pad.h"
#include "view.h"

enum class SelectorState { Splash = 0, Browse = 1, Launch = 2, Quit = 3 };

// All run-time state of the selector.
struct SelectorContext {
    SDL_Surface* screen = nullptr;  // the display; SDL owns it
    Surface background, font, arrow, splash;
    SelectorConfig config;
    SelectorState state = SelectorState::Splash;
    unsigned long loopCount = 0;  // passes of the main loop; may wrap
    bool refreshPending = true;   // draw the splash / scan the folder
    bool launchChosen = false;    // hand off to launchProgram, not the menu
    std::string romPath;          // romDirectory + the chosen name
    RomList romList;
    BrowseView view;
    NameWindow names;
    PadDevice pad;  // the pad's device, in the handheld build
    DisplaySetup display;  // what the handheld's display needed
};

// Loads the four images from `folder` ("" for the working folder, else with
// its trailing "/") and gives the font and the arrow their colour keys.
// Returns false, with `problem` set to the line that says why, at the
// first image that cannot be loaded.
bool loadArtwork(SelectorContext& context, const std::string& folder, std::string& problem);

// Starts SDL, opens the display (set up as the handheld needs) and the pad, loads the images and reads
// "selector.cfg" into `context`. Returns false at the first step that fails,
// with `problem` set to the line that says why. SIGINT and SIGTERM keep their
// ordinary action: they end the program.
bool startSelector(SelectorContext& context, std::string& problem);

// Acts on one action of the browse screen.
void handleAction(SelectorContext& context, PadAction action);

// Shows `list` from its first entry, with the arrow on row 0.
void startCatalogue(SelectorContext& context, RomList list);

// One pass of the browse screen: the scan when it is pending, background,
// names, arrow, flip, the pad device's new presses, then every pending event.
void browsePass(SelectorContext& context);

// Runs the splash, then browse passes, until a launch or quit press.
void runMainLoop(SelectorContext& context);

// Changes to "/usr/gp2x" and replaces the process with the system menu.
// Returns only when that fails, back in the working folder it was called
// in: the line "Cannot start /usr/gp2x/gp2xmenu: REASON".
std::string startMenu();

// Releases the images, shuts SDL down, puts back what the display's set-up
// changed, and replaces the process with the launch program or the system
// menu. Returns only when that fails: the line
// "Cannot start PROGRAM: REASON".
std::string handOff(SelectorContext& context);

// The whole selector. Returns 1 after printing one line when it cannot go on
// (start-up or hand-off failed, or memory ran out: "out of memory"). The
// handheld build first shows that line on the screen and goes to the system
// menu; it returns only when that fails too, after a second line.
int runSelector();
