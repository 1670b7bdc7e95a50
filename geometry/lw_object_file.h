// LightWave object reader: an IFF "FORM" of type "LWOB", read into points, polygons and
// surfaces as stored, plus the texture coordinates of every point on every textured
// surface. The mesh build (scene_object.h) turns the result into a Mesh and then drops it.
//
// File layout (all numbers big-endian): "FORM", form size S, "LWOB", then chunks up to
// offset 8 + S. A chunk is tag, 32-bit size n and n data bytes; no pad byte follows an odd
// chunk. "PNTS", "POLS", "SRFS" and "SURF" are read, every other chunk is skipped. A SURF
// holds a NUL-terminated, even-padded name and then sub-chunks of tag, 16-bit size m and m
// data bytes.
//
// Texture coordinates per map type (d = point - textureCenter, s = textureSize, axis from
// textureFlags: 1 = X, else 2 = Y, else Z):
//   Planar       X: (dz/sz + 0.5, 0.5 - dy/sy)  Y: (dx/sx + 0.5, 0.5 - dz/sz)
//                Z: (dx/sx + 0.5, 0.5 - dy/sy)
//   Cylindrical  u = 0.5 + angle/2pi around the axis, v = 0.5 - (axis component)/size.
//   Spherical    u = 0.5 + longitude/2pi, v = 0.5 + latitude/pi.
//   Cubic        each point is mapped by the cube face its direction from the centre
//                points at (largest |component|, ties to X then Y) with that face's planar
//                map: the face's two other axes divided by the texture size, plus 0.5
//                (X faces as planar X, Y faces as planar Y, Z faces as planar Z), so a cube
//                map is the three planar maps a LightWave user knows, chosen per face.
// Seams: a cylindrical or spherical polygon whose corners lie both in the first 30 % and in
// the last 30 % of a turn straddles the seam; its low-side corners are moved one whole turn
// on (u + 1) so the polygon spans the short way across the seam instead of most of the
// image. Spherical polygons also lift low v by 1 in the same way (v < 0.3 with some v > 0.7).
//
// Damaged files: chunks or sub-chunks that run past their parent or the file end, a form
// size past the file end, names without their NUL and polygons that run past their chunk
// are structural damage (fatal message naming the file). Point indices are unsigned 16-bit
// numbers (0 .. 65535; corner counts and surface numbers are signed); polygons whose point
// indices lie outside the point array are dropped with a message; surface numbers outside
// 1..99 and names past the 99th never touch the surface slots. Nothing is ever read outside
// the file buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/owned_text.h"
#include "math/vector3.h"

// One "SURF" chunk. The 16-bit levels are fixed point with 256 = 100 %.
struct SurfaceRecord {
    OwnedText name;
    uint32_t color = 0xC8C8C800u;  // R in the top byte, then G, B, pad
    uint16_t surfaceFlags = 0;     // 4: smoothing on; 256: double-sided
    uint16_t luminosity = 0;
    uint16_t diffuseLevel = 256;
    uint16_t specularLevel = 0;
    uint16_t reflectionLevel = 0;
    uint16_t transparencyLevel = 0;
    uint16_t glossinessLevel = 64;
    OwnedText reflectionImage;
    float reflectionSeamAngle = 0.0f;
    float refractiveIndex = 0.0f;
    float edgeTransparency = 0.0f;
    float maxSmoothingAngle = 1.5620698f;  // radians (89.5 degrees)
    OwnedText colorTextureType;
    OwnedText diffuseTextureType;
    OwnedText specularTextureType;
    OwnedText reflectionTextureType;
    OwnedText transparencyTextureType;
    OwnedText bumpTextureType;
    OwnedText textureImage;
    uint16_t textureFlags = 0;  // 1: X axis, 2: Y axis, else Z
    Vector3 textureSize{0.0f, 0.0f, 0.0f};
    Vector3 textureCenter{0.0f, 0.0f, 0.0f};
    Vector3 textureFalloff{0.0f, 0.0f, 0.0f};
    Vector3 textureVelocity{0.0f, 0.0f, 0.0f};
    uint32_t textureColor = 0;
    uint16_t textureValue = 0;
    float textureAmplitude = 0.0f;
    uint16_t textureFrequency = 0;
    float textureParams[3] = {0.0f, 0.0f, 0.0f};
};

// One polygon as read. `indices` is the closed loop of count + 1 point indices: the file's
// last index, then the file's indices from the first to the next-to-last, then the last
// again (file order 0 1 2 3 is stored as 3 0 1 2 3).
struct RawPolygon {
    int surface = 0;  // 1-based; negative for detail polygons
    int count = 0;
    std::vector<int> indices;
};

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

class LWObjectFile {
  public:
    static constexpr int kSurfaceSlots = 100;  // slot 0 is never used

    LWObjectFile() = default;
    LWObjectFile(const LWObjectFile&) = delete;
    LWObjectFile& operator=(const LWObjectFile&) = delete;

    // Reads and parses the file. Returns false, with a message naming the file, when it
    // cannot be read; ends the process with the fatal message when the file is damaged.
    bool load(const char* path);

    // As `load`, from a buffer holding the whole file; `path` is used for messages only.
    bool loadFromMemory(const unsigned char* data, size_t size, const char* path);

    // Parses and computes texture coordinates without ever ending the process: on
    // structural damage returns false with the fatal message in `error` (the object then
    // holds what was read before the damage). Used by the fuzz target and the tests.
    bool parse(const unsigned char* data, size_t size, const char* path, std::string& error);

    // Coordinates of point `point` on surface `surface` (1-based); the table must exist.
    const TexCoord& uv(int surface, int point) const {
        return uvTable[static_cast<size_t>(surface - 1) * static_cast<size_t>(pointCount) +
                       static_cast<size_t>(point)];
    }

    std::string fileName;  // for messages
    std::unique_ptr<Vector3[]> points;
    int pointCount = 0;
    float radius = 0.0f;
    std::vector<RawPolygon> polygons;
    int polygonCount = 0;
    std::unique_ptr<SurfaceRecord> surfaces[kSurfaceSlots];
    OwnedText surfaceNames[kSurfaceSlots];
    int surfaceCount = 1;
    // (surfaceCount - 1) * pointCount entries; entry (s - 1) * pointCount + p is point p on
    // surface s. Entries no polygon sets stay (0, 0). Empty when no listed surface has an
    // image map (every coordinate would be 0).
    std::vector<TexCoord> uvTable;

  private:
    bool parseChunks(const unsigned char* data, size_t size, const char* path, std::string& error);
    void computeTextureCoordinates(const char* path);
    void dropBadPolygons(const char* path);
};
