// End-to-end tests of `halcyon` without a display or sound card: the process ends when the
// music ends or when the demo ends, the command line picks the description, and the
// played sound is the decoded music byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "music/decoder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kKillAfterSeconds = 60.0;

struct RunResult {
    int exitCode = -1;
    double seconds = 0.0;
    std::string errors;  // standard error
};

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch working directory with an optional music file and description.
class Workplace {
  public:
    Workplace() {
        std::string pattern = (fs::temp_directory_path() / "halcyon_e2e_XXXXXX").string();
        root_ = mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
    }
    ~Workplace() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }

    void music(const char* sourceFile) {
        fs::create_directories(root_ / "data" / "music");
        fs::copy_file(fs::path(HALCYON_SOURCE_DIR) / sourceFile,
                      root_ / "data" / "music" / "drift07.mp3");
    }

    void description(const char* name, const std::string& text) {
        std::ofstream(root_ / name) << text;
    }

    // Runs halcyon here with `args`, no display and the given SDL variables.
    RunResult run(const std::vector<std::string>& args, std::vector<std::string> variables = {}) {
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry = *e;
            if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                entry.rfind("SDL_", 0) == 0) {
                continue;
            }
            environment.push_back(entry);
        }
        if (variables.empty()) variables = {"SDL_AUDIODRIVER=dummy"};
        environment.insert(environment.end(), variables.begin(), variables.end());

        std::string program = std::string(HALCYON_BINARY_DIR) + "/bin/halcyon";
        std::vector<char*> argv{program.data()};
        std::vector<std::string> argCopies = args;
        for (std::string& arg : argCopies) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string errorsPath = (root_ / "stderr.txt").string();

        RunResult result;
        Clock::time_point start = Clock::now();
        pid_t child = fork();
        if (child == 0) {
            if (chdir(root_.c_str()) != 0) _exit(126);
            FILE* errors = std::fopen(errorsPath.c_str(), "w");
            if (errors == nullptr || dup2(fileno(errors), 2) < 0) _exit(126);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(127);
        }
        EXPECT_GT(child, 0);
        int status = 0;
        for (;;) {
            pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) break;
            if (std::chrono::duration<double>(Clock::now() - start).count() > kKillAfterSeconds) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << "halcyon did not end";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.errors = readText(errorsPath);
        return result;
    }

  private:
    fs::path root_;
};

