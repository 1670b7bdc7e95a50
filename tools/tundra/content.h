// The default demo's content builder, shared parts: deterministic noise, colours, the two
// image file formats, the helpers that build LightWave objects, and the makers of every
// texture and object (textures.cpp, objects.cpp, world_objects.cpp, font.cpp, letters.cpp).
//
// Everything is computed from fixed formulas and integer hashes with fixed seeds; there is
// no clock and no random generator, so every run writes the same bytes. Point coordinates
// are rounded to 1/256 unit and colours to whole bytes, so last-bit differences between
// maths libraries seldom reach the files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "math/vector3.h"
#include "tools/lwo_writer.h"

namespace tundra {

constexpr float kPi = 3.14159265f;
constexpr float kHalfPi = 1.57079633f;
constexpr int kNoRepeat = 1 << 20;  // a noise period no picture reaches

// ---- Noise ---------------------------------------------------------------------------------

uint32_t hash(int x, int y, uint32_t seed);
// A value in [0, 1) from integer coordinates.
float hashUnit(int x, int y, uint32_t seed);
float smoothstep(float edge0, float edge1, float x);
float lerp(float a, float b, float t);
int wrapIndex(int i, int period);
// Value noise in [0, 1) that repeats every `period` cells.
float valueNoise(float x, float y, int period, uint32_t seed);
// Octaves of value noise, each twice the frequency and half the weight; result in [0, 1).
float fractalNoise(float x, float y, int period, int octaves, uint32_t seed);
// Distances to the nearest and second nearest feature point of a repeating cell pattern.
void cellDistances(float u, float v, int cells, uint32_t seed, float& nearest, float& second);
// A small signed variation per texel against banding in 16-bit colour.
float grain(int x, int y, uint32_t seed, float amount);
Vector3 unit(Vector3 v);

// ---- Pictures ------------------------------------------------------------------------------

struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f;  // 0..255
};
Colour mix(const Colour& a, const Colour& b, float t);
Colour scaledColour(const Colour& c, float s);
Colour plus(const Colour& a, const Colour& b);
unsigned char toByte(float v);

// A ".raw" picture: 3 bytes (red, green, blue) per texel, rows top to bottom.
class Image {
  public:
    explicit Image(int size);
    int size() const { return size_; }
    void set(int x, int y, const Colour& c);
    // Fills every texel from a function of its centre in [0, 1) x [0, 1).
    void fill(const std::function<Colour(int x, int y, float u, float v)>& colour);
    bool save(const std::string& path) const;

  private:
    int size_;
    std::vector<unsigned char> bytes_;
};

// A ".256" picture: a palette of 256 colours (4 bytes each: unused, red, green, blue)
// and one palette index per texel, rows top to bottom. As an alpha map the index itself
// is the texel's alpha.
class PalettedImage {
  public:
    explicit PalettedImage(int size);
    int size() const { return size_; }
    void setColour(int index, const Colour& c);
    void set(int x, int y, int index) {
        indices_[static_cast<size_t>(y) * size_ + x] = uint8_t(index);
    }
    int at(int x, int y) const { return indices_[static_cast<size_t>(y) * size_ + x]; }
    bool save(const std::string& path) const;

  private:
    int size_;
    std::vector<uint8_t> palette_;  // 1024 bytes
    std::vector<uint8_t> indices_;
};

// ---- Objects -------------------------------------------------------------------------------

constexpr uint16_t kSmooth = 4;                         // surface flag: smoothing
constexpr uint16_t kDoubleSided = 256;                  // surface flag: both sides drawn
constexpr uint16_t kAxisX = 1, kAxisY = 2, kAxisZ = 4;  // texture map axis ("TFLG")

