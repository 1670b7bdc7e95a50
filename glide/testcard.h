// The board's test card: one 640x480 frame that exercises every feature the engine uses
// (each combine variant, filters, mip levels, wrap and clamp, fog, blending, alpha test,
// dither, clip windows and overlapping depth). Used by the glide-testcard tool and by the
// golden-image test.
#pragma once

#include "glide/glide.h"

// Opens the display (if needed), draws the card into the back buffer and swaps, so the
// card ends up in the front buffer. Deterministic: the same machine gives the same bytes.
void drawTestCard();

// A screen-space vertex for drawing by hand: colour and alpha on 0..255, depth w, and
// texture coordinates s, t on 0..256 (stored divided by w, as the board expects).
GrVertex boardVertex(float x, float y, float r = 0, float g = 0, float b = 0, float a = 0,
                     float w = 1, float s = 0, float t = 0);

// The colour combines the engine draws with.
namespace combine {
void lit();          // iterated colour, plus iterated alpha
void decal();        // the texel
void litTextured();  // texel x iterated colour, plus iterated alpha
void modulated();    // texel x iterated colour
void iterated();     // the iterated colour
}  // namespace combine
