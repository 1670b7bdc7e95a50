// Renderer benchmarks: a busy scene played through the demo driver (the engine on one
// thread; the board drawing on its workers, see `workers` below).
//
// The scene (written to a scratch folder at start): 300 smooth-shaded objects (spheres,
// tori and ice crystals, 27,720 vertices) in 30 spinning clusters, each object lit by 3
// of 6 lamps that circle overhead; plain, textured, reflective and translucent materials;
// exponential-squared fog; a sky box of six maps; a keyframed camera circling the field
// in a full-screen view and a rolling camera above it in an inset view.
//
// The benchmarks play the scene with Demo::LoadDemo on a stepped clock (1/60 s a frame)
// and time each frame of the run loop (updateFrame, renderView of each view,
// grBufferSwap) from its `stopRequested` hook. BM_RenderFrame alternates frames: one as
// the engine draws it, the next with the board's rasterisation off
// (boardSkipRasterisation), so the engine's own work and the board's share come from the
// same stretch of the camera path and the same minute of the machine. Both count heap
// allocations per frame (allocation_counter.cpp). BM_OfflineRender runs the offline
// renderer as `halcyon-render --no-output` does.
//
// The `workers` argument is the board's drawing threads (boardSetDrawWorkers): 0 draws on
// the engine's thread, 1 on one worker of its own, 2 on two workers splitting the rows.
//
// `bench-render --write-scene DIR` writes the scene to DIR and exits, for running the
// tools on it (halcyon-render --no-output DIR/busy.wrl).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/clock.h"
#include "bench/allocation_counter.h"
#include "bench/bench_random.h"
#include "demo/demo.h"
#include "glide/board_debug.h"
#include "glide/board_stats.h"
#include "render/view.h"
#include "tools/lwo_writer.h"
#include "tools/offline_render.h"
#include "tools/raw_image.h"

