// Keyframe motion: end keys, Kochanek-Bartels segments, evaluation and the "Motion" reader.
#include "math/keyframe_motion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/console.h"
#include "scene_lang/parse_tree.h"

namespace {

// Larger keyframe counts are cut to this; keeps n + 2 and the arrays well in range.
constexpr int kMaxKeyframes = 1 << 20;

// Times are wrapped in steps of 1/4096 s.
constexpr double kTicksPerSecond = 4096.0;
// Scaled times are clamped to +-2^53 (exact in a double, far inside int64_t) before the
// integer conversion.
constexpr double kTickLimit = 9007199254740992.0;

Quaternion conjugated(Quaternion q) {
    q.conjugate();
    return q;
}

Quaternion logOf(Quaternion q) {
    q.log();
    return q;
}

Quaternion expOf(Quaternion q) {
    q.exp();
    return q;
}

// num / den, or 0 when den is 0 or the quotient is not finite (keys whose times do not
// increase).
float timeRatio(float num, float den) {
    if (den == 0.0f) return 0.0f;
    const float r = num / den;
    return std::isfinite(r) ? r : 0.0f;
}

// Everything but the time.
void copyKeyValues(MotionKey& to, const MotionKey& from) {
    to.rotation = from.rotation;
    to.keyScale = from.keyScale;
    to.keyPosition = from.keyPosition;
    to.tension = from.tension;
    to.continuity = from.continuity;
    to.bias = from.bias;
}

// Hermite coefficients c0..c3 from the start value, the chord and the two tangents.
void setCubic(Vector3* coeff, const Vector3& start, const Vector3& chord, const Vector3& out,
              const Vector3& in) {
    coeff[0] = start;
    coeff[1] = out;
    coeff[2] = sub(sub(scaled(chord, 3.0f), scaled(out, 2.0f)), in);
    coeff[3] = add(add(scaled(chord, -2.0f), out), in);
}

Vector3 cubic(const Vector3* c, float e) {
    return add(scaled(add(scaled(add(scaled(c[3], e), c[2]), e), c[1]), e), c[0]);
}

// Wraps x (seconds) to the period endTime - startTime at a resolution of 1/4096 s, the
// remainder taking the sign of x. A period below one step does not wrap.
double wrapTime(double x, float startTime, float endTime) {
    double period =
        (static_cast<double>(endTime) - static_cast<double>(startTime)) * kTicksPerSecond;
    if (!(period >= 1.0) || std::isnan(x)) return x;
    period = std::min(period, kTickLimit);
    const double ticks = std::clamp(x * kTicksPerSecond, -kTickLimit, kTickLimit);
    const int64_t remainder = static_cast<int64_t>(ticks) % static_cast<int64_t>(period);
    return static_cast<double>(remainder) / kTicksPerSecond;
}

bool named(const ParseNode* node, const char* name) {
    return node->name != nullptr && std::strcmp(node->name, name) == 0;
}

void readVector(const ParseNode* keyframe, const char* name, Vector3& into) {
    float v[3];
    if (getFloats(child(keyframe, name), v, 3)) into = {v[0], v[1], v[2]};
}

void readFloat(const ParseNode* keyframe, const char* name, float& into) {
    if (const ParseNode* node = child(keyframe, name)) into = node->floatValue;
}

void readKeyframe(const ParseNode* keyframe, MotionKey& key, bool readQuaternion) {
    readVector(keyframe, "Position", key.keyPosition);
    float v[4];
    if (getFloats(child(keyframe, "Rotation"), v, 3)) {
        key.rotation = Quaternion::fromAngles(v[0], v[1], v[2]);
    }
    if (readQuaternion && getFloats(child(keyframe, "Quaternion"), v, 4)) {
        key.rotation = {v[0], v[1], v[2], v[3]};
    }
    readVector(keyframe, "Scale", key.keyScale);
    readFloat(keyframe, "Tension", key.tension);
    readFloat(keyframe, "Continuity", key.continuity);
    readFloat(keyframe, "Bias", key.bias);
    readFloat(keyframe, "Time", key.time);
}

}  // namespace

KeyframeMotion::KeyframeMotion(int n) {
    n = std::clamp(n, 0, kMaxKeyframes);
    keyCount = n + 2;
    keys.assign(static_cast<size_t>(keyCount), MotionKey{});
    segmentCount = n >= 2 ? n - 1 : 0;
    segments.assign(static_cast<size_t>(segmentCount), MotionSegment{});
}

