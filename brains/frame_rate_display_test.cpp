// Tests of the frame-rate display: the text mesh, the shared statistics and their 31-frame
// refresh, the glyph cells, and what a missing font or a second start does.
#include "brains/frame_rate_display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/clock.h"
#include "brains/brains.h"
#include "geometry/scene_object.h"
#include "glide/glide.h"
#include "glide/present.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"
#include "textures/texture.h"

namespace {

// A renderer with one empty object, the font texture (unless told otherwise) and a clock
// that moves by a fixed step per frame.
struct Stage {
    explicit Stage(bool withFont = true) : clock(1.0 / 60.0), installed(&clock) {
        DisplayInfo::resetStatistics();
        renderer.frameContext = &context;
        object = renderer.createEmptyObject();
        renderer.rootObject = object;
        if (withFont) {
            font = new Texture();
            font->name = "Topaz.font";
            renderer.textures.insert(font->name.c_str(), font);
        }
    }
    DisplayInfo* add(const char* label) {
        const std::string text = std::string("Brain \"") + label + "\" { Class \"DisplayInfo\" }";
        ParseResult parsed = parseText(text.data(), text.size());
        createBrain(object, &renderer, parsed.tree.get());
        return dynamic_cast<DisplayInfo*>(renderer.brains.head->value);
    }
    void startBrains() {
        for (auto* entry = renderer.brains.head; entry != nullptr; entry = entry->next) {
            entry->value->start();
        }
    }
    void frames(int count) {
        for (int i = 0; i < count; ++i) {
            clock.advance();
            renderer.updateFrame();
        }
    }

    SteppedClock clock;
    ScopedClockSource installed;
    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
    Texture* font = nullptr;
};

// The glyph cell a quad shows, read back from its four texture coordinates, which must
// span exactly one cell (bottom edge on the cell's bottom).
struct Cell {
    int column;
    int row;
};
Cell cellOf(const SceneObject& object, int quad) {
    const MeshVertex* v = object.vertices + 4 * quad;
    EXPECT_EQ(v[0].u, v[3].u);
    EXPECT_EQ(v[1].u, v[2].u);
    EXPECT_EQ(v[1].u - v[0].u, 16.0f);
    EXPECT_EQ(v[0].v, v[1].v);
    EXPECT_EQ(v[2].v, v[3].v);
    EXPECT_EQ(v[0].v - v[3].v, 18.0f);
    return {static_cast<int>(v[0].u) / 16, static_cast<int>(v[3].v + 1.0f) / 18};
}

// A presenter that never completes: every swap stays pending.
void holdFrames(void*, const uint16_t*, int, int, int) {}

TEST(DisplayInfo, BuildsOneQuadPerCharacterCentredOnTheObject) {
    Stage stage;
    DisplayInfo* info = stage.add("Info");
    stage.startBrains();
    const SceneObject& o = *stage.object;

    ASSERT_EQ(o.materialCount, 1);
    ASSERT_EQ(o.vertexCount, 88);
    const Material& m = *o.materials[0];
    EXPECT_STREQ(m.name.get(), "DisplayInfoFont");
    EXPECT_EQ(m.texture, stage.font);
    EXPECT_EQ(info->fontTexture, stage.font);
    EXPECT_EQ(m.renderFlags, 9);
    ASSERT_EQ(m.polygonCount, 22);
    // Quad i spans x from 8i - 88 to 8i - 80, y from -4.5 to 4.5; loop 4i, 4i+3, 4i+2, 4i+1.
    for (int i : {0, 1, 21}) {
        SCOPED_TRACE(i);
        const float x0 = 8.0f * static_cast<float>(i) - 88.0f;
        const float expected[4][2] = {{x0, -4.5f}, {x0 + 8, -4.5f}, {x0 + 8, 4.5f}, {x0, 4.5f}};
        for (int c = 0; c < 4; ++c) {
            const MeshVertex& v = o.vertices[4 * i + c];
            EXPECT_EQ(v.position.x, expected[c][0]);
            EXPECT_EQ(v.position.y, expected[c][1]);
            EXPECT_EQ(v.position.z, 0.0f);
            EXPECT_EQ(v.normal.z, 1.0f);
            EXPECT_EQ(v.u, 0.0f);
            EXPECT_EQ(v.v, 0.0f);
        }
        const Polygon& p = *m.polygons[i];
        ASSERT_EQ(p.count, 4);
        EXPECT_EQ(std::vector<int>(p.indices.get(), p.indices.get() + 5),
                  (std::vector<int>{4 * i, 4 * i + 3, 4 * i + 2, 4 * i + 1, 4 * i}));
        // The plane holds the quad: every corner lies on it.
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(p.plane.distance(o.vertices[4 * i + c].position), 0.0f, 1e-5f);
        }
    }
    EXPECT_GE(o.boundingRadius, 88.0f);  // the whole line counts for culling
}