namespace {

namespace fs = std::filesystem;

constexpr double kFrameRate = 60.0;       // frames per second of the stepped clock
constexpr double kOrbitSeconds = 12.0;    // one round of the camera path
constexpr int kClusters = 30;             // of 10 objects each
constexpr int kLamps = 6;                 // each object is lit by 3 of them
constexpr int kFramePairs = 360;          // 720 frames: one round of the camera path
constexpr double kOfflineSeconds = 12.0;  // halcyon-render --to 12: 721 frames

// ---- The scene ---------------------------------------------------------------------------

// Adds a polygon whose front side faces away from `inside` (the corner order is turned
// round when needed: LightWave's front is clockwise seen from outside).
void addFacingOut(LwoWriter& w, std::vector<int> corners, const Vector3& inside, int surface) {
    const Vector3& a = w.points[size_t(corners[0])];
    const Vector3& b = w.points[size_t(corners[1])];
    const Vector3& c = w.points[size_t(corners[2])];
    Vector3 centre{};
    for (int i : corners) centre = add(centre, w.points[size_t(i)]);
    centre = scaled(centre, 1.0f / float(corners.size()));
    if (dot(cross(sub(b, a), sub(c, a)), sub(centre, inside)) < 0.0f) {
        std::reverse(corners.begin(), corners.end());
    }
    w.addPolygon(corners, surface);
}

// A latitude-longitude sphere: `rings` bands from pole to pole, `segments` around.
LwoWriter sphere(const std::string& surface, int rings, int segments, float radius) {
    LwoWriter w;
    const int s = w.addSurfaceName(surface);
    const float pi = 3.14159265f;
    const int top = w.addPoint(0.0f, radius, 0.0f);
    for (int i = 1; i < rings; ++i) {
        const float theta = pi * float(i) / float(rings);
        for (int j = 0; j < segments; ++j) {
            const float phi = 2.0f * pi * float(j) / float(segments);
            w.addPoint(radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                       radius * std::sin(theta) * std::sin(phi));
        }
    }
    const int bottom = w.addPoint(0.0f, -radius, 0.0f);
    auto at = [&](int ring, int j) { return 1 + (ring - 1) * segments + (j % segments); };
    const Vector3 centre{};
    for (int j = 0; j < segments; ++j) {
        addFacingOut(w, {top, at(1, j), at(1, j + 1)}, centre, s);
        for (int i = 1; i + 1 < rings; ++i) {
            addFacingOut(w, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, centre, s);
        }
        addFacingOut(w, {bottom, at(rings - 1, j + 1), at(rings - 1, j)}, centre, s);
    }
    return w;
}

// A torus about the y axis: `around` steps of the ring, `tube` steps round the tube.
LwoWriter torus(const std::string& surface, int around, int tube, float ringRadius,
                float tubeRadius) {
    LwoWriter w;
    const int s = w.addSurfaceName(surface);
    const float pi = 3.14159265f;
    for (int i = 0; i < around; ++i) {
        const float u = 2.0f * pi * float(i) / float(around);
        for (int j = 0; j < tube; ++j) {
            const float v = 2.0f * pi * float(j) / float(tube);
            const float rho = ringRadius + tubeRadius * std::cos(v);
            w.addPoint(rho * std::cos(u), tubeRadius * std::sin(v), rho * std::sin(u));
        }
    }
    auto at = [&](int i, int j) { return (i % around) * tube + (j % tube); };
    for (int i = 0; i < around; ++i) {
        const float u = 2.0f * pi * (float(i) + 0.5f) / float(around);
        const Vector3 tubeCentre{ringRadius * std::cos(u), 0.0f, ringRadius * std::sin(u)};
        for (int j = 0; j < tube; ++j) {
            addFacingOut(w, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, tubeCentre,
                         s);
        }
    }
    return w;
}

// An ice crystal: a hexagonal prism along y in `bands` bands, with a six-sided point at
// each end.
LwoWriter crystal(const std::string& surface, int bands, float radius, float halfLength,
                  float point) {
    LwoWriter w;
    const int s = w.addSurfaceName(surface);
    const float pi = 3.14159265f;
    for (int i = 0; i <= bands; ++i) {
        const float y = -halfLength + 2.0f * halfLength * float(i) / float(bands);
        for (int j = 0; j < 6; ++j) {
            const float phi = pi * float(j) / 3.0f;
            w.addPoint(radius * std::cos(phi), y, radius * std::sin(phi));
        }
    }
    const int low = w.addPoint(0.0f, -halfLength - point, 0.0f);
    const int high = w.addPoint(0.0f, halfLength + point, 0.0f);
    auto at = [](int i, int j) { return i * 6 + (j % 6); };
    const Vector3 centre{};
    for (int j = 0; j < 6; ++j) {
        for (int i = 0; i < bands; ++i) {
            addFacingOut(w, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, centre, s);
        }
        addFacingOut(w, {low, at(0, j), at(0, j + 1)}, centre, s);
        addFacingOut(w, {high, at(bands, j + 1), at(bands, j)}, centre, s);
    }
    return w;
}

enum class Look { Plain, Textured, Chrome, Glass, Frost, Ice };

// The object's one surface: smoothing on, lit, and the look's maps and transparency.
void dress(LwoWriter& w, const std::string& name, Look look, unsigned rgb, float smoothing,
           const char* mapping) {
    LwoSurface& s = w.addSurface(name)
                        .color(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF))
                        .flags(4)  // smoothing
                        .number("SMAN", smoothing)
                        .word("LUMI", 48)
                        .word("DIFF", 210)
                        .word("SPEC", 90)
                        .word("GLOS", 64);
    auto textured = [&](const char* image) {
        s.text("CTEX", mapping).word("TFLG", 2).vector("TSIZ", 2, 2, 2).text("TIMG", image);
    };
    switch (look) {
        case Look::Plain:
            break;
        case Look::Textured:
            textured("Marble");
            break;
        case Look::Chrome:
            s.text("RIMG", "Env");
            break;
        case Look::Glass:
            s.word("TRAN", 140);
            break;
        case Look::Frost:
            s.word("TRAN", 110);
            textured("Frost");
            break;
        case Look::Ice:
            s.word("TRAN", 120).text("RIMG", "Env");
            break;
    }
}

