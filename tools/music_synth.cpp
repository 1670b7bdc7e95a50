// The default demo's music: a slow D-minor progression on soft pads, a bell melody, a
// sparse plucked bass, wind and brushes of filtered noise, a ping-pong echo on the bells
// and a feedback-delay-network reverb. The score is data (the tables below); the
// instruments render note by note into mix buses, then the effects run over the buses in a
// fixed order. Oscillators use the polynomial sine below rather than the maths library, so
// the inner loops do not depend on its last bits.
//
// Form, 64 beats per minute, two 4/4 bars per 7.5 s section:
//   arrival  (0-7.5 s)   wind, a dark pad, a few distant bells;
//   lake     (7.5-15 s)  bass and brushes enter, the melody's first phrase;
//   crystals (15-22.5 s) brighter pad, sparkling bell arpeggios over the melody;
//   aurora   (22.5-30 s) the melody's high point, Gm - A - Dm, settling into a fade.
#include "tools/music_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

constexpr double kRate = kMusicSampleRate;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kSixteenths = 128;  // the piece in sixteenth notes: 8 bars of 16

// First frame of sixteenth `n` (exact: 1323000 frames over 128 sixteenths).
int frameOf(int n) {
    return static_cast<int>(static_cast<int64_t>(n) * kMusicFrames / kSixteenths);
}

// sin(2 pi t) for t in turns, by reflection into [-1/4, 1/4] and a Taylor polynomial
// (error below 1e-7).
double sineTurns(double t) {
    t -= std::floor(t);
    if (t >= 0.5) t -= 1.0;  // [-0.5, 0.5)
    if (t > 0.25) t = 0.5 - t;
    if (t < -0.25) t = -0.5 - t;
    const double x = kTwoPi * t, x2 = x * x;
    return x * (1.0 + x2 * (-1.0 / 6 +
                            x2 * (1.0 / 120 + x2 * (-1.0 / 5040 + x2 * (1.0 / 362880 +
                                                                        x2 * (-1.0 / 39916800))))));
}

// Equal temperament, A4 = 440 Hz; the ratios are written out so no power function runs.
double noteHz(int midi) {
    static constexpr std::array<double, 12> kRatio = {1.0,
                                                      1.0594630943592953,
                                                      1.1224620483093730,
                                                      1.1892071150027210,
                                                      1.2599210498948732,
                                                      1.3348398541700344,
                                                      1.4142135623730951,
                                                      1.4983070768766815,
                                                      1.5874010519681994,
                                                      1.6817928305074290,
                                                      1.7817974362806785,
                                                      1.8877486253633868};
    const int fromA = midi - 69;
    const int octave = (fromA >= 0 ? fromA : fromA - 11) / 12;
    double hz = 440.0 * kRatio[static_cast<std::size_t>(fromA - octave * 12)];
    for (int i = 0; i < octave; ++i) hz *= 2.0;
    for (int i = 0; i > octave; --i) hz *= 0.5;
    return hz;
}

// xorshift32 noise in [-1, 1).
class Noise {
  public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state >> 8) * (2.0 / 16777216.0) - 1.0;
    }

  private:
    uint32_t state;
};

// Coefficient of a one-pole low-pass at `hz`.
double onePole(double hz) {
    return 1.0 - std::exp(-kTwoPi * hz / kRate);
}

// Per-frame multiplier that makes a level fall by 1/e every `seconds`.
double decayPerFrame(double seconds) {
    return std::exp(-1.0 / (seconds * kRate));
}

// Band-limited sawtooth step (polyBLEP correction at the wrap).
double sawBlep(double phase, double dt) {
    double s = 2.0 * phase - 1.0;
    if (phase < dt) {
        const double x = phase / dt;
        s -= x + x - x * x - 1.0;
    } else if (phase > 1.0 - dt) {
        const double x = (phase - 1.0) / dt;
        s -= x * x + x + x + 1.0;
    }
    return s;
}

struct Buses {
    std::vector<double> left, right;  // dry mix
    std::vector<double> reverb;       // mono send to the reverb
    std::vector<double> echo;         // mono send to the ping-pong echo
    explicit Buses(int frames)
        : left(static_cast<std::size_t>(frames)),
          right(static_cast<std::size_t>(frames)),
          reverb(static_cast<std::size_t>(frames)),
          echo(static_cast<std::size_t>(frames)) {}
};

