// halcyon-tundra-content DATA_DIR: writes the objects (DATA_DIR/objects/*.lwo) and textures
// (DATA_DIR/textures/*.raw) of the default demo, "Tundra": a snow field ringed by hills
// around a frozen lake, pines, snow-capped rocks, ice crystals, a spinning ice star, and two
// sky boxes (dusk, and a night with an aurora) with their environment maps.
//
// Everything is computed from fixed formulas and integer hashes with fixed seeds; there is
// no clock and no random generator, so every run writes the same bytes. Point coordinates
// are rounded to 1/256 unit and colours to whole bytes, so last-bit differences between
// maths libraries seldom reach the files. `make content` runs it on data/.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/files.h"
#include "tools/lwo_writer.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kHalfPi = 1.57079633f;

// ---------------------------------------------------------------------------------------
// Deterministic noise.

uint32_t hash(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^
                 static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// A value in [0, 1) from integer coordinates.
float hashUnit(int x, int y, uint32_t seed) {
    return static_cast<float>(hash(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

float smoothstep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

float lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

int wrapIndex(int i, int period) {
    const int m = i % period;
    return m < 0 ? m + period : m;
}

// Value noise in [0, 1) that repeats every `period` cells (a very large period: no repeat).
float valueNoise(float x, float y, int period, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = smoothstep(0.0f, 1.0f, x - fx), ty = smoothstep(0.0f, 1.0f, y - fy);
    auto at = [&](int dx, int dy) {
        return hashUnit(wrapIndex(ix + dx, period), wrapIndex(iy + dy, period), seed);
    };
    return lerp(lerp(at(0, 0), at(1, 0), tx), lerp(at(0, 1), at(1, 1), tx), ty);
}

// Octaves of value noise, each twice the frequency and half the weight; result in [0, 1).
float fractalNoise(float x, float y, int period, int octaves, uint32_t seed) {
    float sum = 0.0f, weight = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * valueNoise(x, y, period, seed + static_cast<uint32_t>(i) * 101u);
        total += weight;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        weight *= 0.5f;
    }
    return sum / total;
}

constexpr int kNoRepeat = 1 << 20;

// ---------------------------------------------------------------------------------------
// Images: ".raw" files, 3 bytes (red, green, blue) per texel, rows top to bottom.

struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f;  // 0..255
};

Colour mix(const Colour& a, const Colour& b, float t) {
    return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)};
}
Colour scaledColour(const Colour& c, float s) {
    return {c.r * s, c.g * s, c.b * s};
}
Colour plus(const Colour& a, const Colour& b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}

unsigned char toByte(float v) {
    return static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
}

class Image {
  public:
    explicit Image(int size) : size_(size), bytes_(static_cast<size_t>(size) * size * 3) {}
    void set(int x, int y, const Colour& c) {
        unsigned char* p = &bytes_[(static_cast<size_t>(y) * size_ + x) * 3];
        p[0] = toByte(c.r);
        p[1] = toByte(c.g);
        p[2] = toByte(c.b);
    }
    // Fills every texel from a function of its centre in [0, 1) x [0, 1).
    void fill(const std::function<Colour(int x, int y, float u, float v)>& colour) {
        for (int y = 0; y < size_; ++y) {
            for (int x = 0; x < size_; ++x) {
                const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size_);
                const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(size_);
                set(x, y, colour(x, y, u, v));
            }
        }
    }
    bool save(const std::string& path) const {
        return saveFile(path.c_str(), bytes_.data(), bytes_.size());
    }

  private:
    int size_;
    std::vector<unsigned char> bytes_;
};

// A small signed variation per texel against banding in 16-bit colour.
float grain(int x, int y, uint32_t seed, float amount) {
    return (hashUnit(x, y, seed) - 0.5f) * amount;
}

