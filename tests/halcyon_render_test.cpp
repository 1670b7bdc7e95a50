// End-to-end tests of halcyon-render: the same frames every run, frame selection, the
// music as WAV aligned with the frames, video through ffmpeg (or a clear message without
// it), and the exit status of every kind of call.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch folder with data/music/drift07.mp3 (a short test stream) and a description.
class RenderTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("halcyon_render_" + std::to_string(getpid()));
        fs::create_directories(dir_ / "data" / "music");
        fs::copy_file(fs::path(HALCYON_SOURCE_DIR) / "music/testdata/stereo_33_frames.mp3",
                      dir_ / "data" / "music" / "drift07.mp3");
        std::ofstream(dir_ / "demo.wrl")
            << "Brain \"Spin\" { Class \"SimpleMovement\" Physics \"P\" { RotateVelocity [0., "
               "0., 2.] MoveVelocity [0., 0., 0.] } }\n"
               "ObjectGroup \"G\" { Object \"Eye\" { Brain \"Spin\" } }\n"
               "Scene \"S\" { Time 0.5 RootObject \"G\" Camera \"C\" { Object \"Eye\" View \"V\" "
               "{ Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 100.] Color [10, 20, 30] "
               "} } }\nDemo \"D\" { Scene [\"S\"] }\n";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs halcyon-render in the scratch folder; returns its exit status, and its standard
    // error in `errors`.
    int run(const std::string& arguments, std::string* errors = nullptr) {
        const std::string command = "cd '" + dir_.string() +
                                    "' && '" HALCYON_BINARY_DIR "/bin/halcyon-render' " +
                                    arguments + " > out.txt 2> err.txt";
        const int status = std::system(command.c_str());
        if (errors != nullptr) *errors = readBytes(dir_ / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
};

TEST_F(RenderTool, TwoRunsGiveTheSameFrames) {
    ASSERT_EQ(run("--out a demo.wrl"), 0);
    ASSERT_EQ(run("--out b demo.wrl"), 0);
    // 0.5 s at 60 frames per second: frames 0..30, and the one after the time ran out.
    int frames = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "a")) {
        const fs::path other = dir_ / "b" / entry.path().filename();
        EXPECT_EQ(readBytes(entry.path()), readBytes(other)) << entry.path();
        ++frames;
    }
    EXPECT_EQ(frames, 32);
    EXPECT_TRUE(fs::exists(dir_ / "a" / "frame_000031.png"));
}

TEST_F(RenderTool, FromToAndEveryPickFrames) {
    std::string errors;
    ASSERT_EQ(run("--fps 30 --from 0.1 --to 0.3 --every 2 --out f demo.wrl", &errors), 0);
    // At 30 frames per second, 0.1..0.3 s are frames 3..9; every second one from 3.
    for (int frame : {3, 5, 7, 9}) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", frame);
        EXPECT_TRUE(fs::exists(dir_ / "f" / name)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "f"), fs::directory_iterator{}), 4);
    EXPECT_NE(errors.find("4 kept"), std::string::npos) << errors;
    ASSERT_EQ(run("--no-output demo.wrl", &errors), 0);
    EXPECT_FALSE(fs::exists(dir_ / "frames"));
    EXPECT_NE(errors.find("32 frames drawn, 0 kept"), std::string::npos) << errors;
}

TEST_F(RenderTool, AudioIsTheMusicFromTheFirstFrame) {
    ASSERT_EQ(run("--no-output --audio all.wav demo.wrl"), 0);
    ASSERT_EQ(run("--no-output --from 0.25 --to 0.5 --audio part.wav demo.wrl"), 0);
    const std::string all = readBytes(dir_ / "all.wav");
    const std::string part = readBytes(dir_ / "part.wav");
    ASSERT_GT(all.size(), 44u);
    EXPECT_EQ(all.substr(0, 4), "RIFF");
    EXPECT_EQ(all.substr(8, 8), "WAVEfmt ");
    // The whole stream: 33 frames of 1152 stereo samples.
    EXPECT_EQ(all.size() - 44, 33u * 4608);
    // The part starts 0.25 s into the music and lasts 0.25 s (44100 Hz, 4 bytes a sample).
    const size_t start = 11025 * 4;
    ASSERT_EQ(part.size() - 44, 11025u * 4);
    EXPECT_EQ(part.substr(44), all.substr(44 + start, 11025 * 4));
}

TEST_F(RenderTool, VideoNeedsFfmpeg) {
    std::string errors;
    const bool haveFfmpeg = std::system("command -v ffmpeg > /dev/null 2>&1") == 0;
    // A quote in the name stays part of the name.
    const int status = run("--to 0.2 --video \"it's.mp4\" demo.wrl", &errors);
    if (haveFfmpeg) {
        EXPECT_EQ(status, 0) << errors;
        ASSERT_TRUE(fs::exists(dir_ / "it's.mp4")) << errors;
        EXPECT_GT(fs::file_size(dir_ / "it's.mp4"), 1000u);
    } else {
        EXPECT_EQ(status, 1);
        EXPECT_NE(errors.find("ffmpeg is not installed"), std::string::npos) << errors;
    }
}

TEST_F(RenderTool, ExitStatusTellsHowItWent) {
    std::string errors;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(readBytes(dir_ / "out.txt").find("usage: halcyon-render"), std::string::npos);
    EXPECT_EQ(run("", &errors), 2);
    EXPECT_NE(errors.find("usage: halcyon-render"), std::string::npos);
    EXPECT_EQ(run("--fps 0 demo.wrl"), 2);
    EXPECT_EQ(run("--every x demo.wrl"), 2);
    EXPECT_EQ(run("--from 2 --to 1 demo.wrl"), 2);
    EXPECT_EQ(run("--no-output missing.wrl", &errors), 1);
    EXPECT_NE(errors.find("cannot open missing.wrl"), std::string::npos) << errors;
    // A fatal error in the description ends the run with status 1 and its message.
    std::ofstream(dir_ / "fatal.wrl")
        << "Brain \"B\" { Class \"lwmotion\" }\nObjectGroup \"G\" { Object \"X\" { Brain "
           "\"B\" } }\nScene \"S\" { Time 0. RootObject \"G\" }\nDemo \"D\" { Scene [\"S\"] }\n";
    EXPECT_EQ(run("--no-output fatal.wrl", &errors), 1);
    EXPECT_NE(errors.find("Unknown Brain B Class: lwmotion"), std::string::npos) << errors;
}

}  // namespace
