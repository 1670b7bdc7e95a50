// Convex splitting of mesh polygons.
#include "geometry/convex_splitter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "app/console.h"
#include "geometry/ring_crossings_internal.h"
#include "geometry/scene_object.h"
#include "math/plane.h"

namespace {

constexpr float kFlatAngle = 0.08726647f;     // 5 degrees
constexpr float kReversedAngle = 3.0543263f;  // 175 degrees

float cross2(const Point2& u, const Point2& w) {
    return u.x * w.y - u.y * w.x;
}
Point2 minus(const Point2& a, const Point2& b) {
    return {a.x - b.x, a.y - b.y};
}

// The corners that carry a candidate, as a set ordered like the ring (the ring always
// runs through its corners in increasing order, cyclically): finds the first candidate
// before or after a ring node without walking the ring. Two levels of 64-bit words.
class CornerSet {
  public:
    void reset(int n) {
        size = n;
        words.assign(static_cast<size_t>((n + 63) / 64), 0);
        groups.assign((words.size() + 63) / 64, 0);
    }
    void insert(int corner) {
        words[word(corner)] |= bit(corner);
        groups[word(corner) / 64] |= bit(corner / 64);
    }
    void erase(int corner) {
        words[word(corner)] &= ~bit(corner);
        if (words[word(corner)] == 0) groups[word(corner) / 64] &= ~bit(corner / 64);
    }
    // The member at or cyclically before `corner`, or -1 when the set is empty.
    int atOrBefore(int corner) const {
        const int found = lastUpTo(corner);
        return found >= 0 ? found : lastUpTo(size - 1);
    }
    // The member at or cyclically after `corner`, or -1 when the set is empty.
    int atOrAfter(int corner) const {
        const int found = firstFrom(corner);
        return found >= 0 ? found : firstFrom(0);
    }

  private:
    static size_t word(int corner) { return static_cast<size_t>(corner) / 64; }
    static uint64_t bit(int index) { return uint64_t{1} << (index % 64); }
    // Bits 0 .. index of a word.
    static uint64_t upTo(int index) {
        return index % 64 == 63 ? ~uint64_t{0} : (bit(index) << 1) - 1;
    }

    int highest(size_t w) const {
        return static_cast<int>(w * 64) + 63 - std::countl_zero(words[w]);
    }
    int lowest(size_t w) const { return static_cast<int>(w * 64) + std::countr_zero(words[w]); }

    int lastUpTo(int corner) const {
        const size_t w = word(corner);
        const uint64_t masked = words[w] & upTo(corner);
        if (masked != 0) return static_cast<int>(w * 64) + 63 - std::countl_zero(masked);
        // Earlier words: first within this group, then whole groups.
        size_t g = w / 64;
        uint64_t candidates = groups[g] & (bit(static_cast<int>(w)) - 1);
        for (;;) {
            if (candidates != 0) {
                return highest(g * 64 + 63 - static_cast<size_t>(std::countl_zero(candidates)));
            }
            if (g == 0) return -1;
            candidates = groups[--g];
        }
    }
    int firstFrom(int corner) const {
        const size_t w = word(corner);
        const uint64_t masked = words[w] & ~(upTo(corner) >> 1);
        if (masked != 0) return static_cast<int>(w * 64) + std::countr_zero(masked);
        size_t g = w / 64;
        uint64_t candidates = groups[g] & ~upTo(static_cast<int>(w));
        for (;;) {
            if (candidates != 0) {
                return lowest(g * 64 + static_cast<size_t>(std::countr_zero(candidates)));
            }
            if (++g == groups.size()) return -1;
            candidates = groups[g];
        }
    }