// The ten geometries; every cluster holds one object of each.
struct GeometryKind {
    const char* label;
    int shape;  // 0 sphere, 1 torus, 2 ice crystal
    Look look;
    unsigned colour;  // 0xRRGGBB
};
constexpr GeometryKind kGeometries[] = {
    {"BallPlain", 0, Look::Plain, 0xC84830},    {"BallMarble", 0, Look::Textured, 0xFFFFFF},
    {"BallChrome", 0, Look::Chrome, 0xE0E0E0},  {"BallGlass", 0, Look::Glass, 0x50C878},
    {"RingPlain", 1, Look::Plain, 0xE0B040},    {"RingMarble", 1, Look::Textured, 0xFFFFFF},
    {"RingFrost", 1, Look::Frost, 0xFFFFFF},    {"IceCrystal", 2, Look::Ice, 0xD0E8FF},
    {"PlainCrystal", 2, Look::Plain, 0x8060C0}, {"ChromeCrystal", 2, Look::Chrome, 0xFFFFFF},
};

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", double(value));
    return text;
}

std::string vector3(float x, float y, float z) {
    char text[96];
    std::snprintf(text, sizeof text, "[%.4f, %.4f, %.4f]", double(x), double(y), double(z));
    return text;
}

// Writes the objects, textures and description into `dir`; returns the description.
fs::path writeBusyScene(const fs::path& dir) {
    fs::create_directories(dir);
    writeRawImage(dir / "marble.raw", 128, [](int x, int y) {
        const float v =
            0.5f + 0.5f * std::sin(float(x) * 0.15f + 3.0f * std::sin(float(y) * 0.07f));
        const unsigned c = unsigned(120.0f + 120.0f * v);
        return c << 16 | (c - 20u) << 8 | (c - 40u);
    });
    writeRawImage(dir / "frost.raw", 64,
                  [](int x, int y) { return ((x ^ y) & 8) != 0 ? 0xD8E8F8u : 0x90B0D0u; });
    writeRawImage(dir / "env.raw", 64, [](int x, int y) {
        return unsigned(x * 4) << 16 | unsigned(y * 4) << 8 | 0xC0u;
    });
    const struct {
        const char* name;
        unsigned colour;
    } sky[] = {{"Up", 0x203060},   {"West", 0x304878},  {"North", 0x405890},
               {"East", 0x304878}, {"South", 0x506AA0}, {"Down", 0x686858}};
    for (const auto& side : sky) {
        writeRawImage(dir / (std::string("sky_") + side.name + ".raw"), 64,
                      [&](int, int y) { return side.colour + unsigned(y / 4); });
    }

    makeSkyBox("Sky").save((dir / "sky.lwo").string());
    for (const GeometryKind& g : kGeometries) {
        LwoWriter w;
        if (g.shape == 0) {
            w = sphere(g.label, 8, 10, 1.6f);
            dress(w, g.label, g.look, g.colour, 1.2f, "Spherical Image Map");
        } else if (g.shape == 1) {
            w = torus(g.label, 16, 8, 1.5f, 0.55f);
            dress(w, g.label, g.look, g.colour, 1.2f, "Cylindrical Image Map");
        } else {
            w = crystal(g.label, 3, 0.6f, 1.3f, 0.8f);
            dress(w, g.label, g.look, g.colour, 0.3f, "Cylindrical Image Map");
        }
        w.save((dir / (std::string(g.label) + ".lwo")).string());
    }

    const std::string d = dir.string() + "/";
    std::string text = "/* A busy scene for the renderer benchmark. */\n";
    text += "Texture \"Marble\" { FileName \"" + d +
            "marble.raw\" Width 128 Height 128 Flags [\"Wrap\", \"Bilinear\", \"Mipmap\"] }\n";
    text += "Texture \"Frost\" { FileName \"" + d +
            "frost.raw\" Width 64 Height 64 Flags [\"Wrap\", \"Bilinear\", \"Mipmap\"] }\n";
    text += "Texture \"Env\" { FileName \"" + d +
            "env.raw\" Width 64 Height 64 Flags [\"Bilinear\"] }\n";
    for (const auto& side : sky) {
        text += std::string("Texture \"Sky") + side.name + "\" { FileName \"" + d + "sky_" +
                side.name + ".raw\" Width 64 Height 64 Flags [\"Bilinear\"] }\n";
    }
    text += "Geometry \"Sky\" { LWObject \"" + d + "sky.lwo\" }\n";
    for (const GeometryKind& g : kGeometries) {
        text +=
            std::string("Geometry \"") + g.label + "\" { LWObject \"" + d + g.label + ".lwo\" }\n";
    }

    // Brains: the camera's round (radius and height rise and fall twice per round), the
    // clusters' and lamps' slow turns, the objects' spins, and the inset camera's roll.
    text += "Brain \"Orbit\" { Class \"LWMotion\" Motion \"Round\" {\n";
    for (int k = 0; k <= 8; ++k) {
        const float angle = 2.0f * 3.14159265f * float(k) / 8.0f;
        const float radius = (k % 2) == 0 ? 58.0f : 46.0f;
        const float height = (k % 2) == 0 ? 15.0f : 9.0f;
        const float pitch = -std::atan(height / radius);
        text += "    Keyframe \"K" + std::to_string(k) + "\" { Position " +
                vector3(radius * std::sin(angle), height, -radius * std::cos(angle)) +
                " Rotation " + vector3(pitch, angle, 0.0f) + " Time " +
                number(float(kOrbitSeconds) * float(k) / 8.0f) + " }\n";
    }
    text += "    StartTime 0. EndTime " + number(float(kOrbitSeconds)) +
            " EndBehavior \"Repeat\" } }\n";
    auto spinner = [&](const char* name, float rx, float ry, float rz) {
        text += std::string("Brain \"") + name +
                "\" { Class \"SimpleMovement\" Physics \"Turn\" { RotateVelocity " +
                vector3(rx, ry, rz) + " MoveVelocity [0., 0., 0.] } }\n";
    };
    spinner("ClusterTurn", 0.0f, 0.15f, 0.0f);
    spinner("LampTurn", 0.0f, -0.3f, 0.0f);
    spinner("SpinA", 0.7f, 1.1f, 0.0f);
    spinner("SpinB", 0.0f, -0.9f, 0.5f);
    spinner("Roll", 0.0f, 0.0f, 0.25f);

    // The world: cameras, the lamp carrier and the clusters.
    text += "ObjectGroup \"World\" {\n";
    text += "    Object \"Eye\" { Brain \"Orbit\" }\n";
    text +=
        "    Object \"Above\" { Position [0., 95., 0.] Rotation [-1.5708, 0., 0.] "
        "Brain \"Roll\" }\n";
    text += "    Object \"Lamps\" { Brain \"LampTurn\" ObjectGroup \"Lamps\" }\n";
    XorShift32 random{0x1234567u};
    for (int c = 0; c < kClusters; ++c) {
        // Spread over a disc of radius 34 (the square root keeps the density even).
        const float r = 34.0f * std::sqrt(random.uniform());
        const float a = random.range(0.0f, 6.2831853f);
        text += "    Object \"C" + std::to_string(c) + "\" { Position " +
                vector3(r * std::cos(a), random.range(-1.0f, 2.0f), r * std::sin(a)) +
                " Brain \"ClusterTurn\" ObjectGroup \"Cluster" + std::to_string(c) + "\" }\n";
    }
    text += "}\n";
    text += "ObjectGroup \"Lamps\" {\n";
    for (int l = 0; l < kLamps; ++l) {
        const float a = 2.0f * 3.14159265f * float(l) / float(kLamps);
        text += "    Object \"Lamp" + std::to_string(l) + "\" { Position " +
                vector3(30.0f * std::cos(a), 18.0f + 4.0f * float(l % 2), 30.0f * std::sin(a)) +
                " }\n";
    }
    text += "}\n";
    int serial = 0;
    for (int c = 0; c < kClusters; ++c) {
        text += "ObjectGroup \"Cluster" + std::to_string(c) + "\" {\n";
        const std::string lights = "[\"L" + std::to_string(c % kLamps) + "\", \"L" +
                                   std::to_string((c + 2) % kLamps) + "\", \"L" +
                                   std::to_string((c + 4) % kLamps) + "\"]";
        for (const GeometryKind& g : kGeometries) {
            const float r = random.range(1.5f, 6.5f);
            const float a = random.range(0.0f, 6.2831853f);
            text += "    Object \"O" + std::to_string(serial) + "\" { Geometry \"" + g.label +
                    "\" Position " +
                    vector3(r * std::cos(a), random.range(-3.0f, 3.0f), r * std::sin(a)) +
                    " Rotation " +
                    vector3(random.range(0.0f, 3.0f), random.range(0.0f, 3.0f), 0.0f) + " Light " +
                    lights;
            // Every other object spins on its own as well.
            if (serial % 2 == 0) text += serial % 4 == 0 ? " Brain \"SpinA\"" : " Brain \"SpinB\"";
            text += " }\n";
            ++serial;
        }
        text += "}\n";
    }

    // The scene: lamps, and two cameras sharing the fog (the last camera's is used).
    text += "Scene \"Busy\" {\n    Time 100000.\n    RootObject \"World\"\n";
    for (int l = 0; l < kLamps; ++l) {
        static const char* const kColours[kLamps] = {"[255, 230, 200]", "[200, 220, 255]",
                                                     "[255, 200, 160]", "[180, 255, 200]",
                                                     "[255, 255, 255]", "[220, 200, 255]"};
        text += "    Light \"L" + std::to_string(l) + "\" { Object \"Lamps/Lamp" +
                std::to_string(l) + "\" Color " + kColours[l] + " Intensity [21., 15.] }\n";
    }
    const std::string background =
        "Background \"Sky\" { MapN \"SkyNorth\" MapW \"SkyWest\" MapS \"SkySouth\" "
        "MapE \"SkyEast\" MapU \"SkyUp\" MapD \"SkyDown\" }";
    const std::string fog = "Fog \"Haze\" { Color [90, 100, 120] Mode \"Exp2\" Density 0.006 }";
    text +=
        "    Camera \"Main\" { Object \"Eye\" View \"Full\" {\n"
        "        Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 2000.] "
        "Color [0, 0, 0]\n        " +
        fog + "\n        " + background + " } }\n";
    text +=
        "    Camera \"Top\" { Object \"Above\" View \"Inset\" {\n"
        "        Window [448, 16, 176, 132] FOV [1.0, 0.75] ZClip [1., 2000.] "
        "Color [0, 0, 0]\n        " +
        fog + "\n        " + background + " } }\n";
    text += "}\nDemo \"Bench\" { Scene [\"Busy\"] }\n";

    const fs::path description = dir / "busy.wrl";
    std::ofstream(description) << text;
    return description;
}

