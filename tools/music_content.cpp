// halcyon-music-content OUT.wav: writes the default demo's music, synthesised from fixed
// formulas (no samples), as a 150-second 44100 Hz 16-bit stereo WAVE file; the same bytes
// on every run. `make content` encodes it to data/music/drift07.mp3.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/music_synth.h"

namespace {

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: halcyon-music-content OUT.wav\n"
                 "Writes the default demo's music (150 s, 44100 Hz, 16-bit stereo WAVE),\n"
                 "the same bytes on every run.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        usage(stderr);
        return 2;
    }
    const char* path = argv[1];
    const std::vector<unsigned char> wav = encodeWav(synthesiseMusic());
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "halcyon-music-content: cannot write %s: %s\n", path,
                     std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(wav.data(), 1, wav.size(), file) == wav.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "halcyon-music-content: cannot write %s: %s\n", path,
                     std::strerror(written ? errno : writeError));
        return 1;
    }
    return 0;
}
