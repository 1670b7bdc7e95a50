// Tests of the mesh build: vertices split per material and normal, materials from
// surfaces and from "Material" entries, copies sharing a mesh, and object lookup by path.
#include "geometry/scene_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "geometry/lw_object_file.h"
#include "scene_lang/parser.h"
#include "textures/texture.h"
#include "tools/lwo_writer.h"

namespace {

using ::testing::HasSubstr;

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + name;
}

// Writes `object` to a temporary file and builds a SceneObject from a Geometry entry that
// names it; `entryBody` is added inside the entry.
struct Built {
    std::unique_ptr<SceneObject> object;
    bool ok = false;
    std::string messages;
};

Built build(const LwoWriter& object, const std::string& entryBody,
            const NamedList<Texture>* textures = nullptr, bool clean = true) {
    const std::string file = "obj.lwo";
    const std::string path = tempPath(file);
    EXPECT_TRUE(object.save(path));
    std::string text = "Geometry \"Thing\" { LWObject \"" + path + "\" " + entryBody + " }\n";
    ParseResult parsed = parseText(text.data(), text.size(), clean ? stderr : nullptr);
    if (clean) {
        EXPECT_EQ(parsed.messageCount, 0) << text;
    }
    NamedList<Texture> none;
    Built built;
    built.object = std::make_unique<SceneObject>();
    ::testing::internal::CaptureStderr();
    built.ok =
        built.object->CreateObject(textures != nullptr ? *textures : none, parsed.tree.get());
    built.messages = ::testing::internal::GetCapturedStderr();
    return built;
}

int totalPolygons(const SceneObject& object) {
    int total = 0;
    for (int m = 0; m < object.materialCount; ++m) total += object.materials[m]->polygonCount;
    return total;
}

// Every loop of every polygon is closed and names existing vertices.
void expectValidLoops(const SceneObject& object) {
    for (int m = 0; m < object.materialCount; ++m) {
        const Material& material = *object.materials[m];
        for (int p = 0; p < material.polygonCount; ++p) {
            const Polygon& polygon = *material.polygons[p];
            EXPECT_EQ(polygon.indices[0], polygon.indices[polygon.count]);
            for (int k = 0; k <= polygon.count; ++k) {
                EXPECT_GE(polygon.indices[k], 0);
                EXPECT_LT(polygon.indices[k], object.vertexCount);
            }
        }
    }
}

TEST(MeshBuild, FlatCubeSplitsEveryPointInThree) {
    Built built = build(makeCube("Box", true, 0), "");
    ASSERT_TRUE(built.ok);
    const SceneObject& cube = *built.object;
    EXPECT_STREQ(cube.name.get(), "Thing");
    ASSERT_EQ(cube.materialCount, 1);
    EXPECT_EQ(cube.materials[0]->polygonCount, 6);
    EXPECT_FLOAT_EQ(cube.materials[0]->smoothingAngle, -1.0f);
    EXPECT_EQ(cube.vertexCount, 24);
    EXPECT_FLOAT_EQ(cube.boundingRadius, std::sqrt(3.0f));
    expectValidLoops(cube);
    for (int i = 0; i < cube.vertexCount; ++i) {
        const MeshVertex& v = cube.vertices[i];
        EXPECT_FLOAT_EQ(v.normal.length(), 1.0f);
        // An axis normal pointing out of the face the vertex lies on.
        EXPECT_FLOAT_EQ(std::fabs(v.normal.x) + std::fabs(v.normal.y) + std::fabs(v.normal.z),
                        1.0f);
        EXPECT_FLOAT_EQ(dot(v.normal, v.position), 1.0f);
    }
    // Each polygon's corners carry its own plane normal.
    const Material& material = *cube.materials[0];
    for (int p = 0; p < material.polygonCount; ++p) {
        const Polygon& polygon = *material.polygons[p];
        Vector3 n{polygon.plane.a, polygon.plane.b, polygon.plane.c};
        for (int k = 0; k < polygon.count; ++k) {
            EXPECT_FLOAT_EQ(dot(cube.vertices[polygon.indices[k]].normal, n), 1.0f);
        }
    }
}