Image snowTexture() {
    Image image(128);
    image.fill([](int x, int y, float u, float v) {
        const float drift = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 11);
        const float crust = fractalNoise(u * 16.0f, v * 16.0f, 16, 2, 12);
        Colour c = mix({206, 216, 234}, {250, 251, 255}, 0.25f + 0.55f * drift + 0.2f * crust);
        if (hashUnit(x, y, 13) > 0.992f) c = {255, 255, 255};
        const float g = grain(x, y, 14, 5.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// Distances to the nearest and second nearest feature point of a repeating cell pattern.
void cellDistances(float u, float v, int cells, uint32_t seed, float& nearest, float& second) {
    const float x = u * static_cast<float>(cells), y = v * static_cast<float>(cells);
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    nearest = second = 1e9f;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const int ix = wrapIndex(cx + dx, cells), iy = wrapIndex(cy + dy, cells);
            // Kept off the cell edges, so no two points nearly meet.
            const float px = static_cast<float>(cx + dx) + 0.15f + 0.7f * hashUnit(ix, iy, seed);
            const float py =
                static_cast<float>(cy + dy) + 0.15f + 0.7f * hashUnit(ix, iy, seed + 1);
            const float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < nearest) {
                second = nearest;
                nearest = d;
            } else if (d < second) {
                second = d;
            }
        }
    }
}