    int size = 0;
    std::vector<uint64_t> words;
    std::vector<uint64_t> groups;  // bit k of group g: word 64 g + k is not empty
};

// A measured candidate in the choice queue. The scan of the plain way takes the largest
// reach, ties to the candidate nearer the front of `candidates`, which is the one added
// last; so the queue orders by reach, then by the order of adding.
struct QueuedCandidate {
    int reach;
    int sequence;
    int corner;
    bool operator<(const QueuedCandidate& other) const {
        return reach != other.reach ? reach < other.reach : sequence < other.sequence;
    }
};

// A few seconds of work: five times what the worst ordinary outline of 32,000 corners
// measured takes (about 2 * 10^8).
constexpr long long kDefaultWorkLimit = 1LL << 30;

int largestReach(const ConvexSplitter::ReflexCandidate& candidate) {
    return std::max(candidate.forwardReach, candidate.backwardReach);
}

}  // namespace

struct ConvexSplitter::Index {
    RingCrossings crossings;
    CornerSet candidateCorners;
    std::vector<int> sequenceOf;  // per corner: when its candidate was added
    int added = 0;
    // Max-heap; an entry is stale once its corner's candidate was replaced or removed, or
    // measured again to another reach.
    std::vector<QueuedCandidate> queue;
    long long workLimit = 0;
};

ConvexSplitter::ConvexSplitter() = default;
ConvexSplitter::~ConvexSplitter() = default;

bool addConvexPolygons(std::vector<std::unique_ptr<Polygon>>& list,
                       std::unique_ptr<Polygon> polygon, const Vector3* positions) {
    const int c = polygon->count;
    if (c < 3) {
        trace("Polygon BUG: %d vertexes\n", c);
        return true;
    }
    const int* loop = polygon->indices.get();
    auto at = [&](int k) -> const Vector3& { return positions[loop[(k + c) % c]]; };
    const Vector3 n = cross(sub(at(0), at(1)), sub(at(2), at(1)));
    if (n.length() == 0.0f) {
        trace("Polygon BUG: Cross product = 0\n");
        return true;
    }
    bool concave = false;
    for (int k = 0; k < c; ++k) {
        const Vector3 ck = cross(sub(at(k - 1), at(k)), sub(at(k + 1), at(k)));
        if (ck.length() == 0.0f) continue;  // repeated or collinear corner: no turn to test
        float alpha = angleBetween(n, ck);
        if (std::isnan(alpha)) {
            // Rounding took the cosine just past +-1: the corner is exactly parallel or
            // exactly reversed.
            float d = dot(n, ck);
            if (d < 0.0f) concave = true;
            continue;
        }
        if (alpha <= kFlatAngle) continue;
        if (alpha >= kReversedAngle) {
            concave = true;
            continue;
        }
        trace("Polygon BUG: Concave, angle %f\n", static_cast<double>(alpha));
        return true;
    }
    if (!concave) {
        polygon->computePlane(positions);
        list.push_back(std::move(polygon));
        return true;
    }

    // 2-D outline: x along e1 = P0 - P1, y along e2 = e1 x N, both from P1. Corner 1 turns
    // counter-clockwise in it.
    const Vector3 e1 = sub(at(0), at(1));
    const Vector3 e2 = cross(e1, n);
    std::vector<Point2> corners(static_cast<size_t>(c));
    for (int k = 0; k < c; ++k) {
        Vector3 d = sub(at(k), at(1));
        corners[static_cast<size_t>(k)] = {dot(e1, d), dot(e2, d)};
    }
    ConvexSplitter splitter;
    splitter.split(corners.data(), c);
    if (splitter.gaveUp) return false;
    for (int p = 0; p < splitter.pieceCount; ++p) {
        const std::vector<int>& piece = splitter.pieces[static_cast<size_t>(p)];
        const int m = static_cast<int>(piece.size());
        auto part = std::make_unique<Polygon>(m);
        for (int j = 0; j < m; ++j) part->indices[j] = loop[piece[static_cast<size_t>(j)]];
        part->indices[m] = part->indices[0];
        part->computePlane(positions);
        list.push_back(std::move(part));
    }
    return true;
}

bool ConvexSplitter::isReflex(const SplitNode* node) const {
    const Point2& a = corners2D[node->corner];
    const Point2& p = corners2D[node->previous->corner];
    const Point2& q = corners2D[node->next->corner];
    return (a.x - p.x) * (a.y - q.y) - (a.y - p.y) * (a.x - q.x) > 0.0f;
}

