// The MPEG audio decoder over libmpg123 in feed mode.
#include "music/decoder.h"

#include <mpg123.h>

#include <mutex>
#include <string>

#include "app/console.h"

namespace {

// Consecutive decoding errors after which a damaged stream is treated as ended.
constexpr int kErrorLimit = 64;

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

// Length of an ID3v2 tag at the start of `data`, or 0.
size_t id3v2Length(const unsigned char* data, size_t size) {
    if (size < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3') return 0;
    size_t length = (size_t{data[6]} & 0x7F) << 21 | (size_t{data[7]} & 0x7F) << 14 |
                    (size_t{data[8]} & 0x7F) << 7 | (size_t{data[9]} & 0x7F);
    return 10 + length + ((data[5] & 0x10) != 0 ? 10 : 0);
}

}  // namespace

MpegDecoder::MpegDecoder() {
    initialiseLibrary();
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
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
    file_ = std::fopen(path, "rb");
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
            size_t read = std::fread(input_, 1, sizeof input_, file_);
            if (read == 0) {
                inputEnded_ = true;
                continue;
            }
            mpg123_feed(handle_, input_, read);
            continue;
        }
        if (result == MPG123_DONE || ++errors > kErrorLimit) return Step::End;
    }
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
    } else {
        Step step;
        do {
            step = decode();
        } while (step == Step::Format);
        if (step == Step::End) return false;
    }
    *samples = reinterpret_cast<const int16_t*>(audio_);
    *bytes = audioBytes_;
    return true;
}
