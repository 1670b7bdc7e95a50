// Tests of the player: streams played through a fake device, and its messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "music/decoder.h"
#include "music/fake_wave_out.h"
#include "music/player.h"
#include "music/wave_output.h"

namespace {

WaveOutLog primaryLog;
WaveOutLog fallbackLog;
bool primaryOpens = true;

std::unique_ptr<WaveOutDevice> primaryDevice() {
    return std::make_unique<FakeWaveOut>(primaryLog, FakeWaveOut::Mode::CompleteAtOnce,
                                         primaryOpens);
}
std::unique_ptr<WaveOutDevice> fallbackDevice() {
    return std::make_unique<FakeWaveOut>(fallbackLog);
}

int lastStatus = -1;  // playMusic's result in the last play()

// Plays `path` as the music thread does and returns what reached the console.
std::string play(const char* path, bool deviceOpens = true) {
    primaryLog = WaveOutLog{};
    fallbackLog = WaveOutLog{};
    primaryOpens = deviceOpens;
    std::string file = path;
    char program[] = "maplay";
    char* argv[] = {program, file.data(), nullptr};
    MusicDevices devices;
    devices.primary = &primaryDevice;
    devices.fallback = &fallbackDevice;
    testing::internal::CaptureStderr();
    lastStatus = playMusic(2, argv, devices);
    return testing::internal::GetCapturedStderr();
}

std::vector<uint8_t> decodedBytes(const char* path) {
    MpegDecoder decoder;
    decoder.open(path);
    StreamInfo info;
    std::vector<uint8_t> pcm;
    if (!decoder.readFirstHeader(info)) return pcm;
    const int16_t* samples = nullptr;
    size_t bytes = 0;
    while (decoder.nextFrame(&samples, &bytes)) {
        const auto* data = reinterpret_cast<const uint8_t*>(samples);
        pcm.insert(pcm.end(), data, data + bytes);
    }
    return pcm;
}

std::vector<uint8_t> joined(const WaveOutLog& log) {
    std::vector<uint8_t> all;
    for (const auto& buffer : log.buffers) all.insert(all.end(), buffer.begin(), buffer.end());
    return all;
}

TEST(Player, PlaysTheDecodedStreamInWholeBuffers) {
    struct Case {
        const char* path;
        int rate, channels;
        size_t bufferBytes;
        size_t pcmBytes;  // the whole stream in the device's format
    };
    const Case cases[] = {
        {"music/testdata/stereo_32_frames.mp3", 44100, 2, 147456, 32 * 4608},
        {"music/testdata/stereo_33_frames.mp3", 44100, 2, 147456, 33 * 4608},
        {"music/testdata/mono_l3.mp3", 44100, 1, 73728, 24 * 2304},
        {"music/testdata/mpeg2_22050.mp3", 22050, 2, 73728, 33 * 2304},
        // The device keeps the first header's format when the stream changes it: 10 stereo
        // and 10 mono frames; 8 frames at 44100 Hz, 8 at 48000 Hz and 16 at 22050 Hz.
        {"music/testdata/stereo_then_mono.mp3", 44100, 2, 147456, 20 * 4608},
        {"music/testdata/rate_changes.mp3", 44100, 2, 147456, (8 * 1152 + 8467 + 16 * 1152) * 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(play(c.path), "");
        ASSERT_TRUE(primaryLog.opened);
        EXPECT_FALSE(fallbackLog.opened);
        EXPECT_EQ(primaryLog.format.sampleRate, c.rate);
        EXPECT_EQ(primaryLog.format.channels, c.channels);
        ASSERT_FALSE(primaryLog.buffers.empty());
        for (const auto& buffer : primaryLog.buffers) EXPECT_EQ(buffer.size(), c.bufferBytes);

        // Every decoded byte is played, in order, then zeros fill the last buffer.
        std::vector<uint8_t> pcm = decodedBytes(c.path);
        EXPECT_NEAR(static_cast<double>(pcm.size()), static_cast<double>(c.pcmBytes), 8.0);
        std::vector<uint8_t> played = joined(primaryLog);
        ASSERT_GE(played.size(), pcm.size());
        EXPECT_LT(played.size() - pcm.size(), c.bufferBytes);
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), played.begin()));
        EXPECT_TRUE(std::all_of(played.begin() + pcm.size(), played.end(),
                                [](uint8_t byte) { return byte == 0; }));
        EXPECT_EQ(primaryLog.closeCalls, 1);
    }
    // 32 frames fill one buffer exactly; 33 frames make two.
    play("music/testdata/stereo_32_frames.mp3");
    EXPECT_EQ(primaryLog.buffers.size(), 1u);
    play("music/testdata/stereo_33_frames.mp3");
    EXPECT_EQ(primaryLog.buffers.size(), 2u);
}

TEST(Player, MessagesForFilesWithoutMusic) {
    EXPECT_EQ(play("music/testdata/missing.mp3"),
              "Error opening file: music/testdata/missing.mp3\n\nError : no header found!");
    EXPECT_EQ(lastStatus, 1);  // the process reports the failure
    EXPECT_FALSE(primaryLog.opened);
    EXPECT_EQ(play("music/testdata/no_header.mp3"), "\nError : no header found!");
    EXPECT_EQ(lastStatus, 1);
    EXPECT_FALSE(primaryLog.opened);
    EXPECT_EQ(play("music/testdata/reserved_rate.mp3"),
              "Unknown sample frequency!\nError : no header found!");
    EXPECT_FALSE(primaryLog.opened);
}

TEST(Player, DeviceThatCannotOpenFallsBackToSilentPlaying) {
    EXPECT_EQ(play("music/testdata/stereo_33_frames.mp3", false),
              "\nCould not open wave device.\n");
    EXPECT_EQ(lastStatus, 0);  // played silently at its pace
    EXPECT_FALSE(primaryLog.opened);
    EXPECT_TRUE(primaryLog.buffers.empty());
    ASSERT_TRUE(fallbackLog.opened);
    EXPECT_EQ(fallbackLog.buffers.size(), 2u);
}

TEST(Player, NoArgumentPlaysNothing) {
    char program[] = "maplay";
    char* argv[] = {program, nullptr};
    primaryLog = WaveOutLog{};
    EXPECT_EQ(playMusic(1, argv), 1);
    EXPECT_FALSE(primaryLog.opened);
}

}  // namespace
