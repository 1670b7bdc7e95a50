// Tests of the renderer's frame update, the view's constants and tables, and the polygon
// pipeline's decisions (back faces, near and window clipping, the far plane, the deferred
// far-to-near pass), observed through the board's counters and pixels.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <vector>

#include "app/app.h"
#include "app/keyboard.h"
#include "geometry/scene_object.h"
#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "glide/glide.h"
#include "render/pipeline.h"
#include "render/renderer.h"
#include "render/view.h"
#include "scene_lang/parser.h"
#include "textures/texture.h"
#include "textures/texture_memory.h"

namespace {

// A board, a renderer and one full-screen view whose camera sits at the origin looking
// along +z, with one object whose mesh each test builds in camera space.
class Stage : public ::testing::Test {
  protected:
    void SetUp() override {
        grGlideInit();
        openDisplay(context_, keyboard_, width_, height_);
        renderer_.frameContext = &context_;
        memory_ = std::make_unique<TextureMemory>(12, 3);
        settings_.zNear = 1.0f;
        settings_.zFar = 1000.0f;
        view_ = std::make_unique<View>(settings_);
        view_->camera = &eye_;
        view_->prepare(&renderer_, memory_.get());
        object_.boundingRadius = 1e6f;
        eye_.nextSibling = &object_;
        renderer_.rootObject = &eye_;
    }
    void TearDown() override {
        renderer_.rootObject = nullptr;
        closeDisplay(context_);
    }

    // Gives the object one material of `flags` with one polygon per corner list.
    void mesh(std::vector<Vector3> positions, std::initializer_list<std::vector<int>> polygons,
              uint16_t flags, const float rgb[3] = nullptr) {
        vertices_.assign(positions.size(), MeshVertex{});
        for (size_t i = 0; i < positions.size(); ++i) {
            vertices_[i].position = positions[i];
            vertices_[i].normal = {0.0f, 0.0f, -1.0f};
        }
        materials_.push_back(std::make_unique<Material>("M"));
        Material& m = *materials_.back();
        m.renderFlags = flags;
        m.opacity = 0.98f;
        if (rgb != nullptr) {
            for (int c = 0; c < 3; ++c) m.color[c] = rgb[c];
        }
        m.polygonCount = static_cast<int>(polygons.size());
        m.polygons = new Polygon*[polygons.size()];
        int p = 0;
        for (const std::vector<int>& corners : polygons) {
            auto* polygon = new Polygon(static_cast<int>(corners.size()));
            for (size_t k = 0; k < corners.size(); ++k) polygon->indices[k] = corners[k];
            polygon->indices[corners.size()] = corners[0];
            polygon->computePlane(vertices_.data());
            m.polygons[p++] = polygon;
        }
        materialList_.push_back(&m);
        object_.vertices = vertices_.data();
        object_.vertexCount = static_cast<int>(vertices_.size());
        object_.materials = materialList_.data();
        object_.materialCount = static_cast<int>(materialList_.size());
        object_.master = &eye_;  // the test owns the mesh
    }

    // Board triangles drawn by one frame.
    uint64_t drawFrame() {
        renderer_.updateFrame();
        const uint64_t before = boardStats().triangles;
        view_->renderView();
        return boardStats().triangles - before;
    }

    uint16_t pixel(int x, int y) const {
        return boardBuffer(GR_BUFFER_BACKBUFFER)[y * boardStride() + x];
    }

