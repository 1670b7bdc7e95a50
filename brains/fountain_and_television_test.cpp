// Tests of the particle fountain and the live video texture, driven frame by frame with a
// chosen frame delta.
#include "brains/fountain_and_television.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/keyboard.h"
#include "geometry/scene_object.h"
#include "glide/glide.h"
#include "render/renderer.h"
#include "render/view.h"
#include "textures/texture.h"
#include "textures/texture_memory.h"

namespace {

// A renderer with one object (no mesh) and the named textures (16-bit unless `alpha8`).
struct Stage {
    Stage() {
        renderer.frameContext = &context;
        object = renderer.createEmptyObject();
        renderer.rootObject = object;
    }
    Texture* addTexture(const char* name, bool alpha8 = false) {
        auto* texture = new Texture();
        texture->name = name;
        texture->depthMode = alpha8 ? kDepthAlpha8 : kDepthRgb565;
        renderer.textures.insert(texture->name.c_str(), texture);
        return texture;
    }
    template <class F>
    std::string console(F call) {  // what `call` wrote on the console
        testing::internal::CaptureStderr();
        call();
        return testing::internal::GetCapturedStderr();
    }
    void frames(ShadeBobs& bobs, double dt, int count) {
        context.frameDelta = dt;
        for (int i = 0; i < count; ++i) bobs.update();
    }

    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* object = nullptr;
};

// Checked after a second start, which releases what the first built (sanitizer build)
// and starts the balls afresh.
TEST(ShadeBobs, StartBuildsEightGreyMaterialsOfBallSprites) {
    Stage stage;
    Texture* ball = stage.addTexture("WhiteBall64");
    ShadeBobs bobs(stage.object, &stage.renderer, "Fountain");
    EXPECT_TRUE(bobs.load(nullptr));
    bobs.start();
    stage.frames(bobs, 0.1, 20);
    bobs.start();
    ASSERT_TRUE(bobs.active());
    const SceneObject& o = *stage.object;
    ASSERT_EQ(o.vertexCount, 1500);
    ASSERT_EQ(o.materialCount, 8);
    EXPECT_FLOAT_EQ(o.boundingRadius, 4200.0f);
    const float greys[8] = {1.0f, 0.9f, 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f};
    for (int m = 0; m < 8; ++m) {
        const Material& material = *o.materials[m];
        EXPECT_EQ(material.renderFlags, 51);
        EXPECT_EQ(material.texture, ball);
        EXPECT_FLOAT_EQ(material.color[1], greys[m]);
        ASSERT_EQ(material.spriteCount, 187);
        for (int j = 0; j < 187; j += 93) {
            const Sprite& sprite = material.sprites[j];
            EXPECT_FLOAT_EQ(sprite.spriteSize, 50.0f);
            ASSERT_EQ(sprite.vertexIndex, 187 * m + j);
            const MeshVertex& vertex = o.vertices[sprite.vertexIndex];
            EXPECT_EQ(vertex.colorWords[0], 1.0f);
            EXPECT_EQ(vertex.colorWords[3], greys[m]);
            EXPECT_EQ(vertex.position.y, 3000.0f);
            EXPECT_EQ(bobs.velocities[sprite.vertexIndex].y, 3000.0f);
        }
    }
}

// The first frame recycles every ball in the order of the C library's sequence.
TEST(ShadeBobs, FirstFrameRecyclesEveryBallFromTheRandSequence) {
    Stage stage;
    stage.addTexture("WhiteBall64");
    ShadeBobs bobs(stage.object, &stage.renderer, "Fountain");
    bobs.start();
    std::srand(7);
    int k[10];
    for (int& value : k) value = std::rand() & 8191;
    std::srand(7);
    stage.frames(bobs, 1.0 / 60.0, 1);

    const MeshVertex* balls = stage.object->vertices;
    for (int b = 0; b < 2; ++b) {  // the first two balls take draws 0..4 and 5..9
        const int* d = k + 5 * b;
        const float a1 = float(4096 - d[0]) * 0.0015339808f, r1 = float(4096 - d[1]) * 0.08f;
        const float s = 0.1f + float(d[4]) * 0.00002f;
        EXPECT_NEAR(balls[b].position.x, std::cos(a1) * r1, 1e-3f) << b;
        EXPECT_NEAR(balls[b].position.z, std::sin(a1) * r1, 1e-3f) << b;
        EXPECT_NEAR(bobs.velocities[b].y, s * 6000.0f, 1e-2f) << b;
    }
    for (int i = 0; i < 1500; ++i) {
        const Vector3& p = balls[i].position;
        ASSERT_EQ(p.y, -3000.0f) << i;
        ASSERT_LE(std::hypot(p.x, p.z), 327.69f) << i;
        // The target on the top disc, reached after 1 / s seconds.
        const float s = bobs.velocities[i].y / 6000.0f;
        ASSERT_TRUE(s >= 0.0999f && s <= 0.2639f) << i;
        const Vector3 target{p.x + bobs.velocities[i].x / s, 0.0f, p.z + bobs.velocities[i].z / s};
        ASSERT_LE(std::hypot(target.x, target.z), 2253.0f) << i;
        // Kept for the recycling frame (the last four balls belong to no material).
        if (i < 8 * 187) {
            ASSERT_EQ(balls[i].colorWords[0], 1.0f) << i;
        }
    }
}

// Over a long run at 60 and at 0.5 frames per second: no ball is ever above the top, the
// opacity follows the height, each ball takes 1 / s seconds to rise, and the fountain
// turns at 0.7 radians per second.
TEST(ShadeBobs, BallsRiseFadeAndRecycleAtAnyFrameRate) {
    for (const double dt : {1.0 / 60.0, 2.0}) {
        Stage stage;
        stage.addTexture("WhiteBall64");
        ShadeBobs bobs(stage.object, &stage.renderer, "Fountain");
        bobs.start();
        std::srand(1);
        stage.frames(bobs, dt, 1);
        const float firstSpeed = bobs.velocities[0].y;
        int framesToRecycle = 0;
        for (int frame = 1; frame < int(12.0 / dt); ++frame) {
            stage.frames(bobs, dt, 1);
            const MeshVertex* balls = stage.object->vertices;
            if (framesToRecycle == 0 && balls[0].position.y == -3000.0f) framesToRecycle = frame;
            for (int i = 0; i < 1500; ++i) {
                const float y = balls[i].position.y;
                ASSERT_LE(y, 3000.0f) << dt << " " << i;
                if (y != -3000.0f) {
                    ASSERT_FLOAT_EQ(balls[i].colorWords[0], (3000.0f - y) / 6000.0f);
                }
            }
        }
        // The first frame with y > top: n * dt * speed > 6000.
        const int expected = int(std::floor(6000.0 / (dt * firstSpeed))) + 1;
        EXPECT_NEAR(framesToRecycle, expected, 1) << dt;
        if (dt < 1.0) {
            const float angle = 2.0f * std::acos(std::fabs(stage.object->rotation.w));
            const float turned = std::fmod(0.7f * float(int(12.0 / dt) * dt), 6.2831853f);
            EXPECT_NEAR(angle, std::min(turned, 6.2831853f - turned), 1e-3f);
        }
    }
}

TEST(ShadeBobs, RefusesAGeometryAndAMissingTexture) {
    Stage stage;
    // An object with a geometry shares its prototype's mesh: it is left alone.
    SceneObject prototype("Ball");
    prototype.vertices = new MeshVertex[3];
    prototype.vertexCount = 3;
    SceneObject* copy = prototype.makeCopy();
    stage.renderer.objects.insert(nullptr, copy);
    stage.addTexture("WhiteBall64");
    ShadeBobs shared(copy, &stage.renderer, "Shared");
    EXPECT_EQ(stage.console([&] { EXPECT_FALSE(shared.load(nullptr)); }),
              "Brain \"Shared\": its object has a \"Geometry\"; no fountain is built\n");
    shared.start();
    EXPECT_EQ(copy->vertices, prototype.vertices);
    EXPECT_EQ(copy->vertexCount, 3);

    Stage bare;
    ShadeBobs lonely(bare.object, &bare.renderer, "Lonely");
    EXPECT_EQ(bare.console([&] { lonely.start(); }),
              "Brain \"Lonely\": no texture \"WhiteBall64\"; no fountain is built\n");
    EXPECT_FALSE(lonely.active());
    EXPECT_EQ(bare.object->vertexCount, 0);
    EXPECT_EQ(bare.object->materialCount, 0);
}

// The texture goes to the first view of each scene; every way it cannot is reported.
TEST(Television, HandsItsTextureToTheFirstViewOfEachScene) {
    Stage stage;
    ViewSettings settings;
    View first(settings), second(settings), later(settings);
    View* views[2] = {&first, &second};
    Television tv(stage.object, &stage.renderer, "TV");
    EXPECT_TRUE(tv.load(nullptr));

    EXPECT_EQ(stage.console([&] { tv.start(); }),
              "Brain \"TV\": no texture \"Images/T4000.pic\"; nothing is captured\n");
    Texture* screen = stage.addTexture("Images/T4000.pic");
    EXPECT_EQ(stage.console([&] { tv.start(); }),
              "Brain \"TV\": the scene has no view; nothing is captured\n");

    stage.renderer.sceneViews = views;
    stage.renderer.sceneViewCount = 2;
    EXPECT_EQ(stage.console([&] { tv.start(); }), "");
    EXPECT_EQ(first.captureTexture, screen);
    EXPECT_EQ(second.captureTexture, nullptr);
    View* nextScene[1] = {&later};
    stage.renderer.sceneViews = nextScene;
    stage.renderer.sceneViewCount = 1;
    tv.start();
    EXPECT_EQ(later.captureTexture, screen);

    // An 8-bit texture of the same name (the newest wins) cannot hold the picture.
    stage.addTexture("Images/T4000.pic", /*alpha8=*/true);
    later.captureTexture = nullptr;
    EXPECT_EQ(stage.console([&] { tv.start(); }),
              "Brain \"TV\": texture \"Images/T4000.pic\" has 8-bit texels (\"AlphaMap\"); "
              "nothing is captured\n");
    EXPECT_EQ(later.captureTexture, nullptr);
}

// The view's capture after a frame cleared to pure green (5-6-5 0x07E0): 16-bit texels
// get the picture in their own format, an 8-bit texture gets nothing, and a chain shorter
// than its rows is written only as far as it reaches.
TEST(Television, CaptureKeepsToTheTexelFormatAndTheChain) {
    grGlideInit();
    FrameContext context;
    KeyboardSnapshot keyboard;
    int screenWidth = 0, screenHeight = 0;
    openDisplay(context, keyboard, screenWidth, screenHeight);
    {
        Renderer renderer(nullptr);
        renderer.frameContext = &context;
        TextureMemory memory(12, 3);
        ViewSettings settings;
        settings.clearGreen = 1.0f;
        SceneObject eye("Eye");
        renderer.rootObject = &eye;
        View view(settings);
        view.camera = &eye;
        view.prepare(&renderer, &memory);

        const struct {
            uint16_t depthMode;
            int size;
            uint32_t chainBytes;
            uint16_t texel;  // expected where written
            int rows;        // rows written
        } cases[] = {
            {kDepthRgb565, 64, 64 * 64 * 2, 0x07E0, 64},
            {kDepthArgb1555, 64, 64 * 64 * 2, 0x83E0, 64},
            {kDepthAlpha8, 64, 64 * 64, 0, 0},
            {kDepthRgb565, 256, 256 * 2 * 10, 0x07E0, 10},  // a damaged chain: 10 rows
        };
        for (const auto& c : cases) {
            constexpr uint8_t kUntouched = 0xAB;
            Texture texture;
            texture.width = texture.height = c.size;
            texture.depthMode = c.depthMode;
            texture.memorySize = c.chainBytes;
            const size_t allocated = c.chainBytes + 64;  // the bytes past the chain are watched
            texture.pixels.reset(new uint8_t[allocated]);
            std::memset(texture.pixels.get(), kUntouched, allocated);
            texture.dirty = 0;
            view.captureTexture = &texture;
            renderer.updateFrame();
            view.renderView();
            view.captureTexture = nullptr;

            const uint8_t* bytes = texture.pixels.get();
            const size_t written = size_t(c.rows) * size_t(c.size) * 2;
            for (size_t i = 0; i < written; i += 2) {
                ASSERT_EQ(bytes[i] | bytes[i + 1] << 8, c.texel) << c.depthMode << " at " << i;
            }
            for (size_t i = written; i < allocated; ++i) {
                ASSERT_EQ(bytes[i], kUntouched) << c.depthMode << " at " << i;
            }
            EXPECT_EQ(texture.dirty, c.rows > 0 ? 1 : 0) << c.depthMode;
        }
    }
    closeDisplay(context);
}

}  // namespace
