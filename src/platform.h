// Facts about the handheld and the files the selector finds beside itself.
// Everything the program knows about its platform is named here, once.
#pragma once

#include <SDL.h>

// Desktop preview builds also take the keyboard and the window-close request.
#ifndef SELECTOR_DESKTOP_PREVIEW
#define SELECTOR_DESKTOP_PREVIEW 0
#endif

// Handheld builds on a generic SDL also read the pad device (see pad.h).
#ifndef SELECTOR_READ_PAD_DEVICE
#define SELECTOR_READ_PAD_DEVICE 0
#endif

namespace platform {

// The display: 320x240, 16 bits per pixel, a plain software surface.
constexpr int screenWidth = 320;
constexpr int screenHeight = 240;
constexpr int screenDepth = 16;
constexpr Uint32 screenFlags = 0;

// The pad as SDL joystick 0 reports it on the handheld.
constexpr int padJoystick = 0;
constexpr int buttonUp = 0;
constexpr int buttonDown = 4;
constexpr int buttonSelect = 9;
constexpr int buttonA = 12;

// The pad as a device: the Wiz's and the Caanoo's kernels give the held
// buttons, in the numbering above, on every read of it. Only vendors' SDL
// builds turn it into joystick 0; handheld builds read it themselves.
constexpr bool readsPadDevice = SELECTOR_READ_PAD_DEVICE;
constexpr const char* padDevice = "/dev/GPIO";
constexpr const char* padDeviceVariable = "SELECTOR_PAD_DEVICE";  // names another device

// The handheld's system menu, started from its own folder on Select.
constexpr const char* menuDirectory = "/usr/gp2x";
constexpr const char* menuProgram = "/usr/gp2x/gp2xmenu";

// Run-time files, read from the working directory.
constexpr const char* configFileName = "selector.cfg";
constexpr const char* backgroundFile = "background.png";
constexpr const char* fontFile = "font.png";
constexpr const char* arrowFile = "arrow.png";
constexpr const char* splashFile = "quelp-splash.png";

// Transparent colours of the font strip and of the arrow. They differ on
// purpose: artwork made for the selector uses exactly these two.
struct Rgb {
    Uint8 r, g, b;
};
constexpr Rgb fontKey = {255, 81, 247};
constexpr Rgb arrowKey = {255, 82, 249};
constexpr Uint32 colourKeyFlags = SDL_SRCCOLORKEY | SDL_RLEACCEL;

// The splash stays up for this many passes of the main loop (not a time:
// on the handheld's processor this is a second or two).
constexpr unsigned long splashPasses = 9990000;

constexpr bool desktopPreview = SELECTOR_DESKTOP_PREVIEW;
// What the desktop preview calls its window, and says on the terminal at start.
constexpr const char* previewTitle = "selector (desktop preview)";
constexpr const char* previewKeys =
    "selector: Up and Down move the arrow, Return launches, Escape or closing the window quits";

}  // namespace platform
