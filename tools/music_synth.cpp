// The default demo's music: a slow piece in D minor on soft pads, a bell melody, strings,
// a plucked bass, a low drone, a heartbeat, wind and brushes of filtered noise, with a
// ping-pong echo on the bells and a feedback-delay-network reverb. The score is data (the
// tables of music_score.h); the instruments render note by note into mix buses, then the
// effects run over the buses in a fixed order. Oscillators use the polynomial sine below
// rather than the maths library, so the inner loops do not depend on its last bits.
//
// Form, 64 beats per minute, 40 bars of 3.75 s, six sections that are the demo's scenes:
//   arrival   (bars  1-6,   0-22.5 s)  dusk: wind, a drone, a dark pad, distant bell calls;
//   lake      (bars  7-12,  22.5-45 s) bass and brushes enter; the theme, a question
//                                      answered;
//   crystals  (bars 13-18,  45-67.5 s) a brighter pad, sparkling arpeggios; the theme
//                                      inverted in a falling sequence, a half close on A;
//   mountains (bars 19-26,  67.5-97.5 s) the fullest texture: a second theme on strings
//                                      over a falling bass, a heartbeat, brushes in
//                                      sixteenths; the harmony turns to F major and E-flat;
//   aurora    (bars 27-32,  97.5-120 s) night: the theme at its peak, a shimmering pad, slow
//                                      arpeggios across the beat, a cadence home;
//   flight    (bars 33-40,  120-150 s) the coda: the arrival's calls and harmony return, the
//                                      theme sounds once more, and the last D minor chord
//                                      dies away before the end.
#include "tools/music_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <iterator>

#include "tools/music_score.h"

