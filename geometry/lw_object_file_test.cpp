// Tests of the LightWave object reader: chunk and polygon layout, surfaces and their
// defaults, the texture coordinate maps, and damaged files.
#include "geometry/lw_object_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tools/lwo_writer.h"

namespace {

using ::testing::HasSubstr;

struct Read {
    bool ok = false;
    std::string error;
    std::string messages;
};

Read parseBytes(LWObjectFile& file, const LwoBytes& bytes, const char* path = "test.lwo") {
    Read read;
    ::testing::internal::CaptureStderr();
    read.ok = file.parse(bytes.data(), bytes.size(), path, read.error);
    read.messages = ::testing::internal::GetCapturedStderr();
    return read;
}

// One quad in the z = 0 plane on surface "Skin" with the given map type and axis flag.
LwoWriter mappedQuad(const char* type, uint16_t axis) {
    LwoWriter w;
    w.addPoint(1, 1, 0);
    w.addPoint(-1, 1, 0);
    w.addPoint(-1, -1, 0);
    w.addPoint(1, -1, 0);
    int s = w.addSurfaceName("Skin");
    w.addPolygon({0, 1, 2, 3}, s);
    w.addSurface("Skin")
        .text("CTEX", type)
        .word("TFLG", axis)
        .vector("TSIZ", 2, 2, 2)
        .vector("TCTR", 0, 0, 0);
    return w;
}

TEST(LWObjectFile, PolygonLoopStartsWithTheLastFileIndex) {
    LwoWriter w;
    for (int i = 0; i < 5; ++i) w.addPoint(static_cast<float>(i), 0, 0);
    int s = w.addSurfaceName("A");
    w.addPolygon({0, 1, 2, 3}, s);
    w.addPolygon({4, 2, 0}, s);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    ASSERT_EQ(file.polygonCount, 2);
    EXPECT_EQ(file.polygons[0].count, 4);
    EXPECT_THAT(file.polygons[0].indices, ::testing::ElementsAre(3, 0, 1, 2, 3));
    EXPECT_THAT(file.polygons[1].indices, ::testing::ElementsAre(0, 4, 2, 0));
    EXPECT_EQ(file.polygons[1].surface, 1);
}

TEST(LWObjectFile, PointsRadiusAndCounts) {
    LwoWriter w;
    w.addPoint(3, 4, 0);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    EXPECT_EQ(file.pointCount, 1);
    EXPECT_FLOAT_EQ(file.radius, 5.0f);
    EXPECT_EQ(file.surfaceCount, 1);  // no SRFS: no material will be built

    LwoWriter big;
    big.addPoint(1, 0, 0);
    big.addPoint(0, -2, 2);
    big.addPoint(0.5f, 0.5f, 0.5f);
    LWObjectFile second;
    ASSERT_TRUE(parseBytes(second, big.bytes()).ok);
    EXPECT_EQ(second.pointCount, 3);
    EXPECT_FLOAT_EQ(second.radius, std::sqrt(8.0f));
    EXPECT_FLOAT_EQ(second.points[1].y, -2.0f);

    LWObjectFile empty;
    ASSERT_TRUE(parseBytes(empty, LwoWriter().bytes()).ok);
    EXPECT_EQ(empty.pointCount, 0);
    EXPECT_EQ(empty.radius, 0.0f);
}

TEST(LWObjectFile, SurfacesAreFoundByNameAndGetDefaults) {
    LwoWriter w;
    w.addPoint(0, 0, 0);
    w.addSurfaceName("Hull");
    w.addSurfaceName("Glass");
    w.addSurfaceName("hull");
    w.addSurface("Glass")
        .color(10, 20, 30)
        .flags(4 | 256)
        .word("LUMI", 128)
        .word("TRAN", 64)
        .word("GLOS", 1024)
        .number("SMAN", 0.5f)
        .text("TIMG", "first.raw")
        .text("TIMG", "second.raw")
        .text("RIMG", "env.raw")
        .vector("TVEL", 1, 2, 3)
        .number("TSP2", 7.5f)
        .raw("ZZZZ", {1, 2, 3});
    w.addSurface("Missing").color(1, 2, 3);
    w.addSurface("hull").flags(4);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    EXPECT_EQ(file.surfaceCount, 4);

    // Slot 1 had no SURF: it gets the defaults, without a name.
    ASSERT_NE(file.surfaces[1], nullptr);
    const SurfaceRecord& def = *file.surfaces[1];
    EXPECT_EQ(def.name, nullptr);
    EXPECT_EQ(def.color, 0xC8C8C800u);
    EXPECT_EQ(def.diffuseLevel, 256);
    EXPECT_EQ(def.glossinessLevel, 64);
    uint32_t bits;
    std::memcpy(&bits, &def.maxSmoothingAngle, 4);
    EXPECT_EQ(bits, 0x3FC7F1E7u);
    EXPECT_EQ(def.colorTextureType, nullptr);

    ASSERT_NE(file.surfaces[2], nullptr);
    const SurfaceRecord& glass = *file.surfaces[2];
    EXPECT_STREQ(glass.name.get(), "Glass");
    EXPECT_EQ(glass.color, 0x0A141E00u);
    EXPECT_EQ(glass.surfaceFlags, 4 | 256);
    EXPECT_EQ(glass.luminosity, 128);
    EXPECT_EQ(glass.transparencyLevel, 64);
    EXPECT_EQ(glass.glossinessLevel, 1024);
    EXPECT_FLOAT_EQ(glass.maxSmoothingAngle, 0.5f);
    EXPECT_STREQ(glass.textureImage.get(), "second.raw");  // a later TIMG replaces
    EXPECT_STREQ(glass.reflectionImage.get(), "env.raw");
    EXPECT_FLOAT_EQ(glass.textureVelocity.z, 3.0f);
    EXPECT_FLOAT_EQ(glass.textureParams[2], 7.5f);

    // Names compare exactly: "hull" is slot 3, not 1; "Missing" is not listed.
    ASSERT_NE(file.surfaces[3], nullptr);
    EXPECT_EQ(file.surfaces[3]->surfaceFlags, 4);
    for (int s = 4; s < LWObjectFile::kSurfaceSlots; ++s) EXPECT_EQ(file.surfaces[s], nullptr);
}

TEST(LWObjectFile, PlanarMapsFollowTheirAxis) {
    struct Case {
        uint16_t flags;
        TexCoord expected[4];
    };
    // Points (1,1,0) (-1,1,0) (-1,-1,0) (1,-1,0), centre 0, size 2.
    const Case cases[] = {
        {4, {{1.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}}},  // Z
        {2, {{1.0f, 0.5f}, {0.0f, 0.5f}, {0.0f, 0.5f}, {1.0f, 0.5f}}},  // Y
        {1, {{0.5f, 0.0f}, {0.5f, 0.0f}, {0.5f, 1.0f}, {0.5f, 1.0f}}},  // X
        {3, {{0.5f, 0.0f}, {0.5f, 0.0f}, {0.5f, 1.0f}, {0.5f, 1.0f}}},  // X wins over Y
    };
    for (const Case& c : cases) {
        LWObjectFile file;
        ASSERT_TRUE(parseBytes(file, mappedQuad("Planar Image Map", c.flags).bytes()).ok);
        for (int p = 0; p < 4; ++p) {
            SCOPED_TRACE(::testing::Message() << "flags " << c.flags << " point " << p);
            EXPECT_FLOAT_EQ(file.uv(1, p).u, c.expected[p].u);
            EXPECT_FLOAT_EQ(file.uv(1, p).v, c.expected[p].v);
        }
    }
}

TEST(LWObjectFile, CylindricalAndSphericalAngles) {
    LwoWriter w;
    w.addPoint(0, 0, 1);      // 0: along +Z from the centre, a quarter turn
    w.addPoint(-1, 0, 1);     // 1: 3/8 turn
    w.addPoint(0, 1, 1);      // 2: a quarter turn, y = 1
    w.addPoint(1, 0, 0);      // 3: angle 0
    w.addPoint(0, 0.5f, -1);  // 4: 3/4 turn
    w.addPoint(1, 0, 0.5f);   // 5: atan(0.5)
    int s = w.addSurfaceName("Can");
    w.addPolygon({0, 1, 2}, s);
    w.addPolygon({3, 4, 5}, s);
    w.addSurface("Can")
        .text("CTEX", "Cylindrical Image Map")
        .word("TFLG", 2)
        .vector("TSIZ", 1, 1, 1);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    EXPECT_FLOAT_EQ(file.uv(1, 0).u, 0.75f);
    EXPECT_FLOAT_EQ(file.uv(1, 0).v, 0.5f);
    EXPECT_FLOAT_EQ(file.uv(1, 1).u, 0.875f);
    EXPECT_FLOAT_EQ(file.uv(1, 2).v, -0.5f);  // 0.5 - y / size
    // Fractions 0, 0.75 and 0.074 straddle the seam: the low corners go one turn on, so
    // the polygon spans the short way (1.25 .. 1.574) instead of most of the image.
    EXPECT_FLOAT_EQ(file.uv(1, 3).u, 1.5f);
    EXPECT_FLOAT_EQ(file.uv(1, 4).u, 1.25f);
    EXPECT_FLOAT_EQ(file.uv(1, 4).v, 0.0f);
    EXPECT_NEAR(file.uv(1, 5).u, 1.5f + std::atan(0.5f) / 6.2831853f, 1e-6);

    LwoWriter sphere;
    sphere.addPoint(0, 0, 2);   // Z axis: a = -dx = 0, b = dz = 2 -> longitude pi/2
    sphere.addPoint(0, -3, 0);  // c = -dy = 3 -> latitude pi/2 (pole)
    sphere.addPoint(-1, 0, 1);  // a = 1, b = 1 -> pi/4
    s = sphere.addSurfaceName("Ball");
    sphere.addPolygon({0, 1, 2}, s);
    sphere.addSurface("Ball").text("CTEX", "Spherical Image Map").word("TFLG", 4);
    LWObjectFile ball;
    ASSERT_TRUE(parseBytes(ball, sphere.bytes()).ok);
    EXPECT_FLOAT_EQ(ball.uv(1, 0).u, 0.75f);
    EXPECT_FLOAT_EQ(ball.uv(1, 0).v, 0.5f);
    EXPECT_FLOAT_EQ(ball.uv(1, 1).u, 0.5f);
    EXPECT_FLOAT_EQ(ball.uv(1, 1).v, 1.0f);
    EXPECT_FLOAT_EQ(ball.uv(1, 2).u, 0.625f);
}

TEST(LWObjectFile, SphericalSeamLiftsLowCorners) {
    LwoWriter w;
    w.addPoint(0, -1, 0);       // X axis: c = -dy = 1, latitude pi/2: v = 1
    w.addPoint(0, 1, 0);        // v = 0
    w.addPoint(-0.001f, 0, 1);  // (a, b) = (dz, dx): just under a full turn
    w.addPoint(0.001f, 0, 1);   // just over angle 0
    int s = w.addSurfaceName("Globe");
    w.addPolygon({0, 2, 1, 3}, s);
    w.addSurface("Globe").text("CTEX", "Spherical Image Map").word("TFLG", 1);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    EXPECT_FLOAT_EQ(file.uv(1, 0).v, 1.0f);
    EXPECT_FLOAT_EQ(file.uv(1, 1).v, 1.0f);  // 0.0 lifted by one
    EXPECT_FLOAT_EQ(file.uv(1, 2).v, 0.5f);
    // The poles (longitude 0) and the point just past 0 are low: one turn on.
    EXPECT_FLOAT_EQ(file.uv(1, 0).u, 1.5f);
    EXPECT_NEAR(file.uv(1, 2).u, 1.5f - 0.00016f, 1e-5);
    EXPECT_NEAR(file.uv(1, 3).u, 1.5f + 0.00016f, 1e-5);
}

TEST(LWObjectFile, CubicMapUsesTheDominantFace) {
    LwoWriter w;
    w.addPoint(4, 1, 2);   // X face: (dz/sz + 0.5, 0.5 - dy/sy)
    w.addPoint(1, -4, 2);  // Y face: (dx/sx + 0.5, 0.5 - dz/sz)
    w.addPoint(1, 2, -4);  // Z face: (dx/sx + 0.5, 0.5 - dy/sy)
    w.addPoint(3, 3, 3);   // tie: X
    w.addPoint(0, 3, 3);   // tie between Y and Z: Y
    int s = w.addSurfaceName("Box");
    w.addPolygon({0, 1, 2, 3, 4}, s);
    w.addSurface("Box").text("CTEX", "Cubic Image Map").vector("TSIZ", 8, 8, 8);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    EXPECT_FLOAT_EQ(file.uv(1, 0).u, 0.75f);
    EXPECT_FLOAT_EQ(file.uv(1, 0).v, 0.375f);
    EXPECT_FLOAT_EQ(file.uv(1, 1).u, 0.625f);
    EXPECT_FLOAT_EQ(file.uv(1, 1).v, 0.25f);
    EXPECT_FLOAT_EQ(file.uv(1, 2).u, 0.625f);
    EXPECT_FLOAT_EQ(file.uv(1, 2).v, 0.25f);
    EXPECT_FLOAT_EQ(file.uv(1, 3).u, 0.875f);  // X: dz
    EXPECT_FLOAT_EQ(file.uv(1, 4).u, 0.5f);    // Y: dx
    EXPECT_FLOAT_EQ(file.uv(1, 4).v, 0.125f);  // Y: 0.5 - dz
}

TEST(LWObjectFile, TexturePassStopsAtDetailsAndUnknownSurfaces) {
    LwoWriter w;
    for (int i = 0; i < 6; ++i) w.addPoint(static_cast<float>(i), 1, 0);
    int s = w.addSurfaceName("Skin");
    w.addSurfaceName("Bare");  // listed but no SURF: no record
    w.addPolygon({0, 1, 2}, s);
    w.addPolygon({0, 1, 3}, 2);
    w.addPolygon({3, 4, 5}, s);
    w.addSurface("Skin").text("CTEX", "Planar Image Map").vector("TSIZ", 1, 1, 1);
    LWObjectFile file;
    ASSERT_TRUE(parseBytes(file, w.bytes()).ok);
    EXPECT_FLOAT_EQ(file.uv(1, 2).u, 2.5f);
    EXPECT_FLOAT_EQ(file.uv(1, 4).u, 0.0f);  // after the unknown surface: never set
    EXPECT_FLOAT_EQ(file.uv(1, 5).u, 0.0f);

    LwoWriter detail = w;
    detail.polygonData.clear();
    detail.addPolygon({3, 4, 5}, -1);
    detail.addPolygon({0, 1, 2}, s);
    LWObjectFile second;
    ASSERT_TRUE(parseBytes(second, detail.bytes()).ok);
    EXPECT_EQ(second.polygonCount, 2);  // the detail polygon is read as an ordinary one
    EXPECT_EQ(second.polygons[0].surface, -1);
    EXPECT_FLOAT_EQ(second.uv(1, 2).u, 0.0f);

    LwoWriter unknownType = mappedQuad("Fractal Noise", 4);
    LWObjectFile third;
    ASSERT_TRUE(parseBytes(third, unknownType.bytes()).ok);
    EXPECT_TRUE(third.uvTable.empty());  // no known map: every coordinate stays 0
}

TEST(LWObjectFile, PointIndicesAreUnsigned) {
    // One triangle over an object of `points` points (point i at (i % 256, i / 256, 0)),
    // corners as written; kept or dropped for a point outside the object.
    struct Case {
        int points;
        std::vector<int> corners;
        int surface;
        bool kept;
    };
    const Case cases[] = {
        {40000, {32767, 32768, 39999}, 1, true}, {40000, {0, 35000, 1}, 1, true},
        {65536, {65535, 0, 32768}, 1, true},  // the largest index there is
        {40000, {32768, 1, 2}, -1, true},     // a detail polygon keeps its negative surface
        {40000, {1, 2, 40000}, 1, false},     // one past the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.corners));
        LwoWriter w;
        for (int i = 0; i < c.points; ++i) {
            w.addPoint(static_cast<float>(i % 256), static_cast<float>(i / 256), 0);
        }
        w.addSurfaceName("S");
        w.addPolygon(c.corners, c.surface);
        w.addSurface("S").text("CTEX", "Planar Image Map").vector("TSIZ", 1, 1, 1);
        LWObjectFile file;
        Read read = parseBytes(file, w.bytes());
        ASSERT_TRUE(read.ok);
        ASSERT_EQ(file.polygonCount, c.kept ? 1 : 0);
        if (!c.kept) {
            EXPECT_THAT(read.messages, HasSubstr("polygon 0 uses point 40000, outside the 40000"));
            continue;
        }
        const RawPolygon& polygon = file.polygons[0];
        EXPECT_THAT(polygon.indices,
                    ::testing::ElementsAre(c.corners[2], c.corners[0], c.corners[1], c.corners[2]));
        EXPECT_EQ(polygon.surface, c.surface);
        if (c.surface > 0) {
            // The planar map reached the point the index names: u = x + 0.5.
            const int high = *std::max_element(c.corners.begin(), c.corners.end());
            EXPECT_FLOAT_EQ(file.uv(1, high).u, static_cast<float>(high % 256) + 0.5f);
        }
    }
}

// Damaged files ----------------------------------------------------------------------------

TEST(LWObjectFileDamage, MissingMagicAndTruncation) {
    LwoBytes good = mappedQuad("Planar Image Map", 4).bytes();
    struct Case {
        const char* what;
        LwoBytes bytes;
        const char* message;
    };
    LwoBytes notForm = good;
    notForm[0] = 'X';
    LwoBytes notLwob = good;
    notLwob[11] = '2';
    LwoBytes truncated(good.begin(), good.end() - 5);
    LwoBytes shortHeader(good.begin(), good.begin() + 6);
    LwoBytes chunkPastForm = good;
    chunkPastForm[12 + 7] = 0xFF;  // PNTS size low byte
    LwoBytes headerCut = good;
    headerCut.resize(good.size() + 3);  // three stray bytes inside the form
    LwoBytes size;
    appendU32(size, static_cast<uint32_t>(headerCut.size() - 8));
    std::copy(size.begin(), size.end(), headerCut.begin() + 4);
    const Case cases[] = {
        {"not FORM", notForm, "test.lwo: Err: Missing 'FORM'\n"},
        {"not LWOB", notLwob, "test.lwo: Err: Missing 'LWOB'\n"},
        {"short", shortHeader, "test.lwo: Err: Missing 'LWOB'\n"},
        {"empty", LwoBytes(), "test.lwo: Err: Missing 'FORM'\n"},
        {"truncated", truncated, "runs past the end of the file"},
        {"chunk past form", chunkPastForm, "chunk 'PNTS' at offset 12"},
        {"chunk header cut", headerCut, "is cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LWObjectFile file;
        Read read = parseBytes(file, c.bytes);
        EXPECT_FALSE(read.ok);
        EXPECT_THAT(read.error, HasSubstr(c.message));
        EXPECT_THAT(read.error, HasSubstr("test.lwo"));
    }
}

LwoBytes withSurfaceData(const LwoBytes& surfaceChunkData) {
    LwoWriter w;
    w.addPoint(0, 0, 0);
    w.addSurfaceName("S");
    w.addChunk("SURF", surfaceChunkData);
    return w.bytes();
}

TEST(LWObjectFileDamage, DamagedChunksInside) {
    // A sub-chunk whose size runs past its SURF.
    LwoBytes surf;
    appendName(surf, "S");
    surf.insert(surf.end(), {'C', 'O', 'L', 'R', 0, 40, 1, 2, 3, 0});
    LWObjectFile a;
    Read read = parseBytes(a, withSurfaceData(surf));
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr("sub-chunk 'COLR' (40 bytes) runs past the end"));

    // A sub-chunk header cut short.
    LwoBytes cut;
    appendName(cut, "S");
    cut.insert(cut.end(), {'F', 'L', 'A'});
    LWObjectFile b;
    read = parseBytes(b, withSurfaceData(cut));
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr("sub-chunk header"));

