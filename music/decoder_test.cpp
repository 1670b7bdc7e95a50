// Tests of the decoder on small committed streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "music/decoder.h"

namespace {

struct Decoded {
    bool found = false;
    StreamInfo info;
    std::vector<size_t> frameBytes;
    int peak = 0;
};

Decoded decodeFile(const char* path) {
    Decoded result;
    MpegDecoder decoder;
    decoder.open(path);
    result.found = decoder.readFirstHeader(result.info);
    const int16_t* samples = nullptr;
    size_t bytes = 0;
    while (result.found && decoder.nextFrame(&samples, &bytes)) {
        result.frameBytes.push_back(bytes);
        for (size_t i = 0; i < bytes / 2; ++i)
            result.peak = std::max(result.peak, std::abs(samples[i]));
    }
    return result;
}

TEST(Decoder, FirstHeaderGivesTheStreamsFormat) {
    struct Case {
        const char* path;
        int version, layer, rate, channels;
        size_t frames, frameBytes;
    };
    const Case cases[] = {
        {"music/testdata/stereo_32_frames.mp3", 1, 3, 44100, 2, 32, 4608},
        {"music/testdata/stereo_33_frames.mp3", 1, 3, 44100, 2, 33, 4608},
        {"music/testdata/mono_l3.mp3", 1, 3, 44100, 1, 0, 2304},
        {"music/testdata/mpeg2_22050.mp3", 2, 3, 22050, 2, 0, 2304},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Decoded decoded = decodeFile(c.path);
        ASSERT_TRUE(decoded.found);
        EXPECT_EQ(decoded.info.version, c.version);
        EXPECT_EQ(decoded.info.layer, c.layer);
        EXPECT_EQ(decoded.info.sampleRate, c.rate);
        EXPECT_EQ(decoded.info.channels, c.channels);
        if (c.frames != 0) {
            EXPECT_EQ(decoded.frameBytes.size(), c.frames);
        }
        EXPECT_GT(decoded.frameBytes.size(), 20u);
        for (size_t bytes : decoded.frameBytes) ASSERT_EQ(bytes, c.frameBytes);
        // The streams hold tones at about a third of full scale.
        EXPECT_GT(decoded.peak, 6000);
        EXPECT_LT(decoded.peak, 16000);
    }
}

TEST(Decoder, FilesWithoutAHeaderDecodeNothing) {
    EXPECT_FALSE(decodeFile("music/testdata/no_header.mp3").found);
    EXPECT_FALSE(decodeFile("music/testdata/missing.mp3").found);
    EXPECT_FALSE(decodeFile("music/testdata/reserved_rate.mp3").found);
}

}  // namespace
