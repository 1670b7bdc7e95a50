// Tests of the fractal terrain: the hash, the generated field, the lent mesh and the window
// that follows the camera.
#include "brains/terrain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "geometry/scene_object.h"
#include "render/renderer.h"
#include "textures/texture.h"

namespace {

constexpr float kK = 0.244140625f;

// A renderer whose scene is the terrain object followed by a camera object.
struct TerrainStage {
    explicit TerrainStage(bool withCamera = true, bool withTexture = true) {
        renderer.frameContext = &context;
        land = renderer.createEmptyObject();
        renderer.rootObject = land;
        if (withCamera) {
            camera = new SceneObject("Camera");
            renderer.objects.insert(camera->name.get(), camera);
            land->nextSibling = camera;
            camera->prevSibling = land;
        }
        if (withTexture) {
            texture = new Texture();
            texture->name = "MountainTexture";
            renderer.textures.insert(texture->name.c_str(), texture);
        }
    }

    FrameContext context;
    Renderer renderer{nullptr};
    SceneObject* land = nullptr;
    SceneObject* camera = nullptr;
    Texture* texture = nullptr;
};

// The field is the same for every brain; generate it once for the read-only tests.
const Mountain& sharedField() {
    static Mountain* field = new Mountain(nullptr, nullptr, "Field");
    return *field;
}

TEST(Mountain, HashMatchesHandComputedValues) {
    const struct {
        int x, z, expected;
    } cases[] = {
        {0, 0, 30289},  // the seed's low 16 bits
        {1, 0, -16784},     {0, 1, -18900},
        {8, 0, -26367},     {512, 5, -7188},  // one past the map: not wrapped
        {511, 511, -29959}, {-3, 7, 27669},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Mountain::hash(c.x, c.z), c.expected) << c.x << ", " << c.z;
    }
    EXPECT_EQ(kK * float(Mountain::hash(0, 0)), 7394.775390625f);
}

// Sample (0, 0) after the four halvings of its block, worked out by hand: the top-left
// corner is kept at every level and the other three come from the level above.
TEST(Mountain, FirstSampleIsTheMeanOfItsSquaresCorners) {
    const auto H = [](int x, int z) { return float(Mountain::hash(x, z)); };
    const float tl = kK * H(0, 0);
    float amp = kK * 0.4f;
    const float top8 = (tl + kK * H(8, 0)) * 0.5f + amp * H(4, 0);
    const float left8 = (tl + kK * H(0, 8)) * 0.5f + amp * H(0, 4);
    const float centre8 = (tl + kK * H(8, 0) + kK * H(8, 8) + kK * H(0, 8)) * 0.25f;
    amp *= 0.4f;
    const float top4 = (tl + top8) * 0.5f + amp * H(2, 0);
    const float left4 = (tl + left8) * 0.5f + amp * H(0, 2);
    const float centre4 = (tl + top8 + centre8 + left8) * 0.25f;
    amp *= 0.4f;
    const float top2 = (tl + top4) * 0.5f + amp * H(1, 0);
    const float left2 = (tl + left4) * 0.5f + amp * H(0, 1);
    const float centre2 = (tl + top4 + centre4 + left4) * 0.25f;
    const float expected = (tl + top2 + centre2 + left2) * 0.25f;
    EXPECT_NEAR(sharedField().cellAt(0, 0).height, expected, 1e-2f);
    EXPECT_NE(sharedField().cellAt(0, 0).height, tl);  // the corner value is not the sample's
}

// Every square's planes pass through their corners (the seam squares included, whose far
// corners stand one spacing on), have unit normals facing up, and the sample normals face
// up too.
TEST(Mountain, PlanesHoldTheirTrianglesAndFaceUp) {
    const Mountain& m = sharedField();
    const float half = 512 * 2000.0f * 0.5f;
    const auto point = [&](int j, int i) {
        return Vector3{float(j) * 2000.0f - half, m.cellAt(j, i).height, float(i) * 2000.0f - half};
    };
    const int samples[][2] = {{0, 0}, {5, 9}, {255, 300}, {511, 17}, {40, 511}, {511, 511}};
    for (const auto& s : samples) {
        const int j = s[0], i = s[1];
        const TerrainCell& cell = m.cellAt(j, i);
        for (const Plane* plane : {&cell.plane1, &cell.plane2}) {
            EXPECT_NEAR(plane->a * plane->a + plane->b * plane->b + plane->c * plane->c, 1.0f,
                        1e-5f);
            EXPECT_GT(plane->b, 0.0f) << j << ", " << i;
        }
        for (const Vector3& p : {point(j, i), point(j, i + 1), point(j + 1, i + 1)}) {
            EXPECT_NEAR(cell.plane1.distance(p), 0.0f, 2.0f) << j << ", " << i;
        }
        for (const Vector3& p : {point(j, i), point(j + 1, i + 1), point(j + 1, i)}) {
            EXPECT_NEAR(cell.plane2.distance(p), 0.0f, 2.0f) << j << ", " << i;
        }
        EXPECT_GT(cell.normal.y, 0.0f);
        EXPECT_LE(cell.normal.length(), 1.0f + 1e-5f);
    }
}

