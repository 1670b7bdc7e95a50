// The content builder's shared parts: noise, pictures in both file formats, and the helpers
// that add points, faces and image maps to LightWave objects.
#include <algorithm>
#include <cmath>

#include "app/files.h"
#include "tools/tundra/content.h"

namespace tundra {

// ---- Noise ---------------------------------------------------------------------------------

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

float valueNoise(float x, float y, int period, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = smoothstep(0.0f, 1.0f, x - fx), ty = smoothstep(0.0f, 1.0f, y - fy);
    auto at = [&](int dx, int dy) {
        return hashUnit(wrapIndex(ix + dx, period), wrapIndex(iy + dy, period), seed);
    };
    return lerp(lerp(at(0, 0), at(1, 0), tx), lerp(at(0, 1), at(1, 1), tx), ty);
}

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

float grain(int x, int y, uint32_t seed, float amount) {
    return (hashUnit(x, y, seed) - 0.5f) * amount;
}

Vector3 unit(Vector3 v) {
    v.normalize();
    return v;
}

// ---- Pictures ------------------------------------------------------------------------------

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

Image::Image(int size) : size_(size), bytes_(static_cast<size_t>(size) * size * 3) {}

void Image::set(int x, int y, const Colour& c) {
    unsigned char* p = &bytes_[(static_cast<size_t>(y) * size_ + x) * 3];
    p[0] = toByte(c.r);
    p[1] = toByte(c.g);
    p[2] = toByte(c.b);
}

void Image::fill(const std::function<Colour(int x, int y, float u, float v)>& colour) {
    for (int y = 0; y < size_; ++y) {
        for (int x = 0; x < size_; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size_);
            const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(size_);
            set(x, y, colour(x, y, u, v));
        }
    }
}

bool Image::save(const std::string& path) const {
    return saveFile(path.c_str(), bytes_.data(), bytes_.size());
}

PalettedImage::PalettedImage(int size)
    : size_(size), palette_(1024, 0), indices_(static_cast<size_t>(size) * size, 0) {}

void PalettedImage::setColour(int index, const Colour& c) {
    uint8_t* entry = &palette_[static_cast<size_t>(index) * 4];
    entry[1] = toByte(c.r);
    entry[2] = toByte(c.g);
    entry[3] = toByte(c.b);
}

bool PalettedImage::save(const std::string& path) const {
    std::vector<uint8_t> bytes(palette_);
    bytes.insert(bytes.end(), indices_.begin(), indices_.end());
    return saveFile(path.c_str(), bytes.data(), bytes.size());
}

// ---- Objects -------------------------------------------------------------------------------

float quantize(float v) {
    return std::round(v * 256.0f) / 256.0f;
}

int point(LwoWriter& w, const Vector3& p) {
    return w.addPoint(quantize(p.x), quantize(p.y), quantize(p.z));
}

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
    return imageMap(s, "Planar Image Map", axis, {size, size, size}, {}, image);
}

LwoSurface& imageMap(LwoSurface& s, const char* type, uint16_t axis, const Vector3& size,
                     const Vector3& centre, const std::string& image) {
    return s.text("CTEX", type)
        .word("TFLG", axis)
        .vector("TSIZ", size.x, size.y, size.z)
        .vector("TCTR", centre.x, centre.y, centre.z)
        .text("TIMG", image);
}

}  // namespace tundra