    // A SURF name without its NUL.
    LWObjectFile c;
    read = parseBytes(c, withSurfaceData({'S', 'k', 'i', 'n'}));
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr("surface name is not terminated"));

    // An SRFS name without its NUL.
    LwoWriter names;
    names.addChunk("SRFS", {'A', 0, 'B', 'C'});
    LWObjectFile d;
    read = parseBytes(d, names.bytes());
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr("SRFS"));

    // A polygon whose corners run past the POLS chunk, and a negative corner count.
    LwoWriter pols;
    pols.addPoint(0, 0, 0);
    pols.addChunk("POLS", {0, 3, 0, 0, 0, 0});
    LWObjectFile e;
    read = parseBytes(e, pols.bytes());
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr("polygon 0 (3 corners) runs past the end of the chunk"));
    LwoWriter negative;
    negative.addChunk("POLS", {0xFF, 0xFE, 0, 1});
    LWObjectFile f;
    read = parseBytes(f, negative.bytes());
    EXPECT_FALSE(read.ok);
    EXPECT_THAT(read.error, HasSubstr("negative corner count"));

    // A sub-chunk too small for its field is ignored, not read past.
    LwoBytes small;
    appendName(small, "S");
    small.insert(small.end(),
                 {'T', 'S', 'I', 'Z', 0, 4, 0x3F, 0x80, 0, 0, 'F', 'L', 'A', 'G', 0, 2, 0, 4});
    LWObjectFile g;
    read = parseBytes(g, withSurfaceData(small));
    EXPECT_TRUE(read.ok);
    EXPECT_THAT(read.messages, HasSubstr("'TSIZ' holds 4 bytes, 12 needed; ignored"));
    EXPECT_EQ(g.surfaces[1]->textureSize.x, 0.0f);
    EXPECT_EQ(g.surfaces[1]->surfaceFlags, 4);
}