// Equal-power pan gains for pan in [-1, 1].
void panGains(double pan, double& left, double& right) {
    const double t = (pan + 1.0) * 0.125;  // turns, 0 .. 1/4
    left = sineTurns(t + 0.25);
    right = sineTurns(t);
}

// ---------------------------------------------------------------------------------------
// The score.

struct Chord {
    int start, length;  // sixteenths
    std::array<int, 4> notes;
    double cutoffHz;  // pad brightness
};

constexpr std::array<Chord, 9> kChords = {{
    {0, 16, {50, 57, 64, 65}, 650.0},     // Dm(add9)
    {16, 16, {46, 53, 57, 62}, 750.0},    // Bbmaj7
    {32, 16, {55, 58, 62, 65}, 950.0},    // Gm7
    {48, 16, {53, 57, 62, 64}, 1050.0},   // Dm(add9)/F
    {64, 16, {53, 57, 58, 62}, 1500.0},   // Bbmaj7
    {80, 16, {55, 60, 62, 64}, 1700.0},   // C(add9)
    {96, 8, {55, 58, 62, 65}, 1900.0},    // Gm7
    {104, 8, {52, 57, 61, 64}, 1600.0},   // A
    {112, 16, {50, 57, 62, 65}, 1000.0},  // Dm
}};

struct Note {
    int start, length;  // sixteenths
    int midi;
    double velocity;  // 0..1
};

// The bell melody.
constexpr std::array<Note, 33> kMelody = {{
    // arrival: distant calls
    {4, 8, 81, 0.45},
    {10, 6, 76, 0.35},
    {20, 6, 77, 0.40},
    {26, 6, 69, 0.35},
    // lake: the first phrase
    {32, 4, 74, 0.70},
    {36, 4, 77, 0.65},
    {40, 4, 79, 0.75},
    {44, 2, 77, 0.55},
    {46, 2, 74, 0.55},
    {48, 4, 76, 0.65},
    {52, 6, 81, 0.75},
    {58, 2, 79, 0.55},
    {60, 2, 77, 0.55},
    {62, 2, 76, 0.50},
    // crystals: the phrase rises
    {64, 6, 82, 0.75},
    {70, 2, 81, 0.60},
    {72, 4, 77, 0.65},
    {76, 4, 74, 0.55},
    {80, 4, 79, 0.70},
    {84, 2, 76, 0.60},
    {86, 2, 84, 0.65},
    {88, 8, 86, 0.80},
    // aurora: the high point and the way down
    {96, 4, 86, 0.85},
    {100, 2, 84, 0.70},
    {102, 2, 82, 0.70},
    {104, 4, 81, 0.75},
    {108, 2, 79, 0.60},
    {110, 2, 76, 0.55},
    {112, 6, 74, 0.70},
    {118, 4, 81, 0.40},
    {122, 6, 77, 0.30},
    {124, 4, 86, 0.20},
    {126, 2, 74, 0.15},
}};

// The plucked bass.
constexpr std::array<Note, 14> kBass = {{
    {16, 12, 34, 0.45},
    {32, 10, 43, 0.70},
    {42, 6, 50, 0.50},
    {48, 10, 41, 0.70},
    {58, 6, 45, 0.50},
    {64, 10, 34, 0.75},
    {74, 6, 41, 0.55},
    {80, 10, 36, 0.75},
    {90, 6, 43, 0.55},
    {96, 6, 43, 0.80},
    {102, 2, 50, 0.50},
    {104, 8, 45, 0.80},
    {112, 16, 38, 0.75},
    {122, 6, 38, 0.30},
}};

// ---------------------------------------------------------------------------------------
// Instruments.

