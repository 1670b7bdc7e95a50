// The default demo as a newcomer first sees it: data/tundra.wrl names only things that
// exist, its scenes are whole bars of its music and end with it, it plays to its end on
// the stepped clock without a console message and within every capacity of the engine,
// a few of its frames are golden images, and its objects and textures are exactly what
// halcyon-tundra-content writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/clock.h"
#include "demo/demo.h"
#include "geometry/lw_object_file.h"
#include "geometry/scene_object.h"
#include "glide/present.h"
#include "music/decoder.h"
#include "render/renderer.h"
#include "scene_lang/parse_tree.h"
#include "scene_lang/parser.h"
#include "tests/testing/golden.h"

// The sanitizer build plays the demo at fewer frames per second (see tests/CMakeLists.txt).
#ifndef HALCYON_DEMO_TEST_FPS
#define HALCYON_DEMO_TEST_FPS 20
#endif

namespace {

namespace fs = std::filesystem;

constexpr const char* kDescription = "data/tundra.wrl";
constexpr const char* kMusic = "data/music/drift07.mp3";
constexpr double kFps = HALCYON_DEMO_TEST_FPS;
constexpr double kGoldenFps = 20.0;   // the golden frames were drawn at this rate
constexpr double kBarSeconds = 3.75;  // a 4/4 bar at 64 beats a minute
constexpr double kMusicSeconds = 150.0;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const char* textOf(const ParseNode* node) {
    return node != nullptr && node->text != nullptr ? node->text : "";
}

// Every statement named `name` in the chain starting at `first`.
std::vector<const ParseNode*> all(const ParseNode* first, const char* name) {
    std::vector<const ParseNode*> found;
    for (const ParseNode* n = findFrom(first, name); n != nullptr; n = findFrom(n->next, name)) {
        found.push_back(n);
    }
    return found;
}

// Every statement named `name` anywhere below `node` (its block, their blocks, ...).
void collect(const ParseNode* node, const char* name, std::vector<const ParseNode*>& out) {
    for (const ParseNode* n = node != nullptr ? node->firstChild : nullptr; n != nullptr;
         n = n->next) {
        if (std::strcmp(n->name, name) == 0) out.push_back(n);
        collect(n, name, out);
    }
}

std::vector<std::string> texts(const ParseNode* list) {
    std::vector<std::string> values;
    for (const ParseValue* v = list != nullptr ? list->valuesHead : nullptr; v != nullptr;
         v = v->next) {
        values.push_back(v->text != nullptr ? v->text : "");
    }
    return values;
}

struct Description {
    ParseResult parsed;
    const ParseNode* root = nullptr;
    std::set<std::string> textures, geometries, groups, scenes;
    std::map<std::string, std::string> brainClasses;  // label -> "Class"

    Description() : parsed(parseDescription(kDescription, nullptr)) {
        root = parsed.tree.get();
        for (const ParseNode* n : all(root, "Texture")) textures.insert(textOf(n));
        for (const ParseNode* n : all(root, "Geometry")) geometries.insert(textOf(n));
        for (const ParseNode* n : all(root, "ObjectGroup")) groups.insert(textOf(n));
        for (const ParseNode* n : all(root, "Scene")) scenes.insert(textOf(n));
        for (const ParseNode* n : all(root, "Brain")) {
            brainClasses[textOf(n)] = textOf(child(n, "Class"));
        }
    }