TEST(MeshBuild, SmoothedCubeKeepsEightVerticesAlongTheDiagonals) {
    Built built = build(makeCube("Box", true, 0), "Material \"Box\" { SmoothingAngle 1.6 }");
    ASSERT_TRUE(built.ok);
    const SceneObject& cube = *built.object;
    ASSERT_EQ(cube.vertexCount, 8);
    expectValidLoops(cube);
    const float third = 1.0f / std::sqrt(3.0f);
    for (int i = 0; i < 8; ++i) {
        const MeshVertex& v = cube.vertices[i];
        EXPECT_NEAR(v.normal.x, v.position.x * third, 1e-5f);
        EXPECT_NEAR(v.normal.y, v.position.y * third, 1e-5f);
        EXPECT_NEAR(v.normal.z, v.position.z * third, 1e-5f);
    }
    // The surface's own smoothing flag with its default 89.5 degrees does not merge faces
    // at right angles.
    Built flagged = build(makeCube("Box", true, 4), "");
    ASSERT_TRUE(flagged.ok);
    EXPECT_NEAR(flagged.object->materials[0]->smoothingAngle, 1.5620698f, 1e-6f);
    EXPECT_EQ(flagged.object->vertexCount, 24);
}

TEST(MeshBuild, MaterialsNeverShareVertices) {
    LwoWriter cube = makeCube("Red", true, 4);
    int blue = cube.addSurfaceName("Blue");
    // Move the last three faces to the second surface.
    cube.polygonData.clear();
    const std::vector<std::vector<int>> faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                 {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (size_t f = 0; f < faces.size(); ++f) cube.addPolygon(faces[f], f < 3 ? 1 : blue);
    Built built = build(cube,
                        "Material \"Red\" { SmoothingAngle 3.0 }"
                        "Material \"Blue\" { SmoothingAngle 3.0 }");
    ASSERT_TRUE(built.ok);
    const SceneObject& object = *built.object;
    ASSERT_EQ(object.materialCount, 2);
    expectValidLoops(object);
    std::set<int> used[2];
    for (int m = 0; m < 2; ++m) {
        const Material& material = *object.materials[m];
        EXPECT_EQ(material.polygonCount, 3);
        for (int p = 0; p < material.polygonCount; ++p) {
            const Polygon& polygon = *material.polygons[p];
            for (int k = 0; k < polygon.count; ++k) used[m].insert(polygon.indices[k]);
        }
    }
    for (int v : used[0]) EXPECT_EQ(used[1].count(v), 0u) << "vertex " << v << " is shared";
    // Each material's three faces touch all eight points and merge at each of them.
    EXPECT_EQ(used[0].size(), 8u);
    EXPECT_EQ(used[1].size(), 8u);
    EXPECT_EQ(object.vertexCount, 16);

    // Two coplanar squares of different materials: equal normals, still apart.
    LwoWriter pair;
    pair.addPoint(0, 0, 0);
    pair.addPoint(1, 0, 0);
    pair.addPoint(1, 1, 0);
    pair.addPoint(0, 1, 0);
    pair.addPoint(2, 0, 0);
    pair.addPoint(2, 1, 0);
    pair.addSurfaceName("A");
    pair.addSurfaceName("B");
    pair.addPolygon({0, 1, 2, 3}, 1);
    pair.addPolygon({1, 4, 5, 2}, 2);
    Built squares = build(pair, "");
    ASSERT_TRUE(squares.ok);
    EXPECT_EQ(squares.object->vertexCount, 8);
    expectValidLoops(*squares.object);
}

TEST(MeshBuild, DoubleSidedSurfaceAddsReversedCopies) {
    Built built = build(makeCube("Box", true, 256), "");
    ASSERT_TRUE(built.ok);
    const SceneObject& cube = *built.object;
    const Material& material = *cube.materials[0];
    ASSERT_EQ(material.polygonCount, 12);
    EXPECT_EQ(cube.vertexCount, 48);
    expectValidLoops(cube);
    // Most recently added first: polygon 0 is the back of the last face, polygon 1 its
    // front; the back loop runs the front's positions in reverse with the opposite normal.
    const Polygon& back = *material.polygons[0];
    const Polygon& front = *material.polygons[1];
    EXPECT_FLOAT_EQ(back.plane.a, -front.plane.a);
    EXPECT_FLOAT_EQ(front.plane.a, 1.0f);  // the +x face
    for (int k = 0; k <= 4; ++k) {
        const Vector3& b = cube.vertices[back.indices[k]].position;
        const Vector3& f = cube.vertices[front.indices[4 - k]].position;
        EXPECT_FLOAT_EQ(b.x, f.x);
        EXPECT_FLOAT_EQ(b.y, f.y);
        EXPECT_FLOAT_EQ(b.z, f.z);
        EXPECT_NE(back.indices[k], front.indices[4 - k]);
    }
}

TEST(MeshBuild, MaterialFromSurfaceSettings) {
    Texture skin;
    skin.name = "skin.raw";
    Texture chrome;
    chrome.name = "chrome.raw";
    NamedList<Texture> textures;
    textures.insert(skin.name.c_str(), &skin);
    textures.insert(chrome.name.c_str(), &chrome);

    LwoWriter w = makeCube("Plain", false, 0);
    w.addSurfaceName("Shiny");
    w.addSurfaceName("Glass");
    w.addSurfaceName("Lost");
    w.addSurface("Plain").color(255, 0, 51).word("LUMI", 256).word("DIFF", 128).word("GLOS", 16);
    w.addSurface("Shiny")
        .word("SPEC", 128)
        .word("GLOS", 1024)
        .flags(4)
        .text("TIMG", "skin.raw")
        .text("RIMG", "chrome.raw");
    w.addSurface("Glass").word("TRAN", 128).word("GLOS", 100).text("TIMG", "nowhere.raw");
    Built built = build(w, "", &textures);
    ASSERT_TRUE(built.ok);
    const SceneObject& object = *built.object;
    ASSERT_EQ(object.materialCount, 4);

    const Material& plain = *object.materials[0];
    EXPECT_STREQ(plain.name.get(), "Plain");
    EXPECT_FLOAT_EQ(plain.color[0], 1.0f);
    EXPECT_FLOAT_EQ(plain.color[1], 0.0f);
    EXPECT_FLOAT_EQ(plain.color[2], 0.2f);
    EXPECT_FLOAT_EQ(plain.ambient, 255.0f);
    EXPECT_FLOAT_EQ(plain.diffuse, 127.5f);
    EXPECT_FLOAT_EQ(plain.specular, 0.0f);
    EXPECT_FLOAT_EQ(plain.glossiness, 2.0f);
    EXPECT_FLOAT_EQ(plain.opacity, 1.0f);
    EXPECT_EQ(plain.renderFlags, 5);
    EXPECT_EQ(plain.polygonCount, 6);

    const Material& shiny = *object.materials[1];
    EXPECT_EQ(shiny.texture, &skin);
    EXPECT_EQ(shiny.reflectionTexture, &chrome);
    EXPECT_FLOAT_EQ(shiny.specular, 50.0f);
    EXPECT_FLOAT_EQ(shiny.glossiness, 15.0f);
    EXPECT_GT(shiny.smoothingAngle, 1.5f);
    EXPECT_EQ(shiny.renderFlags, 13 + 64);
    EXPECT_EQ(shiny.polygonCount, 0);

    const Material& glass = *object.materials[2];
    EXPECT_EQ(glass.texture, nullptr);  // no texture of that name
    EXPECT_NEAR(glass.opacity, 127.0f / 255.0f, 1e-6f);
    EXPECT_FLOAT_EQ(glass.glossiness, 4.0f);  // 100 is no known level
    EXPECT_EQ(glass.renderFlags, 5 + 16);

    // Listed without a SURF chunk: default settings under the listed name, with a note.
    const Material& lost = *object.materials[3];
    EXPECT_STREQ(lost.name.get(), "Lost");
    EXPECT_FLOAT_EQ(lost.diffuse, 255.0f);
    EXPECT_THAT(built.messages, HasSubstr("surface 4 ('Lost') has no SURF chunk"));
}

TEST(MeshBuild, MaterialEntriesOverrideSurfaces) {
    Texture skin;
    skin.name = "Skin";
    NamedList<Texture> textures;
    textures.insert(skin.name.c_str(), &skin);
    LwoWriter w = makeCube("Hull", true, 0);
    w.addSurfaceName("Wing");
    w.addSurfaceName("Tail");
    w.addPolygon({0, 1, 2}, 2);
    Built built = build(w,
                        "Material \"Hull\" { Color [255, 51, 0] Transparent 0.5 Ambient 0.2"
                        "  Diffuse 0.5 Specular 0.25 Glossiness 3.0 TextureMap \"Skin\""
                        "  ReflectionMap \"Nothing\" }"
                        "Material \"Wing\" { Color [255, 255] Ambient 1.0 }"
                        "Material \"Tail\" { ReflectionMap \"Skin\" }",
                        &textures);
    ASSERT_TRUE(built.ok);
    const SceneObject& object = *built.object;
    ASSERT_EQ(object.materialCount, 3);
    const Material& hull = *object.materials[0];
    EXPECT_STREQ(hull.name.get(), "Hull");
    EXPECT_FLOAT_EQ(hull.color[1], 0.2f);
    EXPECT_FLOAT_EQ(hull.opacity, 0.5f);
    EXPECT_FLOAT_EQ(hull.ambient, 51.0f);
    EXPECT_FLOAT_EQ(hull.diffuse, 127.5f);
    EXPECT_FLOAT_EQ(hull.specular, 25.0f);
    EXPECT_FLOAT_EQ(hull.glossiness, 3.0f);
    EXPECT_FLOAT_EQ(hull.smoothingAngle, 0.0f);  // a new Material's value
    EXPECT_EQ(hull.texture, &skin);
    EXPECT_EQ(hull.reflectionTexture, nullptr);
    EXPECT_EQ(hull.renderFlags, 13 + 16);

    const Material& wing = *object.materials[1];
    EXPECT_FLOAT_EQ(wing.color[0], 0.0f);  // fewer than three values: black
    EXPECT_FLOAT_EQ(wing.ambient, 255.0f);
    EXPECT_EQ(wing.renderFlags, 5);
    EXPECT_EQ(wing.polygonCount, 1);

    const Material& tail = *object.materials[2];
    EXPECT_FLOAT_EQ(tail.color[0], 0.76f);  // no "Color": a new Material's colour
    EXPECT_EQ(tail.renderFlags, 5 + 64);

    // An unnamed default surface takes the "Default" entry.
    LwoWriter bare;
    bare.addPoint(0, 0, 0);
    bare.addPoint(1, 0, 0);
    bare.addPoint(0, 1, 0);
    bare.addSurfaceName("Whatever");
    bare.addPolygon({0, 1, 2}, 1);
    Built byDefault = build(bare, "Material \"Default\" { Specular 0.5 }");
    ASSERT_TRUE(byDefault.ok);
    EXPECT_STREQ(byDefault.object->materials[0]->name.get(), "Default");
    EXPECT_FLOAT_EQ(byDefault.object->materials[0]->specular, 50.0f);

    // A float key written as an integer is a syntax error whose statement reads as 0.
    Built integer = build(bare, "Material \"Default\" { Ambient 1 }", nullptr, false);
    ASSERT_TRUE(integer.ok);
    EXPECT_FLOAT_EQ(integer.object->materials[0]->ambient, 0.0f);
}

TEST(MeshBuild, ScaleFlagAndTextureCoordinates) {
    LwoWriter w;
    w.addPoint(0, 0, 0);
    w.addPoint(4, 0, 0);
    w.addPoint(4, 3, 0);
    int s = w.addSurfaceName("Map");
    w.addPolygon({0, 1, 2}, s);
    w.addSurface("Map").text("CTEX", "Planar Image Map").vector("TSIZ", 10, 10, 10);
    Built built = build(w, "Flags [\"Scale\", \"Shiny\"]");
    ASSERT_TRUE(built.ok);
    const SceneObject& object = *built.object;
    EXPECT_FLOAT_EQ(object.boundingRadius, 1.0f);
    ASSERT_EQ(object.vertexCount, 3);
    bool farthest = false;
    for (int i = 0; i < 3; ++i) {
        const MeshVertex& v = object.vertices[i];
        if (std::fabs(v.position.length() - 1.0f) < 1e-6f) {
            farthest = true;
            EXPECT_FLOAT_EQ(v.position.x, 0.8f);
            // u, v from the unscaled point (4, 3): (0.9, 0.2) on a 0..255 scale.
            EXPECT_FLOAT_EQ(v.u, 255.0f * 0.9f);
            EXPECT_FLOAT_EQ(v.v, 255.0f * 0.2f);
        }
    }
    EXPECT_TRUE(farthest);

    // Without points the flag has nothing to scale.
    Built empty = build(LwoWriter(), "Flags [\"Scale\"]");
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.object->vertexCount, 0);
    EXPECT_EQ(empty.object->boundingRadius, 0.0f);
    EXPECT_EQ(empty.object->materialCount, 0);
}

