#include <gtest/gtest.h>

#include "app.h"

namespace {

BrowseView afterPresses(int romCount, const std::string& presses) {
    BrowseView view = startBrowse(romCount);
    for (char press : presses) view = moveCursor(view, press == 'u' ? PadAction::Up : PadAction::Down);
    return view;
}

TEST(BrowseWindow, TheArrowMovesInsideTheWindowAndTheWindowScrollsOneEntryAtATime) {
    const struct {
        int romCount;
        std::string presses;
        int windowFirst, windowEnd, cursorRow, visibleRows;
    } cases[] = {
        {10, "", 0, 10, 0, 10},
        {10, std::string(9, 'd'), 0, 10, 9, 10},
        {10, std::string(12, 'd'), 0, 10, 9, 10},
        {10, "u", 0, 10, 0, 10},
        {11, std::string(10, 'd'), 1, 11, 9, 10},
        {11, std::string(14, 'd'), 1, 11, 9, 10},
        {11, std::string(10, 'd') + std::string(9, 'u'), 1, 11, 0, 10},
        {11, std::string(10, 'd') + std::string(10, 'u'), 0, 10, 0, 10},
        {25, std::string(30, 'd'), 15, 25, 9, 10},
        {25, std::string(30, 'd') + std::string(12, 'u'), 12, 22, 0, 10},
        {3, "dddd", 0, 3, 2, 3},
        {3, "ddu", 0, 3, 1, 3},
        {1, "dudu", 0, 1, 0, 1},
        {0, "dudd", 0, 0, 0, 0},
        {-1, "dduu", 0, -1, 0, -1},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(std::to_string(expected.romCount) + " entries, presses " + expected.presses);
        const BrowseView view = afterPresses(expected.romCount, expected.presses);
        EXPECT_EQ(view.windowFirst, expected.windowFirst);
        EXPECT_EQ(view.windowEnd, expected.windowEnd);
        EXPECT_EQ(view.cursorRow, expected.cursorRow);
        EXPECT_EQ(view.visibleRows, expected.visibleRows);
        EXPECT_EQ(arrowY(view), 37 + 15 * expected.cursorRow);
    }
}

SDL_Event joyButton(Uint8 type, Uint8 button, Uint8 joystick) {
    SDL_Event event{};
    event.type = type;
    event.jbutton.type = type;
    event.jbutton.button = button;
    event.jbutton.which = joystick;
    return event;
}

SDL_Event ofType(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

SDL_Event keyDown(SDLKey key) {
    SDL_Event event = ofType(SDL_KEYDOWN);
    event.key.keysym.sym = key;
    return event;
}

TEST(PadInput, OnlyButtonDownsOfTheFourPadButtonsAct) {
    const PadAction ifPreview = platform::desktopPreview ? PadAction::Launch : PadAction::None;
    const struct {
        const char* what;
        SDL_Event event;
        PadAction action;
    } cases[] = {
        {"Up", joyButton(SDL_JOYBUTTONDOWN, 0, 0), PadAction::Up},
        {"Down", joyButton(SDL_JOYBUTTONDOWN, 4, 0), PadAction::Down},
        {"Select", joyButton(SDL_JOYBUTTONDOWN, 9, 0), PadAction::Quit},
        {"A", joyButton(SDL_JOYBUTTONDOWN, 12, 0), PadAction::Launch},
        {"A on another joystick", joyButton(SDL_JOYBUTTONDOWN, 12, 3), PadAction::Launch},
        {"another button", joyButton(SDL_JOYBUTTONDOWN, 5, 0), PadAction::None},
        {"A released", joyButton(SDL_JOYBUTTONUP, 12, 0), PadAction::None},
        {"Return key", keyDown(SDLK_RETURN), ifPreview},
        {"other key", keyDown(SDLK_a), PadAction::None},
        {"Return released", ofType(SDL_KEYUP), PadAction::None},
        {"stick", ofType(SDL_JOYAXISMOTION), PadAction::None},
        {"hat", ofType(SDL_JOYHATMOTION), PadAction::None},
        {"ball", ofType(SDL_JOYBALLMOTION), PadAction::None},
        {"mouse", ofType(SDL_MOUSEBUTTONDOWN), PadAction::None},
        {"window close", ofType(SDL_QUIT), platform::desktopPreview ? PadAction::Quit : PadAction::None},
    };
    for (const auto& input : cases) EXPECT_EQ(actionForEvent(input.event), input.action) << input.what;
}

SelectorContext browsing(const std::string& romDirectory, const NameWindow& names, int count) {
    SelectorContext context;
    context.state = SelectorState::Browse;
    context.config.romDirectory = romDirectory;
    context.names = names;
    context.view = startBrowse(count);
    return context;
}

TEST(BrowseButtons, TheLastLaunchOrQuitOfADrainDecides) {
    const NameWindow names = {"Alpha.rom", "beta game.bin", "c.rom"};
    const PadAction down = PadAction::Down, a = PadAction::Launch, select = PadAction::Quit;
    const SelectorState browse = SelectorState::Browse, launch = SelectorState::Launch;
    const struct {
        const char* what;
        int count;
        std::vector<PadAction> presses;
        SelectorState state;
        bool launchChosen;
        std::string romPath;
    } cases[] = {
        {"down, A", 3, {down, a}, launch, true, "/roms/beta game.bin"},
        {"A, then Select", 3, {a, select}, SelectorState::Quit, false, "/roms/Alpha.rom"},
        {"Select, then A", 3, {select, a}, launch, true, "/roms/Alpha.rom"},
        {"A, down, A", 3, {a, down, a}, launch, true, "/roms/beta game.bin"},
        {"A on an empty list", 0, {a}, browse, false, ""},
        {"A on an unreadable folder", -1, {a}, browse, false, ""},
    };
    for (const auto& drain : cases) {
        SCOPED_TRACE(drain.what);
        SelectorContext context = browsing("/roms/", names, drain.count);
        for (PadAction press : drain.presses) handleAction(context, press);
        EXPECT_EQ(context.state, drain.state);
        EXPECT_EQ(context.launchChosen, drain.launchChosen);
        EXPECT_EQ(context.romPath, drain.romPath);
    }
}

TEST(BrowseButtons, ALongPathIsLaunchedWhole) {
    const std::string folder = "/" + std::string(200, 'f') + "/";
    const std::string name = std::string(250, 'n') + ".rom";
    SelectorContext context = browsing(folder, {name}, 1);
    handleAction(context, PadAction::Launch);
    EXPECT_EQ(context.romPath, folder + name);
}

}  // namespace
