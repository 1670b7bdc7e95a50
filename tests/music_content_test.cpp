// The default demo's music: the synthesiser's output is reproducible, exactly 30 s of
// stereo, leaves headroom, has no offset, uses the stereo field, and the WAVE header
// describes the samples that follow it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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

TEST_F(MusicContent, ThirtySecondsOfStereoWithHeadroomAndNoOffset) {
    const std::vector<int16_t>& s = *first;
    ASSERT_EQ(s.size(), 30u * 44100u * 2u);
    int peak = 0;
    double sumL = 0, sumR = 0, energy = 0, differing = 0;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        peak = std::max({peak, std::abs(int{s[i]}), std::abs(int{s[i + 1]})});
        sumL += s[i];
        sumR += s[i + 1];
        energy += static_cast<double>(s[i]) * s[i] + static_cast<double>(s[i + 1]) * s[i + 1];
        differing += std::abs(s[i] - s[i + 1]);
    }
    const double frames = s.size() / 2.0;
    EXPECT_LT(peak, 29205);  // below -1 dBFS
    EXPECT_GT(peak, 16384);  // and not far below it: the level was set
    EXPECT_LT(std::fabs(sumL / frames), 30.0);
    EXPECT_LT(std::fabs(sumR / frames), 30.0);
    const double rms = std::sqrt(energy / s.size());
    EXPECT_GT(rms, 1000.0);  // about -30 dBFS: not near-silence
    EXPECT_LT(rms, 11000.0);
    // The channels differ on average by a good share of the signal: there is width.
    EXPECT_GT(differing / frames, rms * 0.1);
    // Starts and ends in silence (fade-in, fade-out).
    EXPECT_EQ(s[0], 0);
    EXPECT_LE(std::abs(int{s[s.size() - 2]}) + std::abs(int{s[s.size() - 1]}), 2);
}

TEST_F(MusicContent, EveryScenePortionHasSound) {
    // Each 7.5 s section carries sound; the first (arrival) is quieter than the busiest.
    const std::vector<int16_t>& s = *first;
    std::vector<double> rms;
    const std::size_t section = 2 * 44100 * 15 / 2;
    for (std::size_t k = 0; k < 4; ++k) {
        double energy = 0;
        for (std::size_t i = k * section; i < (k + 1) * section; ++i)
            energy += static_cast<double>(s[i]) * s[i];
        rms.push_back(std::sqrt(energy / section));
    }
    for (const double r : rms) EXPECT_GT(r, 300.0);
    EXPECT_LT(rms[0], *std::max_element(rms.begin() + 1, rms.end()));
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