TEST(MeshBuild, MissingObjectFilesSkipTheGeometry) {
    NamedList<Texture> textures;
    const char* texts[] = {
        "Geometry \"NoFile\" { Flags [\"Scale\"] }",
        "Geometry \"Gone\" { LWObject \"geometry/testdata/not_there.lwo\" }",
    };
    const char* expected[] = {"Geometry 'NoFile': no \"LWObject\" file named",
                              "Geometry 'Gone': object file geometry/testdata/not_there.lwo "
                              "cannot be read"};
    for (int i = 0; i < 2; ++i) {
        ParseResult parsed = parseText(texts[i], std::strlen(texts[i]));
        SceneObject object;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(object.CreateObject(textures, parsed.tree.get()));
        EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr(expected[i]));
        EXPECT_EQ(object.vertexCount, 0);
        EXPECT_EQ(object.materialCount, 0);
    }
}

TEST(MeshBuild, DamagedPolygonsNeverReachTheMesh) {
    LwoWriter w = makeCube("Box", true, 0);
    w.addPolygon({0, 1, 9}, 1);      // past the points
    w.addPolygon({0, 1, 65535}, 1);  // far past the points
    w.addPolygon({0, 1, 2}, 77);     // a surface with no material
    Built built = build(w, "");
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(totalPolygons(*built.object), 6);
    EXPECT_EQ(built.object->vertexCount, 24);
    expectValidLoops(*built.object);
    EXPECT_THAT(built.messages, HasSubstr("polygon 6 uses point 9"));
    EXPECT_THAT(built.messages, HasSubstr("polygon 7 uses point 65535, outside the 8 points"));
}

