// The board's presenting hook: how a finished frame leaves the board.
//
// The platform layer installs a presenter. At every grBufferSwap the board hands the
// presenter the new front buffer (on the thread that called grBufferSwap). The presenter
// copies the pixels out before it returns (the board may draw into that buffer again
// after the next swap), shows them when it can, and then calls
// glidePresentComplete() once for that frame, from any thread.
// grBufferNumPending() counts frames handed over and not yet completed. With no presenter
// installed a swap completes at once, so tests and offline rendering run at full speed.
#pragma once

#include <cstdint>

// `pixels` is RGB565, `width` x `height`, rows `strideBytes` apart, top row first.
using GlidePresentFunction = void (*)(void* context, const uint16_t* pixels, int width, int height,
                                      int strideBytes);

// Installs (or, with a null function, removes) the presenter. Not thread-safe with
// respect to grBufferSwap: install before the demo thread draws.
void glideSetPresenter(GlidePresentFunction present, void* context);

// Called by the presenter when a frame handed to it has been shown (or dropped).
void glidePresentComplete();
