// Crossing tests of the convex splitter: the segment test itself, and an index that
// answers "does this segment cross any edge of the remaining outline?" without walking
// the whole outline, for outlines of many corners.
//
// The index reports a crossing exactly when the plain walk would, rounding included: it
// only ever skips edges that provably fail `segmentsCross` on floats, and tests the rest
// with it. What it relies on (u = 2^-24; ab, cd the segments, theta their angle):
//   1. If |sin theta| >= kParallelSine and the test passes, the two segments have points
//      closer than crossingReach(|ab|) + crossingReach(|cd|): the rounding of the cross
//      products and quotients moves the computed meeting point by at most about
//      3u / kParallelSine times the segments' lengths (plus a term for products below the
//      smallest normal float).
//   2. If |sin theta| < kParallelSine, the pair is nearly parallel, and when the test
//      passes: cd has a point within 6u * D of the line through ab and ab one within
//      6u * D of the line through cd (D: the outline's box diagonal); and, provided no
//      product of coordinate differences falls below the smallest normal float, the
//      segments are closer than 16.1 (|ab| + |cd|) + 2u * D. (A nonzero float difference
//      of two products is at least u/2 of the larger, which bounds the error of each
//      quotient by 9; when even the cross product is noise the four points lie within
//      16 |ab| of each other.)
// Every edge is filed in the cells of a uniform grid that its segment, widened by
// crossingReach, touches, and queries visit the cells of their own widened segment: that
// covers (1). Nearly parallel pairs are covered per direction (slots of kParallelSine
// radians): every edge is listed in its slot, and a query tests the slots within
// asin(kParallelSine) of its direction one by one. Once a slot holds many edges they are
// also filed in a second, coarser grid along their own line, extended 17.2 lengths both
// ways and widened by 6u * D; a query then visits the same shape of its own instead, which
// by (2) meets every partner that can pass, unless that would visit more entries than the
// slots hold (a query along a long straight run). All of this geometry is done on the
// corners with y scaled by a power of two that makes the typical edge as high as it is
// wide (see `build`); such a scaling changes no test's result.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/convex_splitter.h"

// Segments a-b and c-d cross when they meet strictly inside both (away from the ends).
// Parallel segments never cross.
inline bool segmentsCross(const Point2& a, const Point2& b, const Point2& c, const Point2& d) {
    const float abx = b.x - a.x;
    const float aby = b.y - a.y;
    const float cdx = d.x - c.x;
    const float cdy = d.y - c.y;
    const float h = abx * cdy - aby * cdx;
    if (h == 0.0f) return false;
    const float acx = c.x - a.x;
    const float acy = c.y - a.y;
    const float t = (acx * cdy - acy * cdx) / h;
    const float s = (acx * aby - acy * abx) / h;
    return t > 0.0001f && t < 0.9999f && s > 0.0001f && s < 0.9999f;
}

class RingCrossings {
  public:
    // Indexes the outline of `n` corners (edges k -> k + 1 and n - 1 -> 0) of `ring`,
    // whose nodes are numbered like the corners. An edge stays valid while its first
    // node is linked (next not null) to the node it was filed with.
    void build(const Point2* corners, const ConvexSplitter::SplitNode* ring, int n);

    // Files the edge from corner `from` to corner `to` (a new diagonal of the outline).
    void addEdge(int from, int to);

    // True when segment from corner `a` to corner `b` crosses a valid edge. Allocates
    // nothing.
    bool crosses(int a, int b);

    // False when the outline is too small for the bounds above to be of use (edges
    // around 10^-19 long and below, where products of differences fall below the
    // smallest normal float and the widening grows past the outline); nothing is then
    // filed, and the caller walks the outline instead.
    bool usable = true;

    // Work done so far: queries, cells visited and entries looked at, with each test
    // counted as four. The caller adds its own walks when the index is not usable.
    long long work = 0;

  private:
    struct Entry {
        int from;
        int to;
        int slot;  // direction slot
        int next;  // next entry of the same list, -1 at the end
    };

    // A list of entries and the number linked into it.
    struct List {
        int head = -1;
        int size = 0;
    };

    // A uniform grid over the outline's box; cells outside it fold onto its border.
    struct Grid {
        double originX = 0.0;
        double originY = 0.0;
        double scaleX = 0.0;  // cells per unit
        double scaleY = 0.0;
        int columns = 1;
        int rows = 1;
        std::vector<List> cells;

        void cover(double minX, double minY, double maxX, double maxY, int count, double aspect);
        // Calls `visit` with every cell holding a point within `reach` (in each axis) of
        // the part of segment p-q from `from` to `to` (in lengths of the segment from p;
        // below 0 and past 1 extend it), and possibly a few more; stops and returns true
        // when `visit` does.
        template <class Visit>
        bool forEachCell(const Point2& p, const Point2& q, double from, double to, double reach,
                         Visit&& visit) const;
    };

    enum class Found { None, Crossing, GaveUp };

    bool isValid(const Entry& entry) const;
    // Tests the valid entries of a list (those of slots `firstSlot` .. + `slotSpan` only,
    // when `slotSpan` >= 0) that this query has not tested yet.
    Found crossesAny(List& list, const Point2& a, const Point2& b, long long* allowance,
                     long long firstSlot = 0, long long slotSpan = -1);
    void file(List& list, int from, int to, int slot);
    void fileAlongLine(int from, int to, int slot);
    void promote(int slot);

    const Point2* corners = nullptr;  // as given: what the tests run on
    std::vector<Point2> frame;        // the corners with y scaled: where the index works
    const ConvexSplitter::SplitNode* nodes = nullptr;
    Grid near;                      // every edge, widened by crossingReach
    Grid parallel;                  // edges of crowded slots, along their lines
    std::vector<List> slots;        // per direction slot, every edge
    std::vector<char> slotCrowded;  // the slot's edges are also in `parallel`
    bool separable = false;         // no coordinate product can fall below normal
    double lineReach = 0.0;         // 6u * D: widening across lines, slot search
    double lineSlack = 0.0;         // 2u * D: extension along lines
    std::vector<Entry> entries;
    std::vector<uint32_t> testedIn;  // per first corner: the query that last tested it
    uint32_t query = 0;
};
