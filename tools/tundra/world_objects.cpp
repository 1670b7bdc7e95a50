// The default demo's made things and lights in the sky: ice floes, lanterns, the television
// set (cabinet and screen), the aurora's curtain, the moon and the panel of keys.
#include <cmath>

#include "tools/tundra/content.h"

namespace tundra {

namespace {

// Adds an axis-aligned box from `low` to `high` with outward faces.
void box(LwoWriter& w, const Vector3& low, const Vector3& high, int surface) {
    int p[8];
    for (int i = 0; i < 8; ++i) {
        p[i] = point(
            w, {(i & 1) ? high.x : low.x, (i & 2) ? high.y : low.y, (i & 4) ? high.z : low.z});
    }
    const Vector3 middle = scaled(add(low, high), 0.5f);
    const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        const std::vector<int> corners = {p[f[0]], p[f[1]], p[f[2]], p[f[3]]};
        face(w, corners, surface, sub(centroid(w, corners), middle));
    }
}

}  // namespace

// A flat, irregular slab of ice floating with its top 0.3 above the water it is placed on.
LwoWriter floeObject() {
    constexpr int kSides = 9;
    LwoWriter w;
    const int s = w.addSurfaceName("Floe");
    int top[kSides], bottom[kSides];
    for (int k = 0; k < kSides; ++k) {
        const float a = 2.0f * kPi * static_cast<float>(k) / kSides;
        const float r = 3.0f * (0.75f + 0.5f * hashUnit(k, 0, 141));
        top[k] = point(w, {r * std::cos(a), 0.3f, r * std::sin(a)});
        bottom[k] = point(w, {0.8f * r * std::cos(a), -0.5f, 0.8f * r * std::sin(a)});
    }
    std::vector<int> lid(top, top + kSides);
    face(w, lid, s, {0.0f, 1.0f, 0.0f});
    for (int k = 0; k < kSides; ++k) {
        const int n = (k + 1) % kSides;
        const std::vector<int> side = {top[k], top[n], bottom[n], bottom[k]};
        Vector3 out = centroid(w, side);
        out.y = 0.0f;
        face(w, side, s, out);
    }
    planarMap(w.addSurface("Floe")
                  .color(220, 240, 255)
                  .word("LUMI", 750)
                  .word("DIFF", 500)
                  .word("TRAN", 70),
              kAxisY, 6.0f, "Ice");
    return w;
}

// A lantern on an iron post, 4.6 units tall: the post and cap are lit colour, the glass a
// warm translucent glow.
LwoWriter lanternObject() {
    LwoWriter w;
    const int iron = w.addSurfaceName("Iron");
    const int glass = w.addSurfaceName("Glass");
    box(w, {-0.12f, -3.0f, -0.12f}, {0.12f, 3.6f, 0.12f}, iron);  // deep enough for any drift
    box(w, {-0.45f, 3.6f, -0.45f}, {0.45f, 3.7f, 0.45f}, iron);
    box(w, {-0.36f, 3.7f, -0.36f}, {0.36f, 4.4f, 0.36f}, glass);
    const int apex = point(w, {0.0f, 4.75f, 0.0f});
    int rim[4];
    for (int k = 0; k < 4; ++k) {
        rim[k] = point(w, {(k == 0 || k == 3) ? -0.5f : 0.5f, 4.4f, k < 2 ? -0.5f : 0.5f});
    }
    for (int k = 0; k < 4; ++k) {
        const std::vector<int> roof = {rim[k], rim[(k + 1) % 4], apex};
        Vector3 out = centroid(w, roof);
        out.y = 0.3f;
        face(w, roof, iron, out);
    }
    face(w, {rim[0], rim[1], rim[2], rim[3]}, iron, {0.0f, -1.0f, 0.0f});
    w.addSurface("Iron").color(52, 50, 58).word("LUMI", 90).word("DIFF", 200).word("SPEC", 60);
    w.addSurface("Glass").color(255, 196, 112).word("LUMI", 900).word("DIFF", 120).word("TRAN", 60);
    return w;
}

