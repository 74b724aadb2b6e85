// Facts about the handheld and the files the selector finds beside itself:
// the display, the pad's buttons and devices, the desktop's keys, the card,
// the menu, the run-time files and the artwork's keys are named here, once.
// The list screen's positions are in view.h, the font's cells in draw.h.
#pragma once

#include <SDL.h>

// Desktop preview builds also take the keyboard and the window-close request.
#ifndef SELECTOR_DESKTOP_PREVIEW
#define SELECTOR_DESKTOP_PREVIEW 0
#endif

// The handheld build (scripts/handheld), on a generic SDL: it reads the
// pad's device itself (pad.h), has no mouse, and leads back to the system
// menu when it cannot go on.
#ifndef SELECTOR_HANDHELD
#define SELECTOR_HANDHELD 0
#endif

// A control build for the emulated board's tests: the handheld program
// without the Wiz's and the Caanoo's display set-up.
#ifndef SELECTOR_DISPLAY_SETUP
#define SELECTOR_DISPLAY_SETUP 1
#endif

namespace platform {

// The display: 320x240, 16 bits per pixel, a plain software surface.
constexpr int screenWidth = 320;
constexpr int screenHeight = 240;
constexpr int screenDepth = 16;
constexpr Uint32 screenFlags = 0;

// The pad as SDL joystick 0 reports it on the handheld.
constexpr int padJoystick = 0;
// The handheld build reads the pad's device itself, with an SDL built
// without its joystick driver (see below).
constexpr bool opensPadJoystick = !SELECTOR_HANDHELD;
constexpr Uint32 sdlSubsystems = opensPadJoystick ? SDL_INIT_VIDEO | SDL_INIT_JOYSTICK : SDL_INIT_VIDEO;
constexpr int buttonUp = 0;
constexpr int buttonDown = 4;
constexpr int buttonSelect = 9;
constexpr int buttonA = 12;

// The desktop preview's keys for the same presses.
constexpr SDLKey keyUp = SDLK_UP;
constexpr SDLKey keyDown = SDLK_DOWN;
constexpr SDLKey keyLaunch = SDLK_RETURN;
constexpr SDLKey keyQuit = SDLK_ESCAPE;

// The pad as a device (pad.h). The Wiz gives the held buttons, in the
// numbering above, as a mask on every read of its button device. The
// Caanoo's buttons and stick are an input event device; a generic SDL would
// number its buttons A 0, X 1, B 2, Y 3, L 4, R 5, HOME 6, HOLD 7, I 8, II 9,
// which must never be taken for the Wiz's, so SDL's joystick driver is left
// out of the handheld build.
constexpr const char* padDevice = "/dev/GPIO";
constexpr const char* inputDevicePrefix = "/dev/input/event";  // searched from event0
constexpr int inputDevicesSearched = 32;
constexpr const char* padDeviceVariable = "SELECTOR_PAD_DEVICE";  // names the device to read

// The Caanoo's keys (from BTN_TRIGGER up) and its stick's vertical axis
// (ABS_Y, down positive). Software for the Caanoo takes I as Select.
constexpr int caanooA = 0x120;
constexpr int caanooHome = 0x126;
constexpr int caanooHelp1 = 0x128;  // I
constexpr int caanooStickAxis = 0x01;

// Input event devices are character devices of this major number; the
// button device is another (253). A node is told by what it is: the button
// device answers every request, some of which switch the unit off.
constexpr unsigned inputDeviceMajor = 13;

// The framebuffer SDL opens: $SDL_FBDEV, else the first of these. Under the
// F100's and F200's devfs the kernel's own name is the second, which SDL
// does not look for: the handheld build names it in SDL_FBDEV when only it
// exists (a user's value is kept).
constexpr const char* framebufferVariable = "SDL_FBDEV";
constexpr const char* framebufferDevice = "/dev/fb0";
constexpr const char* devfsFramebufferDevice = "/dev/fb/0";

// The Wiz and the Caanoo (the Pollux chip): their framebuffer driver reports
// settings that are not what its display controller (the MLC) scans, and
// never changes the controller, so the handheld build sets it up itself. The
// two are told apart by the framebuffer's name and memory address.
namespace pollux {
constexpr const char* framebufferId = "pollux-fb";
constexpr unsigned long wizFramebuffer = 0x02A00000;
constexpr unsigned long caanooFramebuffer = 0x05600000;

// The vendor's framebuffer requests. FBIO_LCD_CHANGE_CONTROL with command 5
// turns the Wiz's panel and controller to landscape, 320x240 RGB565 with
// 640-byte rows, and reports those settings; FBIO_RGB_CONTROL sets the
// screen layer's place and rows, and its address to the framebuffer's.
constexpr unsigned long lcdChangeControl = 0x4008445A;
constexpr Uint32 lcdLandscape = 5;
constexpr unsigned long rgbControl = 0x402C444E;
constexpr Uint32 primaryController = 1;            // the LCD's, not the TV's
constexpr unsigned long boardNumber = 0x8004445B;  // one byte: how the driver set the Wiz's panel

// The Caanoo's controller is set through its registers, in this page of
// physical memory. Writes go to a shadow copy that the controller takes at
// the next vertical blank after a dirty bit is set.
constexpr const char* memoryDevice = "/dev/mem";
constexpr unsigned long long controllerPage = 0xC0004000;
constexpr unsigned topControl = 0x000;  // bit 3: dirty
constexpr unsigned screenSize = 0x004;
constexpr unsigned layerLeftRight = 0x040;
constexpr unsigned layerTopBottom = 0x044;
constexpr unsigned layerControl = 0x058;  // layer 1: bit 4 dirty, bit 5 on, bits 16-31 pixel format
constexpr unsigned layerPixelStride = 0x05C;
constexpr unsigned layerRowStride = 0x060;
constexpr unsigned layerAddress = 0x06C;
constexpr Uint32 topDirty = 1u << 3;
constexpr Uint32 layerDirty = 1u << 4;
constexpr Uint32 layerOn = 1u << 5;
constexpr Uint32 formatRgb565 = 0x4432;
constexpr Uint32 landscapeSize = 0x00EF013F;  // (240 - 1) << 16 | (320 - 1)
// The Caanoo's stick, an input event device of this name.
constexpr const char* stickDevice = "pollux-analog";
}  // namespace pollux

// Where the handheld mounts its SD card (selector-check's --card maps it).
constexpr const char* cardFolder = "/mnt/sd";

// How the handheld's kernel mounts the card. These are the kernels' own
// defaults (their configurations and fs/fat), which hold when the firmware
// passes no options of its own; no source shows the firmware's mount
// command, so a report from a device may correct them.
namespace card {
constexpr const char* fileSystem = "vfat";
constexpr int codepage = 437;                   // of the 8.3 names on the card
constexpr const char* iocharset = "iso8859-1";  // of the names readdir gives
constexpr unsigned iocharsetLast = 0xFF;        // ISO 8859-1 holds U+0000 to U+00FF, one byte each
constexpr char unconvertible = '?';             // given for each character the iocharset lacks
constexpr bool shortNamesLower = true;          // shortname=lower: an 8.3-only name is shown in lower case
constexpr bool everyFileExecutable = true;      // no showexec, no noexec: any file may be run
}  // namespace card

// The Wiz's and the Caanoo's menus list the programs that have an INI file
// in this folder; an INI's paths are taken from it ("/.." is the card).
constexpr const char* menuGameFolder = "/mnt/sd/game";

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
// half a second on the Wiz, about one and a quarter on the F100).
constexpr unsigned long splashPasses = 9990000;

constexpr bool desktopPreview = SELECTOR_DESKTOP_PREVIEW;
constexpr bool handheldBuild = SELECTOR_HANDHELD;
constexpr bool setsUpDisplay = SELECTOR_DISPLAY_SETUP;

// What the handheld build does without a mouse: SDL's framebuffer driver
// refuses to start without one unless this is set (a user's value is kept).
constexpr const char* noMouseVariable = "SDL_NOMOUSE";

// How long the handheld build shows why it cannot go on, unless a press
// comes first, before it goes back to the menu.
constexpr Uint32 failureShownMilliseconds = 3000;
// What the desktop preview calls its window, and says on the terminal at start.
constexpr const char* previewTitle = "selector (desktop preview)";
constexpr const char* previewKeys =
    "selector: Up and Down move the arrow, Return launches, Escape or closing the window quits";

}  // namespace platform