// Pad: three detuned saws per chord note, spread across the field, through two one-pole
// low-passes; a slow attack and a release that overlaps the next chord.
void renderPads(Buses& buses) {
    static constexpr std::array<double, 3> kDetune = {0.99596, 1.0, 1.00405};  // -7, 0, +7 cents
    static constexpr std::array<double, 3> kSpread = {-0.7, 0.0, 0.7};
    const double attack = 1.1 * kRate, release = 1.4 * kRate;
    uint32_t seed = 17;
    for (const Chord& chord : kChords) {
        const int begin = frameOf(chord.start);
        const int held = frameOf(chord.start + chord.length) - begin;
        const int end = std::min(kMusicFrames, begin + held + static_cast<int>(release));
        const double cut = onePole(chord.cutoffHz), cutOpen = onePole(chord.cutoffHz * 1.6);
        for (std::size_t n = 0; n < chord.notes.size(); ++n) {
            const double hz = noteHz(chord.notes[n]);
            std::array<double, 3> phase{}, gainL{}, gainR{};
            Noise start(seed++ * 2654435761u);
            for (std::size_t v = 0; v < 3; ++v) {
                phase[v] = (start.next() + 1.0) * 0.5;
                panGains(kSpread[v] * (n % 2 ? -1.0 : 1.0), gainL[v], gainR[v]);
            }
            double l1 = 0, l2 = 0, r1 = 0, r2 = 0;
            for (int f = begin; f < end; ++f) {
                const double t = f - begin;
                double env = std::min(1.0, t / attack);
                env = env * env * (3.0 - 2.0 * env);
                if (t > held) env *= std::max(0.0, 1.0 - (t - held) / release);
                double left = 0, right = 0;
                for (std::size_t v = 0; v < 3; ++v) {
                    const double dt = hz * kDetune[v] / kRate;
                    const double s = sawBlep(phase[v], dt);
                    phase[v] += dt;
                    if (phase[v] >= 1.0) phase[v] -= 1.0;
                    left += s * gainL[v];
                    right += s * gainR[v];
                }
                // The filter opens a little as the chord swells.
                const double a = cut + (cutOpen - cut) * env;
                l1 += a * (left - l1);
                l2 += a * (l1 - l2);
                r1 += a * (right - r1);
                r2 += a * (r1 - r2);
                const std::size_t i = static_cast<std::size_t>(f);
                const double g = 0.04 * env;
                buses.left[i] += l2 * g;
                buses.right[i] += r2 * g;
                buses.reverb[i] += (l2 + r2) * g * 0.35;
            }
        }
    }
}

// Celesta bell: two-operator FM at a 1:4 ratio (odd harmonics, a clear pitch) whose
// brightness decays faster than its level, plus the inharmonic 2.76 partial of a struck
// bar that dies away sooner still; panned by pitch, sent to echo and reverb.
void renderBell(Buses& buses, int startFrame, double hz, double velocity, double pan,
                double ringSeconds, double echoSend) {
    const int end =
        std::min(kMusicFrames, startFrame + static_cast<int>(ringSeconds * 4.0 * kRate));
    const double fall = decayPerFrame(ringSeconds), brightFall = decayPerFrame(ringSeconds * 0.25);
    double gainL, gainR;
    panGains(pan, gainL, gainR);
    double env = velocity, index = 1.7 * velocity + 0.5;
    const double dCarrier = hz / kRate, dModulator = hz * 4.0 / kRate, dHigh = hz * 2.76 / kRate;
    double carrier = 0, modulator = 0, high = 0;
    for (int f = startFrame; f < end; ++f) {
        const double t = f - startFrame;
        const double onset = std::min(1.0, t / (0.004 * kRate));
        const double s =
            sineTurns(carrier + index * sineTurns(modulator) * 0.159) + 0.2 * env * sineTurns(high);
        carrier += dCarrier;
        modulator += dModulator;
        high += dHigh;
        if (carrier >= 1.0) carrier -= 1.0;
        if (modulator >= 1.0) modulator -= 1.0;
        if (high >= 1.0) high -= 1.0;
        const double out = s * env * onset * 0.11;
        env *= fall;
        index *= brightFall;
        const std::size_t i = static_cast<std::size_t>(f);
        buses.left[i] += out * gainL;
        buses.right[i] += out * gainR;
        buses.echo[i] += out * echoSend;
        buses.reverb[i] += out * 0.6;
    }
}

