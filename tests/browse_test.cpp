#include <gtest/gtest.h>

#include "app.h"

namespace {

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