// The scene in a scratch folder, written once and removed at exit.
class BusyScene {
  public:
    BusyScene()
        : dir_(fs::temp_directory_path() / ("halcyon_render_bench_" + std::to_string(getpid()))),
          description_(writeBusyScene(dir_).string()) {}
    ~BusyScene() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    const std::string& description() const { return description_; }

  private:
    fs::path dir_;
    std::string description_;
};

const std::string& busyScene() {
    static const BusyScene scene;
    return scene.description();
}

// ---- Per-frame measurement ---------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Times the run loop's frames from its `stopRequested` hook, which runs after each swap.
// With `alternate`, one iteration is a pair of frames, the first drawn as the engine
// draws it and the second with the board's rasterisation off; the iteration's time is the
// first one's. Without, every frame has the rasterisation off and is one iteration.
struct FrameTimer {
    benchmark::State* state = nullptr;
    SteppedClock* clock = nullptr;
    Demo* demo = nullptr;
    bool alternate = true;
    bool started = false;
    bool engineOnly = false;  // the frame being drawn has the board's rasterisation off
    Clock::time_point mark;
    uint64_t allocationMark = 0;
    BoardStats boardMark{};
    double wholeFrame = 0.0;  // seconds of the last whole frame

    // Sums over the timed frames.
    double wholeSeconds = 0.0, engineSeconds = 0.0;
    int wholeFrames = 0, engineFrames = 0;
    uint64_t allocations = 0;
    int framesWithAllocations = 0;
    uint64_t pixels = 0, engineOnlyPixels = 0;
    uint64_t triangles = 0, downloads = 0, verticesTransformed = 0, verticesLit = 0,
             polygonsDrawn = 0, deferred = 0, objectsDrawn = 0;
    double loadSeconds = 0.0;
    uint64_t loadAllocations = 0;  // loading and the first frame: shows the counter works

