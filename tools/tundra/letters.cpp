// The scrollers' 3D letters: every stroke of a character's drawing (font.cpp) becomes a
// bar with square ends, extruded in depth, so the letters read from the front and show
// their sides as they turn.
#include <cmath>

#include "tools/tundra/content.h"

namespace tundra {

LwoWriter letterObject(char c, float height, const std::string& surface) {
    LwoWriter w;
    const int s = w.addSurfaceName(surface);
    const float unitSize = height / 6.0f;  // one grid unit
    const float half = 0.42f * unitSize;   // half the bar's thickness
    const float depth = 0.6f * unitSize;   // half the letter's depth
    for (const Stroke& stroke : strokesOf(c)) {
        const Vector3 a{stroke.x0 * unitSize, stroke.y0 * unitSize, 0.0f};
        const Vector3 b{stroke.x1 * unitSize, stroke.y1 * unitSize, 0.0f};
        Vector3 along = sub(b, a);
        if (along.normalize() < 1e-4f) along = {0.0f, 1.0f, 0.0f};  // a dot
        const Vector3 across{-along.y, along.x, 0.0f};
        const Vector3 start = sub(a, scaled(along, half)), end = add(b, scaled(along, half));
        const Vector3 corners[4] = {sub(start, scaled(across, half)),
                                    sub(end, scaled(across, half)), add(end, scaled(across, half)),
                                    add(start, scaled(across, half))};
        int front[4], back[4];
        for (int k = 0; k < 4; ++k) {
            front[k] = point(w, {corners[k].x, corners[k].y, -depth});
            back[k] = point(w, {corners[k].x, corners[k].y, depth});
        }
        face(w, {front[0], front[1], front[2], front[3]}, s, {0.0f, 0.0f, -1.0f});
        face(w, {back[0], back[1], back[2], back[3]}, s, {0.0f, 0.0f, 1.0f});
        const Vector3 middle = scaled(add(start, end), 0.5f);
        for (int k = 0; k < 4; ++k) {
            const int n = (k + 1) % 4;
            const Vector3 edge = scaled(add(corners[k], corners[n]), 0.5f);
            face(w, {front[k], front[n], back[n], back[k]}, s, sub(edge, middle));
        }
    }
    // Ice: bright, a little shine; the description may give the letters other materials.
    planarMap(w.addSurface(surface)
                  .color(232, 242, 255)
                  .word("LUMI", 420)
                  .word("DIFF", 230)
                  .word("SPEC", 120)
                  .word("GLOS", 64),
              kAxisZ, height, "Ice");
    return w;
}

}  // namespace tundra
