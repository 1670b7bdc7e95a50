// halcyon-render: plays a demo description on the stepped clock as fast as the machine
// allows and writes its frames (PNG, or a video through ffmpeg) and its music (WAV).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/offline_render.h"

namespace {

constexpr const char* kMusic = "data/music/drift07.mp3";

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: halcyon-render [--fps N] [--from S] [--to S] [--every K] [--out DIR]\n"
                 "                      [--video FILE.mp4] [--audio FILE.wav] [--no-output] FILE\n"
                 "Plays the demo description FILE frame by frame on a stepped clock (no window,\n"
                 "no sound device) and writes frames DIR/frame_000123.png (default DIR: frames),\n"
                 "a video through ffmpeg with the music, and the music as WAV, aligned with the\n"
                 "frames. --from/--to keep frames between S seconds; --every keeps every K-th;\n"
                 "--no-output draws every frame and writes none. Run from the folder that holds\n"
                 "data/ (the music is %s).\n",
                 kMusic);
}

bool number(const char* text, double& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0';
}

// `text` as one single-quoted shell word.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

bool haveFfmpeg() {
    return std::system("command -v ffmpeg > /dev/null 2>&1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    OfflineOptions options;
    std::string video, audio;
    bool noOutput = false;
    bool outGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](double& out) {
            if (i + 1 >= argc || !number(argv[i + 1], out)) return false;
            ++i;
            return true;
        };
        double v = 0.0;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--fps" && value(v) && v > 0.0 && v <= 1000.0) {
            options.fps = v;
        } else if (arg == "--from" && value(v) && v >= 0.0) {
            options.from = v;
        } else if (arg == "--to" && value(v) && v >= 0.0) {
            options.to = v;
        } else if (arg == "--every" && value(v) && v >= 1.0 && v == static_cast<int>(v)) {
            options.every = static_cast<int>(v);
        } else if (arg == "--out" && i + 1 < argc) {
            options.outDir = argv[++i];
            outGiven = true;
        } else if (arg == "--video" && i + 1 < argc) {
            video = argv[++i];
        } else if (arg == "--audio" && i + 1 < argc) {
            audio = argv[++i];
        } else if (arg == "--no-output") {
            noOutput = true;
        } else if (!arg.empty() && arg[0] != '-' && options.description.empty()) {
            options.description = arg;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (options.description.empty() || (options.to >= 0.0 && options.to < options.from)) {
        usage(stderr);
        return 2;
    }
    if (noOutput) {
        options.outDir.clear();
        video.clear();
    } else if (!outGiven && video.empty()) {
        options.outDir = "frames";
    }
    if (!options.outDir.empty() && mkdir(options.outDir.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "halcyon-render: cannot create %s: %s\n", options.outDir.c_str(),
                     std::strerror(errno));
        return 1;
    }

    int status = 0;
    std::string wav = audio;
    if (!video.empty() && wav.empty()) wav = video + ".wav";
    if (!wav.empty() && !writeMusicWav(kMusic, wav.c_str(), options.from, options.to)) {
        std::fprintf(stderr, "halcyon-render: cannot write the music to %s\n", wav.c_str());
        status = 1;
        if (!audio.empty()) wav.clear();
    }

    std::FILE* pipe = nullptr;
    if (!video.empty()) {
        if (!haveFfmpeg()) {
            std::fprintf(stderr,
                         "halcyon-render: ffmpeg is not installed, so no video is written "
                         "(install it with: apt-get install ffmpeg)\n");
            return 1;
        }
        char rate[32];
        std::snprintf(rate, sizeof rate, "%g", options.fps / options.every);
        std::string command = std::string("ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgb24 ") +
                              "-s 640x480 -r " + rate + " -i -";
        if (!wav.empty()) command += " -i " + shellQuoted(wav) + " -c:a aac -shortest";
        command += " -c:v libx264 -pix_fmt yuv420p " + shellQuoted(video);
        pipe = popen(command.c_str(), "w");
        if (pipe == nullptr) {
            std::fprintf(stderr, "halcyon-render: cannot start ffmpeg\n");
            return 1;
        }
        options.video = pipe;
    }

    options.progress = isatty(2) != 0;
    OfflineResult result = renderOffline(options);
    if (pipe != nullptr && pclose(pipe) != 0) {
        std::fprintf(stderr, "halcyon-render: ffmpeg failed to write %s\n", video.c_str());
        status = 1;
    }
    if (!video.empty() && audio.empty()) std::remove(wav.c_str());
    if (!result.opened) return 1;
    if (result.writeFailed) {
        std::fprintf(stderr, "halcyon-render: some frames could not be written\n");
        status = 1;
    }
    std::fprintf(stderr, "halcyon-render: %d frames drawn, %d kept, %.2f s (%.1f frames/s)\n",
                 result.framesDrawn, result.framesKept, result.seconds,
                 result.seconds > 0.0 ? result.framesDrawn / result.seconds : 0.0);
    return status;
}