    int frames() const { return wholeFrames + engineFrames; }

    void setEngineOnly(bool on) {
        engineOnly = on;
        boardSkipRasterisation(on);
    }

    // True ends the run.
    bool afterFrame() {
        const uint64_t allocated = heapAllocations();
        const Clock::time_point now = Clock::now();
        const BoardStats board = boardStats();
        clock->advance();
        if (!started) {
            // The first frame (loading finished, textures downloaded) is not timed.
            started = true;
            loadSeconds = secondsBetween(mark, now);
            loadAllocations = allocated - allocationMark;
            setEngineOnly(!alternate);
            return restart(state->KeepRunning());
        }
        const double seconds = secondsBetween(mark, now);
        const uint64_t frameAllocations = allocated - allocationMark;
        allocations += frameAllocations;
        if (frameAllocations != 0) ++framesWithAllocations;
        triangles += board.triangles - boardMark.triangles;
        downloads += board.textureDownloads - boardMark.textureDownloads;
        for (int i = 0; i < demo->viewCount; ++i) {
            const ViewStats& v = demo->views[i]->stats;
            verticesTransformed += uint64_t(v.verticesTransformed);
            verticesLit += uint64_t(v.verticesLit);
            polygonsDrawn += uint64_t(v.polygonsDrawn);
            deferred += uint64_t(v.deferred);
            objectsDrawn += uint64_t(v.objectsDrawn);
        }
        if (engineOnly) {
            engineSeconds += seconds;
            ++engineFrames;
            engineOnlyPixels += board.pixels - boardMark.pixels;
        } else {
            wholeFrame = seconds;
            wholeSeconds += seconds;
            ++wholeFrames;
            pixels += board.pixels - boardMark.pixels;
        }
        if (alternate && !engineOnly) {
            setEngineOnly(true);
            return restart(true);
        }
        state->SetIterationTime(alternate ? wholeFrame : seconds);
        if (alternate) setEngineOnly(false);
        return restart(state->KeepRunning());
    }