TEST(DisplayInfo, RefreshesEvery31FramesWithTheAveragesOverThem) {
    // 60 frames per second, 2 swaps pending, 1500 triangles drawn per frame.
    Stage stage;
    DisplayInfo* info = stage.add("Info");
    grGlideInit();
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_UPPER_LEFT, 2, 1));
    glideSetPresenter(&holdFrames, nullptr);
    grBufferSwap(1);
    grBufferSwap(1);
    ASSERT_EQ(grBufferNumPending(), 2);
    stage.startBrains();  // resets the triangle counter

    GrVertex tri[3] = {};
    tri[1].x = 1.0f;
    tri[2].y = 1.0f;
    for (auto& v : tri) v.oow = 1.0f;
    auto drawnFrames = [&](int count) {
        for (int f = 0; f < count; ++f) {
            for (int t = 0; t < 1500; ++t) grDrawPolygonVertexList(3, tri);
            stage.frames(1);
        }
    };

    drawnFrames(30);
    EXPECT_EQ(DisplayInfo::frameCount, 30);
    EXPECT_STREQ(info->line, "");
    EXPECT_EQ(stage.object->vertices[0].u, 0.0f);  // no refresh yet: every quad shows (0, 0)

    drawnFrames(1);
    EXPECT_STREQ(info->line, "60.0 Fps (2.0) [1500]        ");
    EXPECT_EQ(DisplayInfo::frameCount, 0);
    EXPECT_EQ(DisplayInfo::timeSum, 0.0);
    EXPECT_EQ(DisplayInfo::pendingSum, 0);
    FxU32 processed = 0, drawn = 0;
    grTriStats(&processed, &drawn);
    EXPECT_EQ(drawn, 0u);  // reset at the refresh

    // "60.0 Fps ..." : '6' is cell 22 (column 6, row 1), '.' cell 14, 'F' cell 38, ' ' cell 0.
    const struct {
        int quad;
        Cell cell;
    } shown[] = {{0, {6, 1}}, {2, {14, 0}}, {5, {6, 2}}, {4, {0, 0}}, {21, {0, 0}}};
    for (const auto& s : shown) {
        SCOPED_TRACE(s.quad);
        const Cell c = cellOf(*stage.object, s.quad);
        EXPECT_EQ(c.column, s.cell.column);
        EXPECT_EQ(c.row, s.cell.row);
    }

    // Halving the frame time shows twice the rate at the next refresh, 31 frames later.
    stage.clock = SteppedClock(1.0 / 120.0, stage.clock.now());
    drawnFrames(30);
    EXPECT_STREQ(info->line, "60.0 Fps (2.0) [1500]        ");
    drawnFrames(1);
    EXPECT_STREQ(info->line, "120.0 Fps (2.0) [1500]        ");

    glideSetPresenter(nullptr, nullptr);
    glidePresentComplete();
    glidePresentComplete();
    grGlideShutdown();
}

