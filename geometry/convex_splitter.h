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
// split into convex pieces when concave, or frees it. Returns false when it was freed
// because splitting it took more work than ConvexSplitter allows (see `gaveUp`).
bool addConvexPolygons(std::vector<std::unique_ptr<Polygon>>& list,
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

    // Outlines of this many corners or more are split with the help of an edge index and
    // a queue of candidates; smaller ones walk the outline. Both give the same pieces; the
    // index pays for itself from about 256 corners.
    static constexpr int kIndexedFrom = 256;

    ConvexSplitter();
    ~ConvexSplitter();
    ConvexSplitter(const ConvexSplitter&) = delete;
    ConvexSplitter& operator=(const ConvexSplitter&) = delete;

    // Splits the outline of `n` corners; afterwards `pieces` holds `pieceCount` pieces,
    // each the corner numbers of a convex part in the outline's cyclic order. Outlines of
    // `indexedFrom` corners or more take the indexed way (tests compare the two).
    void split(const Point2* corners2D, int n, int indexedFrom = kIndexedFrom);

    // The indexed way gives up, with no pieces, once it has done more than `workLimit`
    // units of work (queries, cells visited, edges looked at, tests); a limit of 0 stands
    // for the default, 2^30 units, a few seconds. Ordinary outlines of 32,000 corners take
    // up to about 2 * 10^8; the limit bounds the time a damaged or hostile one can take.
    long long workLimit = 0;
    bool gaveUp = false;
    long long workDone = 0;  // by the last indexed split

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
    bool crossesRing(int from, int to);
    ReflexCandidate* choose(int& best);  // the candidate to cut at, and its reach
    void cut(ReflexCandidate* candidate);

    std::deque<ReflexCandidate> candidatePool;  // stable addresses
    int ringSize = 0;

    // The indexed way: crossing index, candidate queue, candidate corners in ring order.
    struct Index;
    std::unique_ptr<Index> index;  // null while splitting the plain way
};
