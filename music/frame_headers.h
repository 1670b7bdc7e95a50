// MPEG audio frame headers as they lie in the stream file, read ahead of libmpg123: the
// header fields and frame length, ID3v2 tags, and the one header rewrite the decoder needs.
#pragma once

#include <cstddef>
#include <cstdint>

// The fields of a 4-byte frame header that fix the frame's length and stereo coding.
struct FrameHeader {
    int versionBits = 3;   // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    int layer = 3;         // 1, 2 or 3
    int bitrateIndex = 0;  // 1-14
    int rateIndex = 0;     // 0-2
    int mode = 0;          // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int modeExtension = 0;
    size_t length = 0;  // bytes, header included
};

// Reads the header at `data` (4 bytes). False for anything but a valid header with a
// known length (free-format frames included: their length is not in the header).
bool parseFrameHeader(const uint8_t* data, FrameHeader& header);

// Length of an ID3v2 tag at the start of `data` (10 bytes are enough), or 0.
size_t id3v2Length(const uint8_t* data, size_t size);

// Rewrites the stereo bound of MPEG-1 Layer II joint-stereo frames whose bound lies above
// the frame's last coded sub-band (low bit rates code only 8 or 12 sub-bands, while the
// bound may say 16) down to that sub-band limit. The decoder cuts such a bound to the limit
// itself, so the sound is the same bit for bit, but libmpg123 also prints a line for every
// such frame on stderr, whatever its quiet flag says; the rewritten stream leaves the
// console alone. Frames are followed from header to header; after junk a header counts
// only when the next one stands where its length says.
class StereoBoundClamp {
  public:
    static constexpr size_t kMaxHeldBack = 2885;

    // Looks at `size` bytes in `data` that continue the bytes settled by earlier calls and
    // rewrites the headers among them. Returns how many bytes at the front are settled (may
    // be passed on); the rest must come again at the front of the next call, followed by
    // more of the stream. With `ended` (nothing follows) every byte is settled. Never holds
    // back more than kMaxHeldBack bytes (a frame and the header after it).
    size_t settle(uint8_t* data, size_t size, bool ended);

    // Headers rewritten so far.
    int rewritten() const { return rewritten_; }

  private:
    size_t ahead_ = 0;     // from the first byte of the next call to the next byte to examine
    bool locked_ = false;  // `ahead_` points at where the next frame header should be
    int rewritten_ = 0;
};
