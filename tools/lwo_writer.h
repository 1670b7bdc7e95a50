// LightWave object writer: builds "FORM"/"LWOB" files from points, polygons and surfaces,
// so tests, seeds and content tools make their own objects instead of carrying binaries.
//
// Chunks are written in this order: "PNTS" (when there are points), "SRFS" (when there
// are surface names), "POLS" (when there are polygons), one "SURF" per added surface, then
// any extra chunks in the order added. Polygon corners are given in file order; the writer
// stores them as 16-bit words exactly as given (so 40000 is written as 0x9C40).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "math/vector3.h"

using LwoBytes = std::vector<unsigned char>;

// One "SURF" chunk: a name and sub-chunks in the order added.
class LwoSurface {
  public:
    explicit LwoSurface(std::string surfaceName) : name(std::move(surfaceName)) {}

    LwoSurface& color(int r, int g, int b);                          // "COLR"
    LwoSurface& flags(uint16_t value);                               // "FLAG"
    LwoSurface& word(const char* tag, uint16_t value);               // "LUMI", "DIFF", "TFLG", ...
    LwoSurface& number(const char* tag, float value);                // "SMAN", "TAMP", ...
    LwoSurface& text(const char* tag, const std::string& value);     // "CTEX", "TIMG", ...
    LwoSurface& vector(const char* tag, float x, float y, float z);  // "TSIZ", "TCTR", ...
    LwoSurface& raw(const char* tag, const LwoBytes& data);          // any sub-chunk as given

    std::string name;
    LwoBytes subChunks;
};

class LwoWriter {
  public:
    int addPoint(float x, float y, float z);  // returns the point's index
    void addPolygon(const std::vector<int>& corners, int surface);
    int addSurfaceName(const std::string& name);  // returns the 1-based surface number
    LwoSurface& addSurface(const std::string& name);
    void addChunk(const char* tag, const LwoBytes& data);

    LwoBytes bytes() const;
    bool save(const std::string& path) const;

    std::vector<Vector3> points;
    std::vector<std::string> surfaceNames;
    LwoBytes polygonData;
    std::vector<LwoSurface> surfaces;
    LwoBytes extraChunks;
};

// Appends big-endian values.
void appendU16(LwoBytes& out, uint16_t value);
void appendU32(LwoBytes& out, uint32_t value);
void appendF32(LwoBytes& out, float value);
// Appends a chunk (4-byte tag, 32-bit size, data).
void appendChunk(LwoBytes& out, const char* tag, const LwoBytes& data);
// Appends a NUL-terminated name padded to even length.
void appendName(LwoBytes& out, const std::string& name);

// A cube of side 2 centred on the origin: 8 points, 6 outward-facing quads on surface 1
// named `surfaceName`, with an optional "SURF" carrying `surfaceFlags`.
LwoWriter makeCube(const std::string& surfaceName, bool withSurface, uint16_t surfaceFlags);

// A sky box for a "Background": a cube of side 2 whose six faces look inwards, on surfaces
// Up, West, North, East, South, Down (the order the views give the six maps), each planar
// mapped across its face with the image `imagePrefix` + its surface name.
LwoWriter makeSkyBox(const std::string& imagePrefix);