TEST(LWObjectFileDamage, FatalPathsEndTheProcessNamingTheFile) {
    LwoBytes good = mappedQuad("Planar Image Map", 4).bytes();
    LwoBytes truncated(good.begin(), good.end() - 5);
    EXPECT_EXIT(
        {
            LWObjectFile file;
            file.loadFromMemory(truncated.data(), truncated.size(), "data/broken.lwo");
        },
        ::testing::ExitedWithCode(1), "data/broken.lwo: Err: the form size");
    LwoBytes notForm = good;
    notForm[1] = 'X';
    EXPECT_EXIT(
        {
            LWObjectFile file;
            file.loadFromMemory(notForm.data(), notForm.size(), "x.lwo");
        },
        ::testing::ExitedWithCode(1), "x.lwo: Err: Missing 'FORM'");
}

TEST(LWObjectFileDamage, MissingFileIsReportedNotParsed) {
    LWObjectFile file;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(file.load("geometry/testdata/no_such_object.lwo"));
    std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(messages, HasSubstr("Error: Can't open file geometry/testdata/no_such_object.lwo"));
    EXPECT_EQ(file.pointCount, 0);
}

TEST(LWObjectFileDamage, BadPointIndicesDropThePolygon) {
    LwoWriter w;
    for (int i = 0; i < 4; ++i) w.addPoint(static_cast<float>(i), static_cast<float>(i * i), 0);
    int s = w.addSurfaceName("S");
    w.addPolygon({0, 1, 2}, s);
    w.addPolygon({0, 1, 4}, s);      // one past the end
    w.addPolygon({40000, 1, 2}, s);  // far past the end
    w.addPolygon({1, 2, 3}, s);
    w.addSurface("S").text("CTEX", "Planar Image Map").vector("TSIZ", 1, 1, 1);
    LWObjectFile file;
    Read read = parseBytes(file, w.bytes());
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(file.polygonCount, 2);
    EXPECT_THAT(file.polygons[0].indices, ::testing::ElementsAre(2, 0, 1, 2));
    EXPECT_THAT(file.polygons[1].indices, ::testing::ElementsAre(3, 1, 2, 3));
    EXPECT_THAT(read.messages, HasSubstr("test.lwo: polygon 1 uses point 4"));
    EXPECT_THAT(read.messages, HasSubstr("polygon 2 uses point 40000, outside the 4 points"));

    // A later PNTS replaces the points: indices are checked against the final array.
    LwoWriter later;
    later.addPoint(0, 0, 0);
    later.addPolygon({0, 1, 2}, 1);
    later.addChunk("PNTS", LwoBytes(36, 0));
    LWObjectFile second;
    read = parseBytes(second, later.bytes());
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(second.pointCount, 3);
    EXPECT_EQ(second.polygonCount, 1);

    // A zero-corner polygon is dropped; a second POLS appends.
    LwoWriter zero;
    zero.addPoint(0, 0, 0);
    zero.addChunk("POLS", {0, 0, 0, 1});
    zero.addChunk("POLS", {0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1});
    LWObjectFile third;
    read = parseBytes(third, zero.bytes());
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(third.polygonCount, 2);
    EXPECT_THAT(read.messages, HasSubstr("polygon 0 has no corners"));
}

