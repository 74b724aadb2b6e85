// The selector: lists the ROMs of one folder and starts the chosen one.
#include "app.h"

// The handheld's SDL build looks for this integer in the program itself.
extern "C" {
int SDL_videofd = 0;
}

int main() { return runSelector(); }