float quantize(float v);
// Adds a point rounded to 1/256 unit; returns its index.
int point(LwoWriter& w, const Vector3& p);
// Adds a polygon whose front (drawn and lit) side faces `towards`. Seen from the front,
// the corners of a LightWave polygon run clockwise in the engine's x-right, y-up,
// z-forward view; their Newell normal then points at the viewer.
void face(LwoWriter& w, std::vector<int> corners, int surface, const Vector3& towards);
Vector3 centroid(const LwoWriter& w, const std::vector<int>& corners);
// The four projections a surface can map its image with.
LwoSurface& planarMap(LwoSurface& s, uint16_t axis, float size, const std::string& image);
LwoSurface& imageMap(LwoSurface& s, const char* type, uint16_t axis, const Vector3& size,
                     const Vector3& centre, const std::string& image);

// ---- Sky ----------------------------------------------------------------------------------

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
extern const SkyStyle kDusk;
extern const SkyStyle kNight;

// The six sky-box faces in the "Sky" object's surface order. A face point (u, v) in
// [0, 1) lies in direction corner + 2u * across + 2v * down: the inverse of the planar map
// its surface uses, so neighbouring faces meet without a seam.
struct SkyFace {
    const char* surface;
    const char* file;  // file name part
    uint16_t axis;     // planar map axis
    Vector3 corner;    // direction at (0, 0)
    Vector3 across;    // half the change from u = 0 to u = 1
    Vector3 down;      // half the change from v = 0 to v = 1
};
extern const SkyFace kSkyFaces[6];

// ---- Texture makers (textures.cpp, font.cpp) -------------------------------------------------

Image snowTexture();
Image iceTexture();
Image rockTexture();
Image skyTexture(const SkyStyle& style, int face);
Image environmentTexture(const SkyStyle& style, const Vector3& facing, const Colour& snowNear,
                         const Colour& snowFar, uint32_t seed);
Image waterTexture();
Image mountainTexture();
Image woodTexture();
Image moonTexture();
Image testCardTexture();
Image lanternTexture();
PalettedImage ballTexture();
PalettedImage haloTexture();
PalettedImage auroraTexture();
// The frame-rate display's font: glyph cells of 16 x 18 texels, 16 to a row, the cell of
// code c at cell c - 32; index 0 transparent, 1 the glyph, 2 its dark outline.
PalettedImage fontTexture();
// Lines of text set in the same font on a transparent ground, centred.
PalettedImage textPanelTexture(const std::vector<std::string>& lines);

// ---- Strokes (font.cpp): the one drawing of every character -------------------------------

// One straight stroke of a character on its design grid: x 0..4 (width), y 0..6 (cap
// height; lower case letters are small capitals 0..4, descenders reach -2).
struct Stroke {
    float x0, y0, x1, y1;
};
// The strokes of character `c` (empty for a space or a character without a drawing).
std::vector<Stroke> strokesOf(char c);
// The advance of character `c` in grid units.
float advanceOf(char c);

// ---- Object makers (objects.cpp, world_objects.cpp, letters.cpp) ---------------------------

LwoWriter skyObject();
LwoWriter snowFieldObject();
LwoWriter lakeObject();
LwoWriter waterObject();
LwoWriter floeObject();
LwoWriter iceStarObject();
LwoWriter crystalsObject();
LwoWriter shardObject();
LwoWriter rockObject();
LwoWriter pineObject();
LwoWriter lanternObject();
LwoWriter televisionCabinetObject();
LwoWriter televisionScreenObject();
LwoWriter auroraObject();
LwoWriter moonObject();
LwoWriter haloObject();
LwoWriter panelObject();
// A 3D letter of the scrollers, `height` units tall, its front towards -z, its left edge
// on x = 0 and its baseline on y = 0, in the surface named `surface`.
LwoWriter letterObject(char c, float height, const std::string& surface);
// Where the demo puts the lake (radius, centred on the origin) and its open water.
float lakeShape(float a);
constexpr float kLakeRadius = 80.0f;
constexpr float kWaterRadius = 21.0f;
constexpr float kFieldHalfSize = 300.0f;

}  // namespace tundra