    // The "Time" of every scene the "Demo" entry lists, in order.
    std::vector<double> sceneTimes() const {
        std::vector<double> times;
        for (const std::string& label : texts(child(findFrom(root, "Demo"), "Scene"))) {
            const ParseNode* scene = findFromLabelled(root, "Scene", label.c_str());
            const ParseNode* time = scene != nullptr ? child(scene, "Time") : nullptr;
            times.push_back(time != nullptr ? time->floatValue : 0.0);
        }
        return times;
    }
};

double musicSeconds() {
    MpegDecoder decoder;
    StreamInfo info;
    if (!decoder.open(kMusic) || !decoder.readFirstHeader(info)) return 0.0;
    size_t bytes = 0, total = 0;
    const int16_t* samples = nullptr;
    while (decoder.nextFrame(&samples, &bytes)) total += bytes;
    return static_cast<double>(total) / (2.0 * info.channels * info.sampleRate);
}

TEST(DefaultDemo, ScenesAreWholeBarsOfTheMusicAndFillIt) {
    const Description d;
    const std::vector<double> times = d.sceneTimes();
    EXPECT_GE(times.size(), 5u);
    EXPECT_LE(times.size(), 7u);
    double total = 0.0;
    for (double time : times) {
        // Each scene is one section of the music: a whole number of bars, at least four.
        EXPECT_GE(time, 4 * kBarSeconds);
        EXPECT_EQ(std::fmod(time, kBarSeconds), 0.0) << time << " s is not a whole number of bars";
        total += time;
    }
    EXPECT_EQ(total, kMusicSeconds);
}

TEST(DefaultDemo, EndsWithItsMusic) {
    double total = 0.0;
    for (double time : Description().sceneTimes()) total += time;
    const double music = musicSeconds();
    // The stream may run up to one frame (1152 samples) past the last scene.
    EXPECT_GE(music, total - 0.01);
    EXPECT_LE(music, total + 0.05) << "the demo should end with its music";
}

// Files of a texture entry: a ".raw" holds 3 bytes a texel, a ".256" a 1024-byte palette
// and one byte a texel.
std::string textureFileFault(const ParseNode* texture) {
    const std::string name = textOf(texture);
    const std::string file = textOf(child(texture, "FileName"));
    const ParseNode* width = child(texture, "Width");
    const ParseNode* height = child(texture, "Height");
    const int size = width != nullptr ? width->intValue : 0;
    if (size != 64 && size != 128 && size != 256) return name + ": width " + std::to_string(size);
    if (height == nullptr || height->intValue != size) return name + ": not square";
    std::error_code error;
    const auto bytes = fs::file_size(file, error);
    if (error) return name + ": no file " + file;
    const auto texels = static_cast<uintmax_t>(size) * static_cast<uintmax_t>(size);
    const bool raw = file.ends_with(".raw"), paletted = file.ends_with(".256");
    if (!raw && !paletted) return name + ": " + file + " is neither .raw nor .256";
    if (bytes != (raw ? 3 * texels : 1024 + texels)) {
        return name + ": " + file + " has " + std::to_string(bytes) + " bytes";
    }
    return "";
}

TEST(DefaultDemo, EveryNameItRefersToExists) {
    const Description d;
    std::vector<std::string> faults;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) faults.push_back(what);
    };
    auto isTexture = [&](const std::string& n) { return d.textures.count(n) != 0; };

    for (const ParseNode* t : all(d.root, "Texture")) {
        const std::string fault = textureFileFault(t);
        expect(fault.empty(), "Texture " + fault);
    }
    for (const ParseNode* g : all(d.root, "Geometry")) {
        const std::string where = std::string("Geometry \"") + textOf(g) + "\"";
        const std::string file = textOf(child(g, "LWObject"));
        if (!fs::exists(file)) {
            faults.push_back(where + ": no file " + file);
            continue;
        }
        LWObjectFile object;
        object.load(file.c_str());
        for (int s = 1; s < object.surfaceCount; ++s) {
            const SurfaceRecord* surface = object.surfaces[s].get();
            if (surface == nullptr) continue;
            // A "Material" entry of the surface's name replaces the file's settings.
            const bool replaced = childLabelled(g, "Material", surface->name.get()) != nullptr;
            for (const char* image :
                 {surface->textureImage.get(), surface->reflectionImage.get()}) {
                if (image != nullptr && !replaced) {
                    expect(isTexture(image), where + ": surface image \"" + image + "\"");
                }
            }
        }
        for (const ParseNode* m : all(g->firstChild, "Material")) {
            for (const char* key : {"TextureMap", "ReflectionMap"}) {
                if (const ParseNode* map = child(m, key)) {
                    expect(isTexture(textOf(map)), where + ": " + key + " \"" + textOf(map) + "\"");
                }
            }
        }
    }

    static const std::set<std::string> kClasses = {"SimpleMovement", "UserMovement", "SineScroller",
                                                   "SplineScroller", "Mountain",     "DisplayInfo",
                                                   "MoveFish",       "ShadeBobs",    "Television",
                                                   "WaterMovement",  "LWMotion"};
    // The textures some classes look up by name.
    static const std::map<std::string, std::string> kRequired = {{"ShadeBobs", "WhiteBall64"},
                                                                 {"Television", "Images/T4000.pic"},
                                                                 {"Mountain", "MountainTexture"},
                                                                 {"DisplayInfo", "Topaz.font"}};
    for (const auto& [label, brainClass] : d.brainClasses) {
        expect(kClasses.count(brainClass) != 0, "Brain \"" + label + "\": class " + brainClass);
        const auto required = kRequired.find(brainClass);
        if (required != kRequired.end()) {
            expect(isTexture(required->second), brainClass + " needs \"" + required->second + "\"");
        }
    }
    for (const ParseNode* b : all(d.root, "Brain")) {
        const ParseNode* scroller = child(b, "Scroller");
        if (scroller == nullptr) continue;
        const std::string where = std::string("Brain \"") + textOf(b) + "\"";
        std::set<char> defined;
        for (const ParseNode* c : all(scroller->firstChild, "Char")) {
            defined.insert(textOf(c)[0]);
            if (const ParseNode* g = child(c, "Geometry")) {
                expect(d.geometries.count(textOf(g)) != 0,
                       where + ": Char geometry \"" + textOf(g) + "\"");
            }
        }
        for (char c : std::string(textOf(child(scroller, "Text")))) {
            expect(defined.count(c) != 0, where + ": no Char for '" + std::string(1, c) + "'");
        }
    }

    for (const ParseNode* group : all(d.root, "ObjectGroup")) {
        for (const ParseNode* o : all(group->firstChild, "Object")) {
            const std::string where = std::string("Object \"") + textOf(o) + "\"";
            if (const ParseNode* g = child(o, "Geometry")) {
                expect(d.geometries.count(textOf(g)) != 0, where + ": geometry " + textOf(g));
            }
            if (const ParseNode* b = child(o, "Brain")) {
                expect(d.brainClasses.count(textOf(b)) != 0, where + ": brain " + textOf(b));
            }
            if (const ParseNode* nested = child(o, "ObjectGroup")) {
                expect(d.groups.count(textOf(nested)) != 0, where + ": group " + textOf(nested));
            }
        }
    }

    const std::vector<std::string> played = texts(child(findFrom(d.root, "Demo"), "Scene"));
    expect(!played.empty(), "the Demo entry lists no scene");
    for (const std::string& label : played) {
        const ParseNode* scene = findFromLabelled(d.root, "Scene", label.c_str());
        if (scene == nullptr) {
            faults.push_back("Demo: no Scene \"" + label + "\"");
            continue;
        }
        expect(d.groups.count(textOf(child(scene, "RootObject"))) != 0, label + ": RootObject");
        std::vector<const ParseNode*> backgrounds;
        collect(scene, "Background", backgrounds);
        for (const ParseNode* background : backgrounds) {
            expect(d.geometries.count("Sky") != 0, label + ": a sky box needs Geometry \"Sky\"");
            for (const char* key : {"MapN", "MapW", "MapS", "MapE", "MapU", "MapD"}) {
                expect(isTexture(textOf(child(background, key))),
                       label + ": " + key + " \"" + textOf(child(background, key)) + "\"");
            }
        }
    }
    std::string all;
    for (const std::string& fault : faults) all += fault + "\n";
    EXPECT_TRUE(faults.empty()) << all;
}

