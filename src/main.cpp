// The selector: lists the ROMs of one folder and starts the chosen one.
#include "app.h"

// The vendors' SDL builds in the handhelds' SDKs look for this integer in the
// program itself; the SDL our scripts build does not.
extern "C" {
int SDL_videofd = 0;
}

int main() { return runSelector(); }