void renderMelody(Buses& buses) {
    for (const Note& note : kMelody) {
        const double pan = std::clamp((note.midi - 77) * 0.06, -0.5, 0.5);
        const double ring = 0.9 + note.length * 0.12;
        renderBell(buses, frameOf(note.start), noteHz(note.midi), note.velocity, pan, ring, 0.45);
    }
}

// Crystals: soft high arpeggios of the chord tones, alternating sides.
void renderSparkles(Buses& buses) {
    static constexpr std::array<int, 8> kOrder = {0, 2, 1, 3, 2, 1, 3, 2};
    for (int n = 64; n < 104; ++n) {
        if (n >= 96 && n % 2) continue;  // thinning out into the aurora
        const Chord* chord = &kChords[0];
        for (const Chord& c : kChords) {
            if (c.start <= n) chord = &c;
        }
        const int midi = chord->notes[static_cast<std::size_t>(kOrder[n % 8])] + 24;
        const double swell = 0.18 + 0.12 * sineTurns((n - 64) / 80.0);
        const double pan = n % 2 ? 0.75 : -0.75;
        renderBell(buses, frameOf(n), noteHz(midi), swell, pan, 0.35, 0.25);
    }
}

// Plucked bass: a sine and its octave with a quick attack and a falling tone.
void renderBass(Buses& buses) {
    for (const Note& note : kBass) {
        const int begin = frameOf(note.start);
        const double seconds = (frameOf(note.start + note.length) - begin) / kRate;
        const int end = std::min(kMusicFrames, begin + static_cast<int>((seconds + 0.8) * kRate));
        const double hz = noteHz(note.midi) / kRate;
        const double fall = decayPerFrame(0.35 + seconds * 0.35), toneFall = decayPerFrame(0.12);
        double env = note.velocity, tone = 0.5, phase = 0, lp = 0;
        const double a = onePole(400.0);
        for (int f = begin; f < end; ++f) {
            const double t = f - begin;
            const double onset = std::min(1.0, t / (0.006 * kRate));
            double release = 1.0;
            if (t > seconds * kRate)
                release = std::max(0.0, 1.0 - (t - seconds * kRate) / (0.8 * kRate));
            const double s = sineTurns(phase) + tone * sineTurns(2.0 * phase) +
                             0.5 * tone * sineTurns(3.0 * phase);
            phase += hz;
            if (phase >= 1.0) phase -= 1.0;
            lp += a * (s - lp);
            const double out = lp * env * onset * release * 0.18;
            env *= fall;
            tone *= toneFall;
            const std::size_t i = static_cast<std::size_t>(f);
            buses.left[i] += out;
            buses.right[i] += out;
            buses.reverb[i] += out * 0.12;
        }
    }
}

// Level of the wind (0..1) through the piece, in seconds: it greets the arrival, drops
// under the melody and rises again with the aurora.
double windLevel(double seconds) {
    static constexpr std::array<double, 9> kPoints = {0.0, 0.9,  0.85, 0.35, 0.3,
                                                      0.3, 0.55, 0.4,  0.15};
    const double x = seconds / 30.0 * 8.0;
    const int i = std::min(7, static_cast<int>(x));
    const double w = x - i;
    return kPoints[static_cast<std::size_t>(i)] * (1.0 - w) +
           kPoints[static_cast<std::size_t>(i) + 1] * w;
}

// Wind: independent noise per side through a slowly sweeping band-pass.
void renderWind(Buses& buses) {
    Noise noiseL(0x1234567u), noiseR(0x89ABCDEu);
    double lowL = 0, bandL = 0, lowR = 0, bandR = 0;
    const double damping = 1.2;
    for (int f = 0; f < kMusicFrames; ++f) {
        const double seconds = f / kRate;
        const double sweepL = 650.0 + 380.0 * sineTurns(seconds * 0.071);
        const double sweepR = 700.0 + 380.0 * sineTurns(seconds * 0.053 + 0.4);
        const double fl = 2.0 * sineTurns(sweepL / kRate * 0.5),
                     fr = 2.0 * sineTurns(sweepR / kRate * 0.5);
        // Chamberlin state-variable filters.
        lowL += fl * bandL;
        bandL += fl * (noiseL.next() - lowL - damping * bandL);
        lowR += fr * bandR;
        bandR += fr * (noiseR.next() - lowR - damping * bandR);
        const double gust = 0.75 + 0.25 * sineTurns(seconds * 0.23);
        const double level = windLevel(seconds) * gust * 0.14;
        const std::size_t i = static_cast<std::size_t>(f);
        buses.left[i] += bandL * level;
        buses.right[i] += bandR * level;
        buses.reverb[i] += (bandL + bandR) * level * 0.2;
    }
}

