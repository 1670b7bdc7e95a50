// Offline rendering on the stepped clock.
#include "tools/offline_render.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/app.h"
#include "demo/demo.h"
#include "glide/glide.h"
#include "glide/present.h"
#include "music/decoder.h"
#include "scene_lang/parser.h"
#include "tools/png_writer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Session {
    const OfflineOptions* options = nullptr;
    SteppedClock* clock = nullptr;
    OfflineResult* result = nullptr;
    int frame = 0;
    int firstKept = -1;
    int expectedFrames = 0;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> rgb;
    std::chrono::steady_clock::time_point start;
};

bool keeps(const Session& s, int frame) {
    const OfflineOptions& o = *s.options;
    const double time = frame / o.fps;
    if (time + 1e-9 < o.from) return false;
    if (o.to >= 0.0 && time > o.to + 1e-9) return false;
    const int first = static_cast<int>(std::ceil(o.from * o.fps - 1e-9));
    return (frame - first) % std::max(1, o.every) == 0;
}

void showProgress(const Session& s) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - s.start).count();
    const double rate = elapsed > 0.0 ? s.frame / elapsed : 0.0;
    const int total = std::max(s.expectedFrames, s.frame);
    const double left = rate > 0.0 ? (total - s.frame) / rate : 0.0;
    constexpr int kBar = 30;
    const int filled = total > 0 ? kBar * s.frame / total : 0;
    std::fprintf(stderr, "\r[%.*s%*s] %d/%d frames, %.0f fps, %.0f s left ", filled,
                 "##############################", kBar - filled, "", s.frame, total, rate, left);
}

void present(void* context, const uint16_t* pixels, int width, int height, int strideBytes) {
    Session& s = *static_cast<Session*>(context);
    const OfflineOptions& o = *s.options;
    const bool anySink = !o.outDir.empty() || o.video != nullptr || static_cast<bool>(o.onFrame);
    if (anySink && keeps(s, s.frame)) {
        for (int y = 0; y < height && y < kHeight; ++y) {
            std::memcpy(&s.pixels[size_t(y) * kWidth],
                        reinterpret_cast<const uint8_t*>(pixels) + size_t(y) * size_t(strideBytes),
                        size_t(std::min(width, kWidth)) * 2);
        }
        if (!o.outDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%06d.png", s.frame);
            if (!writePng((o.outDir + name).c_str(), kWidth, kHeight, s.pixels.data())) {
                s.result->writeFailed = true;
            }
        }
        if (o.video != nullptr) {
            for (int y = 0; y < kHeight; ++y) {
                widenRow(&s.pixels[size_t(y) * kWidth], kWidth, s.rgb.data());
                if (std::fwrite(s.rgb.data(), 1, s.rgb.size(), o.video) != s.rgb.size()) {
                    s.result->writeFailed = true;
                }
            }
        }
        if (o.onFrame) o.onFrame(s.frame, s.pixels.data());
        ++s.result->framesKept;
    }
    ++s.frame;
    s.clock->advance();
    if (o.progress && (s.frame % 10) == 0) showProgress(s);
    glidePresentComplete();
}

}  // namespace

double demoLength(const char* description) {
    ParseResult parsed = parseDescription(description, nullptr);
    const ParseNode* root = parsed.tree.get();
    const ParseNode* demo = findFrom(root, "Demo");
    const ParseNode* list = demo != nullptr ? child(demo, "Scene") : nullptr;
    double total = 0.0;
    for (const ParseValue* v = list != nullptr ? list->valuesHead : nullptr; v != nullptr;
         v = v->next) {
        const ParseNode* scene = findFromLabelled(root, "Scene", v->text != nullptr ? v->text : "");
        const ParseNode* time = scene != nullptr ? child(scene, "Time") : nullptr;
        if (time != nullptr && time->floatValue > 0.0f) total += time->floatValue;
    }
    return total;
}

OfflineResult renderOffline(const OfflineOptions& options) {
    OfflineResult result;
    SteppedClock clock(1.0 / options.fps, 0.0);
    ScopedClockSource installed(&clock);
    Session session;
    session.options = &options;
    session.clock = &clock;
    session.result = &result;
    session.pixels.resize(size_t(kWidth) * kHeight);
    session.rgb.resize(size_t(kWidth) * 3);
    session.start = std::chrono::steady_clock::now();
    const double length = options.to >= 0.0 ? options.to : demoLength(options.description.c_str());
    session.expectedFrames = static_cast<int>(length * options.fps) + 1;
    glideSetPresenter(&present, &session);

    Demo demo;
    demo.stopRequested = [&] { return options.to >= 0.0 && clock.now() > options.to + 1e-9; };
    result.opened = demo.LoadDemo(options.description.c_str());
    glideSetPresenter(nullptr, nullptr);
    result.framesDrawn = session.frame;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - session.start).count();
    if (options.progress) {
        showProgress(session);
        std::fprintf(stderr, "\n");
    }
    return result;
}

bool writeMusicWav(const char* music, const char* wav, double from, double to) {
    MpegDecoder decoder;
    if (!decoder.open(music)) return false;
    StreamInfo info;
    if (!decoder.readFirstHeader(info)) return false;
    const size_t frameBytes = size_t(info.channels) * 2;
    const size_t first = static_cast<size_t>(std::max(0.0, from) * info.sampleRate) * frameBytes;
    const size_t last =
        to >= 0.0 ? static_cast<size_t>(to * info.sampleRate) * frameBytes : SIZE_MAX;
    std::vector<uint8_t> pcm;
    size_t position = 0;
    const int16_t* samples = nullptr;
    size_t bytes = 0;
    while (position < last && decoder.nextFrame(&samples, &bytes)) {
        const uint8_t* data = reinterpret_cast<const uint8_t*>(samples);
        for (size_t i = 0; i < bytes && position < last; ++i, ++position) {
            if (position >= first) pcm.push_back(data[i]);
        }
    }
    std::FILE* file = std::fopen(wav, "wb");
    if (file == nullptr) return false;
    auto u32 = [&](uint32_t v) {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, file);
    };
    auto u16 = [&](uint16_t v) {
        uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, file);
    };
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.size());
    std::fwrite("RIFF", 1, 4, file);
    u32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, file);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(info.channels));
    u32(static_cast<uint32_t>(info.sampleRate));
    u32(static_cast<uint32_t>(info.sampleRate) * static_cast<uint32_t>(frameBytes));
    u16(static_cast<uint16_t>(frameBytes));
    u16(16);
    std::fwrite("data", 1, 4, file);
    u32(dataBytes);
    const bool written = std::fwrite(pcm.data(), 1, pcm.size(), file) == pcm.size();
    return std::fclose(file) == 0 && written;
}
