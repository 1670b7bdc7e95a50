// End-to-end tests of halcyon-inspect: its report on a written object, and the Wavefront
// OBJ file it writes, parsed back and compared with the mesh built in this process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/lw_object_file.h"
#include "geometry/scene_object.h"
#include "textures/texture.h"
#include "tools/lwo_writer.h"

namespace {

using ::testing::HasSubstr;

struct ToolRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error
};

ToolRun inspect(const std::string& arguments) {
    const std::string command =
        std::string(HALCYON_BINARY_DIR) + "/bin/halcyon-inspect " + arguments + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + name;
}

// A cube on "Box" plus an L-shaped, double-sided, planar-mapped face on "Sign".
LwoWriter sampleObject() {
    LwoWriter w = makeCube("Box", true, 4);
    const float l[][2] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    std::vector<int> corners;
    for (const auto& p : l) corners.push_back(w.addPoint(p[0] + 3, p[1], 0));
    int sign = w.addSurfaceName("Sign");
    w.addPolygon(corners, sign);
    w.addSurface("Sign")
        .flags(256)
        .text("CTEX", "Planar Image Map")
        .text("TIMG", "sign.raw")
        .vector("TSIZ", 4, 4, 4)
        .vector("TCTR", 4, 1, 0);
    return w;
}

struct ObjFile {
    std::vector<Vector3> positions;
    std::vector<std::pair<float, float>> uvs;
    std::vector<Vector3> normals;
    std::vector<std::string> materials;
    std::vector<std::vector<std::vector<int>>> faces;  // per material: faces of v/vt/vn
    bool wellFormed = true;
};

ObjFile readObj(const std::string& path) {
    ObjFile obj;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "v" || kind == "vn") {
            Vector3 v;
            words >> v.x >> v.y >> v.z;
            (kind == "v" ? obj.positions : obj.normals).push_back(v);
        } else if (kind == "vt") {
            float u, v;
            words >> u >> v;
            obj.uvs.push_back({u, v});
        } else if (kind == "usemtl") {
            std::string name;
            words >> name;
            obj.materials.push_back(name);
            obj.faces.emplace_back();
        } else if (kind == "f") {
            if (obj.faces.empty()) obj.wellFormed = false;
            std::vector<int> face;
            std::string triple;
            while (words >> triple) {
                int a = 0, b = 0, c = 0;
                if (std::sscanf(triple.c_str(), "%d/%d/%d", &a, &b, &c) != 3 || a != b || b != c) {
                    obj.wellFormed = false;
                }
                face.push_back(a);
            }
            if (!obj.faces.empty()) obj.faces.back().push_back(face);
        } else if (!kind.empty() && kind[0] != '#') {
            obj.wellFormed = false;
        }
    }
    return obj;
}

TEST(HalcyonInspect, ReportsTheFileAndTheMesh) {
    const std::string path = tempPath("inspect_sample.lwo");
    ASSERT_TRUE(sampleObject().save(path));
    ToolRun run = inspect(path);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("points      14\n"));
    EXPECT_THAT(run.output, HasSubstr("polygons    7\n  4 corners: 6\n  6 corners: 1\n"));
    EXPECT_THAT(run.output, HasSubstr("surface 1 'Box'\n    flags 0x0004 smoothing\n"
                                      "    colour 255 128 0\n"));
    EXPECT_THAT(run.output, HasSubstr("flags 0x0100 double-sided"));
    EXPECT_THAT(run.output, HasSubstr("texture Planar Image Map, image sign.raw"));
    EXPECT_THAT(run.output, HasSubstr("material 0 'Box': renderFlags 5, polygons 6, "
                                      "smoothing angle 89.5 degrees"));
    // The L splits in two, twice over for its back side; its image counts as present.
    EXPECT_THAT(run.output, HasSubstr("material 1 'Sign': renderFlags 13, polygons 4, flat"));
    EXPECT_THAT(run.output, HasSubstr("vertices  36\n"));  // 24 for the cube, 2 x 6 for the L

    ToolRun scaled = inspect("--scale " + path);
    EXPECT_EQ(scaled.exitCode, 0);
    EXPECT_THAT(scaled.output, HasSubstr("bounding radius 1\n"));
}