// Brushes: short band-passed noise bursts on the eighths from the lake on, a longer swish
// on beats two and four.
void renderBrushes(Buses& buses) {
    Noise noise(0xC0FFEEu);
    for (int n = 32; n < 120; n += 2) {
        const bool backbeat = n % 8 == 4;
        const double section = n < 64 ? 0.55 : n < 96 ? 0.8 : 0.65;
        const double level = (backbeat ? 1.0 : n % 4 == 2 ? 0.35 : 0.5) * section * 0.07;
        double gainL, gainR;
        panGains(backbeat ? 0.3 : -0.15, gainL, gainR);
        const int begin = frameOf(n) + (backbeat ? 0 : 120);
        const double length = backbeat ? 0.22 : 0.07;
        const int end = std::min(kMusicFrames, begin + static_cast<int>(length * 4.0 * kRate));
        const double fall = decayPerFrame(length);
        const double a = onePole(3500.0), soft = onePole(9000.0);
        double env = level, lp = 0, top = 0;
        for (int f = begin; f < end; ++f) {
            const double t = f - begin;
            const double onset = std::min(1.0, t / ((backbeat ? 0.03 : 0.002) * kRate));
            const double x = noise.next();
            lp += a * (x - lp);
            top += soft * (x - lp - top);  // the band 3.5-9 kHz: a brush, not a hiss
            const double out = top * env * onset * 1.4;
            env *= fall;
            const std::size_t i = static_cast<std::size_t>(f);
            buses.left[i] += out * gainL;
            buses.right[i] += out * gainR;
            buses.reverb[i] += out * 0.3;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Effects.

// Ping-pong echo three sixteenths long, darkened on every repeat, into the dry mix and a
// little into the reverb.
void renderEcho(Buses& buses) {
    const int delay = frameOf(3);
    std::vector<double> lineL(static_cast<std::size_t>(delay)),
        lineR(static_cast<std::size_t>(delay));
    const double feedback = 0.42, a = onePole(2800.0);
    double lp = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < buses.echo.size(); ++i) {
        const double outL = lineL[at], outR = lineR[at];
        lp += a * (buses.echo[i] + outR * feedback - lp);
        lineL[at] = lp;
        lineR[at] = outL;
        at = at + 1 == lineL.size() ? 0 : at + 1;
        buses.left[i] += outL * 0.55;
        buses.right[i] += outR * 0.55;
        buses.reverb[i] += (outL + outR) * 0.15;
    }
}

// Eight-line feedback delay network with a Hadamard mix and damping in the loop: a long,
// soft hall, even lines to the left and odd lines to the right.
void renderReverb(Buses& buses) {
    static constexpr std::array<int, 8> kLengths = {1559, 1877, 2237, 2593, 2963, 3323, 3701, 4073};
    const double seconds = 3.8;  // to -60 dB
    std::array<std::vector<double>, 8> lines;
    std::array<double, 8> gain{}, damp{};
    std::array<std::size_t, 8> at{};
    for (std::size_t k = 0; k < 8; ++k) {
        lines[k].assign(static_cast<std::size_t>(kLengths[k]), 0.0);
        gain[k] = std::pow(10.0, -3.0 * kLengths[k] / (seconds * kRate));
    }
    const double a = onePole(4200.0);
    const int preDelay = static_cast<int>(0.025 * kRate);
    for (int f = 0; f < kMusicFrames; ++f) {
        const double in =
            f >= preDelay ? buses.reverb[static_cast<std::size_t>(f - preDelay)] : 0.0;
        std::array<double, 8> x{};
        for (std::size_t k = 0; k < 8; ++k) {
            const double out = lines[k][at[k]];
            damp[k] += a * (out - damp[k]);
            x[k] = damp[k];
        }
        // Fast Walsh-Hadamard transform, scaled to stay lossless.
        for (std::size_t h = 1; h < 8; h *= 2) {
            for (std::size_t j = 0; j < 8; j += h * 2) {
                for (std::size_t k = j; k < j + h; ++k) {
                    const double p = x[k], q = x[k + h];
                    x[k] = p + q;
                    x[k + h] = p - q;
                }
            }
        }
        double left = 0, right = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            const double mixed = x[k] * 0.35355339059327373;  // 1/sqrt(8)
            lines[k][at[k]] = mixed * gain[k] + in * (k % 3 == 0 ? -0.5 : 0.5);
            at[k] = at[k] + 1 == lines[k].size() ? 0 : at[k] + 1;
            if (k % 2 == 0) {
                left += damp[k] * (k % 4 == 0 ? 1.0 : -1.0);
            } else {
                right += damp[k] * (k % 4 == 1 ? 1.0 : -1.0);
            }
        }
        const std::size_t i = static_cast<std::size_t>(f);
        buses.left[i] += left * 0.42;
        buses.right[i] += right * 0.42;
    }
}

}  // namespace