TEST(Mountain, StartLendsTheObjectATriangleGrid) {
    TerrainStage stage;
    Mountain brain(stage.land, &stage.renderer, "Hills");
    EXPECT_TRUE(brain.load(nullptr));
    brain.start();
    const SceneObject& land = *stage.land;
    ASSERT_EQ(land.vertexCount, 4096);
    ASSERT_EQ(land.materialCount, 1);
    const Material& material = *land.materials[0];
    EXPECT_STREQ(material.name.get(), "FractalMountain");
    EXPECT_EQ(material.texture, stage.texture);
    EXPECT_EQ(material.renderFlags, 13);
    EXPECT_EQ(material.ambient, 76.5f);
    EXPECT_EQ(material.diffuse, 497.25f);
    ASSERT_EQ(material.polygonCount, 7938);
    EXPECT_NEAR(land.boundingRadius, 181019.3f, 0.1f);
    const struct {
        int polygon;
        int corners[4];
    } cases[] = {{0, {0, 65, 64, 0}},
                 {1, {0, 1, 65, 0}},
                 {2, {1, 66, 65, 1}},
                 {126, {64, 129, 128, 64}},
                 {7937, {62 * 64 + 62, 62 * 64 + 63, 63 * 64 + 63, 62 * 64 + 62}}};
    for (const auto& c : cases) {
        const Polygon& polygon = *material.polygons[c.polygon];
        ASSERT_EQ(polygon.count, 3);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(polygon.indices[i], c.corners[i]) << c.polygon;
    }
}

// The window under cameras at several places: vertices from the right samples, every
// polygon's plane through its own three vertices and facing up, far from the map's home
// square and across its seam too.
TEST(Mountain, WindowFollowsTheCamera) {
    TerrainStage stage;
    Mountain brain(stage.land, &stage.renderer, "Hills");
    brain.start();
    const struct {
        float x, z;
        int a, b;
    } cases[] = {
        {1999.0f, 0.0f, 0, 0},
        {-1999.0f, 0.0f, 0, 0},
        {2000.0f, -4000.5f, 1, -2},
        {600000.0f, 0.0f, 300, 0},
        {-5000000.0f, 7000000.0f, -2500, 3500},
    };
    for (const auto& c : cases) {
        stage.camera->position = {c.x, 9000.0f, c.z};
        brain.update();
        ASSERT_EQ(brain.windowX, c.a);
        ASSERT_EQ(brain.windowZ, c.b);
        const MeshVertex* v = stage.land->vertices;
        for (int i : {0, 31, 63}) {
            for (int j : {0, 40, 63}) {
                const MeshVertex& vertex = v[i * 64 + j];
                const TerrainCell& cell = brain.cellAt(224 + c.a + j, 224 + c.b + i);
                EXPECT_EQ(vertex.position.x, 2000.0f * float(c.a + j) - 64000.0f);
                EXPECT_EQ(vertex.position.z, 2000.0f * float(c.b + i) - 64000.0f);
                EXPECT_EQ(vertex.position.y, cell.height);
                EXPECT_EQ(vertex.normal.y, cell.normal.y);
                EXPECT_EQ(vertex.u, 64.0f * float(c.a + j) - 2048.0f);
                EXPECT_EQ(vertex.v, 64.0f * float(c.b + i) - 2048.0f);
            }
        }
        const Material& material = *stage.land->materials[0];
        for (int p = 0; p < material.polygonCount; p += 97) {
            const Polygon& polygon = *material.polygons[p];
            EXPECT_GT(polygon.plane.b, 0.0f) << p;
            for (int k = 0; k < 3; ++k) {
                const Vector3& corner = v[polygon.indices[k]].position;
                // Relative to the coordinates' size (floats of several million units).
                const float tolerance = 2.0f + 1e-6f * (std::fabs(corner.x) + std::fabs(corner.z));
                EXPECT_NEAR(polygon.plane.distance(corner), 0.0f, tolerance) << c.x << " " << p;
            }
        }
    }
}

