// The default demo as a newcomer first sees it: data/tundra.wrl plays to its end on the
// stepped clock without a console message, draws the frames its scenes call for, shows a
// picture in every scene, lasts as long as its music, and its objects and textures are
// exactly what halcyon-tundra-content writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music/decoder.h"
#include "scene_lang/parse_tree.h"
#include "scene_lang/parser.h"
#include "tools/offline_render.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDescription = "data/tundra.wrl";
constexpr const char* kMusic = "data/music/drift07.mp3";
constexpr double kFps = 60.0;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The "Time" of every scene the "Demo" entry lists, in order.
std::vector<float> sceneTimes() {
    ParseResult parsed = parseDescription(kDescription, nullptr);
    const ParseNode* root = parsed.tree.get();
    std::vector<float> times;
    const ParseNode* demo = findFrom(root, "Demo");
    const ParseNode* list = demo != nullptr ? child(demo, "Scene") : nullptr;
    for (const ParseValue* v = list != nullptr ? list->valuesHead : nullptr; v != nullptr;
         v = v->next) {
        const ParseNode* scene = findFromLabelled(root, "Scene", v->text);
        const ParseNode* time = scene != nullptr ? child(scene, "Time") : nullptr;
        times.push_back(time != nullptr ? time->floatValue : 0.0f);
    }
    return times;
}

// Frames the run loop draws on a clock stepped by 1/fps: each scene ends with the first
// frame drawn once its time has passed, and the next scene starts on the following tick.
int framesFor(const std::vector<float>& times) {
    double now = 0.0;
    int frames = 0;
    for (float time : times) {
        const double end = now + static_cast<double>(time);
        for (bool done = false; !done; now += 1.0 / kFps) {
            done = now > end;
            ++frames;
        }
    }
    return frames;
}

double musicSeconds() {
    MpegDecoder decoder;
    StreamInfo info;
    if (!decoder.open(kMusic) || !decoder.readFirstHeader(info)) return 0.0;
    size_t bytes = 0, total = 0;
    const int16_t* samples = nullptr;
    while (decoder.nextFrame(&samples, &bytes)) total += bytes;
    return static_cast<double>(total) / (2.0 * info.channels * info.sampleRate);
}

TEST(DefaultDemo, PlaysEveryFrameSilentlyAndAsLongAsTheMusic) {
    const std::vector<float> times = sceneTimes();
    ASSERT_GE(times.size(), 3u);
    for (float time : times) EXPECT_GT(time, 5.0f);
    double total = 0.0;
    for (float time : times) total += time;
    EXPECT_NEAR(total, musicSeconds(), 0.25) << "the demo should end with its music";

    OfflineOptions options;
    options.description = kDescription;
    options.fps = kFps;
    options.every = 30;
    // Every kept frame shows a picture: many colours, and nothing close to black.
    int pictures = 0;
    std::vector<std::string> faults;
    options.onFrame = [&](int frame, const uint16_t* pixels) {
        std::vector<bool> seen(65536, false);
        int colours = 0;
        uint64_t luminance = 0;
        for (int i = 0; i < 640 * 480; ++i) {
            const uint16_t p = pixels[i];
            if (!seen[p]) ++colours;
            seen[p] = true;
            luminance += ((p >> 11) << 3) + (((p >> 5) & 63) << 2) + ((p & 31) << 3);
        }
        const double mean = static_cast<double>(luminance) / (3.0 * 640 * 480);
        if (colours < 300 || mean < 40.0) {
            faults.push_back("frame " + std::to_string(frame) + ": " + std::to_string(colours) +
                             " colours, mean level " + std::to_string(mean));
        }
        ++pictures;
    };

    testing::internal::CaptureStderr();
    const OfflineResult result = renderOffline(options);
    const std::string console = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(console, "");
    EXPECT_EQ(result.framesDrawn, framesFor(times));
    EXPECT_EQ(pictures, (result.framesDrawn + options.every - 1) / options.every);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

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
    for (const char* folder : {"objects", "textures"}) {
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
            if (name.ends_with(".raw")) {
                const size_t size = bytes.size();
                EXPECT_TRUE(size == 64 * 64 * 3 || size == 128 * 128 * 3 || size == 256 * 256 * 3)
                    << name << " has " << size << " bytes";
            }
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
