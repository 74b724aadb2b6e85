// The first list screen, drawn by the selector's own code into a PNG.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app.h"
#include "check.h"
#include "pngfile.h"

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
            std::vector<std::string> leftOut;
            // A ROM folder that cannot be looked at from here is drawn as an empty list.
            startCatalogue(context, listRoms(romFolder.path, context.config, leftOut));
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
