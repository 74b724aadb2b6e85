// When the selector cannot go on. The handheld build shows the line that
// says why on the screen before it goes back to the system menu: a handheld
// has no console to read it on, and no other way out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "display.h"
#include "draw.h"
#include "pad.h"

// `text` in lines of at most `width` characters, broken at spaces where it
// can be (a longer word is cut); no line begins or ends with a space. A
// width of 0 counts as 1.
std::vector<std::string> wrapText(const std::string& text, size_t width);

// Shows `line` in capitals, centred on a black screen, for about three
// seconds or until a press, when a display and the font can be had (SDL is
// started again, and the display set up, if it was shut down). Does nothing
// otherwise, nor when setting the display up failed: it never draws on a
// screen it could not set up. Never throws.
// The font is loaded from the working folder when `font` holds none; a press
// comes from `pad` or SDL's events.
void showFailure(Surface& font, PadDevice& pad, DisplaySetup& display, const std::string& line) noexcept;
