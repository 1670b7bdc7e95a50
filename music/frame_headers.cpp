// Frame headers read ahead of the decoder, and the Layer II stereo-bound rewrite.
#include "music/frame_headers.h"

#include <algorithm>

namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][bitrate index]
constexpr int kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

// Hz by [version bits][rate index]; version bits 1 are reserved.
constexpr int kRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

// Sub-bands an MPEG-1 Layer II joint-stereo frame codes: the low-rate allocation tables
// (up to 48 kbit/s per channel) stop at 8 sub-bands, or 12 at 32 kHz; the others reach 27
// or 30, above any stereo bound.
int layer2SubbandLimit(const FrameHeader& header) {
    if (header.bitrateIndex > 6) return 27;
    return header.rateIndex == 2 ? 12 : 8;
}

bool isId3v2(const uint8_t* data) {
    return data[0] == 'I' && data[1] == 'D' && data[2] == '3' && data[3] != 0xFF &&
           data[4] != 0xFF && (data[6] | data[7] | data[8] | data[9]) < 0x80;
}

// Lowers the bound of `header` at `data` to the sub-band limit where it lies above it.
bool clampStereoBound(uint8_t* data, const FrameHeader& header) {
    if (header.versionBits != 3 || header.layer != 2 || header.mode != 1) return false;
    int limit = layer2SubbandLimit(header);
    int bound = header.modeExtension * 4 + 4;
    if (bound <= limit) return false;
    int extension = (limit - 4) / 4;
    data[3] = static_cast<uint8_t>((data[3] & ~0x30) | extension << 4);
    return true;
}

}  // namespace

bool parseFrameHeader(const uint8_t* data, FrameHeader& header) {
    if (data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return false;
    header.versionBits = (data[1] >> 3) & 3;
    int layerBits = (data[1] >> 1) & 3;
    header.bitrateIndex = data[2] >> 4;
    header.rateIndex = (data[2] >> 2) & 3;
    if (header.versionBits == 1 || layerBits == 0 || header.bitrateIndex == 0 ||
        header.bitrateIndex == 15 || header.rateIndex == 3) {
        return false;
    }
    header.layer = 4 - layerBits;
    header.mode = data[3] >> 6;
    header.modeExtension = (data[3] >> 4) & 3;
    bool mpeg1 = header.versionBits == 3;
    long bitrate = 1000L * kBitrates[mpeg1 ? 0 : 1][header.layer - 1][header.bitrateIndex];
    long rate = kRates[header.versionBits][header.rateIndex];
    long padding = (data[2] >> 1) & 1;
    long length = header.layer == 1   ? (12 * bitrate / rate + padding) * 4
                  : header.layer == 2 ? 144 * bitrate / rate + padding
                                      : (mpeg1 ? 144 : 72) * bitrate / rate + padding;
    header.length = static_cast<size_t>(length);
    return true;
}

size_t id3v2Length(const uint8_t* data, size_t size) {
    if (size < 10 || !isId3v2(data)) return 0;
    size_t length = (size_t{data[6]} & 0x7F) << 21 | (size_t{data[7]} & 0x7F) << 14 |
                    (size_t{data[8]} & 0x7F) << 7 | (size_t{data[9]} & 0x7F);
    return 10 + length + ((data[5] & 0x10) != 0 ? 10 : 0);
}

size_t StereoBoundClamp::settle(uint8_t* data, size_t size, bool ended) {
    size_t at = ahead_;
    while (at + 4 <= size) {
        FrameHeader header;
        if (locked_) {
            if (parseFrameHeader(data + at, header)) {
                if (clampStereoBound(data + at, header)) ++rewritten_;
                at += header.length;
                continue;
            }
            locked_ = false;
        }
        // Searching: skip tags; a header counts when another follows at its length.
        if (data[at] == 'I' && data[at + 1] == 'D' && data[at + 2] == '3') {
            if (at + 10 > size && !ended) break;
            size_t tag = id3v2Length(data + at, size - at);
            at += tag > 0 ? tag : 1;
            continue;
        }
        if (!parseFrameHeader(data + at, header)) {
            ++at;
            continue;
        }
        size_t next = at + header.length;
        if (next + 4 > size) {
            if (!ended) break;
            ++at;
            continue;
        }
        FrameHeader follower;
        if (parseFrameHeader(data + next, follower) && follower.versionBits == header.versionBits &&
            follower.layer == header.layer && follower.rateIndex == header.rateIndex) {
            locked_ = true;  // examined again at once, now as a frame of the stream
            continue;
        }
        ++at;
    }
    size_t settled = ended ? size : std::min(at, size);
    ahead_ = at > settled ? at - settled : 0;
    return settled;
}
