// LightWave object reader: chunk walk, chunk readers, checks and texture coordinates.
#include "geometry/lw_object_file.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/console.h"
#include "app/files.h"
#include "geometry/geometry_messages.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kInverseTwoPi = 0.15915494f;
constexpr float kInversePi = 0.31830987f;
constexpr int kMaxMessagesPerKind = 8;

uint16_t readU16(const unsigned char* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
int readS16(const unsigned char* p) {
    return static_cast<int16_t>(readU16(p));
}
uint32_t readU32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
float readF32(const unsigned char* p) {
    uint32_t bits = readU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
Vector3 readVector(const unsigned char* p) {
    return Vector3{readF32(p), readF32(p + 4), readF32(p + 8)};
}

// A 4-byte tag as printable text for messages.
struct TagText {
    char text[5];
};
TagText tagText(const unsigned char* p) {
    TagText t;
    for (int i = 0; i < 4; ++i) {
        t.text[i] = (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
    }
    t.text[4] = '\0';
    return t;
}

bool sameTag(const unsigned char* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

bool fail(std::string& error, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool fail(std::string& error, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    error = n < 0 ? std::string("Err: damaged object file\n") : std::string(buffer);
    return false;
}

// Length of the NUL-terminated text at `p` within `available` bytes, or -1 without NUL.
long textLength(const unsigned char* p, size_t available) {
    const void* nul = std::memchr(p, 0, available);
    if (nul == nullptr) return -1;
    return static_cast<const unsigned char*>(nul) - p;
}

struct Chunk {
    const unsigned char* tag;
    const unsigned char* data;
    size_t size;
    size_t offset;  // of the tag, in the file
};

// How each SURF sub-chunk is read into the record.
enum class FieldKind { Color, Word, Float, Text, Vector, Long, Param };

struct SurfaceField {
    const char* tag;
    FieldKind kind;
    uint16_t SurfaceRecord::*word;
    float SurfaceRecord::*number;
    OwnedText SurfaceRecord::*text;
    Vector3 SurfaceRecord::*vector;
    uint32_t SurfaceRecord::*longWord;
    int param;
};

constexpr SurfaceField word(const char* tag, uint16_t SurfaceRecord::*m) {
    return {tag, FieldKind::Word, m, nullptr, nullptr, nullptr, nullptr, 0};
}
constexpr SurfaceField number(const char* tag, float SurfaceRecord::*m) {
    return {tag, FieldKind::Float, nullptr, m, nullptr, nullptr, nullptr, 0};
}
constexpr SurfaceField text(const char* tag, OwnedText SurfaceRecord::*m) {
    return {tag, FieldKind::Text, nullptr, nullptr, m, nullptr, nullptr, 0};
}
constexpr SurfaceField vector(const char* tag, Vector3 SurfaceRecord::*m) {
    return {tag, FieldKind::Vector, nullptr, nullptr, nullptr, m, nullptr, 0};
}
constexpr SurfaceField longWord(const char* tag, uint32_t SurfaceRecord::*m, FieldKind kind) {
    return {tag, kind, nullptr, nullptr, nullptr, nullptr, m, 0};
}
constexpr SurfaceField param(const char* tag, int index) {
    return {tag, FieldKind::Param, nullptr, nullptr, nullptr, nullptr, nullptr, index};
}

const SurfaceField kSurfaceFields[] = {
    longWord("COLR", &SurfaceRecord::color, FieldKind::Color),
    word("FLAG", &SurfaceRecord::surfaceFlags),
    word("LUMI", &SurfaceRecord::luminosity),
    word("DIFF", &SurfaceRecord::diffuseLevel),
    word("SPEC", &SurfaceRecord::specularLevel),
    word("REFL", &SurfaceRecord::reflectionLevel),
    word("TRAN", &SurfaceRecord::transparencyLevel),
    word("GLOS", &SurfaceRecord::glossinessLevel),
    text("RIMG", &SurfaceRecord::reflectionImage),
    number("RSAN", &SurfaceRecord::reflectionSeamAngle),
    number("RIND", &SurfaceRecord::refractiveIndex),
    number("EDGE", &SurfaceRecord::edgeTransparency),
    number("SMAN", &SurfaceRecord::maxSmoothingAngle),
    text("CTEX", &SurfaceRecord::colorTextureType),
    text("DTEX", &SurfaceRecord::diffuseTextureType),
    text("STEX", &SurfaceRecord::specularTextureType),
    text("RTEX", &SurfaceRecord::reflectionTextureType),
    text("TTEX", &SurfaceRecord::transparencyTextureType),
    text("BTEX", &SurfaceRecord::bumpTextureType),
    text("TIMG", &SurfaceRecord::textureImage),
    word("TFLG", &SurfaceRecord::textureFlags),
    vector("TSIZ", &SurfaceRecord::textureSize),
    vector("TCTR", &SurfaceRecord::textureCenter),
    vector("TFAL", &SurfaceRecord::textureFalloff),
    vector("TVEL", &SurfaceRecord::textureVelocity),
    longWord("TCLR", &SurfaceRecord::textureColor, FieldKind::Long),
    word("TVAL", &SurfaceRecord::textureValue),
    number("TAMP", &SurfaceRecord::textureAmplitude),
    word("TFRQ", &SurfaceRecord::textureFrequency),
    param("TSP0", 0),
    param("TSP1", 1),
    param("TSP2", 2),
};

size_t fieldSize(FieldKind kind) {
    switch (kind) {
        case FieldKind::Word:
            return 2;
        case FieldKind::Vector:
            return 12;
        case FieldKind::Text:
            return 0;
        default:
            return 4;
    }
}

// Reads one sub-chunk of `size` bytes into the record; a tag not in the table is skipped.
void readSurfaceField(SurfaceRecord& record, const unsigned char* tag, const unsigned char* data,
                      size_t size, const char* path) {
    for (const SurfaceField& field : kSurfaceFields) {
        if (!sameTag(tag, field.tag)) continue;
        size_t needed = fieldSize(field.kind);
        if (size < needed) {
            geometryMessage(
                "%s: surface '%s': sub-chunk '%s' holds %zu bytes, %zu needed; "
                "ignored\n",
                path, record.name ? record.name.get() : "", field.tag, size, needed);
            return;
        }
        switch (field.kind) {
            case FieldKind::Color:
            case FieldKind::Long:
                record.*field.longWord = readU32(data);
                break;
            case FieldKind::Word:
                record.*field.word = readU16(data);
                break;
            case FieldKind::Float:
                record.*field.number = readF32(data);
                break;
            case FieldKind::Vector:
                record.*field.vector = readVector(data);
                break;
            case FieldKind::Param:
                record.textureParams[field.param] = readF32(data);
                break;
            case FieldKind::Text: {
                long length = textLength(data, size);
                size_t n = length < 0 ? size : static_cast<size_t>(length);
                record.*field.text = makeOwnedText(reinterpret_cast<const char*>(data), n);
                break;
            }
        }
        return;
    }
}

enum class MapType { None, Planar, Cubic, Cylindrical, Spherical };

MapType mapTypeOf(const char* name) {
    if (std::strcmp(name, "Planar Image Map") == 0) return MapType::Planar;
    if (std::strcmp(name, "Cubic Image Map") == 0) return MapType::Cubic;
    if (std::strcmp(name, "Cylindrical Image Map") == 0) return MapType::Cylindrical;
    if (std::strcmp(name, "Spherical Image Map") == 0) return MapType::Spherical;
    return MapType::None;
}

enum class Axis { X, Y, Z };

Axis axisOf(uint16_t textureFlags) {
    if (textureFlags & 1) return Axis::X;
    if (textureFlags & 2) return Axis::Y;
    return Axis::Z;
}

TexCoord planar(Axis axis, const Vector3& d, const Vector3& s) {
    switch (axis) {
        case Axis::X:
            return {d.z / s.z + 0.5f, 0.5f - d.y / s.y};
        case Axis::Y:
            return {d.x / s.x + 0.5f, 0.5f - d.z / s.z};
        default:
            return {d.x / s.x + 0.5f, 0.5f - d.y / s.y};
    }
}

// Angle of (p, q) in 0 .. 2pi, measured from +p towards +q.
float turnAngle(float p, float q) {
    if (p != 0.0f) {
        float angle = std::atan(q / p);
        if (p < 0.0f) angle += kPi;
        if (angle < 0.0f) angle += kTwoPi;
        return angle;
    }
    if (q > 0.0f) return 1.5707964f;
    if (q < 0.0f) return 4.712389f;
    return 0.0f;
}

// Cylindrical map: u is 0.5 + the turn fraction; `fraction` receives the fraction.
TexCoord cylindrical(Axis axis, const Vector3& d, const Vector3& s, float& fraction) {
    float p, q, g;
    switch (axis) {
        case Axis::X:
            p = d.y, q = d.z, g = d.x / s.x;
            break;
        case Axis::Y:
            p = d.x, q = d.z, g = d.y / s.y;
            break;
        default:
            p = d.x, q = d.y, g = d.z / s.z;
            break;
    }
    fraction = turnAngle(p, q) * kInverseTwoPi;
    return {0.5f + fraction, 0.5f - g};
}

TexCoord spherical(Axis axis, const Vector3& d, float& fraction) {
    float a, b, c;
    switch (axis) {
        case Axis::X:
            a = d.z, b = d.x, c = -d.y;
            break;
        case Axis::Y:
            a = -d.x, b = d.y, c = d.z;
            break;
        default:
            a = -d.x, b = d.z, c = -d.y;
            break;
    }
    float longitude = 0.0f;
    float latitude;
    if (a != 0.0f || b != 0.0f) {
        longitude = turnAngle(a, b);
        latitude = std::atan(c / std::sqrt(a * a + b * b));
    } else {
        latitude = c > 0.0f ? 1.5707964f : (c < 0.0f ? -1.5707964f : 0.0f);
    }
    fraction = longitude * kInverseTwoPi;
    return {0.5f + fraction, 0.5f + latitude * kInversePi};
}

// Cube map: the face the direction from the centre points at picks the planar map.
TexCoord cubic(const Vector3& d, const Vector3& s) {
    float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    float nx = 0.0f, ny = 0.0f, nz = 0.0f;
    if (length > 0.0f) nx = d.x / length, ny = d.y / length, nz = d.z / length;
    // Compared as 1/|n|, a zero component standing in as 1e10 so that it never wins.
    auto inverse = [](float c) { return c == 0.0f ? 1e10f : 1.0f / std::fabs(c); };
    float ix = inverse(nx), iy = inverse(ny), iz = inverse(nz);
    Axis face = (ix <= iy && ix <= iz) ? Axis::X : (iy <= iz ? Axis::Y : Axis::Z);
    return planar(face, d, s);
}

}  // namespace

bool LWObjectFile::load(const char* path) {
    std::unique_ptr<unsigned char[]> buffer;
    long size = 0;
    if (!readWholeFile(path, 0, buffer, size)) {
        geometryMessage("Error: Can't open file %s\n", path);
        return false;
    }
    return loadFromMemory(buffer.get(), static_cast<size_t>(size), path);
}

bool LWObjectFile::loadFromMemory(const unsigned char* data, size_t size, const char* path) {
    std::string error;
    if (!parse(data, size, path, error)) fatalError("%s", error.c_str());
    return true;
}

bool LWObjectFile::parse(const unsigned char* data, size_t size, const char* path,
                         std::string& error) {
    if (path == nullptr) path = "(memory)";
    fileName = path;
    if (!parseChunks(data, size, path, error)) return false;
    if (!surfaces[1]) surfaces[1] = std::make_unique<SurfaceRecord>();
    dropBadPolygons(path);
    computeTextureCoordinates(path);
    trace("Vectors      : %d\n", pointCount);
    trace("Polygons     : %d\n", polygonCount);
    trace("Surfaces     : %d\n", surfaceCount);
    return true;
}

namespace {

bool readPoints(LWObjectFile& object, const Chunk& chunk, const char* path, std::string& error) {
    if (!sameTag(chunk.tag, "PNTS")) return fail(error, "%s: PNTS: What the heck???\n", path);
    size_t count = chunk.size / 12;
    object.points = std::make_unique<Vector3[]>(count);
    object.pointCount = static_cast<int>(count);
    float largest = 0.0f;
    for (size_t i = 0; i < count; ++i) {
        Vector3 p = readVector(chunk.data + 12 * i);
        object.points[i] = p;
        float squared = p.x * p.x + p.y * p.y + p.z * p.z;
        if (squared > largest) largest = squared;
    }
    object.radius = std::sqrt(largest);
    return true;
}

bool readPolygons(LWObjectFile& object, const Chunk& chunk, const char* path, int& fileNumber,
                  std::string& error) {
    if (!sameTag(chunk.tag, "POLS")) return fail(error, "%s: POLS: What the heck???\n", path);
    // First pass: count, and make sure every polygon lies inside the chunk.
    size_t count = 0;
    for (size_t offset = 0; offset < chunk.size; ++count) {
        size_t left = chunk.size - offset;
        int corners = left >= 2 ? readS16(chunk.data + offset) : -1;
        if (left < 2 || corners < 0) {
            return fail(error,
                        "%s: Err: POLS chunk at offset %zu: polygon %zu has %s; the chunk is "
                        "damaged\n",
                        path, chunk.offset, static_cast<size_t>(fileNumber) + count,
                        left < 2 ? "no room for its corner count" : "a negative corner count");
        }
        size_t step = 2 * static_cast<size_t>(corners) + 4;
        if (step > left) {
            return fail(error,
                        "%s: Err: POLS chunk at offset %zu: polygon %zu (%d corners) runs past "
                        "the end of the chunk\n",
                        path, chunk.offset, static_cast<size_t>(fileNumber) + count, corners);
        }
        offset += step;
    }
    object.polygons.reserve(object.polygons.size() + count);
    int emptyMessages = 0;
    for (size_t offset = 0; offset < chunk.size; ++fileNumber) {
        const unsigned char* p = chunk.data + offset;
        int corners = readS16(p);
        offset += 2 * static_cast<size_t>(corners) + 4;
        if (corners == 0) {
            if (emptyMessages++ < kMaxMessagesPerKind) {
                geometryMessage("%s: polygon %d has no corners; dropped\n", path, fileNumber);
            }
            continue;
        }
        RawPolygon polygon;
        polygon.count = corners;
        polygon.surface = readS16(p + 2 + 2 * static_cast<size_t>(corners));
        polygon.indices.resize(static_cast<size_t>(corners) + 1);
        // Point indices are unsigned (0 .. 65535); counts and surface numbers are signed.
        int last = readU16(p + 2 * static_cast<size_t>(corners));
        polygon.indices[0] = last;
        for (int k = 0; k + 1 < corners; ++k) {
            polygon.indices[static_cast<size_t>(k) + 1] = readU16(p + 2 + 2 * k);
        }
        polygon.indices[static_cast<size_t>(corners)] = last;
        object.polygons.push_back(std::move(polygon));
        ++object.polygonCount;
    }
    return true;
}

bool readSurfaceNames(LWObjectFile& object, const Chunk& chunk, const char* path,
                      std::string& error) {
    if (!sameTag(chunk.tag, "SRFS")) return fail(error, "%s: SRFS: What the heck???\n", path);
    bool warned = false;
    for (size_t offset = 0; offset < chunk.size;) {
        const char* name = reinterpret_cast<const char*>(chunk.data + offset);
        long length = textLength(chunk.data + offset, chunk.size - offset);
        if (length < 0) {
            return fail(error,
                        "%s: Err: SRFS chunk at offset %zu: surface name %d is not terminated "
                        "inside the chunk\n",
                        path, chunk.offset, object.surfaceCount);
        }
        if (object.surfaceCount < LWObjectFile::kSurfaceSlots) {
            object.surfaceNames[object.surfaceCount] =
                makeOwnedText(name, static_cast<size_t>(length));
            ++object.surfaceCount;
        } else if (!warned) {
            geometryMessage(
                "%s: more than %d surface names; '%s' and the names after it are "
                "ignored\n",
                path, LWObjectFile::kSurfaceSlots - 1, name);
            warned = true;
        }
        offset += (static_cast<size_t>(length) & ~static_cast<size_t>(1)) + 2;
    }
    return true;
}

bool readSurface(LWObjectFile& object, const Chunk& chunk, const char* path, std::string& error) {
    if (!sameTag(chunk.tag, "SURF")) return fail(error, "%s: SURF: What the heck???\n", path);
    long length = textLength(chunk.data, chunk.size);
    if (length < 0) {
        return fail(error,
                    "%s: Err: SURF chunk at offset %zu: the surface name is not terminated "
                    "inside the chunk\n",
                    path, chunk.offset);
    }
    auto record = std::make_unique<SurfaceRecord>();
    const char* name = reinterpret_cast<const char*>(chunk.data);
    trace("SURFName: %s\n", name);
    record->name = makeOwnedText(name, static_cast<size_t>(length));
    int slot = 0;
    for (int s = 1; s < object.surfaceCount; ++s) {
        if (std::strcmp(object.surfaceNames[s].get(), name) == 0) {
            slot = s;
            break;
        }
    }
    size_t offset = (static_cast<size_t>(length) & ~static_cast<size_t>(1)) + 2;
    while (offset < chunk.size) {
        size_t left = chunk.size - offset;
        if (left < 6) {
            return fail(error,
                        "%s: Err: SURF '%s' at offset %zu: sub-chunk header at byte %zu is cut "
                        "short\n",
                        path, record->name.get(), chunk.offset, offset);
        }
        const unsigned char* tag = chunk.data + offset;
        size_t size = readU16(tag + 4);
        if (size > left - 6) {
            return fail(error,
                        "%s: Err: SURF '%s' at offset %zu: sub-chunk '%s' (%zu bytes) runs past "
                        "the end of the chunk\n",
                        path, record->name.get(), chunk.offset, tagText(tag).text, size);
        }
        readSurfaceField(*record, tag, tag + 6, size, path);
        offset += 6 + size;
    }
    if (slot != 0) {
        object.surfaces[slot] = std::move(record);
    } else {
        trace("Cant fint Surface: %s in SRFS-list\n", name);
    }
    return true;
}

}  // namespace

bool LWObjectFile::parseChunks(const unsigned char* data, size_t size, const char* path,
                               std::string& error) {
    if (data == nullptr || size < 4 || !sameTag(data, "FORM")) {
        return fail(error, "%s: Err: Missing 'FORM'\n", path);
    }
    if (size < 12 || !sameTag(data + 8, "LWOB")) {
        return fail(error, "%s: Err: Missing 'LWOB'\n", path);
    }
    size_t formEnd = 8 + static_cast<size_t>(readU32(data + 4));
    if (formEnd > size) {
        return fail(error,
                    "%s: Err: the form size (%zu bytes) runs past the end of the file (%zu "
                    "bytes): the file is truncated\n",
                    path, formEnd - 8, size);
    }
    int fileNumber = 0;
    for (size_t offset = 12; offset < formEnd;) {
        if (formEnd - offset < 8) {
            return fail(error, "%s: Err: the chunk header at offset %zu is cut short\n", path,
                        offset);
        }
        Chunk chunk{data + offset, data + offset + 8, readU32(data + offset + 4), offset};
        if (chunk.size > formEnd - offset - 8) {
            return fail(error,
                        "%s: Err: chunk '%s' at offset %zu (%zu bytes) runs past the end of "
                        "the form\n",
                        path, tagText(chunk.tag).text, offset, chunk.size);
        }
        bool ok = true;
        if (sameTag(chunk.tag, "PNTS")) {
            ok = readPoints(*this, chunk, path, error);
        } else if (sameTag(chunk.tag, "POLS")) {
            ok = readPolygons(*this, chunk, path, fileNumber, error);
        } else if (sameTag(chunk.tag, "SRFS")) {
            ok = readSurfaceNames(*this, chunk, path, error);
        } else if (sameTag(chunk.tag, "SURF")) {
            ok = readSurface(*this, chunk, path, error);
        } else {
            trace("%4s not supported!\n", tagText(chunk.tag).text);
        }
        if (!ok) return false;
        offset += 8 + chunk.size;
    }
    return true;
}

// Drops every polygon that names a point outside the point array; such a polygon must
// never reach the mesh build. Runs after all chunks, as a later "PNTS" replaces the points.
void LWObjectFile::dropBadPolygons(const char* path) {
    int messages = 0;
    int surfaceMessages = 0;
    int dropped = 0;
    size_t kept = 0;
    for (size_t i = 0; i < polygons.size(); ++i) {
        RawPolygon& polygon = polygons[i];
        bool outside = false;
        int bad = 0;
        for (int index : polygon.indices) {
            if (index < 0 || index >= pointCount) {
                outside = true;
                bad = index;
                break;
            }
        }
        if (outside) {
            if (messages++ < kMaxMessagesPerKind) {
                geometryMessage("%s: polygon %zu uses point %d, outside the %d points; dropped\n",
                                path, i, bad, pointCount);
            }
            ++dropped;
            continue;
        }
        const int s = polygon.surface;
        if ((s == 0 || s >= kSurfaceSlots) && surfaceMessages++ < kMaxMessagesPerKind) {
            geometryMessage(
                "%s: polygon %zu uses surface %d, outside 1..%d; it gets no "
                "material\n",
                path, i, s, kSurfaceSlots - 1);
        }
        if (kept != i) polygons[kept] = std::move(polygon);
        ++kept;
    }
    if (dropped > kMaxMessagesPerKind) {
        geometryMessage("%s: %d polygons dropped for points outside the point array\n", path,
                        dropped);
    }
    polygons.resize(kept);
    polygonCount = static_cast<int>(kept);
}

void LWObjectFile::computeTextureCoordinates(const char* path) {
    (void)path;
    // Without any image-mapped surface every entry would stay (0, 0): keep no table.
    bool mapped = false;
    for (int s = 1; s < surfaceCount; ++s) {
        const SurfaceRecord* surface = surfaces[s].get();
        if (surface != nullptr && surface->colorTextureType &&
            mapTypeOf(surface->colorTextureType.get()) != MapType::None) {
            mapped = true;
        }
    }
    uvTable.clear();
    if (!mapped) return;
    uvTable.assign(static_cast<size_t>(surfaceCount - 1) * static_cast<size_t>(pointCount),
                   TexCoord{});
    std::vector<float> fractions;
    for (const RawPolygon& polygon : polygons) {
        int s = polygon.surface;
        if (s < 0) {
            trace("Polygon details not supported! (%d)\n", s);
            return;
        }
        if (s == 0 || s >= kSurfaceSlots || !surfaces[s]) {
            trace("Unknown surface %d\n", s);
            return;
        }
        const SurfaceRecord& surface = *surfaces[s];
        if (!surface.colorTextureType || s >= surfaceCount) continue;
        MapType type = mapTypeOf(surface.colorTextureType.get());
        if (type == MapType::None) continue;
        Axis axis = axisOf(surface.textureFlags);
        const Vector3& size = surface.textureSize;
        const Vector3& center = surface.textureCenter;
        TexCoord* table = &uvTable[static_cast<size_t>(s - 1) * static_cast<size_t>(pointCount)];
        fractions.assign(static_cast<size_t>(polygon.count), 0.0f);
        bool low = false, high = false;
        for (int k = 0; k < polygon.count; ++k) {
            int point = polygon.indices[static_cast<size_t>(k)];
            const Vector3& p = points[point];
            Vector3 d{p.x - center.x, p.y - center.y, p.z - center.z};
            float& fraction = fractions[static_cast<size_t>(k)];
            TexCoord uv;
            switch (type) {
                case MapType::Planar:
                    uv = planar(axis, d, size);
                    break;
                case MapType::Cubic:
                    uv = cubic(d, size);
                    break;
                case MapType::Cylindrical:
                    uv = cylindrical(axis, d, size, fraction);
                    break;
                default:
                    uv = spherical(axis, d, fraction);
                    break;
            }
            if (fraction < 0.3f) low = true;
            if (fraction > 0.7f) high = true;
            table[point] = uv;
        }
        if (type != MapType::Cylindrical && type != MapType::Spherical) continue;
        if (low && high) {
            // The polygon straddles the seam: take its low side one turn on.
            for (int k = 0; k < polygon.count; ++k) {
                float fraction = fractions[static_cast<size_t>(k)];
                if (fraction < 0.3f) {
                    table[polygon.indices[static_cast<size_t>(k)]].u = 0.5f + fraction + 1.0f;
                }
            }
        }
        if (type == MapType::Spherical) {
            bool lowV = false, highV = false;
            for (int k = 0; k < polygon.count; ++k) {
                float v = table[polygon.indices[static_cast<size_t>(k)]].v;
                if (v < 0.3f) lowV = true;
                if (v > 0.7f) highV = true;
            }
            if (lowV && highV) {
                for (int k = 0; k < polygon.count; ++k) {
                    TexCoord& uv = table[polygon.indices[static_cast<size_t>(k)]];
                    if (uv.v < 0.3f) uv.v += 1.0f;
                }
            }
        }
    }
}
