// Load time of LightWave objects with large concave polygons: the objects are written
// with the project's writer into a temporary folder, then built the way the engine builds
// a "Geometry" entry (`SceneObject::CreateObject`: read, materials with convex splitting,
// vertex map, normals).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/named_list.h"
#include "geometry/geometry.h"
#include "geometry/testing/concave_outlines.h"
#include "scene_lang/parse_tree.h"
#include "tools/lwo_writer.h"

namespace {

namespace fs = std::filesystem;

// Adds the outline's corners as points of a plane tilted about the x axis, `width` units
// wide, and returns the index of the first.
int addOutline(LwoWriter& writer, const std::vector<Point2>& outline, float width, float tilt) {
    float low = outline[0].x, high = outline[0].x;
    for (const Point2& p : outline) {
        low = std::min(low, p.x);
        high = std::max(high, p.x);
    }
    const float scale = width / (high - low);
    const int first = static_cast<int>(writer.points.size());
    for (const Point2& p : outline) {
        writer.addPoint(p.x * scale, p.y * scale * std::cos(tilt), p.y * scale * std::sin(tilt));
    }
    return first;
}

// The polygon over `count` points from `first`, starting at its corner `start`.
std::vector<int> loopOf(int first, int count, int start = 0) {
    std::vector<int> loop;
    for (int k = 0; k < count; ++k) loop.push_back(first + (start + k) % count);
    return loop;
}

struct BenchObject {
    const char* name;
    std::string path;
    size_t bytes = 0;
};

// A folder of its own for this run, removed at exit.
struct TemporaryFolder {
    fs::path path = fs::temp_directory_path() /
                    ("halcyon-loader-bench-" + std::to_string(std::random_device{}()));
    TemporaryFolder() { fs::create_directories(path); }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

// Writes the three objects once per run.
std::vector<BenchObject>& objects() {
    static TemporaryFolder temporary;
    static std::vector<BenchObject> list = [] {
        const fs::path& folder = temporary.path;
        std::vector<BenchObject> made;
        auto save = [&](const char* name, const LwoWriter& writer) {
            BenchObject object{name, (folder / (std::string(name) + ".lwo")).string()};
            const LwoBytes bytes = writer.bytes();
            object.bytes = bytes.size();
            if (!writer.save(object.path))
                std::fprintf(stderr, "cannot write %s\n", object.path.c_str());
            made.push_back(object);
        };

        // One comb of 32,000 corners (7,999 slots), 10 units wide.
        LwoWriter one;
        const int s1 = one.addSurfaceName("Comb");
        one.addPolygon(loopOf(addOutline(one, outlines::comb(7999), 10.0f, 0.6f), 32000), s1);
        one.addSurface("Comb");
        save("comb-32000", one);

        // Four such polygons over the same points, each starting at another corner.
        LwoWriter four;
        const int s4 = four.addSurfaceName("Comb");
        const int first = addOutline(four, outlines::comb(7999), 10.0f, 0.6f);
        for (int start : {0, 8000, 16000, 24000}) four.addPolygon(loopOf(first, 32000, start), s4);
        four.addSurface("Comb");
        save("four-combs-32000", four);

        // About 1 MB: four concave polygons of 15,000 corners (comb, zigzag, star and a
        // random outline, each in its own plane) and a 64 x 86 grid of quads, 65,504 points.
        LwoWriter mesh;
        const int outlineSurface = mesh.addSurfaceName("Outlines");
        const int gridSurface = mesh.addSurfaceName("Grid");
        const std::vector<Point2> shapes[] = {outlines::comb(3749), outlines::zigzag(15000),
                                              outlines::star(7500),
                                              outlines::randomRadial(15000, 3)};
        float tilt = 0.3f;
        for (const std::vector<Point2>& shape : shapes) {
            const int start = addOutline(mesh, shape, 20.0f, tilt);
            mesh.addPolygon(loopOf(start, static_cast<int>(shape.size())), outlineSurface);
            tilt += 0.4f;
        }
        const int gridStart = static_cast<int>(mesh.points.size());
        for (int row = 0; row < 86; ++row) {
            for (int column = 0; column < 64; ++column) {
                mesh.addPoint(static_cast<float>(column), static_cast<float>(row), -5.0f);
            }
        }
        for (int row = 0; row + 1 < 86; ++row) {
            for (int column = 0; column + 1 < 64; ++column) {
                const int a = gridStart + row * 64 + column;
                mesh.addPolygon({a, a + 1, a + 65, a + 64}, gridSurface);
            }
        }
        mesh.addSurface("Outlines");
        mesh.addSurface("Grid");
        save("mesh-1mb", mesh);
        return made;
    }();
    return list;
}

void BM_LoadObject(benchmark::State& state) {
    const BenchObject& object = objects()[static_cast<size_t>(state.range(0))];
    ParseNode source;
    source.name = "LWObject";
    std::vector<char> path(object.path.begin(), object.path.end());
    path.push_back('\0');
    source.text = path.data();
    char label[] = "Bench";
    ParseNode geometry;
    geometry.name = "Geometry";
    geometry.text = label;
    geometry.firstChild = &source;
    NamedList<Texture> textures;
    int polygons = 0;
    for (auto _ : state) {
        SceneObject built;
        if (!built.CreateObject(textures, &geometry)) {
            state.SkipWithError("the object did not load");
            break;
        }
        polygons = 0;
        for (int m = 0; m < built.materialCount; ++m) polygons += built.materials[m]->polygonCount;
        benchmark::DoNotOptimize(built.vertices);
    }
    state.SetLabel(std::string(object.name) + ", " + std::to_string(object.bytes / 1024) +
                   " KiB, " + std::to_string(polygons) + " convex pieces");
}
BENCHMARK(BM_LoadObject)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