namespace {

constexpr double kRate = kMusicSampleRate;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kSixteenthsPerBar = 16;
constexpr int kSixteenths = kMusicBars * kSixteenthsPerBar;  // the piece in sixteenth notes

// Sixteenth index of a score position (bars counted from 1).
constexpr int sixteenth(int bar, int at) {
    return (bar - 1) * kSixteenthsPerBar + at;
}

// First frame of sixteenth `n` (exact: 6615000 frames over 640 sixteenths).
int frameOf(int n) {
    return static_cast<int>(static_cast<int64_t>(n) * kMusicFrames / kSixteenths);
}

int frameAt(int bar, int at) {
    return frameOf(sixteenth(bar, at));
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
// Reading the score.

static_assert(std::size(score::kWind) == kMusicBars + 1, "one wind level per bar and the end");

// The chords follow one another in time order without gaps or overlaps, the last one
// starting its release at the final bar.
constexpr bool chordsTileThePiece() {
    int next = 0;
    for (const score::Chord& chord : score::kChords) {
        if (sixteenth(chord.bar, chord.at) != next || chord.length <= 0) return false;
        next += chord.length;
    }
    return next == sixteenth(kMusicBars, 0);
}
static_assert(chordsTileThePiece(), "the chords must cover bars 1 to 39 in order");

template <std::size_t N>
constexpr bool notesInsideThePiece(const score::Note (&notes)[N]) {
    for (const score::Note& note : notes) {
        if (note.bar < 1 || note.at < 0 || note.at >= kSixteenthsPerBar || note.length <= 0 ||
            sixteenth(note.bar, note.at) + note.length > kSixteenths)
            return false;
    }
    return true;
}
static_assert(notesInsideThePiece(score::kMelody) && notesInsideThePiece(score::kCalls) &&
                  notesInsideThePiece(score::kStrings),
              "every note must start and end within the piece");

int chordStart(const score::Chord& chord) {
    return sixteenth(chord.bar, chord.at);
}

// The chord sounding at sixteenth `n` (the table is in time order).
const score::Chord& chordAt(int n) {
    const score::Chord* found = &score::kChords[0];
    for (const score::Chord& chord : score::kChords) {
        if (chordStart(chord) <= n) found = &chord;
    }
    return *found;
}

// Smooth 0..1 ramp.
double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// ---------------------------------------------------------------------------------------
// Instruments.

// Pad: three detuned saws per chord note, spread across the field, through two one-pole
// low-passes; a slow attack and a release that overlaps the next chord. Where the chord
// asks for air, a pair of sines an octave up, a few cents apart, beat slowly on either
// side: the shimmer of the aurora.
void renderPads(Buses& buses) {
    static constexpr std::array<double, 3> kDetune = {0.99596, 1.0, 1.00405};  // -7, 0, +7 cents
    static constexpr std::array<double, 3> kSpread = {-0.7, 0.0, 0.7};
    const double attack = 1.1 * kRate;
    uint32_t seed = 17;
    for (const score::Chord& chord : score::kChords) {
        const int begin = frameOf(chordStart(chord));
        const int held = frameOf(chordStart(chord) + chord.length) - begin;
        const double release = chord.releaseSeconds * kRate;
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
            const double airLow = 2.0 * hz * 0.9988 / kRate, airHigh = 2.0 * hz * 1.0012 / kRate;
            double airPhaseL = phase[0], airPhaseR = phase[2];
            double l1 = 0, l2 = 0, r1 = 0, r2 = 0;
            for (int f = begin; f < end; ++f) {
                const double t = f - begin;
                double env = smoothStep(t / attack);
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
                const double g = 0.04 * chord.level * env;
                double outL = l2 * g, outR = r2 * g;
                if (chord.air > 0.0) {
                    const double airGain = 0.012 * chord.air * env;
                    outL += sineTurns(airPhaseL) * airGain;
                    outR += sineTurns(airPhaseR) * airGain;
                    airPhaseL += airLow;
                    airPhaseR += airHigh;
                    if (airPhaseL >= 1.0) airPhaseL -= 1.0;
                    if (airPhaseR >= 1.0) airPhaseR -= 1.0;
                }
                buses.left[i] += outL;
                buses.right[i] += outR;
                buses.reverb[i] += (outL + outR) * 0.35;
            }
        }
    }
}

// How much of a bell goes to the dry mix, the echo and the reverb.
struct BellSends {
    double dry, echo, reverb;
};

constexpr BellSends kNearBell = {1.0, 0.45, 0.6};
constexpr BellSends kFarBell = {0.35, 0.8, 1.4};  // the calls: mostly echo and hall
constexpr BellSends kSparkleBell = {1.0, 0.25, 0.6};

// Celesta bell: two-operator FM at a 1:4 ratio (odd harmonics, a clear pitch) whose
// brightness decays faster than its level, plus the inharmonic 2.76 partial of a struck
// bar that dies away sooner still. It rings for four times its decay time, the last quarter
// of that fading to nothing so the cut is silent.
void renderBell(Buses& buses, int startFrame, double hz, double velocity, double pan,
                double ringSeconds, const BellSends& sends) {
    const int end =
        std::min(kMusicFrames, startFrame + static_cast<int>(ringSeconds * 4.0 * kRate));
    const double fall = decayPerFrame(ringSeconds), brightFall = decayPerFrame(ringSeconds * 0.25);
    const double tail = ringSeconds * kRate;
    double gainL, gainR;
    panGains(pan, gainL, gainR);
    double env = velocity, index = 1.7 * velocity + 0.5;
    const double dCarrier = hz / kRate, dModulator = hz * 4.0 / kRate, dHigh = hz * 2.76 / kRate;
    double carrier = 0, modulator = 0, high = 0;
    for (int f = startFrame; f < end; ++f) {
        const double t = f - startFrame;
        const double onset = std::min({1.0, t / (0.004 * kRate), (end - f) / tail});
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
        buses.left[i] += out * gainL * sends.dry;
        buses.right[i] += out * gainR * sends.dry;
        buses.echo[i] += out * sends.echo;
        buses.reverb[i] += out * sends.reverb;
    }
}

// The melody and the calls, panned by pitch, ringing longer on longer notes.
void renderMelody(Buses& buses) {
    auto play = [&](const score::Note& note, const BellSends& sends) {
        const double pan = std::clamp((note.midi - 79) * 0.06, -0.5, 0.5);
        const double ring = 0.9 + std::min(note.length, 12) * 0.12;
        renderBell(buses, frameAt(note.bar, note.at), noteHz(note.midi), note.velocity, pan, ring,
                   sends);
    };
    for (const score::Note& note : score::kMelody) play(note, kNearBell);
    for (const score::Note& note : score::kCalls) play(note, kFarBell);
}

// Arpeggios: soft high bells walking the chord's voicing, alternating sides, swelling over
// each span.
void renderArpeggios(Buses& buses) {
    static constexpr std::array<std::size_t, 8> kOrder = {0, 2, 1, 3, 2, 1, 3, 2};
    for (const score::Arpeggio& span : score::kArpeggios) {
        const int first = sixteenth(span.fromBar, 0), last = sixteenth(span.toBar + 1, 0);
        std::size_t k = 0;
        for (int n = first; n < last; n += span.step, ++k) {
            const int midi = chordAt(n).notes[kOrder[k % kOrder.size()]] + 12 * span.octaves;
            const double swell =
                span.level * (0.6 + 0.4 * sineTurns(0.5 * (n - first) / (last - first)));
            const double pan = k % 2 ? 0.75 : -0.75;
            renderBell(buses, frameOf(n), noteHz(midi), swell, pan, span.ringSeconds, kSparkleBell);
        }
    }
}

// Strings: three detuned saws per note with a vibrato that grows in, a bowed attack and a
// long release, through two one-pole low-passes that follow the pitch.
void renderStrings(Buses& buses) {
    static constexpr std::array<double, 3> kDetune = {0.99712, 1.0, 1.00289};  // -5, 0, +5 cents
    static constexpr std::array<double, 3> kSpread = {-0.5, 0.05, 0.55};
    const double attack = 0.25 * kRate, release = 0.7 * kRate, vibratoIn = 0.6 * kRate;
    std::array<double, 3> gainL{}, gainR{};
    for (std::size_t v = 0; v < 3; ++v) panGains(kSpread[v], gainL[v], gainR[v]);
    int count = 0;
    for (const score::Note& note : score::kStrings) {
        const int begin = frameAt(note.bar, note.at);
        const int held = frameOf(sixteenth(note.bar, note.at) + note.length) - begin;
        const int end = std::min(kMusicFrames, begin + held + static_cast<int>(release));
        const double hz = noteHz(note.midi);
        const double a = onePole(std::min(2400.0, hz * 3.0));
        std::array<double, 3> phase = {0.0, 0.31, 0.67};
        const double vibratoStart = 0.27 * count++;  // turns: the bows are never in step
        double l1 = 0, l2 = 0, r1 = 0, r2 = 0;
        for (int f = begin; f < end; ++f) {
            const double t = f - begin;
            double env = smoothStep(t / attack);
            if (t > held) env *= std::max(0.0, 1.0 - (t - held) / release);
            const double depth = 0.004 * smoothStep(t / vibratoIn);
            const double vibrato = 1.0 + depth * sineTurns(vibratoStart + t * (5.2 / kRate));
            double left = 0, right = 0;
            for (std::size_t v = 0; v < 3; ++v) {
                const double dt = hz * kDetune[v] * vibrato / kRate;
                const double s = sawBlep(phase[v], dt);
                phase[v] += dt;
                if (phase[v] >= 1.0) phase[v] -= 1.0;
                left += s * gainL[v];
                right += s * gainR[v];
            }
            l1 += a * (left - l1);
            l2 += a * (l1 - l2);
            r1 += a * (right - r1);
            r2 += a * (r1 - r2);
            const double g = 0.12 * note.velocity * env;
            const std::size_t i = static_cast<std::size_t>(f);
            buses.left[i] += l2 * g;
            buses.right[i] += r2 * g;
            buses.reverb[i] += (l2 + r2) * g * 0.5;
        }
    }
}

// Plucked bass: a sine and its octave with a quick attack and a falling tone.
void renderBassNote(Buses& buses, int startSixteenth, int length, int midi, double velocity) {
    const int begin = frameOf(startSixteenth);
    const double seconds = (frameOf(startSixteenth + length) - begin) / kRate;
    const int end = std::min(kMusicFrames, begin + static_cast<int>((seconds + 0.8) * kRate));
    const double hz = noteHz(midi) / kRate;
    const double fall = decayPerFrame(0.35 + seconds * 0.35), toneFall = decayPerFrame(0.12);
    double env = velocity, tone = 0.5, phase = 0, lp = 0;
    const double a = onePole(400.0);
    for (int f = begin; f < end; ++f) {
        const double t = f - begin;
        const double onset = std::min(1.0, t / (0.006 * kRate));
        double release = 1.0;
        if (t > seconds * kRate)
            release = std::max(0.0, 1.0 - (t - seconds * kRate) / (0.8 * kRate));
        const double s =
            sineTurns(phase) + tone * sineTurns(2.0 * phase) + 0.5 * tone * sineTurns(3.0 * phase);
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

// The bass line: each section's rhythm over the chords' bass notes. A hit that falls on the
// first sixteenth of a chord sounds the bass note itself, so every change is marked.
void renderBass(Buses& buses) {
    for (const score::BassHit& hit : score::kBassHits) {
        for (int bar = hit.fromBar; bar <= hit.toBar; ++bar) {
            const int n = sixteenth(bar, hit.at);
            const score::Chord& chord = chordAt(n);
            const int interval = chordStart(chord) == n ? 0 : hit.interval;
            renderBassNote(buses, n, hit.length, chord.bass + interval, hit.velocity);
        }
    }
}

// Drone: a low note and its fifth, each a pair of sines a hair apart on either side,
// swelling in and out over four seconds and breathing slowly.
void renderDrones(Buses& buses) {
    const double swell = 4.0 * kRate;
    for (const score::Drone& drone : score::kDrones) {
        const int begin = frameAt(drone.fromBar, 0);
        const int end = std::min(kMusicFrames, frameAt(drone.toBar + 1, 0));
        const double root = noteHz(drone.midi) / kRate, fifth = noteHz(drone.midi + 7) / kRate;
        std::array<double, 4> phase{};
        const std::array<double, 4> step = {root * 0.9996, root * 1.0004, fifth * 1.0003,
                                            fifth * 0.9997};
        for (int f = begin; f < end; ++f) {
            const double env =
                smoothStep((f - begin) / swell) * smoothStep((end - 1 - f) / swell) * drone.level;
            const double breath = 0.8 + 0.2 * sineTurns((f - begin) * (0.09 / kRate));
            std::array<double, 4> s{};
            for (std::size_t k = 0; k < 4; ++k) {
                s[k] = sineTurns(phase[k]) + 0.3 * sineTurns(2.0 * phase[k]);
                phase[k] += step[k];
                if (phase[k] >= 1.0) phase[k] -= 1.0;
            }
            const double g = 0.032 * env * breath;
            const std::size_t i = static_cast<std::size_t>(f);
            const double left = (s[0] + 0.45 * s[2]) * g, right = (s[1] + 0.45 * s[3]) * g;
            buses.left[i] += left;
            buses.right[i] += right;
            buses.reverb[i] += (left + right) * 0.25;
        }
    }
}

// Heartbeat: a soft sine thump falling from about 100 Hz to 42 Hz, "lub" on the beat and a
// quieter "dub" a dotted eighth later, on beats one and three (or one only).
void renderHeartbeats(Buses& buses) {
    struct Beat {
        int at;
        double level;
    };
    static constexpr std::array<Beat, 2> kBeat = {{{0, 1.0}, {3, 0.55}}};
    const double fall = decayPerFrame(0.16), sweepFall = decayPerFrame(0.03);
    const int length = static_cast<int>(0.9 * kRate);
    for (const score::HeartbeatSpan& span : score::kHeartbeats) {
        for (int bar = span.fromBar; bar <= span.toBar; ++bar) {
            for (int half = 0; half < span.perBar; ++half) {
                for (const Beat& beat : kBeat) {
                    const int begin = frameAt(bar, half * 8 + beat.at);
                    const int end = std::min(kMusicFrames, begin + length);
                    double env = span.level * beat.level, sweep = 1.0, phase = 0.0;
                    for (int f = begin; f < end; ++f) {
                        const double onset = std::min(1.0, (f - begin) / (0.003 * kRate));
                        const double out = sineTurns(phase) * env * onset * 0.2;
                        phase += (42.0 + 58.0 * sweep) / kRate;
                        if (phase >= 1.0) phase -= 1.0;
                        env *= fall;
                        sweep *= sweepFall;
                        const std::size_t i = static_cast<std::size_t>(f);
                        buses.left[i] += out;
                        buses.right[i] += out;
                        buses.reverb[i] += out * 0.05;
                    }
                }
            }
        }
    }
}

// Level of the wind (0..1) at `seconds`, between the per-bar points of the score.
double windLevel(double seconds) {
    const double x = seconds / 3.75;
    const int i = std::clamp(static_cast<int>(x), 0, kMusicBars - 1);
    const double w = x - i;
    return score::kWind[i] * (1.0 - w) + score::kWind[i + 1] * w;
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

// Brushes: short band-passed noise bursts on the section's grid, a longer swish on beats
// two and four.
void renderBrushes(Buses& buses) {
    Noise noise(0xC0FFEEu);
    const double a = onePole(3500.0), soft = onePole(9000.0);
    for (const score::BrushSpan& span : score::kBrushes) {
        for (int n = sixteenth(span.fromBar, 0); n < sixteenth(span.toBar + 1, 0); n += span.step) {
            const bool backbeat = n % 8 == 4;
            const double accent = backbeat ? 1.0 : n % 4 == 0 ? 0.5 : n % 2 == 0 ? 0.35 : 0.25;
            const double level = accent * span.level * 0.1;
            double gainL, gainR;
            panGains(backbeat ? 0.3 : -0.15, gainL, gainR);
            const int begin = frameOf(n) + (backbeat ? 0 : 120);
            const double length = backbeat ? 0.22 : 0.07;
            const int end = std::min(kMusicFrames, begin + static_cast<int>(length * 4.0 * kRate));
            const double fall = decayPerFrame(length);
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
    renderDrones(buses);
    renderPads(buses);
    renderStrings(buses);
    renderMelody(buses);
    renderArpeggios(buses);
    renderBass(buses);
    renderHeartbeats(buses);
    renderWind(buses);
    renderBrushes(buses);
    renderEcho(buses);
    renderReverb(buses);

    // Remove any offset, then shape: a short fade-in, a gentle raised-cosine fade over the
    // last four seconds (the last chord has almost died away by then; this takes the
    // reverb's tail to silence), and a level that puts the loudest sample at -3 dBFS.
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
