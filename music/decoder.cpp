// The MPEG audio decoder over libmpg123 in feed mode.
#include "music/decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "app/console.h"
#include "app/files.h"

namespace {

// Consecutive decoding errors after which a damaged stream is treated as ended.
constexpr int kErrorLimit = 64;

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

MpegDecoder::MpegDecoder() {
    initialiseLibrary();
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return;
    // Quiet keeps the library's own messages off the console (all but one, which the
    // stereo-bound clamp keeps from arising); resampling serves rate changes mid-stream.
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_AUTO_RESAMPLE, 0.0);
    // Every frame yields its full 384, 576 or 1152 samples.
    mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) {
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
}

MpegDecoder::~MpegDecoder() {
    if (handle_ != nullptr) mpg123_delete(handle_);
    if (file_ != nullptr) std::fclose(file_);
}

bool MpegDecoder::open(const char* path) {
    file_ = openInputFile(path);
    if (file_ == nullptr) {
        std::string message = std::string("Error opening file: ") + path + "\n";
        consoleWrite(message.c_str());
        return false;
    }
    return handle_ != nullptr && mpg123_open_feed(handle_) == MPG123_OK;
}

MpegDecoder::Step MpegDecoder::decode() {
    int errors = 0;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        int result = mpg123_decode_frame(handle_, &frameNumber, &audio, &bytes);
        if (result == MPG123_OK) {
            if (bytes == 0) continue;
            audio_ = audio;
            audioBytes_ = bytes;
            return Step::Frame;
        }
        if (result == MPG123_NEW_FORMAT) return Step::Format;
        if (result == MPG123_NEED_MORE) {
            if (inputEnded_) return Step::End;
            feedMore();
            continue;
        }
        if (result == MPG123_DONE || ++errors > kErrorLimit) return Step::End;
    }
}

// Reads the next piece of the file and feeds what the stereo-bound clamp has settled; the
// rest waits at the front of the input for the next piece.
void MpegDecoder::feedMore() {
    size_t read = std::fread(input_ + inputKept_, 1, sizeof input_ - inputKept_, file_);
    size_t size = inputKept_ + read;
    bool ended = read == 0;
    size_t settled = boundClamp_.settle(input_, size, ended);
    if (settled > 0) mpg123_feed(handle_, input_, settled);
    inputKept_ = size - settled;
    std::memmove(input_, input_ + settled, inputKept_);
    if (ended) inputEnded_ = true;
}

// From the next change of format on, libmpg123 converts every frame to the first one's
// rate and channel count: it copies a single channel to both, mixes two down to one, and
// resamples (2:1 and 4:1 exactly, other ratios with its N-to-M synthesis).
void MpegDecoder::holdOutputFormat(long rate, int channels) {
    mpg123_format_none(handle_);
    mpg123_format(handle_, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_param(handle_, MPG123_ADD_FLAGS, channels == 1 ? MPG123_MONO_MIX : MPG123_FORCE_STEREO,
                 0.0);
}

bool MpegDecoder::readFirstHeader(StreamInfo& info) {
    if (handle_ == nullptr || file_ == nullptr) return false;
    bool haveFormat = false;
    for (;;) {
        Step step = decode();
        if (step == Step::End) break;
        if (step == Step::Format) {
            haveFormat = true;
            continue;
        }
        if (!haveFormat) continue;
        mpg123_frameinfo2 frame{};
        if (mpg123_info2(handle_, &frame) != MPG123_OK) break;
        info.version = frame.version == MPG123_1_0 ? 1 : frame.version == MPG123_2_0 ? 2 : 3;
        info.layer = frame.layer;
        info.sampleRate = static_cast<int>(frame.rate);
        info.channels = frame.mode == MPG123_M_MONO ? 1 : 2;
        holdOutputFormat(frame.rate, info.channels);
        frameBytes_ = static_cast<size_t>(info.samplesPerFrame() * info.channels * 2);
        stagingCapacity_ = frameBytes_ + mpg123_safe_buffer();
        staging_ = std::make_unique<unsigned char[]>(stagingCapacity_);
        pending_ = true;
        return true;
    }
    if (reservedRateHeaderFirst()) consoleWrite("Unknown sample frequency!");
    return false;
}

// Whether the first frame sync in the file (after an ID3v2 tag) carries the reserved
// sampling-frequency index 3, which the decoder skips as no header at all.
bool MpegDecoder::reservedRateHeaderFirst() {
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    size_t size = std::fread(input_, 1, sizeof input_, file_);
    for (size_t i = id3v2Length(input_, size); i + 3 < size; ++i) {
        if (input_[i] != 0xFF || (input_[i + 1] & 0xE0) != 0xE0) continue;
        int layerBits = (input_[i + 1] >> 1) & 3;
        int versionBits = (input_[i + 1] >> 3) & 3;
        int bitrateIndex = input_[i + 2] >> 4;
        if (layerBits == 0 || versionBits == 1 || bitrateIndex == 15) continue;
        return ((input_[i + 2] >> 2) & 3) == 3;
    }
    return false;
}

bool MpegDecoder::nextFrame(const int16_t** samples, size_t* bytes) {
    if (pending_) {
        pending_ = false;
        *samples = reinterpret_cast<const int16_t*>(audio_);
        *bytes = audioBytes_;
        return true;
    }
    if (handedOut_ > 0) {
        staged_ -= handedOut_;
        std::memmove(staging_.get(), staging_.get() + handedOut_, staged_);
        handedOut_ = 0;
    }
    while (staged_ < frameBytes_) {
        Step step = decode();
        if (step == Step::End) break;
        if (step == Step::Format) continue;
        if (staged_ == 0 && audioBytes_ == frameBytes_) {
            // A frame of the first header's length: handed out where the library left it.
            *samples = reinterpret_cast<const int16_t*>(audio_);
            *bytes = audioBytes_;
            return true;
        }
        size_t taken = std::min(audioBytes_, stagingCapacity_ - staged_);
        std::memcpy(staging_.get() + staged_, audio_, taken);
        staged_ += taken;
    }
    if (staged_ == 0) return false;
    handedOut_ = std::min(staged_, frameBytes_);
    *samples = reinterpret_cast<const int16_t*>(staging_.get());
    *bytes = handedOut_;
    return true;
}