    FrameContext context_;
    KeyboardSnapshot keyboard_;
    int width_ = 0, height_ = 0;
    Renderer renderer_{nullptr};
    std::unique_ptr<TextureMemory> memory_;
    ViewSettings settings_;
    std::unique_ptr<View> view_;
    SceneObject eye_{"Eye"};
    SceneObject object_{"Object"};
    std::vector<MeshVertex> vertices_;
    std::vector<std::unique_ptr<Material>> materials_;
    std::vector<Material*> materialList_;
};

TEST_F(Stage, ViewConstantsAndLightingTables) {
    EXPECT_NEAR(view_->fx, 320.0f, 0.01f);
    EXPECT_EQ(view_->centreX, 320.0f);
    EXPECT_EQ(view_->centreY, 240.0f);
    const LightingTables& t = lightingTables();
    EXPECT_EQ(t.environment[0], 128.0f);
    EXPECT_NEAR(t.environment[2047], 256.0f, 2.0f);
    EXPECT_NEAR(t.environment[-2047], 0.0f, 2.0f);
    EXPECT_NEAR(t.cosine[1024], std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(t.cosine[-1024], -t.cosine[1024]);
    EXPECT_NEAR(t.power[4][1024], 0.25f, 1e-6f);
    EXPECT_EQ(t.power[0][0], 1.0f);
}

TEST_F(Stage, TransformWalkAppliesPivotScaleAndParents) {
    object_.pivot = {1.0f, 0.0f, 0.0f};
    object_.scale = 2.0f;
    SceneObject child("Child");
    child.position = {0.0f, 3.0f, 0.0f};
    object_.firstChild = &child;
    renderer_.updateFrame();
    ASSERT_EQ(renderer_.drawCount, 3);
    EXPECT_EQ(renderer_.drawList[2], &child);
    const Vector3 origin = apply(object_.worldTransform, {1.0f, 0.0f, 0.0f});
    EXPECT_FLOAT_EQ(origin.x, 0.0f);
    EXPECT_FLOAT_EQ(apply(object_.worldTransform, {0.0f, 0.0f, 0.0f}).x, -2.0f);
    // The child's position is scaled and moved by its parent.
    EXPECT_FLOAT_EQ(child.worldTransform.translation.y, 6.0f);
    EXPECT_FLOAT_EQ(child.worldTransform.translation.x, -2.0f);
    object_.firstChild = nullptr;
}

TEST_F(Stage, PolygonsAreCulledClippedOrDrawn) {
    struct Case {
        const char* what;
        std::vector<Vector3> corners;
        uint16_t flags;
        uint64_t triangles;
    };
    const Case cases[] = {
        {"facing the camera", {{-1, -1, 10}, {0, 1, 10}, {1, -1, 10}}, kVariantLit, 1},
        {"facing away", {{-1, -1, 10}, {1, -1, 10}, {0, 1, 10}}, kVariantLit, 0},
        {"one corner behind the near plane: a quad",
         {{-1, -1, 10}, {0, 1, -5}, {1, -1, 10}},
         kVariantLit,
         2},
        {"all behind", {{-1, -1, -10}, {0, 1, -10}, {1, -1, -10}}, kVariantLit, 0},
        {"left of the window", {{-90, -1, 10}, {-89, 1, 10}, {-88, -1, 10}}, kVariantLit, 0},
        {"across the left edge", {{-12, -1, 10}, {-11, 1, 10}, {-8, -1, 10}}, kVariantLit, 1},
        {"beyond the far plane", {{-1, -1, 2000}, {0, 1, 2000}, {1, -1, 2000}}, kVariantLit, 0},
        {"across the far plane: whole",
         {{-1, -1, 500}, {0, 1, 2000}, {1, -1, 500}},
         kVariantLit,
         1},
        {"texture and reflection map: no variant", {{-1, -1, 10}, {0, 1, 10}, {1, -1, 10}}, 77, 0},
    };
    for (const Case& c : cases) {
        materials_.clear();
        materialList_.clear();
        mesh(c.corners, {{0, 1, 2}}, c.flags);
        EXPECT_EQ(drawFrame(), c.triangles) << c.what;
    }
}

TEST_F(Stage, TranslucentPolygonsAreDrawnFarToNear) {
    // A red square far away and a green one nearer, each covering the centre, each in its
    // own translucent material: the nearer one is blended last, so green dominates.
    const float red[3] = {1.0f, 0.0f, 0.0f};
    mesh({{-50, -50, 100},
          {-50, 50, 100},
          {50, 50, 100},
          {50, -50, 100},
          {-20, -20, 50},
          {-20, 20, 50},
          {20, 20, 50},
          {20, -20, 50}},
         {{0, 1, 2, 3}}, kVariantTranslucent, red);
    // The second material reuses the vertices: its square is the near one.
    materials_.push_back(std::make_unique<Material>("Near"));
    Material& near = *materials_.back();
    near.renderFlags = kVariantTranslucent;
    near.opacity = 0.98f;
    near.color[0] = 0.0f;
    near.color[1] = 1.0f;
    near.color[2] = 0.0f;
    near.polygonCount = 1;
    near.polygons = new Polygon*[1];
    near.polygons[0] = new Polygon(4);
    const int loop[] = {4, 5, 6, 7, 4};
    for (int k = 0; k < 5; ++k) near.polygons[0]->indices[k] = loop[k];
    near.polygons[0]->computePlane(vertices_.data());
    // Listed first, so only the sort can put it last.
    materialList_.insert(materialList_.begin(), &near);
    object_.materials = materialList_.data();
    object_.materialCount = 2;
    EXPECT_EQ(drawFrame(), 4u);
    EXPECT_EQ(view_->stats.deferred, 2);
    const uint16_t centre = pixel(320, 240);
    EXPECT_GT((centre >> 5) & 63, 2 * ((centre >> 11) & 31)) << std::hex << centre;
    const uint16_t rim = pixel(170, 240);  // only the far square
    EXPECT_GT((rim >> 11) & 31, (rim >> 5) & 63) << std::hex << rim;
}

TEST_F(Stage, SpriteCutAtTheWindowEdgeStartsItsTextureThere) {
    // A 64-texel ramp whose red grows with s, and one sprite centred on the left edge of the
    // window: the visible half must show the ramp's right half.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("halcyon_ramp_" + std::to_string(getpid()) + ".raw"))
                                 .string();
    {
        std::ofstream ramp(path, std::ios::binary);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) ramp.put(static_cast<char>(x * 4)).put(0).put(0);
        }
    }
    const std::string text = "Texture \"Ramp\" { FileName \"" + path + "\" Width 64 Height 64 }";
    ParseResult parsed = parseText(text.c_str(), text.size());
    Texture ramp;
    ASSERT_TRUE(ramp.loadTexture(findFrom(parsed.tree.get(), "Texture")));
    std::filesystem::remove(path);