std::vector<int16_t> synthesiseMusic() {
    Buses buses(kMusicFrames);
    renderPads(buses);
    renderMelody(buses);
    renderSparkles(buses);
    renderBass(buses);
    renderWind(buses);
    renderBrushes(buses);
    renderEcho(buses);
    renderReverb(buses);

    // Remove any offset, then shape: a short fade-in, a gentle raised-cosine fade over the
    // last four seconds, and a level that puts the loudest sample at -3 dBFS.
    double meanL = 0, meanR = 0;
    for (int f = 0; f < kMusicFrames; ++f) {
        meanL += buses.left[static_cast<std::size_t>(f)];
        meanR += buses.right[static_cast<std::size_t>(f)];
    }
    meanL /= kMusicFrames;
    meanR /= kMusicFrames;
    const int fadeIn = static_cast<int>(0.02 * kRate), fadeOut = 4 * kMusicSampleRate;
    double peak = 1e-9;
    for (int f = 0; f < kMusicFrames; ++f) {
        double shape = 1.0;
        if (f < fadeIn) shape = static_cast<double>(f) / fadeIn;
        const int left = kMusicFrames - 1 - f;
        if (left < fadeOut)
            shape *= 0.5 - 0.5 * sineTurns(static_cast<double>(left) / fadeOut * 0.5 + 0.25);
        const std::size_t i = static_cast<std::size_t>(f);
        buses.left[i] = (buses.left[i] - meanL) * shape;
        buses.right[i] = (buses.right[i] - meanR) * shape;
        peak = std::max({peak, std::fabs(buses.left[i]), std::fabs(buses.right[i])});
    }
    const double scale = 0.70794578438 * 32767.0 / peak;  // -3 dBFS
    std::vector<int16_t> out(static_cast<std::size_t>(kMusicFrames) * kMusicChannels);
    for (std::size_t i = 0; i < buses.left.size(); ++i) {
        out[2 * i] = static_cast<int16_t>(std::lround(buses.left[i] * scale));
        out[2 * i + 1] = static_cast<int16_t>(std::lround(buses.right[i] * scale));
    }
    return out;
}

std::vector<unsigned char> encodeWav(const std::vector<int16_t>& interleaved) {
    const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
    std::vector<unsigned char> bytes;
    bytes.reserve(44 + dataBytes);
    auto tag = [&](const char* four) {
        for (int c = 0; c < 4; ++c) bytes.push_back(static_cast<unsigned char>(four[c]));
    };
    auto u32 = [&](uint32_t v) {
        for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<unsigned char>(v >> (8 * b)));
    };
    auto u16 = [&](uint32_t v) {
        bytes.push_back(static_cast<unsigned char>(v));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    };
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(kMusicChannels);
    u32(kMusicSampleRate);
    u32(kMusicSampleRate * kMusicChannels * 2);  // bytes per second
    u16(kMusicChannels * 2);                     // bytes per frame
    u16(16);                                     // bits per sample
    tag("data");
    u32(dataBytes);
    for (const int16_t s : interleaved) u16(static_cast<uint16_t>(s));
    return bytes;
}