Image iceTexture() {
    Image image(128);
    image.fill([](int x, int y, float u, float v) {
        const float depth = fractalNoise(u * 3.0f, v * 3.0f, 3, 4, 21);
        float nearest = 0.0f, second = 0.0f;
        cellDistances(u, v, 5, 22, nearest, second);
        const float crack = 1.0f - smoothstep(0.0f, 0.07f, second - nearest);
        float fine = 0.0f, fineSecond = 0.0f;
        cellDistances(u, v, 11, 23, fine, fineSecond);
        const float hairline = 1.0f - smoothstep(0.0f, 0.05f, fineSecond - fine);
        Colour c = mix({112, 160, 200}, {188, 222, 244}, depth);
        c = mix(c, {236, 246, 255}, std::max(crack, 0.45f * hairline));
        const float g = grain(x, y, 24, 4.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

Image rockTexture() {
    Image image(64);
    image.fill([](int x, int y, float u, float v) {
        const float body = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 31);
        const float strata =
            0.5f + 0.5f * std::sin(2.0f * kPi *
                                   (5.0f * v + 0.6f * fractalNoise(u * 2.0f, v * 2.0f, 2, 3, 32)));
        Colour c = mix({96, 92, 104}, {178, 170, 164}, 0.65f * body + 0.35f * strata);
        if (hashUnit(x, y, 33) > 0.97f) c = scaledColour(c, 0.7f);
        return c;
    });
    return image;
}

// ---------------------------------------------------------------------------------------
// Skies. A style gives the colours by elevation; the sun side (west, -x) glows.

struct SkyStyle {
    Colour horizon;   // the band at the horizon and below: the scene's fog colour
    Colour glowLow;   // just above the horizon towards the sun
    Colour glowHigh;  // about 15 degrees up towards the sun
    Colour coolLow;   // just above the horizon away from the sun
    Colour coolHigh;  // about 15 degrees up away from the sun
    Colour middle;    // about 35 degrees up
    Colour zenith;
    float stars;   // share of texels that hold a star
    float aurora;  // strength of the aurora curtains in the north (+z)
    uint32_t seed;
};

const SkyStyle kDusk = {
    {198, 172, 190},  // horizon
    {255, 176, 118},  // glowLow
    {222, 126, 146},  // glowHigh
    {186, 168, 196},  // coolLow
    {146, 128, 184},  // coolHigh
    {84, 86, 160},    // middle
    {26, 34, 90},     // zenith
    0.0f,             // stars
    0.0f,             // aurora
    41,               // seed
};

const SkyStyle kNight = {
    {44, 52, 88},   // horizon
    {70, 72, 120},  // glowLow
    {48, 58, 112},  // glowHigh
    {44, 56, 104},  // coolLow
    {32, 44, 96},   // coolHigh
    {18, 26, 70},   // middle
    {6, 10, 34},    // zenith
    0.010f,         // stars
    1.0f,           // aurora
    51,             // seed
};

Vector3 unit(Vector3 v) {
    v.normalize();
    return v;
}

// The sky's colour seen in direction `d` (x east, y up, z north).
Colour skyColour(const SkyStyle& style, Vector3 d) {
    d.normalize();
    const float e = std::asin(std::clamp(d.y, -1.0f, 1.0f)) / kHalfPi;  // 0 horizon, 1 zenith
    if (e < 0.0f) return mix(style.horizon, scaledColour(style.horizon, 0.9f), -e * 4.0f);

    const Vector3 sun = unit({-0.94f, -0.02f, 0.34f});
    Vector3 flat{d.x, 0.0f, d.z};
    const float flatLength = flat.normalize();
    const float facing = flatLength > 0.0f ? dot(flat, unit({sun.x, 0.0f, sun.z})) : 0.0f;
    const float glow = std::pow(0.5f + 0.5f * facing, 2.0f);
    const Colour low = mix(style.coolLow, style.glowLow, glow);
    const Colour high = mix(style.coolHigh, style.glowHigh, glow);

    Colour c = mix(style.horizon, low, smoothstep(0.0f, 0.035f, e));
    c = mix(c, high, smoothstep(0.03f, 0.14f, e));
    c = mix(c, style.middle, smoothstep(0.1f, 0.34f, e));
    c = mix(c, style.zenith, smoothstep(0.3f, 1.0f, e));
    // A round halo where the sun has just set.
    const float away = 1.0f - dot(d, sun);
    c = mix(c, style.glowLow, 0.55f * std::exp(-away / 0.03f) * smoothstep(-0.01f, 0.03f, e));

    if (style.aurora > 0.0f && d.z > -0.2f) {
        const float az = std::atan2(d.x, d.z);  // 0 towards north
        const float base = 0.14f + 0.06f * std::sin(az * 2.3f + 0.5f) + 0.03f * std::sin(az * 6.1f);
        const float k = (e - base) / 0.25f;
        const float rise = smoothstep(-0.05f, 0.03f, e - base);
        const float rays = 0.6f + 0.25f * std::sin(az * 23.0f + 3.0f * std::sin(az * 4.0f)) +
                           0.15f * std::sin(az * 61.0f + 1.3f);
        const float reach = smoothstep(-0.2f, 0.55f, d.z);
        const float strength =
            style.aurora * rise * std::exp(-std::max(k, 0.0f) * 2.2f) * rays * reach;
        const Colour tint = mix({60, 250, 150}, {140, 90, 230}, std::clamp(k * 0.9f, 0.0f, 1.0f));
        c = plus(c, scaledColour(tint, 0.85f * strength));
    }
    return c;
}

// The six sky-box faces in the "Sky" object's surface order. A face point (u, v) in
// [0, 1) lies in direction corner + 2u * across + 2v * down: the inverse of the planar map
// its surface uses, so neighbouring faces meet without a seam.
struct SkyFace {
    const char* surface;
    const char* file;  // file name part
    uint16_t axis;     // planar map axis: 1 X, 2 Y, 4 Z
    Vector3 corner;    // direction at (0, 0)
    Vector3 across;    // half the change from u = 0 to u = 1
    Vector3 down;      // half the change from v = 0 to v = 1
};

const SkyFace kSkyFaces[6] = {
    {"Up", "up", 2, {-1, 1, 1}, {1, 0, 0}, {0, 0, -1}},
    {"West", "west", 1, {-1, 1, -1}, {0, 0, 1}, {0, -1, 0}},
    {"North", "north", 4, {-1, 1, 1}, {1, 0, 0}, {0, -1, 0}},
    {"East", "east", 1, {1, 1, -1}, {0, 0, 1}, {0, -1, 0}},
    {"South", "south", 4, {-1, 1, -1}, {1, 0, 0}, {0, -1, 0}},
    {"Down", "down", 2, {-1, -1, 1}, {1, 0, 0}, {0, 0, -1}},
};

Image skyTexture(const SkyStyle& style, int face) {
    const SkyFace& f = kSkyFaces[face];
    Image image(face == 5 ? 64 : 128);  // the ground hides the bottom face
    image.fill([&](int x, int y, float u, float v) {
        const Vector3 d = unit(add(f.corner, add(scaled(f.across, 2 * u), scaled(f.down, 2 * v))));
        Colour c = skyColour(style, d);
        const uint32_t starSeed = style.seed + static_cast<uint32_t>(face) * 7u;
        if (style.stars > 0.0f && d.y > 0.12f && hashUnit(x, y, starSeed) < style.stars) {
            const float brightness = 90.0f + 130.0f * hashUnit(x, y, starSeed + 1);
            c = plus(c, {brightness, brightness, brightness * 1.05f});
        }
        const float g = grain(x, y, starSeed + 2, 5.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// An environment map read through the reflected direction in camera space: s follows its
// x (left to right), t its y (t = 0 downwards, t = 256 upwards), both as 128 + 256/pi *
// asin(component). Above the middle row the sky as seen facing `facing` (a horizontal
// direction), below it the lit snow, with a dark line of distant hills at the horizon.
Image environmentTexture(const SkyStyle& style, const Vector3& facing, const Colour& snowNear,
                         const Colour& snowFar, uint32_t seed) {
    Image image(64);
    image.fill([&](int x, int y, float u, float v) {
        const float sx = std::sin(std::clamp((u * 256.0f - 128.0f) / 81.48733f, -kHalfPi, kHalfPi));
        const float sy = std::sin(std::clamp((v * 256.0f - 128.0f) / 81.48733f, -kHalfPi, kHalfPi));
        const float hills = 0.02f + 0.03f * fractalNoise(u * 6.0f, 0.5f, kNoRepeat, 3, seed);
        Colour c;
        if (sy < 0.0f) {
            c = mix(snowFar, snowNear, smoothstep(0.0f, 0.8f, -sy));
        } else if (sy < hills) {
            c = mix(scaledColour(style.horizon, 0.82f), style.horizon, sy / hills);
        } else {
            // Turn away from `facing` by up to about 90 degrees towards the edges.
            const float turn = 1.6f * std::asin(std::clamp(sx, -1.0f, 1.0f));
            const float flat = std::sqrt(std::max(0.0f, 1.0f - sy * sy));
            const float cs = std::cos(turn), sn = std::sin(turn);
            const Vector3 d{flat * (facing.x * cs - facing.z * sn), sy,
                            flat * (facing.x * sn + facing.z * cs)};
            c = skyColour(style, d);
        }
        const float g = grain(x, y, seed + 1, 4.0f);
        return Colour{c.r + g, c.g + g, c.b + g};
    });
    return image;
}

// ---------------------------------------------------------------------------------------
// Objects.

float quantize(float v) {
    return std::round(v * 256.0f) / 256.0f;
}

int point(LwoWriter& w, const Vector3& p) {
    return w.addPoint(quantize(p.x), quantize(p.y), quantize(p.z));
}

// Adds a polygon whose front (drawn and lit) side faces `towards`. Seen from the front, the
// corners of a LightWave polygon run clockwise in the engine's x-right, y-up, z-forward
// view; their Newell normal then points at the viewer.
void face(LwoWriter& w, std::vector<int> corners, int surface, const Vector3& towards) {
    Vector3 normal{};
    for (size_t i = 0; i < corners.size(); ++i) {
        const Vector3& a = w.points[static_cast<size_t>(corners[i])];
        const Vector3& b = w.points[static_cast<size_t>(corners[(i + 1) % corners.size()])];
        normal.x += (a.y - b.y) * (a.z + b.z);
        normal.y += (a.z - b.z) * (a.x + b.x);
        normal.z += (a.x - b.x) * (a.y + b.y);
    }
    if (dot(normal, towards) < 0.0f) std::reverse(corners.begin(), corners.end());
    w.addPolygon(corners, surface);
}

Vector3 centroid(const LwoWriter& w, const std::vector<int>& corners) {
    Vector3 c{};
    for (int i : corners) c.addInPlace(w.points[static_cast<size_t>(i)]);
    return scaled(c, 1.0f / static_cast<float>(corners.size()));
}

LwoSurface& planarMap(LwoSurface& s, uint16_t axis, float size, const std::string& image) {
    return s.text("CTEX", "Planar Image Map")
        .word("TFLG", axis)
        .vector("TSIZ", size, size, size)
        .vector("TCTR", 0.0f, 0.0f, 0.0f)
        .text("TIMG", image);
}

constexpr uint16_t kSmooth = 4;
constexpr uint16_t kDoubleSided = 256;

// Six inward-facing sides on surfaces Up, West, North, East, South, Down, each with a
// planar map over the whole side.
LwoWriter skyObject() {
    LwoWriter w;
    for (int z : {-1, 1}) {
        for (int y : {-1, 1}) {
            for (int x : {-1, 1}) w.addPoint(float(x), float(y), float(z));
        }
    }
    // Point index = (z+1)/2*4 + (y+1)/2*2 + (x+1)/2.
    const std::vector<int> sides[6] = {{2, 3, 7, 6}, {0, 2, 6, 4}, {4, 6, 7, 5},
                                       {1, 5, 7, 3}, {0, 1, 3, 2}, {0, 4, 5, 1}};
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

// The lake's outline: its radius at angle `a` relative to the nominal one.
float lakeShape(float a) {
    return 1.0f + 0.08f * std::sin(3.0f * a + 1.0f) + 0.05f * std::sin(5.0f * a + 2.0f);
}

constexpr float kLakeRadius = 80.0f;
constexpr float kFieldHalfSize = 300.0f;

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
              2, 24.0f, "Snow");
    return w;
}

// The frozen lake: a clear, mirror-like middle and a rim of cracked, frosted ice.
LwoWriter lakeObject() {
    constexpr int kSectors = 28;
    const float radii[] = {0.0f, 10.0f, 22.0f, 34.0f, 46.0f, 58.0f, 69.0f, kLakeRadius * 1.02f};
    constexpr int kRings = 8;
    constexpr int kMirrorRings = 4;  // rings up to radii[4]
    LwoWriter w;
    const int centre = point(w, {0.0f, 0.0f, 0.0f});
    for (int r = 1; r < kRings; ++r) {
        for (int k = 0; k < kSectors; ++k) {
            const float a = 2.0f * kPi * static_cast<float>(k) / kSectors;
            const float radius = radii[r] * lakeShape(a);
            point(w, {radius * std::cos(a), 0.0f, radius * std::sin(a)});
        }
    }
    auto ring = [](int r, int k) { return 1 + (r - 1) * kSectors + (k % kSectors); };
    const int mirror = w.addSurfaceName("Mirror");
    const int rim = w.addSurfaceName("FrostRim");
    const Vector3 up{0.0f, 1.0f, 0.0f};
    for (int k = 0; k < kSectors; ++k) face(w, {centre, ring(1, k), ring(1, k + 1)}, mirror, up);
    for (int r = 1; r + 1 < kRings; ++r) {
        const int s = r < kMirrorRings ? mirror : rim;
        for (int k = 0; k < kSectors; ++k) {
            face(w, {ring(r, k), ring(r + 1, k), ring(r + 1, k + 1), ring(r, k + 1)}, s, up);
        }
    }
    w.addSurface("Mirror")
        .color(214, 226, 246)
        .word("LUMI", 420)
        .word("DIFF", 100)
        .word("SPEC", 180)
        .word("GLOS", 256)
        .text("RIMG", "EnvDusk");
    planarMap(w.addSurface("FrostRim")
                  .color(255, 255, 255)
                  .word("LUMI", 120)
                  .word("DIFF", 210)
                  .word("SPEC", 110)
                  .word("GLOS", 64),
              2, 40.0f, "Ice");
    return w;
}

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
        .flags(kDoubleSided)
        .word("LUMI", 400)
        .word("DIFF", 160)
        .word("TRAN", 140);
}

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
    planarMap(crystalSurface(w, "Crystal"), 4, 6.0f, "Ice");
    return w;
}

// A single floating shard: a hexagonal crystal pointed at both ends, centred on the origin.
LwoWriter shardObject() {
    LwoWriter w;
    const int s = w.addSurfaceName("Shard");
    crystal(w, {0.0f, -2.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 1.0f, 4.0f, 2.2f, 1.6f, 0.0f, s);
    planarMap(crystalSurface(w, "Shard"), 4, 4.0f, "Ice");
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
    planarMap(w.addSurface("Rock")
                  .color(255, 255, 255)
                  .flags(kSmooth)
                  .number("SMAN", 0.8f)
                  .word("LUMI", 240)
                  .word("DIFF", 230)
                  .word("SPEC", 30)
                  .word("GLOS", 16),
              4, 1.1f, "Rock");
    planarMap(w.addSurface("RockSnow")
                  .color(255, 255, 255)
                  .flags(kSmooth)
                  .number("SMAN", 0.8f)
                  .word("LUMI", 140)
                  .word("DIFF", 232)
                  .word("SPEC", 40)
                  .word("GLOS", 16),
              2, 1.6f, "Snow");
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

// ---------------------------------------------------------------------------------------

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: halcyon-tundra-content DATA_DIR\n"
                 "Writes the default demo's objects (DATA_DIR/objects/*.lwo) and textures\n"
                 "(DATA_DIR/textures/*.raw), the same bytes on every run.\n");
}

bool makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
    std::fprintf(stderr, "halcyon-tundra-content: cannot create %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        usage(stderr);
        return 2;
    }
    const std::string data = argv[1];
    const std::string objects = data + "/objects", textures = data + "/textures";
    if (!makeDirectory(data) || !makeDirectory(objects) || !makeDirectory(textures)) return 1;

    bool ok = true;
    auto write = [&](const std::string& path, bool saved) {
        if (!saved) {
            std::fprintf(stderr, "halcyon-tundra-content: cannot write %s\n", path.c_str());
            ok = false;
        }
    };
    auto image = [&](const char* name, const Image& picture) {
        const std::string path = textures + "/" + name + ".raw";
        write(path, picture.save(path));
    };
    auto object = [&](const char* name, const LwoWriter& writer) {
        const std::string path = objects + "/" + name + ".lwo";
        write(path, writer.save(path));
    };

    image("snow", snowTexture());
    image("ice", iceTexture());
    image("rock", rockTexture());
    image("env_dusk", environmentTexture(kDusk, unit({-0.94f, 0.0f, 0.34f}), {226, 222, 240},
                                         {178, 170, 198}, 81));
    image("env_night",
          environmentTexture(kNight, {0.0f, 0.0f, 1.0f}, {110, 130, 180}, {58, 70, 112}, 82));
    for (int i = 0; i < 6; ++i) {
        image(("sky_dusk_" + std::string(kSkyFaces[i].file)).c_str(), skyTexture(kDusk, i));
        image(("sky_night_" + std::string(kSkyFaces[i].file)).c_str(), skyTexture(kNight, i));
    }

    object("sky", skyObject());
    object("snowfield", snowFieldObject());
    object("lake", lakeObject());
    object("icestar", iceStarObject());
    object("crystals", crystalsObject());
    object("shard", shardObject());
    object("rock", rockObject());
    object("pine", pineObject());
    return ok ? 0 : 1;
}