TEST(DisplayInfo, GlyphCellsFollowTheCharacterCodes) {
    const struct {
        const char* format;
        int quad;
        Cell cell;
    } cases[] = {
        {"!", 0, {1, 0}},                            // code 33: cell 1
        {"0", 0, {0, 1}},                            // code 48: cell 16
        {" ", 0, {0, 0}},                            // the space is cell 0
        {"\x1f", 0, {0, 0}},                         // codes below 32 show the space
        {"~", 0, {14, 5}},                           // code 126: cell 94
        {"\xff", 0, {15, 13}},                       // code 255: cell 223
        {"AB", 5, {0, 0}},                           // past the end of a short line: spaces
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 21, {6, 3}},  // cut after 22: quad 21 shows 'V'
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        Stage stage;
        DisplayInfo* info = stage.add("Info");
        info->lineFormat = c.format;
        stage.startBrains();
        stage.frames(31);
        ASSERT_STREQ(info->line, c.format);
        const Cell cell = cellOf(*stage.object, c.quad);
        EXPECT_EQ(cell.column, c.cell.column);
        EXPECT_EQ(cell.row, c.cell.row);
    }
}

TEST(DisplayInfo, TwoDisplaysShareTheCountAndRefreshInTurn) {
    Stage stage;
    DisplayInfo* older = stage.add("A");
    DisplayInfo* newer = stage.add("B");  // updated first
    stage.startBrains();
    stage.frames(15);
    EXPECT_EQ(DisplayInfo::frameCount, 30);
    stage.frames(1);  // the newer brain makes count 31
    EXPECT_STRNE(newer->line, "");
    EXPECT_STREQ(older->line, "");
    stage.frames(15);  // the older brain makes the next 31
    EXPECT_STRNE(older->line, "");
    EXPECT_EQ(DisplayInfo::frameCount, 0);
    // Only the display started last shows its text on the shared object; when both are
    // gone the object has no mesh again.
    ASSERT_EQ(stage.object->vertexCount, 88);
    EXPECT_EQ(stage.object->vertices[0].u, 96.0f);   // the older's "60.0 ...": '6'
    delete stage.renderer.brains.head->next->value;  // the older first, then the newer
    stage.renderer.brains.remove(stage.renderer.brains.head->next);
    EXPECT_EQ(stage.object->vertices, nullptr);
    EXPECT_EQ(stage.object->materialCount, 0);
}

TEST(DisplayInfo, WithoutTheFontTheObjectKeepsNoMeshAndTheCountGoesOn) {
    Stage stage(/*withFont=*/false);
    DisplayInfo* info = stage.add("Info");
    testing::internal::CaptureStderr();
    stage.startBrains();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Brain \"Info\": no texture \"Topaz.font\"; no text is shown\n");
    EXPECT_EQ(info->fontTexture, nullptr);
    EXPECT_EQ(stage.object->vertexCount, 0);
    EXPECT_EQ(stage.object->materials, nullptr);
    stage.frames(31);
    EXPECT_STREQ(info->line, "60.0 Fps (0.0) [0]        ");
}

TEST(DisplayInfo, StartingAgainReplacesTheMeshAndTheObjectGetsItsOwnBack) {
    // A placed copy of a geometry: its shared mesh must come back untouched.
    Stage stage;
    SceneObject prototype("Box");
    prototype.vertexCount = 3;
    prototype.vertices = new MeshVertex[3]();
    prototype.boundingRadius = 2.0f;
    SceneObject* copy = prototype.makeCopy();
    stage.object->firstChild = copy;
    copy->parent = stage.object;

    const std::string text = "Brain \"Info\" { Class \"DisplayInfo\" }";
    ParseResult parsed = parseText(text.data(), text.size());
    createBrain(copy, &stage.renderer, parsed.tree.get());
    Brain* brain = stage.renderer.brains.head->value;

    brain->start();
    stage.frames(31);
    EXPECT_NE(copy->vertices[0].u, 0.0f);
    brain->start();  // a later scene: a fresh mesh, glyphs back at (0, 0)
    ASSERT_EQ(copy->vertexCount, 88);
    EXPECT_EQ(copy->vertices[0].u, 0.0f);

    stage.renderer.brains.remove(stage.renderer.brains.head);
    delete brain;
    EXPECT_EQ(copy->vertices, prototype.vertices);
    EXPECT_EQ(copy->vertexCount, 3);
    EXPECT_EQ(copy->materials, nullptr);
    EXPECT_EQ(copy->boundingRadius, 2.0f);
    stage.object->firstChild = nullptr;
    delete copy;
}

}  // namespace
