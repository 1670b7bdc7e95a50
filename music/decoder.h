// The MPEG audio decoder (MPEG-1 and MPEG-2 audio, Layers I-III), frame by frame, to
// signed 16-bit PCM in the format of the stream's first frame header. A stream may change
// its mode or sampling rate from frame to frame (concatenated files do): later frames are
// mixed down to one channel or copied to two, and resampled to the first rate, so the
// device opened for the first header plays the whole stream at its true length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "music/frame_headers.h"

// Parameters of a stream, taken from its first frame header.
struct StreamInfo {
    int version = 1;         // 1 = MPEG-1, 2 = MPEG-2 lower sampling frequencies, 3 = MPEG-2.5
    int layer = 3;           // 1, 2 or 3
    int sampleRate = 44100;  // Hz
    int channels = 2;        // 1 for single channel, otherwise 2
    int samplesPerFrame() const {
        return layer == 1 ? 384 : layer == 2 || version == 1 ? 1152 : 576;
    }
};

struct mpg123_handle_struct;

class MpegDecoder {
  public:
    MpegDecoder();
    ~MpegDecoder();
    MpegDecoder(const MpegDecoder&) = delete;
    MpegDecoder& operator=(const MpegDecoder&) = delete;

    // Opens the stream file. On failure writes "Error opening file: <path>" and a line end
    // to the console and returns false; the header search then finds nothing.
    bool open(const char* path);

    // Finds and decodes the first frame and holds the output to its channel count and
    // rate. False when the stream holds no frame header (a header with the reserved
    // sampling frequency first writes "Unknown sample frequency!").
    bool readFirstHeader(StreamInfo& info);

    // The next frame's samples, channels interleaved (the first frame after
    // readFirstHeader is the one it decoded). Every frame holds the first header's
    // samplesPerFrame() samples per channel, but the last one may be shorter when the rate
    // changed on the way. False at the end of the stream. The samples stay valid until the
    // next call.
    bool nextFrame(const int16_t** samples, size_t* bytes);

  private:
    enum class Step { Frame, Format, End };
    Step decode();
    void feedMore();
    void holdOutputFormat(long rate, int channels);
    bool reservedRateHeaderFirst();

    struct mpg123_handle_struct* handle_ = nullptr;
    std::FILE* file_ = nullptr;
    bool inputEnded_ = false;
    bool pending_ = false;  // the frame decoded by readFirstHeader is not yet handed out
    const unsigned char* audio_ = nullptr;
    size_t audioBytes_ = 0;

    // Decoded frames of another length (after a rate change) are cut into frames of the
    // first header's length here; allocated once by readFirstHeader.
    size_t frameBytes_ = 0;
    std::unique_ptr<unsigned char[]> staging_;
    size_t stagingCapacity_ = 0;
    size_t staged_ = 0;     // bytes waiting in staging_
    size_t handedOut_ = 0;  // bytes at its front handed out by the last nextFrame

    StereoBoundClamp boundClamp_;
    size_t inputKept_ = 0;  // bytes at the front of input_ the clamp has not settled yet
    unsigned char input_[16384];
    static_assert(sizeof(input_) > 2 * StereoBoundClamp::kMaxHeldBack);
};