TEST(LWObjectFileDamage, SurfaceNumbersAndNamesBeyondTheSlots) {
    LwoWriter w;
    w.addPoint(0, 0, 0);
    w.addPoint(1, 0, 0);
    w.addPoint(0, 1, 0);
    for (int i = 0; i < 120; ++i) {
        std::string name = std::to_string(i + 1);
        name.insert(name.begin(), 'S');
        w.addSurfaceName(name);
    }
    w.addPolygon({0, 1, 2}, 1);
    w.addPolygon({0, 1, 2}, 150);
    w.addPolygon({0, 1, 2}, 0);
    w.addSurface("S99").text("CTEX", "Planar Image Map").vector("TSIZ", 1, 1, 1);
    w.addSurface("S100").flags(4);  // past the 99th name: not listed
    LWObjectFile file;
    Read read = parseBytes(file, w.bytes());
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(file.surfaceCount, 100);
    EXPECT_STREQ(file.surfaceNames[99].get(), "S99");
    EXPECT_NE(file.surfaces[99], nullptr);
    EXPECT_EQ(file.uvTable.size(), 99u * 3u);

    // Without an image-mapped surface no table is kept.
    LwoWriter plain = makeCube("Box", true, 0);
    LWObjectFile cube;
    ASSERT_TRUE(parseBytes(cube, plain.bytes()).ok);
    EXPECT_TRUE(cube.uvTable.empty());
    EXPECT_THAT(read.messages, HasSubstr("more than 99 surface names; 'S100'"));
    EXPECT_THAT(read.messages, HasSubstr("polygon 1 uses surface 150, outside 1..99"));
    EXPECT_THAT(read.messages, HasSubstr("polygon 2 uses surface 0, outside 1..99"));
}

}  // namespace
