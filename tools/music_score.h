// The score of the default demo's music, as tables the synthesiser in music_synth.cpp walks.
// Positions are (bar, sixteenth within the bar), bars counted from 1 as a player reads
// them; lengths are in sixteenths. At 64 beats per minute a sixteenth is 0.234375 s and a
// 4/4 bar 3.75 s; the piece is 40 bars, 150 s. MIDI note numbers: D4 = 62, A4 = 69,
// D5 = 74, D6 = 86.
//
//   bars  1-6   arrival    Dm Dm Bb Gm Dm/F A       wind, drone, dark pad, distant calls
//   bars  7-12  lake       Dm Bb Gm-A Dm Bb-C Dm-A  bass and brushes, the theme (question
//                                                   in bars 7-9, answer in 10-12)
//   bars 13-18  crystals   Bb F/A Gm C F Gm-A7      brighter pad, bell arpeggios; the theme
//                                                   turned upside down, in falling sequence
//   bars 19-26  mountains  Dm C Bb A | Gm C F Eb    a falling bass, a second theme on strings,
//                                                   heartbeat and full brushes; the harmony
//                                                   turns to F major, then to E-flat
//   bars 27-32  aurora     Bb F/A Gm Eb A Dm        the theme at its peak (G6 in bar 30),
//                                                   shimmering pad and slow arpeggios
//   bars 33-40  flight     Dm Dm Bb Gm Dm/F Gm-A Dm the arrival's calls again, the theme once
//                                                   more, softly, and a last chord dying away
#pragma once

#include <array>