// ---- Playing the whole demo ------------------------------------------------------------

// The largest per-frame figures of a run, against the engine's capacities.
struct Peaks {
    int hierarchy = 0;     // objects in the scene's hierarchy
    int objectsDrawn = 0;  // per view, the sky box included
    int vertices = 0;      // per view
    int deferred = 0;      // per view: translucent polygons and sprites
    int lightsPerObject = 0;
    int views = 0;
};

void measureHierarchy(const SceneObject* first, Peaks& peaks, int& count) {
    for (const SceneObject* o = first; o != nullptr; o = o->nextSibling) {
        ++count;
        peaks.lightsPerObject = std::max(peaks.lightsPerObject, o->lightCount);
        measureHierarchy(o->firstChild, peaks, count);
    }
}

// Frames of the golden images, one a scene, and the second at which each is taken.
struct GoldenFrame {
    const char* name;
    double at;
};
constexpr GoldenFrame kGoldenFrames[] = {
    {"default_demo_arrival", 10.0},  {"default_demo_lake", 34.0},
    {"default_demo_crystals", 56.0}, {"default_demo_mountains", 70.0},
    {"default_demo_aurora", 110.0},  {"default_demo_flight", 145.0},
};

struct Player {
    Demo* demo = nullptr;
    SteppedClock* clock = nullptr;
    int frame = 0;
    Peaks peaks;
    std::vector<std::string> faults;
    std::vector<uint16_t> pixels = std::vector<uint16_t>(640 * 480);
};