TEST(SceneObjects, CopiesShareTheMeshAndNeverFreeIt) {
    Built built = build(makeCube("Box", true, 0), "");
    ASSERT_TRUE(built.ok);
    SceneObject& prototype = *built.object;
    prototype.scale = 2.0f;
    SceneObject* copy = prototype.makeCopy();
    EXPECT_EQ(copy->master, &prototype);
    EXPECT_EQ(copy->name, nullptr);
    EXPECT_EQ(copy->vertices, prototype.vertices);
    EXPECT_EQ(copy->materials, prototype.materials);
    EXPECT_EQ(copy->vertexCount, 24);
    EXPECT_FLOAT_EQ(copy->scale, 2.0f);
    EXPECT_FLOAT_EQ(copy->boundingRadius, prototype.boundingRadius);
    EXPECT_FLOAT_EQ(copy->rotation.w, 1.0f);
    SceneObject* copyOfCopy = copy->makeCopy();
    EXPECT_EQ(copyOfCopy->master, &prototype);
    delete copy;
    delete copyOfCopy;
    // The mesh is intact (the sanitizer build would catch a use after free here).
    EXPECT_EQ(prototype.materials[0]->polygonCount, 6);
    EXPECT_FLOAT_EQ(prototype.vertices[23].normal.length(), 1.0f);
}

