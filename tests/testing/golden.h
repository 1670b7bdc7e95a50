// Golden-image helpers for end-to-end tests (textures come from tools/raw_image.h): a
// description played by the offline renderer, whose frame at a given time is compared
// byte for byte with tests/testdata/NAME.png. With HALCYON_UPDATE_GOLDEN=1 the PNG is written anew
// instead (look at it before committing it).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/offline_render.h"
#include "tools/png_writer.h"
#include "tools/raw_image.h"

namespace golden {

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Compares a 640x480 RGB565 frame with tests/testdata/NAME.png (written anew instead with
// HALCYON_UPDATE_GOLDEN=1); the frame is kept as DIR/NAME.png for a person to look at.
inline void expectGoldenFrame(const std::filesystem::path& dir, const char* name,
                              const uint16_t* pixels) {
    namespace fs = std::filesystem;
    const fs::path rendered = dir / (std::string(name) + ".png");
    ASSERT_TRUE(writePng(rendered.string().c_str(), 640, 480, pixels));
    const fs::path golden = fs::path("tests/testdata") / (std::string(name) + ".png");
    if (std::getenv("HALCYON_UPDATE_GOLDEN") != nullptr) {
        fs::create_directories(golden.parent_path());
        fs::copy_file(rendered, golden, fs::copy_options::overwrite_existing);
    }
    EXPECT_EQ(readBytes(rendered), readBytes(golden))
        << name << ": the picture differs from " << golden << " (rendered: " << rendered << ")";
}

// Writes `description` into `dir`, plays it on the stepped clock (60 frames per second)
// up to `at` seconds and compares that frame with tests/testdata/NAME.png. The console
// must stay silent unless `console` is given, which then receives what was written.
inline void expectGolden(const std::filesystem::path& dir, const std::string& description,
                         const char* name, double at, std::string* console = nullptr) {
    namespace fs = std::filesystem;
    const fs::path file = dir / (std::string(name) + ".wrl");
    std::ofstream(file) << description;
    OfflineOptions options;
    options.description = file.string();
    options.from = at;
    options.to = at;
    std::vector<uint16_t> frame;
    options.onFrame = [&](int, const uint16_t* pixels) {
        frame.assign(pixels, pixels + 640 * 480);
    };
    testing::internal::CaptureStderr();
    const OfflineResult result = renderOffline(options);
    const std::string written = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(result.opened);
    if (console != nullptr) {
        *console = written;
    } else {
        EXPECT_EQ(written, "") << name;
    }
    ASSERT_EQ(frame.size(), size_t{640} * 480) << name;

    expectGoldenFrame(dir, name, frame.data());
}
}  // namespace golden
