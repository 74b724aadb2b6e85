// The first list screen, drawn by the selector's own code into a PNG.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app.h"
#include "check.h"
#include "check_fat.h"
#include "pngfile.h"

namespace {

// A list of the selector's holding `names` in their order, as its scan makes one.
RomList listOf(const std::vector<std::string>& names) {
    RomList list;
    list.entries = static_cast<struct dirent**>(std::calloc(names.size() + 1, sizeof(struct dirent*)));
    if (!list.entries) throw std::bad_alloc();
    for (const std::string& name : names) {
        auto* entry = static_cast<struct dirent*>(std::calloc(1, sizeof(struct dirent)));
        if (!entry) throw std::bad_alloc();
        std::snprintf(entry->d_name, sizeof entry->d_name, "%s", name.c_str());
        list.entries[list.romCount++] = entry;
    }
    return list;
}

// The list of `folder` (here) as the selector on the handheld has it: on a
// FAT card, by the names the handheld's kernel gives.
RomList handheldList(const std::string& folder, const SelectorConfig& config) {
    std::vector<std::string> leftOut;
    RomList list = listRoms(folder, config, leftOut);
    if (list.romCount < 0) return list;
    ShownList shown;
    for (int i = 0; i < list.romCount; ++i) shown.shown.push_back(list.name(i));
    const std::vector<std::string> here = shown.here = shown.shown;
    std::vector<Finding> said;  // the report has them
    judgeNamesOnCard(folder, config, folder, shown, said);
    return shown.shown == here ? std::move(list) : listOf(shown.shown);
}

}  // namespace

Screenshot renderFirstScreen(const CheckPlace& place, const std::string& pngPath) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_VIDEO);
    Screenshot shot;
    {
        SelectorContext context;
        context.screen = SDL_SetVideoMode(platform::screenWidth, platform::screenHeight,
                                          platform::screenDepth, platform::screenFlags);
        const ConfigReading reading = loadConfig((place.folder + "/" + platform::configFileName).c_str());
        const Reached romFolder = reach(place, reading.config.romDirectory);
        if (!context.screen) {
            shot.problem = say("no display: {}", {SDL_GetError()});
        } else if (!loadArtwork(context, place.folder + "/", shot.problem)) {
            // `problem` says which image
        } else if (reading.fault != ConfigFault::None) {
            shot.problem = describeConfigFault(reading, platform::configFileName);
        } else {
            context.config = reading.config;
            // A ROM folder that cannot be looked at from here is drawn as an empty list.
            startCatalogue(context, handheldList(romFolder.path, context.config));
            context.state = SelectorState::Browse;  // straight to the list, as after the splash
            browsePass(context);
            errno = 0;
            if (!savePng(context.screen, pngPath.c_str())) {
                shot.problem = errno ? say("cannot write {} ({})", {pngPath, std::strerror(errno)})
                                     : say("cannot write {}", {pngPath});
                shot.unwritable = true;
            }
        }
    }
    SDL_Quit();
    return shot;
}
