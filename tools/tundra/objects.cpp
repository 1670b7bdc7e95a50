// The default demo's land and ice: the sky box, the snow field, the lake with its open
// water, the ice star, crystals and shards, rocks and pines.
#include <algorithm>
#include <array>
#include <cmath>

#include "tools/tundra/content.h"

namespace tundra {

// Six inward-facing sides on surfaces Up, West, North, East, South, Down, each with a
// planar map over the whole cube's side. The ground hides what lies below the horizon, so
// the four walls stop a little under it and the bottom is only a small square straight
// down: the view's clear colour, the sky's horizon colour, shows in between. A whole cube
// would spend a screenful of textured pixels a frame, half of them drawn over.
LwoWriter skyObject() {
    constexpr float kWallFoot = -0.08f;   // about 4.5 degrees below the horizon
    constexpr float kBottomHalf = 0.25f;  // the bottom square's half side
    LwoWriter w;
    auto point = [&](float x, float y, float z) { return w.addPoint(x, y, z); };
    std::vector<int> sides[6];
    sides[0] = {point(-1, 1, -1), point(1, 1, -1), point(1, 1, 1), point(-1, 1, 1)};
    // West, North, East, South: each wall from its two top corners down to the foot.
    const float corners[5][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    for (int i = 0; i < 4; ++i) {
        const float* a = corners[i];
        const float* b = corners[i + 1];
        sides[1 + i] = {point(a[0], 1, a[1]), point(b[0], 1, b[1]), point(b[0], kWallFoot, b[1]),
                        point(a[0], kWallFoot, a[1])};
    }
    const float d = kBottomHalf;
    sides[5] = {point(-d, -1, -d), point(d, -1, -d), point(d, -1, d), point(-d, -1, d)};
    for (int i = 0; i < 6; ++i) {
        const int s = w.addSurfaceName(kSkyFaces[i].surface);
        const Vector3 c = centroid(w, sides[i]);
        face(w, sides[i], s, scaled(c, -1.0f));
    }
    for (const SkyFace& f : kSkyFaces) {
        planarMap(w.addSurface(f.surface).color(255, 255, 255), f.axis, 2.0f,
                  std::string("Dusk") + f.surface);
    }
    return w;
}

float lakeShape(float a) {
    return 1.0f + 0.08f * std::sin(3.0f * a + 1.0f) + 0.05f * std::sin(5.0f * a + 2.0f);
}

namespace {

// Height of the snow field: a basin under the lake, low drifts around it and a ring of
// hills, lower in the west so the afterglow shows over them.
float fieldHeight(float x, float z) {
    const float r = std::sqrt(x * x + z * z);
    const float a = std::atan2(z, x);
    const float shore = r / lakeShape(a);
    const float drifts = 5.0f * (fractalNoise(x / 45.0f, z / 45.0f, kNoRepeat, 3, 61) - 0.5f);
    const float west = std::max(0.0f, -x / std::max(r, 1.0f));
    const float hills = (34.0f + 40.0f * fractalNoise(x / 70.0f, z / 70.0f, kNoRepeat, 4, 62)) *
                        (1.0f - 0.65f * west * west) * smoothstep(170.0f, 290.0f, r);
    return lerp(-2.0f, drifts + hills, smoothstep(kLakeRadius * 0.95f, kLakeRadius * 1.3f, shore));
}

}  // namespace

// A grid of triangles over the field, denser near the middle where the camera goes.
LwoWriter snowFieldObject() {
    constexpr int kCells = 20;
    LwoWriter w;
    auto coordinate = [](int i) {
        const float t = static_cast<float>(i) / kCells * 2.0f - 1.0f;
        return kFieldHalfSize * (0.45f * t + 0.55f * t * t * t);
    };
    for (int j = 0; j <= kCells; ++j) {
        for (int i = 0; i <= kCells; ++i) {
            const float x = coordinate(i), z = coordinate(j);
            point(w, {x, fieldHeight(x, z), z});
        }
    }
    const int s = w.addSurfaceName("Snow");
    const Vector3 up{0.0f, 1.0f, 0.0f};
    for (int j = 0; j < kCells; ++j) {
        for (int i = 0; i < kCells; ++i) {
            const int a = j * (kCells + 1) + i, b = a + 1, c = a + kCells + 1, d = c + 1;
            if ((i + j) % 2 == 0) {
                face(w, {a, b, d}, s, up);
                face(w, {a, d, c}, s, up);
            } else {
                face(w, {a, b, c}, s, up);
                face(w, {b, d, c}, s, up);
            }
        }
    }
    planarMap(w.addSurface("Snow")
                  .color(255, 255, 255)
                  .flags(kSmooth)
                  .number("SMAN", 1.0f)
                  .word("LUMI", 96)
                  .word("DIFF", 232)
                  .word("SPEC", 40)
                  .word("GLOS", 16),
              kAxisY, 24.0f, "Snow");
    return w;
}

namespace {

constexpr int kLakeSectors = 28;
constexpr float kWaterDepth = 0.25f;  // the open water lies this far below the ice

// A point of the lake's outline scaled to `radius` at sector k, at height y.
Vector3 lakeRingPoint(float radius, int k, float y) {
    const float a = 2.0f * kPi * static_cast<float>(k % kLakeSectors) / kLakeSectors;
    const float r = radius * lakeShape(a);
    return {r * std::cos(a), y, r * std::sin(a)};
}

}  // namespace

// The frozen lake: open water in the middle (waterObject), then clear, mirror-like ice,
// then a rim of cracked, frosted ice. The ice's inner edge drops to the water.
LwoWriter lakeObject() {
    const float radii[] = {kWaterRadius, 34.0f, 46.0f, 58.0f, 69.0f, kLakeRadius * 1.02f};
    constexpr int kRings = 6;
    constexpr int kMirrorRings = 2;  // rings up to radii[2]
    LwoWriter w;
    for (int r = 0; r < kRings; ++r) {
        for (int k = 0; k < kLakeSectors; ++k) point(w, lakeRingPoint(radii[r], k, 0.0f));
    }
    for (int k = 0; k < kLakeSectors; ++k) point(w, lakeRingPoint(kWaterRadius, k, -kWaterDepth));
    auto ring = [](int r, int k) { return r * kLakeSectors + (k % kLakeSectors); };
    const int mirror = w.addSurfaceName("Mirror");
    const int rim = w.addSurfaceName("FrostRim");
    const Vector3 up{0.0f, 1.0f, 0.0f};
    for (int r = 0; r + 1 < kRings; ++r) {
        const int s = r < kMirrorRings ? mirror : rim;
        for (int k = 0; k < kLakeSectors; ++k) {
            face(w, {ring(r, k), ring(r + 1, k), ring(r + 1, k + 1), ring(r, k + 1)}, s, up);
        }
    }
    for (int k = 0; k < kLakeSectors; ++k) {
        const std::vector<int> edge = {ring(0, k), ring(0, k + 1), ring(kRings, k + 1),
                                       ring(kRings, k)};
        face(w, edge, rim, scaled(centroid(w, edge), -1.0f));
    }
    w.addSurface("Mirror")
        .color(214, 226, 246)
        .word("LUMI", 1050)
        .word("DIFF", 250)
        .word("SPEC", 450)
        .word("GLOS", 256)
        .text("RIMG", "EnvDusk");
    planarMap(w.addSurface("FrostRim")
                  .color(255, 255, 255)
                  .word("LUMI", 300)
                  .word("DIFF", 525)
                  .word("SPEC", 275)
                  .word("GLOS", 64),
              kAxisY, 40.0f, "Ice");
    return w;
}

// The open water in the middle of the lake: a disc below the ice's inner edge, its
// texture repeated every 8 units so a flowing texture stays fine-grained.
LwoWriter waterObject() {
    LwoWriter w;
    const int centre = point(w, {0.0f, -kWaterDepth, 0.0f});
    for (int k = 0; k < kLakeSectors; ++k)
        point(w, lakeRingPoint(0.55f * kWaterRadius, k, -kWaterDepth));
    for (int k = 0; k < kLakeSectors; ++k) point(w, lakeRingPoint(kWaterRadius, k, -kWaterDepth));
    const int s = w.addSurfaceName("Water");
    const Vector3 up{0.0f, 1.0f, 0.0f};
    for (int k = 0; k < kLakeSectors; ++k) {
        const int n = (k + 1) % kLakeSectors;
        face(w, {centre, 1 + k, 1 + n}, s, up);
        face(w, {1 + k, 1 + kLakeSectors + k, 1 + kLakeSectors + n, 1 + n}, s, up);
    }
    planarMap(w.addSurface("Water")
                  .color(255, 255, 255)
                  .word("LUMI", 375)
                  .word("DIFF", 500)
                  .word("SPEC", 400)
                  .word("GLOS", 256),
              kAxisY, 8.0f, "Water");
    return w;
}

namespace {

// Adds a pyramid over every face of a convex solid, given as corner triples around the
// origin: a faceted star whose spikes stand `spike` times the face's distance out.
void stellate(LwoWriter& w, const std::vector<Vector3>& points,
              const std::vector<std::array<int, 3>>& faces, float spike, int surface) {
    for (const auto& f : faces) {
        Vector3 c = scaled(add(add(points[f[0]], points[f[1]]), points[f[2]]), 1.0f / 3.0f);
        const int apex = point(w, scaled(c, spike));
        for (int e = 0; e < 3; ++e) {
            // The solid's centre lies inside every spike, so each side faces away from it.
            const int a = point(w, points[f[e]]), b = point(w, points[f[(e + 1) % 3]]);
            face(w, {a, b, apex}, surface, centroid(w, {a, b, apex}));
        }
    }
}

// The twelve corners and twenty faces of an icosahedron of circumradius `radius`.
void icosahedron(float radius, std::vector<Vector3>& points,
                 std::vector<std::array<int, 3>>& faces) {
    const float t = 1.6180340f;
    const float raw[12][3] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                              {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                              {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    points.clear();
    for (const auto& p : raw) points.push_back(scaled(unit({p[0], p[1], p[2]}), radius));
    faces = {{0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
             {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
             {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
}

}  // namespace

LwoWriter iceStarObject() {
    LwoWriter w;
    std::vector<Vector3> points;
    std::vector<std::array<int, 3>> faces;
    icosahedron(3.2f, points, faces);
    const int s = w.addSurfaceName("StarIce");
    stellate(w, points, faces, 2.3f, s);
    w.addSurface("StarIce")
        .color(206, 232, 255)
        .word("LUMI", 440)
        .word("DIFF", 120)
        .word("SPEC", 230)
        .word("GLOS", 256)
        .text("RIMG", "EnvDusk");
    return w;
}

namespace {

// A hexagonal ice crystal from `base` along `axis`: six sides and a six-faced tip, and a
// second tip at the base when `baseTip` is above 0.
void crystal(LwoWriter& w, const Vector3& base, Vector3 axis, float radius, float length, float tip,
             float baseTip, float twist, int surface) {
    axis.normalize();
    const Vector3 helper = std::fabs(axis.y) < 0.9f ? Vector3{0, 1, 0} : Vector3{1, 0, 0};
    const Vector3 side = unit(cross(helper, axis));
    const Vector3 other = cross(axis, side);
    const Vector3 end = add(base, scaled(axis, length));
    int bottom[6], top[6];
    for (int k = 0; k < 6; ++k) {
        const float a = twist + static_cast<float>(k) * kPi / 3.0f;
        const Vector3 offset =
            add(scaled(side, radius * std::cos(a)), scaled(other, radius * std::sin(a)));
        bottom[k] = point(w, add(base, offset));
        top[k] = point(w, add(end, offset));
    }
    // Every face looks away from a point on the axis inside the crystal.
    const Vector3 inside = add(base, scaled(axis, 0.5f * length));
    auto addFace = [&](const std::vector<int>& corners) {
        face(w, corners, surface, sub(centroid(w, corners), inside));
    };
    const int apex = point(w, add(end, scaled(axis, tip)));
    for (int k = 0; k < 6; ++k) {
        const int n = (k + 1) % 6;
        addFace({bottom[k], bottom[n], top[n], top[k]});
        addFace({top[k], top[n], apex});
    }
    if (baseTip > 0.0f) {
        const int foot = point(w, sub(base, scaled(axis, baseTip)));
        for (int k = 0; k < 6; ++k) addFace({bottom[k], bottom[(k + 1) % 6], foot});
    }
}

LwoSurface& crystalSurface(LwoWriter& w, const char* name) {
    return w.addSurface(name)
        .color(160, 230, 255)
        .word("LUMI", 400)
        .word("DIFF", 160)
        .word("TRAN", 140);
}

}  // namespace

// A cluster of seven translucent crystals growing out of the snow (base at y = -1).
LwoWriter crystalsObject() {
    LwoWriter w;
    const int s = w.addSurfaceName("Crystal");
    struct CrystalShape {
        float x, z, ax, ay, az, radius, length, tip, twist;
    };
    const CrystalShape shapes[] = {
        {0.0f, 0.0f, 0.05f, 1.0f, 0.0f, 1.9f, 11.0f, 3.6f, 0.2f},
        {1.6f, 0.8f, 0.55f, 1.0f, 0.2f, 1.2f, 7.0f, 2.4f, 0.7f},
        {-1.4f, 1.0f, -0.5f, 1.0f, 0.35f, 1.3f, 8.0f, 2.6f, 0.1f},
        {-0.8f, -1.5f, -0.3f, 1.0f, -0.6f, 1.0f, 5.5f, 2.0f, 0.4f},
        {1.2f, -1.3f, 0.6f, 1.0f, -0.45f, 0.9f, 4.5f, 1.8f, 0.9f},
        {0.2f, 1.8f, 0.1f, 1.0f, 0.8f, 0.8f, 4.0f, 1.6f, 0.3f},
        {2.6f, -0.2f, 1.1f, 1.0f, 0.0f, 0.7f, 3.5f, 1.4f, 0.5f},
    };
    for (const CrystalShape& c : shapes) {
        crystal(w, {c.x, -1.0f, c.z}, {c.ax, c.ay, c.az}, c.radius, c.length, c.tip, 0.0f, c.twist,
                s);
    }
    planarMap(crystalSurface(w, "Crystal"), kAxisZ, 6.0f, "Ice");
    return w;
}

// A single floating shard: a hexagonal crystal pointed at both ends, centred on the origin.
LwoWriter shardObject() {
    LwoWriter w;
    const int s = w.addSurfaceName("Shard");
    crystal(w, {0.0f, -2.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 1.0f, 4.0f, 2.2f, 1.6f, 0.0f, s);
    // Translucent and reflecting the sky rather than textured.
    w.addSurface("Shard")
        .color(190, 236, 255)
        .flags(kDoubleSided)
        .word("LUMI", 330)
        .word("DIFF", 180)
        .word("TRAN", 110)
        .text("RIMG", "EnvDusk");
    return w;
}

// A boulder of radius about 1: a once-subdivided icosahedron pushed in and out by noise,
// flattened, with its upward faces under snow.
LwoWriter rockObject() {
    std::vector<Vector3> points;
    std::vector<std::array<int, 3>> faces;
    icosahedron(1.0f, points, faces);
    std::vector<std::array<int, 3>> fine;
    auto midpoint = [&](int a, int b) {
        points.push_back(unit(add(points[static_cast<size_t>(a)], points[static_cast<size_t>(b)])));
        return static_cast<int>(points.size()) - 1;
    };
    for (const auto& f : faces) {
        // Edges are split once per face; shared edges get the same point by position below.
        const int ab = midpoint(f[0], f[1]), bc = midpoint(f[1], f[2]), ca = midpoint(f[2], f[0]);
        fine.push_back({f[0], ab, ca});
        fine.push_back({f[1], bc, ab});
        fine.push_back({f[2], ca, bc});
        fine.push_back({ab, bc, ca});
    }
    LwoWriter w;
    std::vector<int> index(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const Vector3& p = points[i];
        const float bump = 0.78f + 0.44f * fractalNoise(p.x * 1.7f + 3.0f, p.z * 1.7f + p.y * 0.9f,
                                                        kNoRepeat, 3, 71);
        Vector3 q = scaled(p, bump);
        q.y = std::max(q.y * 0.62f, -0.3f);
        const Vector3 rounded{quantize(q.x), quantize(q.y), quantize(q.z)};
        index[i] = -1;
        for (size_t j = 0; j < w.points.size(); ++j) {
            const Vector3& o = w.points[j];
            if (o.x == rounded.x && o.y == rounded.y && o.z == rounded.z) {
                index[i] = static_cast<int>(j);
                break;
            }
        }
        if (index[i] < 0) index[i] = point(w, q);
    }
    const int stone = w.addSurfaceName("Rock");
    const int snow = w.addSurfaceName("RockSnow");
    for (const auto& f : fine) {
        const std::vector<int> corners = {index[static_cast<size_t>(f[0])],
                                          index[static_cast<size_t>(f[1])],
                                          index[static_cast<size_t>(f[2])]};
        const Vector3 c = centroid(w, corners);
        const Vector3 a = w.points[static_cast<size_t>(corners[0])];
        const Vector3 n = unit(cross(sub(w.points[static_cast<size_t>(corners[1])], a),
                                     sub(w.points[static_cast<size_t>(corners[2])], a)));
        const Vector3 out = dot(n, c) >= 0.0f ? n : scaled(n, -1.0f);
        face(w, corners, out.y > 0.55f ? snow : stone, c);
    }
    imageMap(w.addSurface("Rock")
                 .color(255, 255, 255)
                 .flags(kSmooth)
                 .number("SMAN", 0.8f)
                 .word("LUMI", 240)
                 .word("DIFF", 230)
                 .word("SPEC", 30)
                 .word("GLOS", 16),
             "Cubic Image Map", 0, {1.1f, 1.1f, 1.1f}, {}, "Rock");
    planarMap(w.addSurface("RockSnow")
                  .color(255, 255, 255)
                  .flags(kSmooth)
                  .number("SMAN", 0.8f)
                  .word("LUMI", 140)
                  .word("DIFF", 232)
                  .word("SPEC", 40)
                  .word("GLOS", 16),
              kAxisY, 1.6f, "Snow");
    return w;
}

// A snow-laden pine about 16 units tall: a trunk and four cones, each dark green below and
// white at the top, closed underneath.
LwoWriter pineObject() {
    constexpr int kSides = 8;
    LwoWriter w;
    const int bark = w.addSurfaceName("Bark");
    const int needles = w.addSurfaceName("Needles");
    const int snow = w.addSurfaceName("PineSnow");
    auto ringPoints = [&](float y, float radius, float turn) {
        std::vector<int> ring;
        for (int k = 0; k < kSides; ++k) {
            const float a = turn + 2.0f * kPi * static_cast<float>(k) / kSides;
            ring.push_back(point(w, {radius * std::cos(a), y, radius * std::sin(a)}));
        }
        return ring;
    };
    auto outward = [&](const std::vector<int>& corners) {
        Vector3 c = centroid(w, corners);
        c.y = 0.0f;
        return c;
    };
    // Trunk: six sides from below the snow up into the first cone.
    {
        std::vector<int> low, high;
        for (int k = 0; k < 6; ++k) {
            const float a = static_cast<float>(k) * kPi / 3.0f;
            low.push_back(point(w, {0.55f * std::cos(a), -2.0f, 0.55f * std::sin(a)}));
            high.push_back(point(w, {0.4f * std::cos(a), 3.5f, 0.4f * std::sin(a)}));
        }
        for (int k = 0; k < 6; ++k) {
            const std::vector<int> q = {low[k], low[(k + 1) % 6], high[(k + 1) % 6], high[k]};
            face(w, q, bark, outward(q));
        }
    }
    for (int tier = 0; tier < 4; ++tier) {
        const float t = static_cast<float>(tier);
        const float bottom = 2.4f + 2.9f * t;
        const float radius = 4.6f - 0.95f * t;
        const float height = 5.0f - 0.45f * t;
        const float turn = 0.4f * t;
        const std::vector<int> rim = ringPoints(bottom, radius, turn);
        const std::vector<int> band = ringPoints(bottom + 0.5f * height, radius * 0.5f, turn);
        const int apex = point(w, {0.0f, bottom + height, 0.0f});
        for (int k = 0; k < kSides; ++k) {
            const int n = (k + 1) % kSides;
            const std::vector<int> q = {rim[k], rim[n], band[n], band[k]};
            Vector3 out = outward(q);
            out.y = 0.6f * radius;
            face(w, q, needles, out);
            const std::vector<int> tri = {band[k], band[n], apex};
            Vector3 up = outward(tri);
            up.y = radius;
            face(w, tri, snow, up);
        }
        face(w, rim, needles, {0.0f, -1.0f, 0.0f});
    }
    w.addSurface("Bark").color(96, 70, 56).word("LUMI", 120).word("DIFF", 220);
    w.addSurface("Needles")
        .color(74, 128, 108)
        .flags(kSmooth)
        .number("SMAN", 1.1f)
        .word("LUMI", 320)
        .word("DIFF", 230)
        .word("SPEC", 20)
        .word("GLOS", 16);
    w.addSurface("PineSnow")
        .color(240, 244, 255)
        .flags(kSmooth)
        .number("SMAN", 1.1f)
        .word("LUMI", 140)
        .word("DIFF", 232)
        .word("SPEC", 40)
        .word("GLOS", 16);
    return w;
}

}  // namespace tundra