void ConvexSplitter::addCandidate(SplitNode* node) {
    ReflexCandidate& candidate = candidatePool.emplace_back();
    candidate.node = node;
    candidate.next = candidates;
    if (candidates != nullptr) candidates->previous = &candidate;
    candidates = &candidate;
    node->candidate = &candidate;
    if (index) {
        index->candidateCorners.insert(node->corner);
        index->sequenceOf[static_cast<size_t>(node->corner)] = index->added++;
    }
}

void ConvexSplitter::removeCandidate(SplitNode* node) {
    ReflexCandidate* candidate = node->candidate;
    if (candidate == nullptr) return;
    if (candidate->previous != nullptr) candidate->previous->next = candidate->next;
    if (candidate->next != nullptr) candidate->next->previous = candidate->previous;
    if (candidates == candidate) candidates = candidate->next;
    node->candidate = nullptr;
    if (index) index->candidateCorners.erase(node->corner);
}

bool ConvexSplitter::crossesRing(int from, int to) {
    if (index) {
        RingCrossings& crossings = index->crossings;
        if (crossings.work > index->workLimit) {
            gaveUp = true;
            return true;  // ends every walk at once
        }
        if (crossings.usable) return crossings.crosses(from, to);
        crossings.work += 4LL * ringSize;  // the walk below
    }
    const Point2& a = corners2D[from];
    const Point2& b = corners2D[to];
    const SplitNode* node = head;
    do {
        if (segmentsCross(a, b, corners2D[node->corner], corners2D[node->next->corner])) {
            return true;
        }
        node = node->next;
    } while (node != head);
    return false;
}

void ConvexSplitter::measure(ReflexCandidate* candidate) {
    SplitNode* p = candidate->node;
    const Point2& pp = corners2D[p->corner];

    int reach = 2;
    const Point2 forward = minus(pp, corners2D[p->next->corner]);
    for (SplitNode* q = p->next; q->candidate == nullptr;) {
        q = q->next;
        const Point2& qq = corners2D[q->corner];
        if (cross2(forward, minus(pp, qq)) <= 0.0f) break;
        if (crossesRing(p->corner, q->corner)) break;
        ++reach;
    }
    candidate->forwardReach = reach;

    reach = 2;
    const Point2 backward = minus(pp, corners2D[p->previous->corner]);
    for (SplitNode* r = p->previous; r->candidate == nullptr;) {
        r = r->previous;
        const Point2& rr = corners2D[r->corner];
        if (cross2(minus(pp, rr), backward) <= 0.0f) break;
        if (crossesRing(p->corner, r->corner)) break;
        ++reach;
    }
    candidate->backwardReach = reach;

    if (index) {
        index->queue.push_back({largestReach(*candidate),
                                index->sequenceOf[static_cast<size_t>(p->corner)], p->corner});
        std::push_heap(index->queue.begin(), index->queue.end());
    }
}

ConvexSplitter::ReflexCandidate* ConvexSplitter::choose(int& best) {
    best = 0;
    ReflexCandidate* chosen = nullptr;
    if (!index) {
        for (ReflexCandidate* c = candidates; c != nullptr; c = c->next) {
            int value = largestReach(*c);
            if (value > best) {
                best = value;
                chosen = c;
            }
        }
        return chosen;
    }
    std::vector<QueuedCandidate>& queue = index->queue;
    while (!queue.empty()) {
        const QueuedCandidate& top = queue.front();
        ReflexCandidate* candidate = ring[static_cast<size_t>(top.corner)].candidate;
        if (candidate != nullptr &&
            index->sequenceOf[static_cast<size_t>(top.corner)] == top.sequence &&
            largestReach(*candidate) == top.reach) {
            best = top.reach;
            return candidate;
        }
        std::pop_heap(queue.begin(), queue.end());
        queue.pop_back();
    }
    return nullptr;
}

