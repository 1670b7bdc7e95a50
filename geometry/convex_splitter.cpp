// Convex splitting of mesh polygons.
#include "geometry/convex_splitter.h"

#include <cmath>

#include "app/console.h"
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

// Segments a-b and c-d cross when they meet strictly inside both (away from the ends).
bool segmentsCross(const Point2& a, const Point2& b, const Point2& c, const Point2& d) {
    Point2 ab = minus(b, a);
    Point2 cd = minus(d, c);
    float h = cross2(ab, cd);
    if (h == 0.0f) return false;
    Point2 ac = minus(c, a);
    float t = cross2(ac, cd) / h;
    float s = cross2(ac, ab) / h;
    return t > 0.0001f && t < 0.9999f && s > 0.0001f && s < 0.9999f;
}

}  // namespace

void addConvexPolygons(std::vector<std::unique_ptr<Polygon>>& list,
                       std::unique_ptr<Polygon> polygon, const Vector3* positions) {
    const int c = polygon->count;
    if (c < 3) {
        trace("Polygon BUG: %d vertexes\n", c);
        return;
    }
    const int* loop = polygon->indices.get();
    auto at = [&](int k) -> const Vector3& { return positions[loop[(k + c) % c]]; };
    const Vector3 n = cross(sub(at(0), at(1)), sub(at(2), at(1)));
    if (n.length() == 0.0f) {
        trace("Polygon BUG: Cross product = 0\n");
        return;
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
        return;
    }
    if (!concave) {
        polygon->computePlane(positions);
        list.push_back(std::move(polygon));
        return;
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
    for (int p = 0; p < splitter.pieceCount; ++p) {
        const std::vector<int>& piece = splitter.pieces[static_cast<size_t>(p)];
        const int m = static_cast<int>(piece.size());
        auto part = std::make_unique<Polygon>(m);
        for (int j = 0; j < m; ++j) part->indices[j] = loop[piece[static_cast<size_t>(j)]];
        part->indices[m] = part->indices[0];
        part->computePlane(positions);
        list.push_back(std::move(part));
    }
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
}

void ConvexSplitter::removeCandidate(SplitNode* node) {
    ReflexCandidate* candidate = node->candidate;
    if (candidate == nullptr) return;
    if (candidate->previous != nullptr) candidate->previous->next = candidate->next;
    if (candidate->next != nullptr) candidate->next->previous = candidate->previous;
    if (candidates == candidate) candidates = candidate->next;
    node->candidate = nullptr;
}

bool ConvexSplitter::crossesRing(const Point2& a, const Point2& b) const {
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
        if (crossesRing(pp, qq)) break;
        ++reach;
    }
    candidate->forwardReach = reach;

    reach = 2;
    const Point2 backward = minus(pp, corners2D[p->previous->corner]);
    for (SplitNode* r = p->previous; r->candidate == nullptr;) {
        r = r->previous;
        const Point2& rr = corners2D[r->corner];
        if (cross2(minus(pp, rr), backward) <= 0.0f) break;
        if (crossesRing(pp, rr)) break;
        ++reach;
    }
    candidate->backwardReach = reach;
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
    for (SplitNode* node = first;; node = node->next) {
        piece.push_back(node->corner);
        if (node == last) break;
        // A corner leaving the outline takes its candidate with it (a candidate whose
        // reach is out of date may cover corners that became reflex since).
        if (node != first) removeCandidate(node);
    }
    pieces.push_back(std::move(piece));
    ++pieceCount;

    first->next = last;
    last->previous = first;
    head = first;
    ringSize -= reach - 2;

    removeCandidate(first);
    removeCandidate(last);
    if (isReflex(first)) addCandidate(first);
    if (isReflex(last)) addCandidate(last);

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

void ConvexSplitter::split(const Point2* outline, int n) {
    corners2D = outline;
    ring.assign(static_cast<size_t>(n), SplitNode{});
    candidatePool.clear();
    candidates = nullptr;
    pieces.clear();
    pieceCount = 0;
    head = nullptr;
    ringSize = n;
    if (n <= 0) return;
    for (int i = 0; i < n; ++i) {
        SplitNode& node = ring[static_cast<size_t>(i)];
        node.corner = i;
        node.next = &ring[static_cast<size_t>((i + 1) % n)];
        node.previous = &ring[static_cast<size_t>((i + n - 1) % n)];
    }
    head = &ring[0];

    SplitNode* node = head;
    do {
        if (isReflex(node)) addCandidate(node);
        node = node->next;
    } while (node != head);
    for (ReflexCandidate* c = candidates; c != nullptr; c = c->next) measure(c);

    for (;;) {
        ReflexCandidate* chosen = nullptr;
        int best = 0;
        for (ReflexCandidate* c = candidates; c != nullptr; c = c->next) {
            int value = std::max(c->forwardReach, c->backwardReach);
            if (value > best) {
                best = value;
                chosen = c;
            }
        }
        if (chosen == nullptr || best < 3) break;
        if (best > ringSize) {
            // A reach measured before earlier cuts no longer fits the outline.
            measure(chosen);
            if (std::max(chosen->forwardReach, chosen->backwardReach) > ringSize) break;
            continue;
        }
        cut(chosen);
    }

    if (ringSize >= 3) {
        std::vector<int> piece;
        node = head;
        do {
            piece.push_back(node->corner);
            node = node->next;
        } while (node != head);
        pieces.push_back(std::move(piece));
        ++pieceCount;
    }
}
