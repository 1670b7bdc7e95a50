// Concave outlines for the splitter's tests and the loader benchmark: combs, zigzags,
// stars, a notched circle, spirals and random outlines of any size, all counter-clockwise.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/convex_splitter.h"

namespace outlines {

// A bar with `gaps` slots cut into its top edge: 4 + 4 * gaps corners, two reflex corners
// per slot.
inline std::vector<Point2> comb(int gaps) {
    const float width = 2.0f * static_cast<float>(gaps) + 1.0f;
    std::vector<Point2> corners = {{0, 0}, {width, 0}, {width, 3}};
    for (int gap = gaps - 1; gap >= 0; --gap) {
        const float left = 2.0f * static_cast<float>(gap) + 1.0f;
        corners.push_back({left + 1, 3});
        corners.push_back({left + 1, 1});
        corners.push_back({left, 1});
        corners.push_back({left, 3});
    }
    corners.push_back({0, 3});
    return corners;
}

// A flat bottom under a saw-tooth top edge: n corners (n >= 4), every other top corner
// reflex.
inline std::vector<Point2> zigzag(int n) {
    const int last = n - 3;
    std::vector<Point2> corners = {{0, 0}, {static_cast<float>(last), 0}};
    for (int i = last; i >= 0; --i) corners.push_back({static_cast<float>(i), i % 2 ? 1.0f : 2.0f});
    return corners;
}

// `spikes` tips on radius 1 with reflex corners on radius `inner` between them.
inline std::vector<Point2> star(int spikes, float inner = 0.5f) {
    std::vector<Point2> corners;
    for (int i = 0; i < 2 * spikes; ++i) {
        const double angle = 3.141592653589793 * i / spikes;
        const double r = i % 2 ? inner : 1.0;
        corners.push_back(
            {static_cast<float>(r * std::cos(angle)), static_cast<float>(r * std::sin(angle))});
    }
    return corners;
}

// A circle of n corners whose corner 0 is pulled in to half the radius: one reflex corner
// that sees most of the circle.
inline std::vector<Point2> notchedCircle(int n) {
    std::vector<Point2> corners;
    for (int i = 0; i < n; ++i) {
        const double angle = 2.0 * 3.141592653589793 * i / n;
        const double r = i == 0 ? 0.5 : 1.0;
        corners.push_back(
            {static_cast<float>(r * std::cos(angle)), static_cast<float>(r * std::sin(angle))});
    }
    return corners;
}

// A band wound `turns` times around the centre: out along the outer edge, back along the
// inner one; n corners in all.
inline std::vector<Point2> spiral(int n, double turns) {
    const int side = n / 2;
    std::vector<Point2> corners;
    auto at = [&](int i, double offset) {
        const double angle = 2.0 * 3.141592653589793 * turns * i / (side - 1);
        const double r = 1.0 + angle / 3.141592653589793 + offset;
        corners.push_back(
            {static_cast<float>(r * std::cos(angle)), static_cast<float>(r * std::sin(angle))});
    };
    for (int i = 0; i < side; ++i) at(i, 0.0);
    for (int i = side - 1; i >= 0; --i) at(i, 1.2);
    std::vector<Point2> reversed(corners.rbegin(), corners.rend());  // counter-clockwise
    return reversed;
}

// n corners around the centre at even angles and random radii in [1 - depth, 1]
// (a fixed pseudo-random sequence per seed).
inline std::vector<Point2> randomRadial(int n, uint32_t seed, float depth = 0.5f) {
    std::vector<Point2> corners;
    uint32_t state = seed * 2654435761u + 1u;
    for (int i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        const double r = 1.0 - depth * static_cast<double>(state >> 8) / 16777216.0;
        const double angle = 2.0 * 3.141592653589793 * i / n;
        corners.push_back(
            {static_cast<float>(r * std::cos(angle)), static_cast<float>(r * std::sin(angle))});
    }
    return corners;
}

// Every edge cut into `parts` pieces by corners on the edge (collinear corners).
inline std::vector<Point2> subdivided(const std::vector<Point2>& outline, int parts) {
    std::vector<Point2> corners;
    for (size_t i = 0; i < outline.size(); ++i) {
        const Point2& a = outline[i];
        const Point2& b = outline[(i + 1) % outline.size()];
        for (int k = 0; k < parts; ++k) {
            const float f = static_cast<float>(k) / static_cast<float>(parts);
            corners.push_back({a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f});
        }
    }
    return corners;
}

// The outline turned by `angle` radians about the origin, then moved `shift` along x
// (coordinates rounded to float, so straight runs are straight only to within rounding).
inline std::vector<Point2> rotated(const std::vector<Point2>& outline, double angle,
                                   float shift = 0.0f) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    std::vector<Point2> corners;
    for (const Point2& p : outline) {
        corners.push_back(
            {static_cast<float>(c * p.x - s * p.y + shift), static_cast<float>(s * p.x + c * p.y)});
    }
    return corners;
}

// The outline with x and y multiplied by `sx` and `sy` (rounded to float).
inline std::vector<Point2> scaled(const std::vector<Point2>& outline, double sx, double sy) {
    std::vector<Point2> corners;
    for (const Point2& p : outline) {
        corners.push_back({static_cast<float>(p.x * sx), static_cast<float>(p.y * sy)});
    }
    return corners;
}

}  // namespace outlines