void ConvexSplitter::cut(ReflexCandidate* candidate) {
    SplitNode* p = candidate->node;
    const bool forward = candidate->forwardReach >= candidate->backwardReach;
    const int reach = forward ? candidate->forwardReach : candidate->backwardReach;
    SplitNode* first = p;
    SplitNode* last = p;
    if (forward) {
        for (int i = 1; i < reach; ++i) last = last->next;
    } else {
        for (int i = 1; i < reach; ++i) first = first->previous;
    }

    std::vector<int> piece;
    piece.reserve(static_cast<size_t>(reach));
    for (SplitNode* node = first;;) {
        piece.push_back(node->corner);
        if (node == last) break;
        SplitNode* following = node->next;
        if (node != first) {
            // A corner leaving the outline takes its candidate with it (a candidate whose
            // reach is out of date may cover corners that became reflex since), and is
            // unlinked so that no index takes its edge for one of the outline's.
            removeCandidate(node);
            node->next = node->previous = nullptr;
        }
        node = following;
    }
    pieces.push_back(std::move(piece));
    ++pieceCount;

    first->next = last;
    last->previous = first;
    head = first;
    ringSize -= reach - 2;
    if (index) index->crossings.addEdge(first->corner, last->corner);

    removeCandidate(first);
    removeCandidate(last);
    if (isReflex(first)) addCandidate(first);
    if (isReflex(last)) addCandidate(last);

    // Re-measure the first candidate at or before `first` and the first at or after
    // `last` (walking at most once round the ring).
    if (index) {
        const int before = index->candidateCorners.atOrBefore(first->corner);
        if (before >= 0) measure(ring[static_cast<size_t>(before)].candidate);
        const int after = index->candidateCorners.atOrAfter(last->corner);
        if (after >= 0) measure(ring[static_cast<size_t>(after)].candidate);
        return;
    }
    SplitNode* node = first;
    for (int i = 0; i < ringSize; ++i, node = node->previous) {
        if (node->candidate != nullptr) {
            measure(node->candidate);
            break;
        }
    }
    node = last;
    for (int i = 0; i < ringSize; ++i, node = node->next) {
        if (node->candidate != nullptr) {
            measure(node->candidate);
            break;
        }
    }
}

void ConvexSplitter::split(const Point2* outline, int n, int indexedFrom) {
    corners2D = outline;
    ring.assign(static_cast<size_t>(std::max(n, 0)), SplitNode{});
    candidatePool.clear();
    candidates = nullptr;
    pieces.clear();
    pieceCount = 0;
    head = nullptr;
    ringSize = n;
    index.reset();
    gaveUp = false;
    workDone = 0;
    if (n <= 0) return;
    for (int i = 0; i < n; ++i) {
        SplitNode& node = ring[static_cast<size_t>(i)];
        node.corner = i;
        node.next = &ring[static_cast<size_t>((i + 1) % n)];
        node.previous = &ring[static_cast<size_t>((i + n - 1) % n)];
    }
    head = &ring[0];
    if (n >= indexedFrom) {
        index = std::make_unique<Index>();
        index->crossings.build(outline, ring.data(), n);
        index->candidateCorners.reset(n);
        index->sequenceOf.assign(static_cast<size_t>(n), 0);
        index->workLimit = workLimit > 0 ? workLimit : kDefaultWorkLimit;
    }

    SplitNode* node = head;
    do {
        if (isReflex(node)) addCandidate(node);
        node = node->next;
    } while (node != head);
    for (ReflexCandidate* c = candidates; c != nullptr && !gaveUp; c = c->next) measure(c);

    while (!gaveUp) {
        int best = 0;
        ReflexCandidate* chosen = choose(best);
        if (chosen == nullptr || best < 3) break;
        if (best > ringSize) {
            // A reach measured before earlier cuts no longer fits the outline.
            measure(chosen);
            if (largestReach(*chosen) > ringSize) break;
            continue;
        }
        cut(chosen);
    }

    if (index) workDone = index->crossings.work;
    if (gaveUp) {
        pieces.clear();
        pieceCount = 0;
    } else if (ringSize >= 3) {
        std::vector<int> piece;
        node = head;
        do {
            piece.push_back(node->corner);
            node = node->next;
        } while (node != head);
        pieces.push_back(std::move(piece));
        ++pieceCount;
    }
    index.reset();
}