namespace {

constexpr float kCabinetWidth = 2.4f, kCabinetHeight = 1.9f, kCabinetDepth = 1.6f;
constexpr float kCabinetBottom = 0.45f;  // on legs
constexpr float kScreenCentreY = kCabinetBottom + 0.95f;
constexpr float kScreenHalfWidth = 0.8f, kScreenHalfHeight = 0.6f;

}  // namespace

// A wooden television cabinet on four legs with rabbit-ear aerials, the opening for its
// screen in the front (-z). The wood is cube-mapped round the cabinet's middle; each
// side is a fan about its centre, so most of it picks the face's own projection.
LwoWriter televisionCabinetObject() {
    LwoWriter w;
    const int wood = w.addSurfaceName("Wood");
    const int metal = w.addSurfaceName("Metal");
    const float x0 = -kCabinetWidth / 2, x1 = kCabinetWidth / 2;
    const float y0 = kCabinetBottom, y1 = kCabinetBottom + kCabinetHeight;
    const float z0 = -kCabinetDepth / 2, z1 = kCabinetDepth / 2;
    const Vector3 middle{0.0f, (y0 + y1) / 2, 0.0f};
    auto fan = [&](const std::vector<Vector3>& corners, const Vector3& outward) {
        Vector3 c{};
        for (const Vector3& p : corners) c.addInPlace(p);
        const int centre = point(w, scaled(c, 1.0f / static_cast<float>(corners.size())));
        for (size_t k = 0; k < corners.size(); ++k) {
            const int a = point(w, corners[k]), b = point(w, corners[(k + 1) % corners.size()]);
            face(w, {a, b, centre}, wood, outward);
        }
    };
    fan({{x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}}, {0, 1, 0});
    fan({{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}, {0, -1, 0});
    fan({{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}, {0, 0, 1});
    fan({{x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}}, {-1, 0, 0});
    fan({{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}, {1, 0, 0});
    // The front: a frame round the opening, and the opening's sides going in to the screen.
    const float sx0 = -kScreenHalfWidth - 0.05f, sx1 = kScreenHalfWidth + 0.05f;
    const float sy0 = kScreenCentreY - kScreenHalfHeight - 0.05f;
    const float sy1 = kScreenCentreY + kScreenHalfHeight + 0.05f;
    const Vector3 front{0, 0, -1};
    const Vector3 outer[4] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}};
    const Vector3 inner[4] = {{sx0, sy0, z0}, {sx1, sy0, z0}, {sx1, sy1, z0}, {sx0, sy1, z0}};
    const Vector3 deep[4] = {{sx0, sy0, z0 + 0.15f},
                             {sx1, sy0, z0 + 0.15f},
                             {sx1, sy1, z0 + 0.15f},
                             {sx0, sy1, z0 + 0.15f}};
    for (int k = 0; k < 4; ++k) {
        const int n = (k + 1) % 4;
        face(w, {point(w, outer[k]), point(w, outer[n]), point(w, inner[n]), point(w, inner[k])},
             wood, front);
        const Vector3 inward =
            scaled(sub(add(inner[k], inner[n]), {0, 2 * kScreenCentreY, 0}), -1.0f);
        face(w, {point(w, inner[k]), point(w, inner[n]), point(w, deep[n]), point(w, deep[k])},
             wood, {inward.x, inward.y, 0.0f});
    }
    for (const float lx : {x0 + 0.2f, x1 - 0.3f}) {
        for (const float lz : {z0 + 0.2f, z1 - 0.3f}) {
            box(w, {lx, 0.0f, lz}, {lx + 0.1f, y0, lz + 0.1f}, metal);
        }
    }
    // Aerials: two thin rods leaning apart from a small base.
    box(w, {-0.2f, y1, -0.1f}, {0.2f, y1 + 0.12f, 0.2f}, metal);
    for (const float side : {-1.0f, 1.0f}) {
        const Vector3 base{0.0f, y1 + 0.1f, 0.05f};
        const Vector3 tip{side * 0.9f, y1 + 1.5f, 0.25f};
        const Vector3 across{0.03f, 0.0f, 0.0f}, deepAcross{0.0f, 0.0f, 0.03f};
        const int a = point(w, sub(base, across)), b = point(w, add(base, across));
        const int c = point(w, add(tip, across)), d = point(w, sub(tip, across));
        const int e = point(w, sub(base, deepAcross)), f = point(w, add(base, deepAcross));
        const int g = point(w, add(tip, deepAcross)), h = point(w, sub(tip, deepAcross));
        face(w, {a, b, c, d}, metal, {0, 0, -1});
        face(w, {a, b, c, d}, metal, {0, 0, 1});
        face(w, {e, f, g, h}, metal, {-1, 0, 0});
        face(w, {e, f, g, h}, metal, {1, 0, 0});
    }
    imageMap(w.addSurface("Wood")
                 .color(255, 255, 255)
                 .word("LUMI", 200)
                 .word("DIFF", 220)
                 .word("SPEC", 70)
                 .word("GLOS", 64),
             "Cubic Image Map", 0, {1.2f, 1.2f, 1.2f}, middle, "Wood");
    w.addSurface("Metal")
        .color(170, 172, 180)
        .word("LUMI", 120)
        .word("DIFF", 200)
        .word("SPEC", 200);
    return w;
}

// The television's screen, set into the cabinet's opening. Its map shows the top three
// quarters of its square picture (the 4:3 part a view of 4:3 leaves there).
LwoWriter televisionScreenObject() {
    LwoWriter w;
    const int s = w.addSurfaceName("Screen");
    const float z = -kCabinetDepth / 2 + 0.15f;
    const float y0 = kScreenCentreY - kScreenHalfHeight, y1 = kScreenCentreY + kScreenHalfHeight;
    const int a = point(w, {-kScreenHalfWidth, y0, z}), b = point(w, {kScreenHalfWidth, y0, z});
    const int c = point(w, {kScreenHalfWidth, y1, z}), d = point(w, {-kScreenHalfWidth, y1, z});
    face(w, {a, b, c, d}, s, {0.0f, 0.0f, -1.0f});
    // v = 0.5 - (y - centre) / size: 0 at the top edge, 0.75 at the bottom edge.
    const float size = 2.0f * kScreenHalfWidth;
    imageMap(w.addSurface("Screen").color(255, 255, 255).word("LUMI", 700).word("DIFF", 60),
             "Planar Image Map", kAxisZ, {size, 4.0f * kScreenHalfHeight / 1.5f, size},
             {0.0f, y1 - 0.5f * (4.0f * kScreenHalfHeight / 1.5f), 0.0f}, "Images/T4000.pic");
    return w;
}

// The aurora: a tall, folded curtain hanging on an arc across the northern sky, seen from
// both sides; cylindrically mapped, so its rays run round the arc and its glow fades up.
LwoWriter auroraObject() {
    constexpr int kSegments = 28;
    constexpr float kRadius = 520.0f, kBottom = 120.0f, kTop = 380.0f;
    constexpr float kFrom = 0.35f, kTo = 2.79f;  // radians from east towards north
    LwoWriter w;
    const int s = w.addSurfaceName("Curtain");
    int low[kSegments + 1], high[kSegments + 1];
    for (int k = 0; k <= kSegments; ++k) {
        const float t = static_cast<float>(k) / kSegments;
        const float a = kFrom + (kTo - kFrom) * t;
        const float fold = 1.0f + 0.06f * std::sin(17.0f * t + 0.5f) + 0.04f * std::sin(41.0f * t);
        const float lift = 24.0f * std::sin(5.0f * t + 1.0f);
        const float r = kRadius * fold;
        low[k] = point(w, {r * std::cos(a), kBottom + lift, r * std::sin(a)});
        high[k] = point(w, {r * 1.08f * std::cos(a), kTop + 1.6f * lift, r * 1.08f * std::sin(a)});
    }
    for (int k = 0; k < kSegments; ++k) {
        const std::vector<int> q = {low[k], low[k + 1], high[k + 1], high[k]};
        Vector3 in = scaled(centroid(w, q), -1.0f);
        in.y = 0.0f;
        face(w, q, s, in);
    }
    const float height = kTop - kBottom + 60.0f;
    imageMap(w.addSurface("Curtain")
                 .color(96, 255, 170)
                 .flags(kDoubleSided)
                 .word("LUMI", 900)
                 .word("DIFF", 0)
                 .word("TRAN", 60),
             "Cylindrical Image Map", kAxisY, {1.0f, height, 1.0f},
             {0.0f, 0.5f * (kTop + kBottom) + 20.0f, 0.0f}, "Aurora");
    return w;
}

// The moon: a smooth sphere of radius 1, spherically mapped about the vertical axis. Its
// seam column has points of its own, so no polygon is mapped across the seam.
LwoWriter moonObject() {
    constexpr int kAround = 16, kRings = 10;
    LwoWriter w;
    const int s = w.addSurfaceName("Moon");
    auto at = [&](int k, int r) {
        const float latitude = kPi * (static_cast<float>(r) / kRings - 0.5f);
        const float longitude = 2.0f * kPi * static_cast<float>(k) / kAround;
        // The map's longitude runs from -x towards +z.
        return Vector3{-std::cos(latitude) * std::cos(longitude), std::sin(latitude),
                       std::cos(latitude) * std::sin(longitude)};
    };
    const int south = point(w, {0.0f, -1.0f, 0.0f}), north = point(w, {0.0f, 1.0f, 0.0f});
    std::vector<int> grid;
    for (int r = 1; r < kRings; ++r) {
        for (int k = 0; k <= kAround; ++k) grid.push_back(point(w, at(k, r)));
    }
    auto g = [&](int r, int k) { return grid[static_cast<size_t>((r - 1) * (kAround + 1) + k)]; };
    for (int k = 0; k < kAround; ++k) {
        face(w, {south, g(1, k), g(1, k + 1)}, s, at(k, 0));
        face(w, {north, g(kRings - 1, k), g(kRings - 1, k + 1)}, s, at(k, kRings));
        for (int r = 1; r + 1 < kRings; ++r) {
            const std::vector<int> q = {g(r, k), g(r, k + 1), g(r + 1, k + 1), g(r + 1, k)};
            face(w, q, s, centroid(w, q));
        }
    }
    imageMap(w.addSurface("Moon")
                 .color(255, 255, 255)
                 .flags(kSmooth)
                 .number("SMAN", 1.2f)
                 .word("LUMI", 560)
                 .word("DIFF", 0),
             "Spherical Image Map", kAxisZ, {2.0f, 2.0f, 2.0f}, {}, "Moon");
    return w;
}

// The moon's halo: a square of side 2 facing -z, translucent, its picture an alpha map.
LwoWriter haloObject() {
    LwoWriter w;
    const int s = w.addSurfaceName("Halo");
    const int a = point(w, {-1, -1, 0}), b = point(w, {1, -1, 0});
    const int c = point(w, {1, 1, 0}), d = point(w, {-1, 1, 0});
    face(w, {a, b, c, d}, s, {0.0f, 0.0f, -1.0f});
    planarMap(w.addSurface("Halo")
                  .color(190, 210, 255)
                  .word("LUMI", 256)
                  .word("DIFF", 0)
                  .word("TRAN", 40),
              kAxisZ, 2.0f, "Halo");
    return w;
}

// A square panel of side 2 facing -z, showing the whole of the picture "Keys".
LwoWriter panelObject() {
    LwoWriter w;
    const int s = w.addSurfaceName("Panel");
    const int a = point(w, {-1, -1, 0}), b = point(w, {1, -1, 0});
    const int c = point(w, {1, 1, 0}), d = point(w, {-1, 1, 0});
    face(w, {a, b, c, d}, s, {0.0f, 0.0f, -1.0f});
    planarMap(w.addSurface("Panel")
                  .color(255, 255, 255)
                  .word("LUMI", 256)
                  .word("DIFF", 0)
                  .word("TRAN", 30),
              kAxisZ, 2.0f, "Keys");
    return w;
}

}  // namespace tundra