TEST(HalcyonInspect, ObjOutputMatchesTheBuiltMesh) {
    const std::string path = tempPath("inspect_obj.lwo");
    const std::string objPath = tempPath("inspect_obj.obj");
    LwoWriter writer = sampleObject();
    ASSERT_TRUE(writer.save(path));
    ToolRun run = inspect("--obj " + objPath + " " + path);
    ASSERT_EQ(run.exitCode, 0) << run.output;

    LWObjectFile file;
    ASSERT_TRUE(file.load(path.c_str()));
    Texture sign;
    sign.name = "sign.raw";
    NamedList<Texture> textures;
    textures.insert(sign.name.c_str(), &sign);
    SceneObject mesh;
    mesh.buildFromFile(textures, nullptr, file);

    ObjFile obj = readObj(objPath);
    EXPECT_TRUE(obj.wellFormed);
    ASSERT_EQ(static_cast<int>(obj.positions.size()), mesh.vertexCount);
    ASSERT_EQ(obj.uvs.size(), obj.positions.size());
    ASSERT_EQ(obj.normals.size(), obj.positions.size());
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const MeshVertex& v = mesh.vertices[i];
        EXPECT_FLOAT_EQ(obj.positions[i].x, v.position.x);
        EXPECT_FLOAT_EQ(obj.normals[i].z, v.normal.z);
        EXPECT_FLOAT_EQ(obj.uvs[i].first, v.u / 256.0f);
        EXPECT_FLOAT_EQ(obj.uvs[i].second, 1.0f - v.v / 256.0f);
    }
    ASSERT_EQ(static_cast<int>(obj.materials.size()), mesh.materialCount);
    EXPECT_EQ(obj.materials[0], "Box");
    EXPECT_EQ(obj.materials[1], "Sign");
    for (int m = 0; m < mesh.materialCount; ++m) {
        const Material& material = *mesh.materials[m];
        ASSERT_EQ(static_cast<int>(obj.faces[m].size()), material.polygonCount);
        for (int p = 0; p < material.polygonCount; ++p) {
            const Polygon& polygon = *material.polygons[p];
            const std::vector<int>& face = obj.faces[m][p];
            ASSERT_EQ(static_cast<int>(face.size()), polygon.count);
            for (int k = 0; k < polygon.count; ++k) EXPECT_EQ(face[k], polygon.indices[k] + 1);
        }
    }
    // The mapped L: the corner at the centre (4, 1) sits at the image's middle.
    bool centre = false;
    for (size_t i = 0; i < obj.positions.size(); ++i) {
        if (obj.positions[i].x == 4.0f && obj.positions[i].y == 1.0f) {
            centre = true;
            EXPECT_FLOAT_EQ(obj.uvs[i].first, 127.5f / 256.0f);
            EXPECT_FLOAT_EQ(obj.uvs[i].second, 1.0f - 127.5f / 256.0f);
        }
    }
    EXPECT_TRUE(centre);
}

TEST(HalcyonInspect, BadInputsFailCleanly) {
    ToolRun missing = inspect(tempPath("nothing_here.lwo"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.output, HasSubstr("Error: Can't open file"));

    const std::string path = tempPath("inspect_damaged.lwo");
    LwoBytes bytes = sampleObject().bytes();
    bytes.resize(bytes.size() - 3);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    ToolRun damaged = inspect(path);
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_THAT(damaged.output, HasSubstr(path + ": Err: the form size"));

    EXPECT_EQ(inspect("").exitCode, 2);
    EXPECT_EQ(inspect("--bogus x.lwo").exitCode, 2);
}

}  // namespace