// One scene per entry: {label, seconds, "r, g, b"}.
std::string demoText(std::initializer_list<std::pair<const char*, const char*>> scenes) {
    std::string text =
        "/* end-to-end test demo */\n"
        "ObjectGroup \"World\" { Object \"Eye\" { Position [0., 0., 0.] } }\n";
    std::string list;
    for (const auto& [label, seconds] : scenes) {
        text += std::string("Scene \"") + label + "\" { Time " + seconds +
                " RootObject \"World\" Camera \"Eye\" { Object \"Eye\" " +
                "View \"Full\" { Window [0, 0, 640, 480] FOV [1.5708, 1.2] ZClip [1., 100.] " +
                "Color [0, 128, 255] } } }\n";
        if (!list.empty()) list += ", ";
        list += std::string("\"") + label + "\"";
    }
    return text + "Demo \"Test\" { Scene [" + list + "] }\n";
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(Halcyon, EndsWhenTheMusicEnds) {
    Workplace place;
    place.music("music/testdata/stereo_33_frames.mp3");  // two buffers: 1.7 s of sound
    place.description("long.wrl", demoText({{"Long", "30.0"}}));
    RunResult run = place.run({"long.wrl"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GT(run.seconds, 1.2);  // the music plays at its own pace
    EXPECT_LT(run.seconds, 15.0);
    EXPECT_EQ(countOf(run.errors, "No display found"), 1) << run.errors;
    EXPECT_EQ(countOf(run.errors, "\n"), 1) << run.errors;
}

TEST(Halcyon, EndsWhenTheDemoEnds) {
    Workplace place;
    place.music("data/music/drift07.mp3");  // half a minute
    place.description("short.wrl", demoText({{"One", "0.6"}, {"Two", "0.6"}}));
    RunResult run = place.run({"short.wrl"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GT(run.seconds, 1.1);  // both scenes played in real time
    EXPECT_LT(run.seconds, 15.0);
    EXPECT_EQ(countOf(run.errors, "\n"), 1) << run.errors;
}

TEST(Halcyon, MissingMusicEndsTheProcessAfterLoading) {
    Workplace place;
    place.description("long.wrl", demoText({{"Long", "30.0"}}));
    RunResult run = place.run({"long.wrl"});
    EXPECT_EQ(run.exitCode, 1);  // the music could not be played
    EXPECT_LT(run.seconds, 15.0);
    EXPECT_NE(run.errors.find("Error opening file: data/music/drift07.mp3\n\n"
                              "Error : no header found!"),
              std::string::npos)
        << run.errors;
}

TEST(Halcyon, CommandLinePicksTheDescription) {
    Workplace place;
    RunResult one = place.run({"mine.wrl"});
    EXPECT_EQ(one.exitCode, 1);  // a description that cannot be opened is a failure
    EXPECT_NE(one.errors.find("cannot open mine.wrl\n"), std::string::npos) << one.errors;
    RunResult none = place.run({});
    EXPECT_NE(none.errors.find("cannot open data/tundra.wrl\n"), std::string::npos);
    RunResult two = place.run({"mine.wrl", "other.wrl"});
    EXPECT_NE(two.errors.find("cannot open data/tundra.wrl\n"), std::string::npos);

    // A path with spaces is one argument, and that file plays.
    place.music("data/music/drift07.mp3");
    place.description("my demo.wrl", demoText({{"One", "0.3"}}));
    RunResult spaced = place.run({"my demo.wrl"});
    EXPECT_EQ(spaced.exitCode, 0);
    EXPECT_EQ(spaced.errors.find("cannot open"), std::string::npos) << spaced.errors;
    EXPECT_GT(spaced.seconds, 0.25);  // the scene played for its time
}

TEST(Halcyon, PlaysTheDecodedMusicByteForByte) {
    Workplace place;
    place.music("music/testdata/stereo_33_frames.mp3");
    place.description("long.wrl", demoText({{"Long", "30.0"}}));
    std::string output = (place.root() / "played.raw").string();
    RunResult run = place.run({"long.wrl"}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + output,
                                             "SDL_DISKAUDIODELAY=0"});
    EXPECT_EQ(run.exitCode, 0);
    std::string played = readText(output);

    MpegDecoder decoder;
    ASSERT_TRUE(decoder.open(HALCYON_SOURCE_DIR "/music/testdata/stereo_33_frames.mp3"));
    StreamInfo info;
    ASSERT_TRUE(decoder.readFirstHeader(info));
    std::string decoded;
    const int16_t* samples = nullptr;
    size_t bytes = 0;
    while (decoder.nextFrame(&samples, &bytes)) {
        decoded.append(reinterpret_cast<const char*>(samples), bytes);
    }
    ASSERT_EQ(decoded.size(), 33u * 4608);

    // The device plays silence before the first buffer arrives: line up the first sound.
    size_t playedStart = played.find_first_not_of('\0');
    size_t decodedStart = decoded.find_first_not_of('\0');
    ASSERT_NE(playedStart, std::string::npos);
    ASSERT_NE(decodedStart, std::string::npos);
    ASSERT_GE(played.size() - playedStart, decoded.size() - decodedStart);
    EXPECT_EQ(played.compare(playedStart, decoded.size() - decodedStart, decoded, decodedStart,
                             std::string::npos),
              0);
    // The last buffer's padding is silence.
    std::string rest = played.substr(playedStart + decoded.size() - decodedStart);
    EXPECT_EQ(rest.find_first_not_of('\0'), std::string::npos);
}

}  // namespace
