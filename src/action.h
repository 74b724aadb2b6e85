// The words the pad and the keys are turned into: what a press asks of the
// list. The pad's and the keys' own numbers become these in pad.h.
#pragma once

enum class PadAction { None, Up, Down, Launch, Quit };
