// Tests of the decoder on small committed streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music/decoder.h"

namespace {

struct Decoded {
    bool found = false;
    StreamInfo info;
    std::vector<size_t> frameBytes;
    std::vector<int16_t> samples;  // channels interleaved
    int peak = 0;

    int16_t at(size_t frame, int channel) const {
        return samples[frame * static_cast<size_t>(info.channels) + static_cast<size_t>(channel)];
    }
    int peakIn(size_t begin, size_t end, int channel) const {
        int peakValue = 0;
        for (size_t i = begin; i < end; ++i)
            peakValue = std::max(peakValue, std::abs(at(i, channel)));
        return peakValue;
    }
    // Frequency of the tone in `channel` over sample frames [begin, end), from its rising
    // zero crossings (interpolated between samples).
    double toneFrequency(size_t begin, size_t end, int channel) const {
        double first = -1, last = -1;
        int crossings = 0;
        for (size_t i = begin; i + 1 < end; ++i) {
            double a = at(i, channel), b = at(i + 1, channel);
            if (a >= 0 || b < 0) continue;
            double t = static_cast<double>(i) + a / (a - b);
            if (crossings++ == 0) first = t;
            last = t;
        }
        return crossings < 2 ? 0.0 : (crossings - 1) * info.sampleRate / (last - first);
    }
};

Decoded decodeFile(const std::string& path) {
    Decoded result;
    MpegDecoder decoder;
    decoder.open(path.c_str());
    result.found = decoder.readFirstHeader(result.info);
    const int16_t* samples = nullptr;
    size_t bytes = 0;
    while (result.found && decoder.nextFrame(&samples, &bytes)) {
        result.frameBytes.push_back(bytes);
        result.samples.insert(result.samples.end(), samples, samples + bytes / 2);
    }
    for (int16_t sample : result.samples) result.peak = std::max(result.peak, std::abs(sample));
    return result;
}

std::vector<char> fileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
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

TEST(Decoder, LaterHeadersPlayInTheFirstHeadersFormat) {
    // Each part of a stream holds one tone; a stereo part has the fifth above on the right,
    // a mono part comes out on both channels alike.
    struct Part {
        size_t begin, end;  // sample frames of the output, clear of the encoder's delay
        double left, right;
    };
    struct Case {
        const char* path;
        size_t sampleFrames;  // every input frame at the first rate, in the first channel count
        std::vector<Part> parts;
    };
    const Case cases[] = {
        // 10 stereo frames, then 10 mono ones.
        {"music/testdata/stereo_then_mono.mp3",
         20 * 1152,
         {{2304, 11000, 440, 660}, {13824, 22800, 550, 550}}},
        // 8 frames at 44100 Hz, 8 at 48000 Hz (8467.2 frames at 44100 Hz), 16 MPEG-2
        // frames at 22050 Hz (twice 576 each).
        {"music/testdata/rate_changes.mp3",
         8 * 1152 + 8467 + 16 * 1152,
         {{2304, 9000, 440, 660}, {11520, 17400, 440, 660}, {21200, 35700, 440, 660}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Decoded decoded = decodeFile(c.path);
        ASSERT_TRUE(decoded.found);
        EXPECT_EQ(decoded.info.sampleRate, 44100);
        ASSERT_EQ(decoded.info.channels, 2);
        // Frames of the first header's length; only the last may fall short.
        ASSERT_FALSE(decoded.frameBytes.empty());
        for (size_t i = 0; i + 1 < decoded.frameBytes.size(); ++i)
            ASSERT_EQ(decoded.frameBytes[i], 4608u) << "frame " << i;
        EXPECT_LE(decoded.frameBytes.back(), 4608u);
        size_t frames = decoded.samples.size() / 2;
        EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(c.sampleFrames), 2.0);
        for (const Part& part : c.parts) {
            SCOPED_TRACE(part.begin);
            ASSERT_LE(part.end, frames);
            for (int channel = 0; channel < 2; ++channel) {
                double expected = channel == 0 ? part.left : part.right;
                EXPECT_NEAR(decoded.toneFrequency(part.begin, part.end, channel), expected,
                            expected * 0.01);
                // The tones were encoded at 0.3 of full scale.
                EXPECT_GT(decoded.peakIn(part.begin, part.end, channel), 8500);
                EXPECT_LT(decoded.peakIn(part.begin, part.end, channel), 10500);
            }
            if (part.left == part.right) {
                size_t same = 0;
                for (size_t i = part.begin; i < part.end; ++i)
                    same += decoded.at(i, 0) == decoded.at(i, 1);
                EXPECT_EQ(same, part.end - part.begin);
            }
        }
    }
}

TEST(Decoder, StereoFramesAfterAMonoStartAreMixedDown) {
    // A mono file followed by a stereo one, longer than one piece of input.
    const std::string path = testing::TempDir() + "mono_then_stereo.mp3";
    {
        std::ofstream file(path, std::ios::binary);
        for (const char* part :
             {"music/testdata/mono_l3.mp3", "music/testdata/stereo_32_frames.mp3"}) {
            std::vector<char> bytes = fileBytes(part);
            file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
    }
    Decoded mono = decodeFile("music/testdata/mono_l3.mp3");
    Decoded stereo = decodeFile("music/testdata/stereo_32_frames.mp3");
    Decoded joined = decodeFile(path);
    ASSERT_TRUE(joined.found);
    EXPECT_EQ(joined.info.channels, 1);
    size_t monoFrames = mono.frameBytes.size();
    ASSERT_EQ(joined.frameBytes.size(), monoFrames + 32);
    for (size_t bytes : joined.frameBytes) ASSERT_EQ(bytes, 2304u);
    // The mono file comes out as on its own ...
    EXPECT_TRUE(std::equal(mono.samples.begin(), mono.samples.end(), joined.samples.begin()));
    // ... and the stereo one as the mean of its channels, past the frames where the
    // synthesis still carries the mono part.
    int worst = 0;
    for (size_t i = 2 * 1152; i < 32 * 1152; ++i) {
        double mean = (stereo.at(i, 0) + stereo.at(i, 1)) / 2.0;
        double mixed = joined.at(monoFrames * 1152 + i, 0);
        worst = std::max(worst, static_cast<int>(std::ceil(std::abs(mixed - mean))));
    }
    EXPECT_LE(worst, 2);
}

TEST(Decoder, HeadersAcrossPiecesOfInputDecodeAlike) {
    // The file is read in pieces of 16384 bytes; an ID3v2 tag in front puts the first frame
    // header across the end of the first piece by 1, 2 and 3 bytes.
    const Decoded plain = decodeFile("music/testdata/stereo_32_frames.mp3");
    const std::vector<char> frames = fileBytes("music/testdata/stereo_32_frames.mp3");
    for (size_t tagBytes : {16381u, 16382u, 16383u}) {
        SCOPED_TRACE(tagBytes);
        const std::string path = testing::TempDir() + "tagged.mp3";
        {
            size_t body = tagBytes - 10;
            std::vector<char> tag = {'I', 'D', '3', 3, 0, 0};
            for (int shift : {21, 14, 7, 0})
                tag.push_back(static_cast<char>((body >> shift) & 0x7F));
            tag.resize(tagBytes, 0);
            std::ofstream file(path, std::ios::binary);
            file.write(tag.data(), static_cast<std::streamsize>(tag.size()));
            file.write(frames.data(), static_cast<std::streamsize>(frames.size()));
        }
        Decoded tagged = decodeFile(path);
        ASSERT_TRUE(tagged.found);
        EXPECT_EQ(tagged.frameBytes.size(), 32u);
        EXPECT_TRUE(tagged.samples == plain.samples);
    }
}

TEST(Decoder, LibraryWarningsStayOffTheConsole) {
    // libmpg123 prints a line for each Layer II frame whose stereo bound lies above the
    // coded sub-bands, quiet flag or not; the decoder rewrites the bound to the limit the
    // library would cut it to, so the sound is that of the same frames with the bound there.
    testing::internal::CaptureStderr();
    Decoded above = decodeFile("music/testdata/layer2_bound_16.mp2");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Decoded atLimit = decodeFile("music/testdata/layer2_bound_8.mp2");
    ASSERT_TRUE(above.found);
    EXPECT_EQ(above.info.layer, 2);
    EXPECT_EQ(above.info.channels, 2);
    EXPECT_EQ(above.samples.size(), 8u * 1152 * 2);
    EXPECT_GT(above.peak, 4000);
    EXPECT_TRUE(above.samples == atLimit.samples);
}

}  // namespace