void present(void* context, const uint16_t* pixels, int width, int height, int strideBytes) {
    Player& p = *static_cast<Player*>(context);
    for (int y = 0; y < 480 && y < height; ++y) {
        std::memcpy(&p.pixels[static_cast<size_t>(y) * 640],
                    reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * strideBytes,
                    static_cast<size_t>(std::min(width, 640)) * 2);
    }
    const Demo& demo = *p.demo;
    p.peaks.views = std::max(p.peaks.views, demo.viewCount);
    for (int i = 0; i < demo.viewCount; ++i) {
        const ViewStats& stats = demo.views[i]->stats;
        p.peaks.objectsDrawn = std::max(p.peaks.objectsDrawn, stats.objectsDrawn + 1);
        p.peaks.vertices = std::max(p.peaks.vertices, stats.verticesTransformed);
        p.peaks.deferred = std::max(p.peaks.deferred, stats.deferred);
    }
    int count = 0;
    measureHierarchy(demo.renderer->rootObject, p.peaks, count);
    p.peaks.hierarchy = std::max(p.peaks.hierarchy, count);

    // Twice a second: a picture, many colours and nothing close to black.
    if (p.frame % static_cast<int>(kFps / 2) == 0) {
        std::vector<bool> seen(65536, false);
        int colours = 0;
        uint64_t luminance = 0;
        for (uint16_t px : p.pixels) {
            if (!seen[px]) ++colours;
            seen[px] = true;
            luminance += ((px >> 11) << 3) + (((px >> 5) & 63) << 2) + ((px & 31) << 3);
        }
        const double mean = static_cast<double>(luminance) / (3.0 * 640 * 480);
        if (colours < 300 || mean < 40.0) {
            p.faults.push_back("frame " + std::to_string(p.frame) + ": " + std::to_string(colours) +
                               " colours, mean level " + std::to_string(mean));
        }
    }
    if (kFps == kGoldenFps) {
        for (const GoldenFrame& golden : kGoldenFrames) {
            if (p.frame == static_cast<int>(std::lround(golden.at * kFps))) {
                golden::expectGoldenFrame(testing::TempDir(), golden.name, p.pixels.data());
            }
        }
    }
    ++p.frame;
    p.clock->advance();
    glidePresentComplete();
}