TEST(SceneObjects, FindObjectByPath) {
    SceneObject ship("Ship"), tank("Tank"), gun("Gun"), turret("Turret"), barrel("Gun"),
        empty("Empty");
    ship.nextSibling = &tank;
    tank.nextSibling = &empty;
    ship.firstChild = &turret;
    turret.nextSibling = &gun;
    tank.firstChild = &barrel;
    EXPECT_EQ(findObjectByPath(&ship, "Ship/Gun"), &gun);
    EXPECT_EQ(findObjectByPath(&ship, "Tank/Gun"), &barrel);
    EXPECT_EQ(findObjectByPath(&ship, "Gun"), nullptr);  // only the top-level chain
    EXPECT_EQ(findObjectByPath(&ship, "Tank"), &tank);
    EXPECT_EQ(findObjectByPath(&ship, "Empty/Gun"), nullptr);
    EXPECT_EQ(findObjectByPath(&ship, "Ship/Turret/Gun"), nullptr);
    EXPECT_EQ(findObjectByPath(&ship, "ship"), nullptr);
    EXPECT_EQ(findObjectByPath(&tank, "Ship"), nullptr);  // the walk starts at `first`
    EXPECT_EQ(findObjectByPath(nullptr, "Ship"), nullptr);
    std::string longName(300, 'x');
    EXPECT_EQ(findObjectByPath(&ship, longName.c_str()), nullptr);
}

}  // namespace
