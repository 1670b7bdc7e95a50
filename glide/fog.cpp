// Table fog: the fog table helpers and the per-W lookup the pixel loop reads.
#include <cmath>

#include "glide/board.h"
#include "glide/workers.h"

namespace glide {

// The pixel loop looks fog up by the 16-bit W value: entry i = wf >> 10 of the table,
// interpolated towards entry i + 1 by the next 8 bits (the last entry repeats).
void rebuildFogLookup() {
    finishDrawing();  // queued draws read the lookup
    Board& b = board();
    const uint8_t* t = b.state.fogTable;
    for (int wf = 0; wf < 65536; ++wf) {
        const int i = wf >> 10;
        const int frac = (wf >> 2) & 0xFF;
        const int t0 = t[i];
        const int t1 = i + 1 < GR_FOG_TABLE_SIZE ? t[i + 1] : t[GR_FOG_TABLE_SIZE - 1];
        b.fogLookup[wf] = uint8_t(t0 + (((t1 - t0) * frac) >> 8));
    }
}

namespace {

void generate(GrFog_t table[GR_FOG_TABLE_SIZE], float density, bool squared) {
    if (table == nullptr) return;
    auto term = [&](double w) {
        const double x = double(density) * w;
        return 1.0 - std::exp(-(squared ? x * x : x));
    };
    const double last = term(guFogTableIndexToW(GR_FOG_TABLE_SIZE - 1));
    for (int i = 0; i < GR_FOG_TABLE_SIZE; ++i) {
        double f = last > 0.0 ? term(guFogTableIndexToW(i)) / last : 0.0;
        if (!(f >= 0.0)) f = 0.0;  // also catches NaN
        if (f > 1.0) f = 1.0;
        table[i] = GrFog_t(255.0 * f);
    }
}

}  // namespace
}  // namespace glide

float guFogTableIndexToW(int i) {
    return float(std::ldexp(1.0, 3 + (i >> 2)) / double(8 - (i & 3)));
}

void guFogGenerateExp(GrFog_t table[GR_FOG_TABLE_SIZE], float density) {
    glide::generate(table, density, false);
}

void guFogGenerateExp2(GrFog_t table[GR_FOG_TABLE_SIZE], float density) {
    glide::generate(table, density, true);
}
