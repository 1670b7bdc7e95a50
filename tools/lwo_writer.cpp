// LightWave object writer.
#include "tools/lwo_writer.h"

#include <cstdio>
#include <cstring>

#include "app/files.h"

void appendU16(LwoBytes& out, uint16_t value) {
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value & 0xFF));
}

void appendU32(LwoBytes& out, uint32_t value) {
    appendU16(out, static_cast<uint16_t>(value >> 16));
    appendU16(out, static_cast<uint16_t>(value & 0xFFFF));
}

void appendF32(LwoBytes& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendU32(out, bits);
}

void appendChunk(LwoBytes& out, const char* tag, const LwoBytes& data) {
    out.insert(out.end(), tag, tag + 4);
    appendU32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

void appendName(LwoBytes& out, const std::string& name) {
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    if (name.size() % 2 == 0) out.push_back(0);
}

namespace {

LwoSurface& addSub(LwoSurface& surface, const char* tag, const LwoBytes& data) {
    surface.subChunks.insert(surface.subChunks.end(), tag, tag + 4);
    appendU16(surface.subChunks, static_cast<uint16_t>(data.size()));
    surface.subChunks.insert(surface.subChunks.end(), data.begin(), data.end());
    return surface;
}

}  // namespace

LwoSurface& LwoSurface::color(int r, int g, int b) {
    return addSub(*this, "COLR",
                  {static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                   static_cast<unsigned char>(b), 0});
}

LwoSurface& LwoSurface::flags(uint16_t value) {
    return word("FLAG", value);
}

LwoSurface& LwoSurface::word(const char* tag, uint16_t value) {
    LwoBytes data;
    appendU16(data, value);
    return addSub(*this, tag, data);
}

LwoSurface& LwoSurface::number(const char* tag, float value) {
    LwoBytes data;
    appendF32(data, value);
    return addSub(*this, tag, data);
}

LwoSurface& LwoSurface::text(const char* tag, const std::string& value) {
    LwoBytes data;
    appendName(data, value);
    return addSub(*this, tag, data);
}

LwoSurface& LwoSurface::vector(const char* tag, float x, float y, float z) {
    LwoBytes data;
    appendF32(data, x);
    appendF32(data, y);
    appendF32(data, z);
    return addSub(*this, tag, data);
}

LwoSurface& LwoSurface::raw(const char* tag, const LwoBytes& data) {
    return addSub(*this, tag, data);
}

int LwoWriter::addPoint(float x, float y, float z) {
    points.push_back(Vector3{x, y, z});
    return static_cast<int>(points.size()) - 1;
}

void LwoWriter::addPolygon(const std::vector<int>& corners, int surface) {
    appendU16(polygonData, static_cast<uint16_t>(corners.size()));
    for (int corner : corners) appendU16(polygonData, static_cast<uint16_t>(corner));
    appendU16(polygonData, static_cast<uint16_t>(surface));
}

int LwoWriter::addSurfaceName(const std::string& name) {
    surfaceNames.push_back(name);
    return static_cast<int>(surfaceNames.size());
}

LwoSurface& LwoWriter::addSurface(const std::string& name) {
    surfaces.emplace_back(name);
    return surfaces.back();
}

void LwoWriter::addChunk(const char* tag, const LwoBytes& data) {
    appendChunk(extraChunks, tag, data);
}

LwoBytes LwoWriter::bytes() const {
    LwoBytes body;
    body.insert(body.end(), {'L', 'W', 'O', 'B'});
    if (!points.empty()) {
        LwoBytes data;
        for (const Vector3& p : points) {
            appendF32(data, p.x);
            appendF32(data, p.y);
            appendF32(data, p.z);
        }
        appendChunk(body, "PNTS", data);
    }
    if (!surfaceNames.empty()) {
        LwoBytes data;
        for (const std::string& name : surfaceNames) appendName(data, name);
        appendChunk(body, "SRFS", data);
    }
    if (!polygonData.empty()) appendChunk(body, "POLS", polygonData);
    for (const LwoSurface& surface : surfaces) {
        LwoBytes data;
        appendName(data, surface.name);
        data.insert(data.end(), surface.subChunks.begin(), surface.subChunks.end());
        appendChunk(body, "SURF", data);
    }
    body.insert(body.end(), extraChunks.begin(), extraChunks.end());
    LwoBytes file;
    appendChunk(file, "FORM", body);
    return file;
}

bool LwoWriter::save(const std::string& path) const {
    LwoBytes data = bytes();
    return saveFile(path.c_str(), data.data(), data.size());
}

LwoWriter makeCube(const std::string& surfaceName, bool withSurface, uint16_t surfaceFlags) {
    LwoWriter writer;
    for (int i = 0; i < 8; ++i) {
        writer.addPoint((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f);
    }
    int s = writer.addSurfaceName(surfaceName);
    // Corner order seen from outside, clockwise (LightWave's front side).
    const std::vector<std::vector<int>> faces = {
        {0, 2, 3, 1},  // -z
        {4, 5, 7, 6},  // +z
        {0, 1, 5, 4},  // -y
        {2, 6, 7, 3},  // +y
        {0, 4, 6, 2},  // -x
        {1, 3, 7, 5},  // +x
    };
    for (const auto& face : faces) writer.addPolygon(face, s);
    if (withSurface) writer.addSurface(surfaceName).flags(surfaceFlags).color(255, 128, 0);
    return writer;
}

LwoWriter makeSkyBox(const std::string& imagePrefix) {
    LwoWriter w;
    for (int z : {-1, 1}) {
        for (int y : {-1, 1}) {
            for (int x : {-1, 1}) w.addPoint(float(x), float(y), float(z));
        }
    }
    // Point index = (z+1)/2*4 + (y+1)/2*2 + (x+1)/2.
    const struct {
        const char* name;
        std::vector<int> corners;
        uint16_t axis;
    } faces[] = {
        {"Up", {2, 3, 7, 6}, 2},   {"West", {0, 2, 6, 4}, 1},  {"North", {4, 6, 7, 5}, 4},
        {"East", {1, 5, 7, 3}, 1}, {"South", {0, 1, 3, 2}, 4}, {"Down", {0, 4, 5, 1}, 2},
    };
    for (const auto& face : faces) {
        int s = w.addSurfaceName(face.name);
        w.addPolygon(face.corners, s);
    }
    for (const auto& face : faces) {
        w.addSurface(face.name)
            .color(255, 255, 255)
            .text("CTEX", "Planar Image Map")
            .word("TFLG", face.axis)
            .vector("TSIZ", 2, 2, 2)
            .text("TIMG", imagePrefix + face.name);
    }
    return w;
}