// Moving the camera by a whole map shows the same heights at the same window positions.
// (Positions truncate toward zero, so both squares either side of zero map to index 0: a
// move across zero would shift the window by one sample.)
TEST(Mountain, TerrainRepeatsEveryMap) {
    TerrainStage stage;
    Mountain brain(stage.land, &stage.renderer, "Hills");
    brain.start();
    stage.camera->position = {12345.0f, 0.0f, -6789.0f};
    brain.update();
    auto before = std::make_unique<MeshVertex[]>(4096);
    for (int i = 0; i < 4096; ++i) before[i] = stage.land->vertices[i];
    for (const float dx : {1024000.0f, 2048000.0f}) {
        stage.camera->position = {12345.0f + dx, 0.0f, -6789.0f - dx};
        brain.update();
        for (int i = 0; i < 4096; ++i) {
            const MeshVertex& now = stage.land->vertices[i];
            ASSERT_EQ(now.position.y, before[i].position.y) << i;
            ASSERT_EQ(now.normal.x, before[i].normal.x) << i;
            ASSERT_EQ(now.position.x, before[i].position.x + dx) << i;
            ASSERT_EQ(now.position.z, before[i].position.z - dx) << i;
        }
    }
}

// Missing pieces are reported with the brain's name; the terrain is then drawn untextured,
// or stays on the origin's square.
TEST(Mountain, MissingCameraOrTextureIsReportedWithADefinedOutcome) {
    TerrainStage stage(/*withCamera=*/false, /*withTexture=*/false);
    Mountain brain(stage.land, &stage.renderer, "Hills");
    testing::internal::CaptureStderr();
    brain.start();
    const std::string console = testing::internal::GetCapturedStderr();
    EXPECT_NE(console.find("Brain \"Hills\": no texture \"MountainTexture\"; the terrain is drawn "
                           "untextured\n"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find("Brain \"Hills\": no object \"Camera\"; the terrain stays around the "
                           "origin\n"),
              std::string::npos)
        << console;
    ASSERT_EQ(stage.land->materialCount, 1);
    EXPECT_EQ(stage.land->materials[0]->texture, nullptr);
    EXPECT_EQ(stage.land->materials[0]->renderFlags, 5);  // lit colour, never a null bind
    brain.update();
    EXPECT_EQ(brain.windowX, 0);
    EXPECT_EQ(brain.windowZ, 0);
    EXPECT_EQ(stage.land->vertices[0].position.y, brain.cellAt(224, 224).height);
}

// A second start replaces the mesh (the sanitizer build checks that nothing leaks or is freed
// twice); destroying the brain gives the object back the mesh it had before.
TEST(Mountain, RestartReplacesTheMeshAndDestructionRestoresTheObject) {
    TerrainStage stage;
    SceneObject prototype("Rock");
    auto* vertices = new MeshVertex[3];
    prototype.vertices = vertices;
    prototype.vertexCount = 3;
    prototype.boundingRadius = 5.0f;
    std::unique_ptr<SceneObject> copy(prototype.makeCopy());
    {
        Mountain brain(copy.get(), &stage.renderer, "Hills");
        brain.start();
        stage.camera->position = {50000.0f, 0.0f, 0.0f};
        brain.update();
        const float firstHeight = copy->vertices[0].position.y;
        brain.start();
        EXPECT_EQ(copy->vertexCount, 4096);
        EXPECT_EQ(brain.windowX, Mountain::kUnbuiltWindow);  // the new mesh is filled again
        brain.update();
        EXPECT_EQ(copy->vertices[0].position.y, firstHeight);
    }
    EXPECT_EQ(copy->vertices, vertices);
    EXPECT_EQ(copy->vertexCount, 3);
    EXPECT_EQ(copy->materialCount, 0);
    EXPECT_EQ(copy->materials, nullptr);
    EXPECT_EQ(copy->boundingRadius, 5.0f);
}

}  // namespace