void KeyframeMotion::prepare() {
    const int n = keyCount - 2;
    if (n < 1) return;
    MotionKey* k = keys.data();

    if (endBehavior == kEndRepeat && n >= 2) {
        copyKeyValues(k[0], k[n - 1]);
        k[0].time = k[1].time - (k[n].time - k[n - 1].time);
        copyKeyValues(k[n + 1], k[2]);
        k[n + 1].time = k[n].time + (k[2].time - k[1].time);
    } else {
        copyKeyValues(k[0], k[1]);
        k[0].time = k[1].time - 1.0f;
        copyKeyValues(k[n + 1], k[n]);
        k[n + 1].time = k[n].time + 1.0f;
    }

    for (int s = 0; s < segmentCount; ++s) {
        const MotionKey& P = k[s];
        const MotionKey& C = k[s + 1];
        const MotionKey& N = k[s + 2];
        const MotionKey& M = k[s + 3];
        MotionSegment& seg = segments[static_cast<size_t>(s)];

        const Vector3 dN = sub(N.keyPosition, C.keyPosition);
        const Vector3 dNs = sub(N.keyScale, C.keyScale);

        const Quaternion qC = C.rotation;
        Quaternion qN = N.rotation;
        if (dot(qC, qN) < 0.0f) qN = scaled(qN, -1.0f);
        const Quaternion L = logOf(multiply(conjugated(qC), qN));

        // Outgoing tangents at C.
        const float f = timeRatio(C.time - P.time, N.time - P.time);
        const float wA = (1.0f - C.tension) * f * (1.0f + C.bias) * (1.0f + C.continuity);
        const float wB = (1.0f - C.tension) * f * (1.0f - C.bias) * (1.0f - C.continuity);
        const Vector3 TD = add(scaled(sub(C.keyPosition, P.keyPosition), wA), scaled(dN, wB));
        const Vector3 TDs = add(scaled(sub(C.keyScale, P.keyScale), wA), scaled(dNs, wB));
        const Quaternion TDq =
            add(scaled(logOf(multiply(conjugated(P.rotation), qC)), wA), scaled(L, wB));

        // Incoming tangents at N.
        const float g = timeRatio(N.time - C.time, M.time - C.time);
        const float wC = (1.0f - N.tension) * g * (1.0f + N.bias) * (1.0f - N.continuity);
        const float wD = (1.0f - N.tension) * g * (1.0f - N.bias) * (1.0f + N.continuity);
        const Vector3 TS = add(scaled(dN, wC), scaled(sub(M.keyPosition, N.keyPosition), wD));
        const Vector3 TSs = add(scaled(dNs, wC), scaled(sub(M.keyScale, N.keyScale), wD));
        const Quaternion TSq =
            add(scaled(L, wC), scaled(logOf(multiply(conjugated(qN), M.rotation)), wD));

        setCubic(seg.positionCoeff, C.keyPosition, dN, TD, TS);
        setCubic(seg.scaleCoeff, C.keyScale, dNs, TDs, TSs);

        seg.q0 = qC;
        seg.q1 = qN;
        seg.qa = multiply(qC, expOf(scaled(sub(TDq, L), 0.5f)));
        seg.qb = multiply(qN, expOf(scaled(sub(L, TSq), 0.5f)));

        seg.t0 = C.time;
        seg.t1 = N.time;
        seg.invDuration = 0.0f;
        if (seg.t1 > seg.t0) {
            const float inv = 1.0f / (seg.t1 - seg.t0);
            if (std::isfinite(inv)) seg.invDuration = inv;
        }
    }
}

void KeyframeMotion::evaluate(double x) {
    if (keyCount - 2 < 1) return;  // no keyframe: nothing to follow
    if (segmentCount == 0) {       // one keyframe: hold it
        const MotionKey& key = keys[1];
        currentRotation = key.rotation;
        currentScale = key.keyScale;
        currentPosition = key.keyPosition;
        velocity = Vector3{};
        acceleration = Vector3{};
        return;
    }

    const MotionSegment* first = segments.data();
    const MotionSegment* last = first + (segmentCount - 1);
    if (endBehavior == kEndStop) {
        if (x > last->t1) return;
    } else {
        x = wrapTime(x, startTime, endTime);
    }

    const double tau = static_cast<double>(startTime) + x;
    const MotionSegment* seg;
    float e;
    if (!(tau > first->t0)) {  // also a NaN time
        seg = first;
        e = 0.0f;
    } else if (tau >= last->t1) {
        seg = last;
        e = 1.0f;
    } else {
        seg = first;
        while (!(seg->t1 > tau)) ++seg;  // stops at `last` at the latest
        e = static_cast<float>((tau - seg->t0) * seg->invDuration);
        e = std::clamp(e, 0.0f, 1.0f);
    }

    const Vector3* c = seg->positionCoeff;
    currentPosition = cubic(c, e);
    velocity = add(add(c[1], scaled(c[2], 2.0f * e)), scaled(c[3], 3.0f * e * e));
    acceleration = add(scaled(c[2], 2.0f), scaled(c[3], 6.0f * e));
    currentScale = cubic(seg->scaleCoeff, e);
    currentRotation =
        slerp(slerp(seg->q0, seg->q1, e), slerp(seg->qa, seg->qb, e), 2.0f * e * (1.0f - e));
}

std::unique_ptr<KeyframeMotion> readMotion(const ParseNode* motion, bool readQuaternion) {
    const ParseNode* block = motion != nullptr ? motion->firstChild : nullptr;
    int n = 0;
    for (const ParseNode* node = block; node != nullptr; node = node->next) {
        if (named(node, "Keyframe") && n < kMaxKeyframes) ++n;
    }
    auto result = std::make_unique<KeyframeMotion>(n);
    int nextKey = 1;
    for (const ParseNode* node = block; node != nullptr; node = node->next) {
        if (named(node, "Keyframe")) {
            if (nextKey <= n)
                readKeyframe(node, result->keys[static_cast<size_t>(nextKey++)], readQuaternion);
        } else if (named(node, "StartTime")) {
            result->startTime = node->floatValue;
        } else if (named(node, "EndTime")) {
            result->endTime = node->floatValue;
        } else if (named(node, "EndBehavior")) {
            const char* text = node->text != nullptr ? node->text : "";
            if (std::strcmp(text, "Reset") == 0) {
                result->endBehavior = kEndReset;
            } else if (std::strcmp(text, "Stop") == 0) {
                result->endBehavior = kEndStop;
            } else if (std::strcmp(text, "Repeat") == 0) {
                result->endBehavior = kEndRepeat;
            } else {
                trace("Err: Unknown EndBehavior (%s)\n", text);
            }
        }
    }
    return result;
}