    // Starts the next frame's readings; `more` false ends the run.
    bool restart(bool more) {
        allocationMark = heapAllocations();
        boardMark = boardStats();
        mark = Clock::now();
        return !more;
    }
};

// Plays the busy scene with the timer in the run loop; false (and the benchmark skipped)
// when it did not play as planned.
bool playTimed(benchmark::State& state, FrameTimer& timer) {
    SteppedClock clock(1.0 / kFrameRate, 0.0);
    ScopedClockSource installed(&clock);
    Demo demo;
    timer.state = &state;
    timer.clock = &clock;
    timer.demo = &demo;
    demo.stopRequested = [&timer] { return timer.afterFrame(); };
    timer.allocationMark = heapAllocations();
    timer.mark = Clock::now();
    const bool opened = demo.LoadDemo(busyScene().c_str());
    boardSkipRasterisation(false);
    if (!opened || timer.frames() == 0 || (timer.alternate && timer.wholeFrames == 0)) {
        state.SkipWithError("the scene did not play");
        return false;
    }
    if (timer.engineOnlyPixels != 0) {
        state.SkipWithError("frames with the rasterisation off wrote pixels");
        return false;
    }
    const double frames = double(timer.frames());
    auto& c = state.counters;
    c["allocs/frame"] = double(timer.allocations) / frames;
    c["alloc_frames"] = double(timer.framesWithAllocations);
    c["load_allocs"] = double(timer.loadAllocations);
    c["triangles/frame"] = double(timer.triangles) / frames;
    c["downloads/frame"] = double(timer.downloads) / frames;
    c["transformed/frame"] = double(timer.verticesTransformed) / frames;
    c["lit/frame"] = double(timer.verticesLit) / frames;
    c["polygons/frame"] = double(timer.polygonsDrawn) / frames;
    c["deferred/frame"] = double(timer.deferred) / frames;
    c["objects/frame"] = double(timer.objectsDrawn) / frames;
    return true;
}

