// The default demo's music: the synthesiser's output is reproducible, exactly 150 s of
// stereo, leaves headroom, has no offset, uses the stereo field, follows the demo's six
// scenes in loudness, ends by dying away, and the WAVE header describes the samples that
// follow it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "tools/music_synth.h"

namespace {

uint32_t readU32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint32_t readU16(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}

class MusicContent : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { first = new std::vector<int16_t>(synthesiseMusic()); }
    static void TearDownTestSuite() { delete first; }
    static std::vector<int16_t>* first;
};
std::vector<int16_t>* MusicContent::first = nullptr;

TEST_F(MusicContent, SameBytesOnEveryRun) {
    EXPECT_TRUE(encodeWav(synthesiseMusic()) == encodeWav(*first));
}

constexpr std::size_t kRate = 44100;

// RMS of both channels over [from, to) seconds.
double rmsBetween(const std::vector<int16_t>& s, double from, double to) {
    const std::size_t begin = static_cast<std::size_t>(from * kRate) * 2;
    const std::size_t end = static_cast<std::size_t>(to * kRate) * 2;
    double energy = 0;
    for (std::size_t i = begin; i < end; ++i) energy += static_cast<double>(s[i]) * s[i];
    return std::sqrt(energy / static_cast<double>(end - begin));
}

TEST_F(MusicContent, OneHundredFiftySecondsOfStereoWithHeadroomAndNoOffset) {
    const std::vector<int16_t>& s = *first;
    ASSERT_EQ(s.size(), 150u * kRate * 2u);
    int peak = 0;
    double sumL = 0, sumR = 0, differing = 0;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        peak = std::max({peak, std::abs(int{s[i]}), std::abs(int{s[i + 1]})});
        sumL += s[i];
        sumR += s[i + 1];
        differing += std::abs(s[i] - s[i + 1]);
    }
    const double frames = s.size() / 2.0;
    EXPECT_LT(peak, 29205);  // below -1 dBFS
    EXPECT_GT(peak, 16384);  // and not far below it: the level was set
    EXPECT_LT(std::fabs(sumL / frames), 30.0);
    EXPECT_LT(std::fabs(sumR / frames), 30.0);
    const double rms = rmsBetween(s, 0.0, 150.0);
    EXPECT_GT(rms, 1000.0);  // about -30 dBFS: not near-silence
    EXPECT_LT(rms, 11000.0);
    // The channels differ on average by a good share of the signal: there is width.
    EXPECT_GT(differing / frames, rms * 0.1);
    // Starts in silence (fade-in) and ends there.
    EXPECT_EQ(s[0], 0);
    EXPECT_LE(std::abs(int{s[s.size() - 2]}) + std::abs(int{s[s.size() - 1]}), 2);
}

TEST_F(MusicContent, FollowsTheScenesAndDiesAwayAtTheEnd) {
    // The demo's scenes: arrival, lake, crystals, mountains, aurora, flight (seconds).
    static constexpr double kBounds[] = {0.0, 22.5, 45.0, 67.5, 97.5, 120.0, 150.0};
    const std::vector<int16_t>& s = *first;
    std::vector<double> rms;
    for (std::size_t k = 0; k + 1 < std::size(kBounds); ++k)
        rms.push_back(rmsBetween(s, kBounds[k], kBounds[k + 1]));
    for (const double r : rms) EXPECT_GT(r, 1000.0);
    // The texture grows to the mountains and recedes: the mountains are the loudest scene,
    // the arrival and the flight the quietest.
    EXPECT_EQ(std::max_element(rms.begin(), rms.end()) - rms.begin(), 3);
    for (std::size_t k = 1; k < 5; ++k) {
        EXPECT_GT(rms[k], rms[0]) << "scene " << k;
        EXPECT_GT(rms[k], rms[5]) << "scene " << k;
    }
    // A real ending: the last chord has died away (not a cut) by the final half second.
    const double lastBar = rmsBetween(s, 146.25, 147.25);
    EXPECT_GT(lastBar, 300.0);
    EXPECT_LT(rmsBetween(s, 149.0, 149.5), lastBar * 0.03);  // -30 dB
    EXPECT_LT(rmsBetween(s, 149.5, 150.0), 10.0);            // -70 dBFS
}

TEST(MusicWav, HeaderDescribesTheSamples) {
    const std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 0x1234};
    const std::vector<unsigned char> b = encodeWav(samples);
    ASSERT_EQ(b.size(), 44u + 12u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(readU32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(readU16(b, 20), 1u);  // PCM
    EXPECT_EQ(readU16(b, 22), 2u);
    EXPECT_EQ(readU32(b, 24), 44100u);
    EXPECT_EQ(readU32(b, 28), 44100u * 4u);
    EXPECT_EQ(readU16(b, 32), 4u);
    EXPECT_EQ(readU16(b, 34), 16u);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(readU32(b, 40), 12u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(static_cast<int16_t>(readU16(b, 44 + 2 * i)), samples[i]) << "sample " << i;
    }
}

}  // namespace