// Frames the run loop draws on a clock stepped by 1/fps: each scene ends with the first
// frame drawn once its time has passed, and the next scene starts on the following tick.
int framesFor(const std::vector<double>& times) {
    double now = 0.0;
    int frames = 0;
    for (double time : times) {
        const double end = now + time;
        for (bool done = false; !done; now += 1.0 / kFps) {
            done = now > end;
            ++frames;
        }
    }
    return frames;
}

TEST(DefaultDemo, PlaysToItsEndSilentlyWithinCapacities) {
    SteppedClock clock(1.0 / kFps, 0.0);
    ScopedClockSource installed(&clock);
    Player player;
    player.clock = &clock;
    Demo demo;
    player.demo = &demo;
    glideSetPresenter(&present, &player);
    testing::internal::CaptureStderr();
    const bool opened = demo.LoadDemo(kDescription);
    const std::string console = testing::internal::GetCapturedStderr();
    glideSetPresenter(nullptr, nullptr);

    ASSERT_TRUE(opened);
    EXPECT_EQ(console, "");
    EXPECT_EQ(player.frame, framesFor(Description().sceneTimes()));
    std::string pictures;
    for (const std::string& fault : player.faults) pictures += fault + "\n";
    EXPECT_TRUE(player.faults.empty()) << pictures;

    // Within the engine's capacities, with a quarter to spare.
    const Peaks& peak = player.peaks;
    const struct {
        const char* what;
        int used, capacity;
    } capacities[] = {
        {"objects in a scene's hierarchy", peak.hierarchy, 2000},
        {"objects drawn by a view", peak.objectsDrawn, kViewObjectSlots},
        {"vertices of a view", peak.vertices, kViewVertices},
        {"translucent polygons and sprites of a view", peak.deferred, kViewDeferred},
        {"lights of an object", peak.lightsPerObject, kMaxObjectLights},
        {"views of a scene", peak.views, kMaxViews},
    };
    for (const auto& c : capacities) {
        EXPECT_LE(4 * c.used, 3 * c.capacity) << c.what << ": " << c.used << " of " << c.capacity;
        RecordProperty(c.what, c.used);
    }
}

// ---- The content builder ---------------------------------------------------------------

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kTool = std::string(HALCYON_BINARY_DIR) + "/bin/halcyon-tundra-content";

// The names of the regular files in `dir`, sorted.
std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DefaultDemo, ContentBuilderRewritesTheCommittedFilesByteForByte) {
    const fs::path out = fs::path(testing::TempDir()) / "tundra_content";
    fs::remove_all(out);
    ASSERT_EQ(run("'" + kTool + "' '" + out.string() + "' > /dev/null"), 0);
    for (const char* folder : {"objects", "objects/letters", "textures"}) {
        const fs::path made = out / folder, committed = fs::path("data") / folder;
        const std::vector<std::string> names = filesIn(made);
        EXPECT_FALSE(names.empty()) << folder;
        EXPECT_EQ(names, filesIn(committed)) << folder << ": files written and committed differ";
        for (const std::string& name : names) {
            const std::string bytes = readBytes(made / name);
            const std::string kept = readBytes(committed / name);
            const auto at =
                std::mismatch(bytes.begin(), bytes.end(), kept.begin(), kept.end()).first;
            EXPECT_TRUE(bytes == kept)
                << committed / name << " differs from what the content builder writes, from byte "
                << (at - bytes.begin()) << " (sizes " << bytes.size() << " and " << kept.size()
                << "); run: make content";
        }
    }
}

TEST(DefaultDemo, ContentBuilderCommandLine) {
    const std::string missing = (fs::path(testing::TempDir()) / "no" / "such" / "dir").string();
    const struct {
        std::string arguments;
        int status;
    } cases[] = {
        {"--help", 0},
        {"", 2},
        {"--frobnicate", 2},
        {"'" + missing + "' extra", 2},
        {"'" + missing + "'", 1},  // the parent folder does not exist
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run("'" + kTool + "' " + c.arguments + " > /dev/null 2>&1"), c.status)
            << c.arguments;
    }
}

}  // namespace