namespace score {

struct Chord {
    int bar, at, length;
    int bass;                  // the bass line's note
    std::array<int, 4> notes;  // the pad's voicing
    double cutoffHz;           // pad brightness
    double level;              // pad level, 1 = normal
    double air;                // level of the shimmering octave layer, 0 = none
    double releaseSeconds;
};

// clang-format off
constexpr Chord kChords[] = {
    // arrival: dark and low
    { 1, 0, 32, 38, {50, 57, 64, 65},  520.0, 0.80, 0.0, 1.4},  // Dm(add9)
    { 3, 0, 16, 34, {46, 53, 57, 62},  560.0, 0.80, 0.0, 1.4},  // Bbmaj7
    { 4, 0, 16, 43, {55, 58, 62, 69},  600.0, 0.85, 0.0, 1.4},  // Gm(add9)
    { 5, 0, 16, 41, {53, 57, 62, 64},  640.0, 0.85, 0.0, 1.4},  // Dm(add9)/F
    { 6, 0,  8, 45, {52, 57, 62, 64},  700.0, 0.90, 0.0, 1.4},  // Asus4
    { 6, 8,  8, 45, {52, 57, 61, 64},  720.0, 0.90, 0.0, 1.4},  // A
    // lake
    { 7, 0, 16, 38, {50, 57, 64, 65},  850.0, 0.90, 0.0, 1.4},  // Dm(add9)
    { 8, 0, 16, 34, {46, 53, 57, 62},  900.0, 0.90, 0.0, 1.4},  // Bbmaj7
    { 9, 0,  8, 43, {55, 58, 62, 65},  950.0, 0.90, 0.0, 1.4},  // Gm7
    { 9, 8,  4, 45, {52, 57, 62, 64},  950.0, 0.90, 0.0, 1.4},  // Asus4
    { 9,12,  4, 45, {52, 57, 61, 64},  950.0, 0.90, 0.0, 1.4},  // A
    {10, 0, 16, 38, {50, 57, 62, 65}, 1000.0, 0.95, 0.0, 1.4},  // Dm
    {11, 0,  8, 34, {53, 57, 58, 62}, 1050.0, 0.95, 0.0, 1.4},  // Bbmaj7
    {11, 8,  8, 36, {55, 60, 62, 64}, 1100.0, 0.95, 0.0, 1.4},  // C(add9)
    {12, 0,  8, 38, {53, 57, 62, 65}, 1100.0, 0.95, 0.0, 1.4},  // Dm
    {12, 8,  8, 45, {52, 57, 62, 64}, 1200.0, 0.95, 0.0, 1.4},  // Asus4
    // crystals: voiced higher, the filter open
    {13, 0, 16, 34, {58, 62, 65, 69}, 1500.0, 0.90, 0.3, 1.4},  // Bbmaj7
    {14, 0, 16, 45, {57, 60, 65, 67}, 1600.0, 0.90, 0.3, 1.4},  // F(add9)/A
    {15, 0, 16, 43, {58, 62, 65, 69}, 1700.0, 0.90, 0.3, 1.4},  // Gm9
    {16, 0, 16, 36, {60, 62, 64, 67}, 1800.0, 0.90, 0.3, 1.4},  // C(add9)
    {17, 0, 16, 41, {57, 60, 64, 65}, 1900.0, 0.95, 0.4, 1.4},  // Fmaj7
    {18, 0,  8, 43, {58, 62, 65, 67}, 1900.0, 0.95, 0.4, 1.4},  // Gm7
    {18, 8,  8, 45, {57, 61, 64, 67}, 1800.0, 1.00, 0.3, 1.4},  // A7
    // mountains: wide and full
    {19, 0, 16, 38, {50, 57, 65, 69}, 2000.0, 1.05, 0.0, 1.4},  // Dm
    {20, 0, 16, 36, {48, 55, 64, 67}, 2100.0, 1.05, 0.0, 1.4},  // C
    {21, 0, 16, 34, {46, 53, 62, 69}, 2200.0, 1.05, 0.0, 1.4},  // Bbmaj7
    {22, 0,  8, 33, {45, 52, 62, 64}, 2200.0, 1.05, 0.0, 1.4},  // Asus4
    {22, 8,  8, 33, {45, 52, 61, 64}, 2200.0, 1.10, 0.0, 1.4},  // A
    {23, 0, 16, 31, {50, 55, 58, 69}, 2300.0, 1.10, 0.0, 1.4},  // Gm(add9)
    {24, 0,  8, 36, {48, 53, 55, 65}, 2300.0, 1.10, 0.0, 1.4},  // Csus4
    {24, 8,  8, 36, {48, 52, 55, 64}, 2400.0, 1.10, 0.0, 1.4},  // C
    {25, 0, 16, 41, {53, 57, 60, 64}, 2500.0, 1.15, 0.0, 1.4},  // Fmaj7: F major reached
    {26, 0, 16, 39, {51, 55, 58, 62}, 2300.0, 1.10, 0.0, 1.4},  // Ebmaj7: the turn
    // aurora: higher, softer, shimmering
    {27, 0, 16, 34, {58, 62, 65, 69}, 1400.0, 0.85, 1.0, 1.4},  // Bbmaj7
    {28, 0, 16, 45, {57, 60, 65, 72}, 1400.0, 0.85, 1.0, 1.4},  // F/A
    {29, 0, 16, 43, {55, 58, 62, 69}, 1400.0, 0.85, 1.0, 1.4},  // Gm(add9)
    {30, 0, 16, 39, {55, 58, 62, 69}, 1500.0, 0.90, 1.0, 1.4},  // Ebmaj7(#11)
    {31, 0,  8, 45, {57, 62, 64, 69}, 1400.0, 0.90, 0.8, 1.4},  // Asus4
    {31, 8,  8, 45, {57, 61, 64, 69}, 1300.0, 0.90, 0.8, 1.4},  // A
    {32, 0, 16, 38, {57, 62, 64, 65}, 1100.0, 0.85, 0.6, 1.4},  // Dm(add9)
    // flight: the arrival's harmony again, darkening towards the end
    {33, 0, 32, 38, {50, 57, 64, 65},  800.0, 0.85, 0.2, 1.4},  // Dm(add9)
    {35, 0, 16, 34, {46, 53, 57, 62},  750.0, 0.85, 0.0, 1.4},  // Bbmaj7
    {36, 0, 16, 43, {55, 58, 62, 69},  700.0, 0.85, 0.0, 1.4},  // Gm(add9)
    {37, 0, 16, 41, {53, 57, 62, 64},  650.0, 0.80, 0.0, 1.4},  // Dm(add9)/F
    {38, 0,  8, 43, {55, 58, 62, 64},  620.0, 0.80, 0.0, 1.4},  // Gm6
    {38, 8,  4, 45, {52, 57, 62, 64},  600.0, 0.80, 0.0, 1.4},  // Asus4
    {38,12,  4, 45, {52, 57, 61, 64},  580.0, 0.80, 0.0, 1.4},  // A
    {39, 0, 16, 38, {50, 57, 64, 65},  520.0, 0.80, 0.0, 3.4},  // Dm(add9), dying away
    // (bar 40 is the last chord's release)
};
// clang-format on

struct Note {
    int bar, at, length;
    int midi;
    double velocity;  // 0..1
};

// The distant bells of the arrival and the flight: calls from far off, mostly echo and hall.
// clang-format off
constexpr Note kCalls[] = {
    { 1, 8,  8, 81, 0.40}, { 2, 4, 12, 76, 0.32},
    { 3, 8,  8, 77, 0.38}, { 4, 4,  8, 74, 0.32}, { 4,12, 4, 69, 0.26},
    { 5, 4,  8, 81, 0.40}, { 5,12,  4, 79, 0.28},
    { 6, 0,  8, 76, 0.36}, { 6, 8,  8, 73, 0.30},
    // flight: the same calls, fainter
    {33, 8,  8, 81, 0.34}, {34, 4, 12, 76, 0.28},
    {35, 8,  8, 77, 0.32}, {36, 4,  8, 74, 0.28}, {36,12, 4, 69, 0.22},
    // and the last, farthest ones over the final chord
    {39, 8,  8, 81, 0.22}, {40, 0,  4, 86, 0.14}, {40, 4,  4, 81, 0.10},
    // lake: one call answers the theme's question
    { 9,12,  4, 88, 0.20},
    // mountains: calls high above the strings
    {19, 8,  8, 86, 0.30}, {21, 8,  8, 81, 0.28}, {23, 8,  8, 86, 0.30},
};

// The bell melody. The theme rises through the D minor triad (bar 7) and falls back; its
// answer (bar 10) reaches higher. The crystals turn it upside down in a falling sequence,
// the mountains answer the strings with it, the aurora lifts it to its peak and the
// flight sings it once more, softly, on the way home.
constexpr Note kMelody[] = {
    // lake: question (7-9) and answer (10-12)
    { 7, 0,  4, 74, 0.65}, { 7, 4,  4, 77, 0.65}, { 7, 8,  8, 81, 0.75},
    { 8, 0,  6, 82, 0.70}, { 8, 6,  2, 81, 0.55}, { 8, 8,  4, 77, 0.60}, { 8,12,  4, 74, 0.55},
    { 9, 0,  4, 79, 0.65}, { 9, 4,  4, 82, 0.70}, { 9, 8,  8, 81, 0.70},
    {10, 0,  4, 74, 0.65}, {10, 4,  4, 77, 0.65}, {10, 8,  6, 81, 0.75}, {10,14,  2, 84, 0.60},
    {11, 0,  6, 86, 0.80}, {11, 6,  2, 84, 0.60}, {11, 8,  4, 82, 0.65}, {11,12,  4, 79, 0.60},
    {12, 0,  6, 77, 0.70}, {12, 6,  2, 76, 0.55}, {12, 8,  8, 74, 0.65},
    // crystals: the theme inverted, a step lower each time, then rising to the half close
    {13, 0,  4, 81, 0.70}, {13, 4,  4, 77, 0.60}, {13, 8,  8, 74, 0.60},
    {14, 0,  6, 84, 0.70}, {14, 6,  2, 82, 0.55}, {14, 8,  8, 81, 0.65},
    {15, 0,  4, 82, 0.70}, {15, 4,  4, 79, 0.60}, {15, 8,  8, 74, 0.60},
    {16, 0,  6, 82, 0.70}, {16, 6,  2, 81, 0.55}, {16, 8,  8, 79, 0.65},
    {17, 0,  4, 81, 0.70}, {17, 4,  4, 84, 0.72}, {17, 8,  6, 88, 0.80}, {17,14,  2, 86, 0.60},
    {18, 0,  8, 86, 0.75}, {18, 8,  8, 85, 0.70},
    // mountains: the bells answer where the strings hold
    {22, 8,  2, 81, 0.50}, {22,10,  2, 76, 0.45}, {22,12,  4, 85, 0.55},
    {25, 8,  4, 88, 0.50}, {25,12,  4, 84, 0.45},
    {26, 8,  4, 86, 0.55}, {26,12,  4, 82, 0.50},
    // aurora: the theme from F, climbing to G6, and the way down
    {27, 0,  4, 77, 0.70}, {27, 4,  4, 81, 0.75}, {27, 8,  8, 86, 0.80},
    {28, 0,  6, 88, 0.80}, {28, 6,  2, 86, 0.65}, {28, 8,  8, 84, 0.75},
    {29, 0,  4, 82, 0.75}, {29, 4,  4, 86, 0.80}, {29, 8,  8, 89, 0.85},
    {30, 0, 12, 91, 0.90}, {30,12,  4, 89, 0.70},
    {31, 0,  8, 88, 0.80}, {31, 8,  8, 85, 0.75},
    {32, 0, 16, 86, 0.80},
    // flight: the theme once more, then home
    {37, 0,  4, 74, 0.50}, {37, 4,  4, 77, 0.50}, {37, 8,  8, 81, 0.55},
    {38, 0,  8, 79, 0.50}, {38, 8,  4, 76, 0.45}, {38,12,  4, 73, 0.45},
    {39, 0,  8, 74, 0.55},
};

// The strings: the mountains' second theme, broad and stepwise over the falling bass, then
// a soft held line under the aurora.
constexpr Note kStrings[] = {
    {19, 0, 12, 74, 0.70}, {19,12,  4, 76, 0.60},
    {20, 0,  8, 79, 0.75}, {20, 8,  4, 77, 0.65}, {20,12,  4, 76, 0.60},
    {21, 0, 12, 77, 0.70}, {21,12,  4, 74, 0.60},
    {22, 0, 16, 76, 0.70},
    {23, 0,  8, 74, 0.70}, {23, 8,  4, 79, 0.70}, {23,12,  4, 81, 0.75},
    {24, 0, 12, 82, 0.80}, {24,12,  2, 81, 0.65}, {24,14,  2, 79, 0.60},
    {25, 0, 12, 81, 0.85}, {25,12,  4, 84, 0.80},
    {26, 0,  8, 82, 0.80}, {26, 8,  8, 79, 0.70},
    {27, 0, 16, 74, 0.25}, {28, 0, 16, 72, 0.25}, {29, 0, 16, 70, 0.25},
    {30, 0, 16, 70, 0.25}, {31, 0, 32, 69, 0.22},
};
// clang-format on

// The bass plays a rhythm per section; each hit sounds the chord's bass note plus an
// interval, except on the first sixteenth of a chord, which always sounds its bass note.
struct BassHit {
    int fromBar, toBar;  // inclusive
    int at, length;
    int interval;  // semitones above the chord's bass note
    double velocity;
};

// clang-format off
constexpr BassHit kBassHits[] = {
    // lake: root and fifth
    { 7, 12,  0,  8,  0, 0.70}, { 7, 12,  8,  6,  7, 0.50}, { 7, 12, 14,  2, 12, 0.30},
    // crystals: a dotted, lighter step
    {13, 18,  0,  6,  0, 0.70}, {13, 18,  6,  2, 12, 0.35}, {13, 18,  8,  6,  7, 0.55},
    {13, 18, 14,  2,  0, 0.40},
    // mountains: driving eighths
    {19, 26,  0,  6,  0, 0.85}, {19, 26,  6,  2,  0, 0.45}, {19, 26,  8,  4,  7, 0.65},
    {19, 26, 12,  2, 12, 0.50}, {19, 26, 14,  2,  7, 0.45},
    // aurora: long notes
    {27, 32,  0, 12,  0, 0.65}, {27, 32, 12,  4,  7, 0.35},
    // flight: the bass falls quiet, then the last note
    {33, 36,  0, 16,  0, 0.40}, {37, 38,  0,  8,  0, 0.45}, {37, 38,  8,  8,  0, 0.40},
    {39, 39,  0, 16,  0, 0.55},
};
// clang-format on

// Bell arpeggios over the chord's voicing, `octaves` above it, one every `step` sixteenths.
struct Arpeggio {
    int fromBar, toBar;  // inclusive
    int step;
    int octaves;
    double level, ringSeconds;
};

constexpr Arpeggio kArpeggios[] = {
    {13, 16, 1, 2, 0.32, 0.35},  // crystals: sparkling sixteenths
    {17, 18, 2, 2, 0.32, 0.45},  // thinning towards the half close
    {19, 26, 2, 2, 0.12, 0.30},  // mountains: a quiet glitter on the eighths
    {27, 31, 3, 2, 0.24, 0.90},  // aurora: dotted eighths across the beat, long rings
    {33, 34, 4, 2, 0.08, 0.60},  // flight: a last few
};

// Brushes: taps every `step` sixteenths and a swish on beats two and four.
struct BrushSpan {
    int fromBar, toBar;  // inclusive
    int step;
    double level;
};

constexpr BrushSpan kBrushes[] = {
    {7, 12, 2, 0.55},   // lake: eighths
    {13, 18, 2, 0.70},  // crystals
    {19, 26, 1, 0.90},  // mountains: sixteenths
    {27, 31, 4, 0.45},  // aurora: quarters
    {33, 36, 4, 0.30},  // flight: a last few
};

// The heartbeat: a soft low thump and its echo, twice a bar or once.
struct HeartbeatSpan {
    int fromBar, toBar;  // inclusive
    int perBar;          // 1 or 2
    double level;
};

constexpr HeartbeatSpan kHeartbeats[] = {
    {19, 26, 2, 1.0},  // mountains
    {27, 30, 1, 0.5},  // aurora: slowing down
};

// A low drone under the arrival and the flight, swelling in and out.
struct Drone {
    int fromBar, toBar;  // the drone sounds from the start of fromBar to the end of toBar
    int midi;
    double level;
};

constexpr Drone kDrones[] = {
    {1, 7, 38, 1.0},
    {33, 40, 38, 0.9},
};

// Level of the wind at the start of each bar 1..41 (41 is the end of the piece); it greets
// the arrival, drops under the theme, blows across the mountains, and returns for the
// flight.
// clang-format off
constexpr double kWind[] = {
    0.30, 0.85, 0.90, 0.85, 0.75, 0.60,  // arrival
    0.40, 0.30, 0.28, 0.28, 0.28, 0.28,  // lake
    0.25, 0.22, 0.22, 0.22, 0.25, 0.30,  // crystals
    0.40, 0.45, 0.50, 0.45, 0.45, 0.50, 0.55, 0.50,  // mountains
    0.45, 0.45, 0.50, 0.55, 0.55, 0.60,  // aurora
    0.75, 0.85, 0.85, 0.80, 0.70, 0.60, 0.45, 0.30,  // flight
    0.0,
};
// clang-format on

}  // namespace score
