// Keyframed motion: Kochanek-Bartels (tension, continuity, bias) Hermite curves for
// position and scale, squad-interpolated rotation, read from a "Motion" block.
//
// Use: readMotion (or construct and fill `keys` 1..n), then prepare() once, then
// evaluate() every frame; it writes the current* fields, velocity and acceleration, and
// never allocates.
//
// Degenerate motions have defined results and never divide by zero:
// - No keyframe: evaluate() leaves every current value as it is (identity when new).
// - One keyframe: evaluate() gives that key's rotation, scale and position, with zero
//   velocity and acceleration, at any time and under every end behaviour.
// - Repeat with two keyframes builds its end keys by the usual rule (key 0 mirrors key 1,
//   key 3 mirrors key 2); with one keyframe the end keys are made as for Stop.
// - Keyframe times that do not increase: a segment whose end time is not after its start
//   gets invDuration 0 (so e = 0 inside it), a tangent weight whose time span is 0 is 0,
//   and a time ratio that is not finite counts as 0. The segment parameter e is clamped
//   to [0, 1] (it always lies there when the times increase).
// - Reset or Repeat with endTime - startTime below 1/4096 s (or negative, or NaN): the
//   time does not wrap.
// - Huge times: x * 4096 and the period are clamped to 2^53 ticks before the integer
//   remainder, so no conversion overflows. A NaN time gives the first key.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "math/quaternion.h"
#include "math/vector3.h"

struct ParseNode;

struct MotionKey {
    Quaternion rotation;
    Vector3 keyScale{1.0f, 1.0f, 1.0f};
    Vector3 keyPosition;
    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
    float time = 0.0f;  // seconds
};

// The prepared curve between two consecutive keys.
struct MotionSegment {
    Quaternion q0;             // rotation of the start key
    Quaternion qa;             // outgoing control rotation at the start key
    Quaternion qb;             // incoming control rotation at the end key
    Quaternion q1;             // rotation of the end key, on q0's hemisphere
    Vector3 scaleCoeff[4];     // scale(e) = ((c3 e + c2) e + c1) e + c0
    Vector3 positionCoeff[4];  // position(e), same form
    float t0 = 0.0f;           // seconds
    float t1 = 0.0f;           // seconds
    float invDuration = 0.0f;  // 1 / (t1 - t0), 0 for a segment of no length
};

enum MotionEndBehavior : int16_t {
    kEndReset = 0,
    kEndStop = 1,
    kEndRepeat = 2,
};

class KeyframeMotion {
  public:
    // Room for n keyframes (keys 1..n) and the two end keys; a negative n counts as 0.
    explicit KeyframeMotion(int n);

    // Builds the end keys and every segment from keys 1..n. Run again after keys change.
    void prepare();
    // Sets currentPosition, velocity, acceleration, currentScale and currentRotation for
    // the time x in seconds since the motion started.
    void evaluate(double x);

    // Number of keyframes (keys 1..n).
    int keyframeCount() const { return keyCount - 2; }

    std::vector<MotionSegment> segments;  // n - 1 segments
    int segmentCount = 0;                 // n - 1 (0 when n < 2)
    int keyCount = 0;                     // n + 2
    std::vector<MotionKey> keys;          // 0 and n + 1 are end keys made by prepare()
    Quaternion currentRotation;
    Vector3 currentScale{1.0f, 1.0f, 1.0f};
    Vector3 currentPosition;
    Vector3 velocity;        // d position / d e (the segment parameter)
    Vector3 acceleration;    // d2 position / d e2
    float startTime = 0.0f;  // seconds
    float endTime = 0.0f;    // seconds
    int16_t endBehavior = kEndStop;
};

// Reads a "Motion" block (the node itself; its statements are its children) into a new
// motion sized by its "Keyframe" statements. "Quaternion" children of a keyframe are read
// only when readQuaternion is set (they then win over "Rotation"). A null node gives a
// motion without keyframes. Never returns null. Does not call prepare().
std::unique_ptr<KeyframeMotion> readMotion(const ParseNode* motion, bool readQuaternion);
