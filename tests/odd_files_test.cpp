// Every kind of input file (description, object, image, music) refuses what is not a
// regular file: a directory, a FIFO with no writer and an endless device each end with the
// usual message for a file that cannot be opened, at once and without reading a byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "geometry/lw_object_file.h"
#include "music/decoder.h"
#include "scene_lang/parse_tree.h"
#include "scene_lang/parser.h"
#include "textures/texture.h"

namespace {

namespace fs = std::filesystem;

// A scratch folder holding, for one file name, a directory, a FIFO and a link to /dev/zero.
class OddFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_odd_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // A hang would stop the whole run: end it loudly instead.
        alarm(60);
    }
    void TearDown() override {
        alarm(0);
        fs::remove_all(dir_);
    }

    // The three odd files, each named `stem` plus `extension` (so loaders that look at the
    // extension treat them as their kind).
    std::vector<std::string> oddFiles(const std::string& extension) {
        std::string directory = (dir_ / ("folder" + extension)).string();
        std::string fifo = (dir_ / ("fifo" + extension)).string();
        std::string zero = (dir_ / ("zero" + extension)).string();
        fs::create_directories(directory);
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", zero);
        return {directory, fifo, zero};
    }

    fs::path dir_;
};

// Runs `load` with the console captured and returns what it wrote.
std::string capturing(const std::function<void()>& load) {
    testing::internal::CaptureStderr();
    load();
    return testing::internal::GetCapturedStderr();
}

TEST_F(OddFiles, EveryKindOfInputRefusesWhatIsNotARegularFile) {
    for (const std::string& path : oddFiles(".wrl")) {
        ParseResult parsed;
        std::string console = capturing([&] { parsed = parseDescription(path.c_str(), stderr); });
        EXPECT_FALSE(parsed.opened) << path;
        EXPECT_EQ(console, "cannot open " + path + "\n");
    }

    for (const std::string& path : oddFiles(".lwo")) {
        LWObjectFile object;
        bool loaded = true;
        std::string console = capturing([&] { loaded = object.load(path.c_str()); });
        EXPECT_FALSE(loaded) << path;
        EXPECT_NE(console.find("Error: Can't open file " + path), std::string::npos) << console;
    }

    for (const std::string& path : oddFiles(".raw")) {
        std::string text = "Texture \"Ice\" { FileName \"" + path + "\" Width 64 Height 64 }\n";
        ParseResult parsed = parseText(text.c_str(), text.size(), stderr);
        ASSERT_NE(parsed.tree, nullptr);
        Texture texture;
        bool accepted = false;
        std::string console = capturing(
            [&] { accepted = texture.loadTexture(findFrom(parsed.tree.get(), "Texture")); });
        EXPECT_TRUE(accepted);  // a texture whose file is missing is kept, black
        EXPECT_NE(console.find("cannot open image file \"" + path + "\""), std::string::npos)
            << console;
        for (uint32_t i = 0; i < texture.memorySize; ++i) ASSERT_EQ(texture.pixels[i], 0);
    }

    for (const std::string& path : oddFiles(".mp3")) {
        MpegDecoder decoder;
        bool opened = true;
        std::string console = capturing([&] { opened = decoder.open(path.c_str()); });
        EXPECT_FALSE(opened) << path;
        EXPECT_EQ(console, "Error opening file: " + path + "\n");
        StreamInfo info;
        EXPECT_FALSE(decoder.readFirstHeader(info));
    }
}

}  // namespace
