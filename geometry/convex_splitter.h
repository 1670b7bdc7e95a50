// Convex splitting: every polygon that enters a material must be convex and planar,
// because the renderer draws each one as a single fan.
//
// `addConvexPolygons` checks a new polygon and adds it unchanged (convex), as convex
// pieces that together cover it (concave, within 5 degrees of flat), or not at all (fewer
// than three corners, a degenerate first corner, or not flat). `ConvexSplitter` cuts a
// concave polygon's 2-D outline at its reflex corners; pieces are not reduced to
// triangles and keep the polygon's winding and vertex indices.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "math/vector3.h"

class Polygon;

struct Point2 {
    float x = 0.0f;
    float y = 0.0f;
};

// Adds `polygon` (its indices naming entries of `positions`, all in range) to `list`,
// split into convex pieces when concave, or frees it.
void addConvexPolygons(std::vector<std::unique_ptr<Polygon>>& list,
                       std::unique_ptr<Polygon> polygon, const Vector3* positions);

class ConvexSplitter {
  public:
    struct ReflexCandidate;

    struct SplitNode {
        SplitNode* next = nullptr;
        SplitNode* previous = nullptr;
        int corner = 0;
        ReflexCandidate* candidate = nullptr;
    };

    struct ReflexCandidate {
        ReflexCandidate* next = nullptr;
        ReflexCandidate* previous = nullptr;
        SplitNode* node = nullptr;
        int forwardReach = 2;
        int backwardReach = 2;
    };

    // Splits the outline of `n` corners; afterwards `pieces` holds `pieceCount` pieces,
    // each the corner numbers of a convex part in the outline's cyclic order.
    void split(const Point2* corners2D, int n);

    const Point2* corners2D = nullptr;  // borrowed
    std::vector<SplitNode> ring;        // one node per corner; linked while in the outline
    SplitNode* head = nullptr;
    ReflexCandidate* candidates = nullptr;
    std::vector<std::vector<int>> pieces;
    int pieceCount = 0;

  private:
    bool isReflex(const SplitNode* node) const;
    void addCandidate(SplitNode* node);
    void removeCandidate(SplitNode* node);
    void measure(ReflexCandidate* candidate);
    bool crossesRing(const Point2& a, const Point2& b) const;
    void cut(ReflexCandidate* candidate);

    std::deque<ReflexCandidate> candidatePool;  // stable addresses
    int ringSize = 0;
};