// (a) the whole frame; counters: (b) the engine's own work `engine_ms` and (c) the board's
// share `board_ms`, from alternate frames; (d) heap allocations per frame; what a frame
// holds (summed over both views); the time to load the scene and draw its first frame.
void BM_RenderFrame(benchmark::State& state) {
    boardSetDrawWorkers(int(state.range(0)));
    FrameTimer timer;
    timer.alternate = true;
    if (!playTimed(state, timer)) return;
    const double whole = timer.wholeSeconds / timer.wholeFrames;
    const double engine = timer.engineSeconds / timer.engineFrames;
    state.counters["engine_ms"] = engine * 1e3;
    state.counters["board_ms"] = (whole - engine) * 1e3;
    state.counters["pixels/frame"] = double(timer.pixels) / timer.wholeFrames;
    state.counters["load_ms"] = timer.loadSeconds * 1e3;
    boardSetDrawWorkers(-1);
}
BENCHMARK(BM_RenderFrame)
    ->ArgName("workers")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(kFramePairs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// (b) alone: every frame with the board's rasterisation off, one after another (the
// engine's data then stays in the caches between frames). The run to profile the engine's
// own work with: --benchmark_filter=BM_EngineOnlyFrame.
void BM_EngineOnlyFrame(benchmark::State& state) {
    FrameTimer timer;
    timer.alternate = false;
    playTimed(state, timer);
}
BENCHMARK(BM_EngineOnlyFrame)
    ->Iterations(2 * kFramePairs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// (e) the offline renderer with no output, as `halcyon-render --no-output --to 12` runs it:
// frames per second over the whole run, loading included, as the tool reports it.
void BM_OfflineRender(benchmark::State& state) {
    boardSetDrawWorkers(int(state.range(0)));
    const std::string& description = busyScene();
    OfflineResult result;
    for (auto _ : state) {
        OfflineOptions options;
        options.description = description;
        options.to = kOfflineSeconds;
        result = renderOffline(options);
        state.SetIterationTime(result.seconds);
    }
    if (!result.opened || result.seconds <= 0.0) {
        state.SkipWithError("the scene did not play");
        return;
    }
    state.counters["frames/s"] = result.framesDrawn / result.seconds;
    state.counters["frames"] = result.framesDrawn;
    boardSetDrawWorkers(-1);
}
BENCHMARK(BM_OfflineRender)
    ->ArgName("workers")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-scene") == 0) {
        const fs::path description = writeBusyScene(argv[2]);
        std::printf("%s\n", description.string().c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
