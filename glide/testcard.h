// The board's test card: one 640x480 frame that exercises every feature the engine uses
// (each combine variant, filters, mip levels, wrap and clamp, fog, blending, alpha test,
// dither, clip windows and overlapping depth). Used by the glide-testcard tool and by the
// golden-image test.
#pragma once

// Opens the display (if needed), draws the card into the back buffer and swaps, so the
// card ends up in the front buffer. Deterministic: the same machine gives the same bytes.
void drawTestCard();