    mesh({{-10.0f, 0.0f, 10.0f}}, {}, kVariantSprite);
    Material& balls = *materials_.back();
    balls.texture = &ramp;
    balls.ambient = 255.0f;
    Sprite sprite{1.0f, 0};
    balls.sprites = new Sprite[1]{sprite};
    balls.spriteCount = 1;
    for (float& word : vertices_[0].colorWords) word = 1.0f;

    EXPECT_EQ(drawFrame(), 2u);                 // one quad
    const int edgeRed = pixel(0, 240) >> 11;    // s just past 127.5: texel 32, red 128
    const int innerRed = pixel(30, 240) >> 11;  // near s = 255: red about 248
    const int outside = pixel(40, 240);         // past the sprite: the clear colour
    EXPECT_NEAR(edgeRed, 128 >> 3, 1);
    EXPECT_NEAR(innerRed, 248 >> 3, 1);
    EXPECT_EQ(outside, 0);
    balls.texture = nullptr;
}

TEST_F(Stage, SpriteSizeIsInObjectUnits) {
    // A white sprite of half size 2 on an object scaled by 0.5, its centre 10 units ahead:
    // the quad reaches 1 world unit to each side of its centre.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("halcyon_white_" + std::to_string(getpid()) + ".raw"))
                                 .string();
    std::ofstream(path, std::ios::binary) << std::string(64 * 64 * 3, '\xFF');
    const std::string text = "Texture \"White\" { FileName \"" + path + "\" Width 64 Height 64 }";
    ParseResult parsed = parseText(text.c_str(), text.size());
    Texture white;
    ASSERT_TRUE(white.loadTexture(findFrom(parsed.tree.get(), "Texture")));
    std::filesystem::remove(path);

    mesh({{0.0f, 0.0f, 20.0f}}, {}, kVariantSprite);
    object_.scale = 0.5f;
    Material& balls = *materials_.back();
    balls.texture = &white;
    balls.ambient = 255.0f;
    balls.sprites = new Sprite[1]{Sprite{2.0f, 0}};
    balls.spriteCount = 1;
    for (float& word : vertices_[0].colorWords) word = 1.0f;
    EXPECT_EQ(drawFrame(), 2u);
    const float half = view_->fx / 10.0f;  // pixels
    const int inside = static_cast<int>(320.0f + 0.8f * half);
    const int outside = static_cast<int>(320.0f + 1.2f * half);
    EXPECT_NE(pixel(inside, 240), 0) << "half width " << half;
    EXPECT_EQ(pixel(outside, 240), 0) << "half width " << half;
    balls.texture = nullptr;
}

}  // namespace
