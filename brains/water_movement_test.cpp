// Tests of the water flow: the texture coordinates slide at a fixed rate whatever the frame
// rate, positions stay, copies of one geometry share the flow, and odd objects are reported.
#include "brains/water_movement.h"

#include <gtest/gtest.h>

#include <string>

#include "app/clock.h"
#include "brains/brains.h"
#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "scene_lang/parser.h"
#include "textures/texture.h"

namespace {

// A renderer stepped by a fixed clock, with one geometry prototype (a triangle whose
// material uses `surface`) and placed copies of it.
struct Stage {
    explicit Stage(double step, uint16_t textureFlags = kTextureWrap)
        : clock(step), installed(&clock) {
        renderer.frameContext = &context;
        surface = new Texture();
        surface->name = "Ripples";
        surface->flags = textureFlags;
        renderer.textures.insert(surface->name.c_str(), surface);

        prototype = new SceneObject("Pond");
        prototype->vertexCount = 3;
        prototype->vertices = new MeshVertex[3]();
        for (int i = 0; i < 3; ++i) {
            prototype->vertices[i].position = {float(i), 2.0f, -1.0f};
            prototype->vertices[i].u = 10.0f * float(i);
            prototype->vertices[i].v = 255.0f - float(i);
        }
        prototype->materialCount = 1;
        prototype->materials = new Material* [1] { new Material("Water") };
        prototype->materials[0]->texture = surface;
        renderer.geometries.insert("Pond", prototype);
    }
    SceneObject* place() { return renderer.cloneGeometry("Pond"); }
    void add(SceneObject* object) {
        const std::string text = "Brain \"Flow\" { Class \"WaterMovement\" }";
        ParseResult parsed = parseText(text.data(), text.size());
        createBrain(object, &renderer, parsed.tree.get());
    }
    void runFor(double seconds) {
        const int frames = static_cast<int>(seconds / clock.step() + 0.5);
        for (int i = 0; i < frames; ++i) {
            clock.advance();
            renderer.updateFrame();
        }
    }

    SteppedClock clock;
    ScopedClockSource installed;
    FrameContext context;
    Renderer renderer{nullptr};
    Texture* surface = nullptr;
    SceneObject* prototype = nullptr;
};

// Rounding accumulates over hundreds of float additions: a twentieth of a unit is allowed.
TEST(WaterMovement, TenSecondsMoveUBackBy90AndVOnBy360AtAnyFrameRate) {
    const struct {
        double step;
        int brains;  // on copies of the one geometry
    } cases[] = {{1.0 / 60.0, 1}, {1.0 / 24.0, 1}, {0.25, 1}, {1.0 / 60.0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "step " << c.step << ", brains " << c.brains);
        Stage stage(c.step);
        for (int b = 0; b < c.brains; ++b) stage.add(stage.place());
        stage.runFor(10.0);
        const float factor = static_cast<float>(c.brains);
        for (int i = 0; i < 3; ++i) {
            const MeshVertex& v = stage.prototype->vertices[i];
            EXPECT_NEAR(v.u, 10.0f * float(i) - 90.0f * factor, 0.05f);
            EXPECT_NEAR(v.v, 255.0f - float(i) + 360.0f * factor, 0.05f);
            EXPECT_EQ(v.position.x, float(i));
            EXPECT_EQ(v.position.y, 2.0f);
            EXPECT_EQ(v.position.z, -1.0f);
        }
    }
}

TEST(WaterMovement, ReportsAnObjectWithoutMeshOrATextureThatDoesNotRepeat) {
    const struct {
        bool withMesh;
        uint16_t flags;
        const char* message;
    } cases[] = {
        {true, kTextureWrap | kTextureBilinear, ""},
        {true, kTextureBilinear,
         "Brain \"Flow\": texture \"Ripples\" of material \"Water\" has no \"Wrap\"; the flow "
         "drags its edge texels across the surface\n"},
        {false, kTextureWrap, "Brain \"Flow\": its object has no mesh; nothing flows\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Stage stage(1.0 / 60.0, c.flags);
        SceneObject* object = c.withMesh ? stage.place() : stage.renderer.createEmptyObject();
        testing::internal::CaptureStderr();
        stage.add(object);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        stage.runFor(1.0);  // runs either way; an object without mesh stays as it is
        EXPECT_EQ(object->vertices == nullptr, !c.withMesh);
        if (c.withMesh) {
            EXPECT_NEAR(object->vertices[0].u, -9.0f, 1e-4f);
        }
    }
}

}  // namespace
