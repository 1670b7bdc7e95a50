// The splitter's crossing index: a grid of every edge, per-direction lists, and a grid of
// the edges of crowded directions along their lines (see ring_crossings_internal.h for
// why it answers as the plain walk does).
#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/ring_crossings_internal.h"

namespace {

constexpr double kRounding = 1.0 / 16777216.0;  // u = 2^-24, float rounding
// Pairs at least this far from parallel (as the sine of their angle) are found through
// the near grid; the others through their direction slots.
constexpr double kParallelSine = 1e-3;
// Half-width of the direction window a query searches: asin(kParallelSine), plus room for
// the rounding of the differences and of atan2.
const double kParallelAngle = std::asin(kParallelSine) + 1e-6;
constexpr double kPi = 3.14159265358979323846;
const int kSlots = static_cast<int>(std::ceil(kPi / kParallelSine));
const double kSlotWidth = kPi / kSlots;
// A slot whose edges are tested one by one until it has had this many.
constexpr int kCrowdedSlot = 48;
// How far, in lengths, nearly parallel partners can lie along the line (16.1, plus the
// length itself, rounded up).
constexpr double kAlongLine = 17.2;
// Slack, in cells, for the rounding of the cell arithmetic itself (done in double).
constexpr double kCellSlack = 1e-6;

// How far a segment of `length` is widened in the near grid: for a passing pair at least
// kParallelSine from parallel, the computed meeting point lies within
// 1.8e-4 * (|ab| + |cd|) of both segments, plus 2.9e-42 * (1 / |ab| + 1 / |cd|) when
// products fall below the smallest normal float; both rounded up.
double crossingReach(double length) {
    return 2e-4 * length + 4e-42 / length;
}

bool isFinite(const Point2& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// A segment can only cross something when its ends are finite and distinct (otherwise
// its cross products are 0 or not numbers).
bool canCross(const Point2& p, const Point2& q) {
    return isFinite(p) && isFinite(q) && !(p.x == q.x && p.y == q.y);
}

// Directions are taken modulo pi (a segment and its reverse share a slot), so any slot
// number folds into 0 .. kSlots - 1.
int foldSlot(long long slot) {
    const long long k = kSlots;
    return static_cast<int>(((slot % k) + k) % k);
}

double directionOf(const Point2& p, const Point2& q) {
    double angle = std::atan2(static_cast<double>(q.y) - p.y, static_cast<double>(q.x) - p.x);
    if (angle < 0.0) angle += kPi;
    return angle;
}

int clampCell(double value, int count) {
    if (!(value > 0.0)) return 0;
    if (value >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<int>(value);
}

// The smallest nonzero difference between two of the values (infinity when all are
// equal).
double smallestGap(std::vector<double>& values) {
    std::sort(values.begin(), values.end());
    double gap = std::numeric_limits<double>::infinity();
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[i - 1]) gap = std::min(gap, values[i] - values[i - 1]);
    }
    return gap;
}

}  // namespace

// About `count` cells over the box, each `aspect` times as wide as it is high.
void RingCrossings::Grid::cover(double minX, double minY, double maxX, double maxY, int count,
                                double aspect) {
    const double width = maxX - minX;
    const double height = maxY - minY;
    const int target = std::max(1, count);
    columns = rows = 1;
    if (width > 0.0 && height > 0.0) {
        const double across = std::round(std::sqrt(target * (width / height) / aspect));
        columns = static_cast<int>(std::clamp(across, 1.0, static_cast<double>(target)));
        rows = std::max(1, target / columns);
    } else if (width > 0.0) {
        columns = target;
    } else if (height > 0.0) {
        rows = target;
    }
    originX = minX;
    originY = minY;
    scaleX = width > 0.0 ? columns / width : 0.0;
    scaleY = height > 0.0 ? rows / height : 0.0;
    cells.assign(static_cast<size_t>(columns) * static_cast<size_t>(rows), List{});
}

// Works in cell coordinates (u along the segment's longer axis, v across it), walking the
// cells of the longer axis one by one.
template <class Visit>
bool RingCrossings::Grid::forEachCell(const Point2& p, const Point2& q, double from, double to,
                                      double reach, Visit&& visit) const {
    const double px = (p.x - originX) * scaleX;
    const double py = (p.y - originY) * scaleY;
    const double dx = (q.x - originX) * scaleX - px;
    const double dy = (q.y - originY) * scaleY - py;
    const double x0 = px + from * dx;
    const double y0 = py + from * dy;
    const double x1 = px + to * dx;
    const double y1 = py + to * dy;
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const double u0 = alongX ? x0 : y0;
    const double v0 = alongX ? y0 : x0;
    const double u1 = alongX ? x1 : y1;
    const double v1 = alongX ? y1 : x1;
    const double reachU = reach * (alongX ? scaleX : scaleY) + kCellSlack;
    const double reachV = reach * (alongX ? scaleY : scaleX) + kCellSlack;
    const int countU = alongX ? columns : rows;
    const int countV = alongX ? rows : columns;
    const double lowU = std::min(u0, u1);
    const double highU = std::max(u0, u1);
    const double slope = u1 != u0 ? (v1 - v0) / (u1 - u0) : 0.0;  // |slope| <= 1

    const int firstU = clampCell(std::floor(lowU - reachU), countU);
    const int lastU = clampCell(std::floor(highU + reachU), countU);
    for (int i = firstU; i <= lastU; ++i) {
        // The part of the segment within reach of this column (or row); the border ones
        // stand for everything beyond.
        const double low = i == 0 ? lowU : std::max(lowU, i - reachU);
        const double high = i == countU - 1 ? highU : std::min(highU, i + 1 + reachU);
        if (low > high) continue;
        const double va = v0 + (low - u0) * slope;
        const double vb = v0 + (high - u0) * slope;
        const int firstV = clampCell(std::floor(std::min(va, vb) - reachV), countV);
        const int lastV = clampCell(std::floor(std::max(va, vb) + reachV), countV);
        for (int j = firstV; j <= lastV; ++j) {
            if (visit(alongX ? j * columns + i : i * columns + j)) return true;
        }
    }
    return false;
}

void RingCrossings::build(const Point2* outline, const ConvexSplitter::SplitNode* ring, int n) {
    corners = outline;
    nodes = ring;

    // The spans, smallest gaps and typical edge of the finite corners, per axis.
    std::vector<double> xs;
    std::vector<double> ys;
    xs.reserve(static_cast<size_t>(n));
    ys.reserve(static_cast<size_t>(n));
    std::vector<double> lengths;
    lengths.reserve(static_cast<size_t>(n));
    double sumX = 0.0, sumY = 0.0;
    int countX = 0, countY = 0;
    for (int k = 0; k < n; ++k) {
        const Point2& p = corners[k];
        const Point2& q = corners[(k + 1) % n];
        if (!isFinite(p)) continue;
        xs.push_back(p.x);
        ys.push_back(p.y);
        if (!isFinite(q)) continue;
        const double dx = std::abs(static_cast<double>(q.x) - p.x);
        const double dy = std::abs(static_cast<double>(q.y) - p.y);
        if (dx > 0.0) sumX += dx, ++countX;
        if (dy > 0.0) sumY += dy, ++countY;
        lengths.push_back(std::hypot(dx, dy));
    }
    work = 0;
    const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
    std::nth_element(lengths.begin(), middle, lengths.end());
    usable = lengths.empty() || *middle >= 1e-18;
    if (!usable) return;
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    double leastY = std::numeric_limits<double>::infinity();  // smallest nonzero |y|
    if (!xs.empty()) {
        minX = *std::min_element(xs.begin(), xs.end());
        maxX = *std::max_element(xs.begin(), xs.end());
        minY = *std::min_element(ys.begin(), ys.end());
        maxY = *std::max_element(ys.begin(), ys.end());
        for (double y : ys) {
            if (y != 0.0) leastY = std::min(leastY, std::abs(y));
        }
    }
    const double gapX = smallestGap(xs);
    const double gapY = smallestGap(ys);
    const double spanX = maxX - minX;
    const double spanY = maxY - minY;

    // The index works on the corners with y scaled by 2^e, so that the typical edge is as
    // high as it is wide: an outline in a plane's coordinates is often stretched along one
    // axis by orders of magnitude, which would put most edges into a few directions and
    // make the bounds above needlessly wide. Scaling one axis by a power of two scales
    // every difference and product of the test exactly and leaves its quotients alone, as
    // long as nothing leaves the normal float range; only then is it done. (The tests
    // themselves always run on the corners as given.)
    int e = 0;
    if (countX > 0 && countY > 0) {
        const double balance = std::log2((sumX / countX) / (sumY / countY));
        e = static_cast<int>(std::clamp(std::round(balance), -100.0, 100.0));
        const double f = std::ldexp(1.0, e);
        const double smallest = gapX * gapY * std::min(1.0, f);  // products of differences
        const double largest = spanX * spanY * std::max(1.0, f);
        const double highestY = std::max({std::abs(minY), std::abs(maxY), spanY}) * f;
        if (!(smallest >= 0x1p-125 && largest <= 0x1p125 && gapY * std::min(1.0, f) >= 0x1p-120 &&
              leastY * f >= 0x1p-126 && highestY <= 0x1p126)) {
            e = 0;
        }
    }
    const double f = std::ldexp(1.0, e);
    frame.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        frame[static_cast<size_t>(k)] = {corners[k].x, std::ldexp(corners[k].y, e)};
    }
    minY *= f;
    maxY *= f;

    const double diagonal = std::hypot(maxX - minX, maxY - minY);
    lineReach = 6.0 * kRounding * diagonal;
    lineSlack = 2.0 * kRounding * diagonal;
    // Products of an x and a y difference stay normal floats: what the along-line bound
    // needs.
    separable = gapX * gapY * f >= 0x1p-125;

    const double aspect = countX > 0 && countY > 0 ? (sumX / countX) / (f * sumY / countY) : 1.0;
    near.cover(minX, minY, maxX, maxY, n, aspect);
    parallel.cover(minX, minY, maxX, maxY, n / 8, aspect);
    slots.assign(static_cast<size_t>(kSlots), List{});
    slotCrowded.assign(static_cast<size_t>(kSlots), 0);
    entries.clear();
    entries.reserve(4 * static_cast<size_t>(n));
    testedIn.assign(static_cast<size_t>(n), 0);
    query = 0;
    for (int k = 0; k < n; ++k) addEdge(k, (k + 1) % n);
}

void RingCrossings::file(List& list, int from, int to, int slot) {
    entries.push_back({from, to, slot, list.head});
    list.head = static_cast<int>(entries.size()) - 1;
    ++list.size;
}

void RingCrossings::fileAlongLine(int from, int to, int slot) {
    const Point2& p = frame[static_cast<size_t>(from)];
    const Point2& q = frame[static_cast<size_t>(to)];
    const double length =
        std::hypot(static_cast<double>(q.x) - p.x, static_cast<double>(q.y) - p.y);
    const double extend = (kAlongLine * length + lineSlack) / length;
    parallel.forEachCell(p, q, -extend, 1.0 + extend, lineReach, [&](int cell) {
        file(parallel.cells[static_cast<size_t>(cell)], from, to, slot);
        return false;
    });
}

// From now on the slot's edges are also found along their lines.
void RingCrossings::promote(int slot) {
    slotCrowded[static_cast<size_t>(slot)] = 1;
    for (int i = slots[static_cast<size_t>(slot)].head; i >= 0;) {
        const Entry entry = entries[static_cast<size_t>(i)];
        if (isValid(entry)) fileAlongLine(entry.from, entry.to, slot);
        i = entry.next;
    }
}

void RingCrossings::addEdge(int from, int to) {
    if (!usable) return;
    const Point2& p = frame[static_cast<size_t>(from)];
    const Point2& q = frame[static_cast<size_t>(to)];
    if (!canCross(p, q)) return;
    const int slot = foldSlot(static_cast<long long>(std::floor(directionOf(p, q) / kSlotWidth)));
    List& list = slots[static_cast<size_t>(slot)];
    file(list, from, to, slot);
    if (slotCrowded[static_cast<size_t>(slot)]) {
        fileAlongLine(from, to, slot);
    } else if (list.size > kCrowdedSlot && separable) {
        promote(slot);
    }
    const double length =
        std::hypot(static_cast<double>(q.x) - p.x, static_cast<double>(q.y) - p.y);
    near.forEachCell(p, q, 0.0, 1.0, crossingReach(length), [&](int cell) {
        file(near.cells[static_cast<size_t>(cell)], from, to, slot);
        return false;
    });
}

bool RingCrossings::isValid(const Entry& entry) const {
    const ConvexSplitter::SplitNode& node = nodes[entry.from];
    return node.next != nullptr && node.next->corner == entry.to;
}

// Entries of edges that have left the outline are unlinked on the way. With `allowance`,
// each entry looked at uses one up; when none is left the walk stops (and says so).
RingCrossings::Found RingCrossings::crossesAny(List& list, const Point2& a, const Point2& b,
                                               long long* allowance, long long firstSlot,
                                               long long slotSpan) {
    int* link = &list.head;
    while (*link >= 0) {
        if (allowance != nullptr && --*allowance < 0) return Found::GaveUp;
        ++work;
        Entry& entry = entries[static_cast<size_t>(*link)];
        if (!isValid(entry)) {
            *link = entry.next;
            --list.size;
            continue;
        }
        link = &entry.next;
        if (slotSpan >= 0 && foldSlot(entry.slot - firstSlot) > slotSpan) continue;
        uint32_t& tested = testedIn[static_cast<size_t>(entry.from)];
        if (tested == query) continue;
        tested = query;
        work += 3;  // a test costs about four looks
        if (segmentsCross(a, b, corners[entry.from], corners[entry.to])) return Found::Crossing;
    }
    return Found::None;
}

bool RingCrossings::crosses(int from, int to) {
    const Point2& a = corners[from];
    const Point2& b = corners[to];
    if (!canCross(a, b)) return false;
    ++work;
    if (++query == 0) {  // the counter wrapped: forget every mark
        std::fill(testedIn.begin(), testedIn.end(), 0u);
        query = 1;
    }
    const Point2& p = frame[static_cast<size_t>(from)];
    const Point2& q = frame[static_cast<size_t>(to)];
    const double length =
        std::hypot(static_cast<double>(q.x) - p.x, static_cast<double>(q.y) - p.y);

    // Nearly parallel edges: along the line when some slot is crowded, unless that looks
    // at more entries than the slots hold (a query along a long straight run); then, or
    // when no slot is crowded, slot by slot (entries tested already are skipped).
    const double direction = directionOf(p, q);
    const auto firstSlot =
        static_cast<long long>(std::floor((direction - kParallelAngle) / kSlotWidth));
    const auto lastSlot =
        static_cast<long long>(std::floor((direction + kParallelAngle) / kSlotWidth));
    long long listed = 0;
    bool crowded = false;
    for (long long slot = firstSlot; slot <= lastSlot; ++slot) {
        const auto s = static_cast<size_t>(foldSlot(slot));
        listed += slots[s].size;
        crowded = crowded || slotCrowded[s];
    }
    bool slotBySlot = true;
    if (crowded) {
        // Along the segment first, where a crossing is likeliest, then the extensions.
        const double extend = (kAlongLine * length + lineSlack) / length;
        long long allowance = listed;
        Found found = Found::None;
        auto visit = [&](int cell) {
            ++work;
            found = crossesAny(parallel.cells[static_cast<size_t>(cell)], a, b, &allowance,
                               firstSlot, lastSlot - firstSlot);
            return found != Found::None;
        };
        if (!parallel.forEachCell(p, q, 0.0, 1.0, lineReach, visit) &&
            !parallel.forEachCell(p, q, 1.0, 1.0 + extend, lineReach, visit)) {
            parallel.forEachCell(p, q, -extend, 0.0, lineReach, visit);
        }
        if (found == Found::Crossing) return true;
        slotBySlot = found == Found::GaveUp;
    }
    if (slotBySlot) {
        for (long long slot = firstSlot; slot <= lastSlot; ++slot) {
            List& list = slots[static_cast<size_t>(foldSlot(slot))];
            if (crossesAny(list, a, b, nullptr) == Found::Crossing) return true;
        }
    }

    // Everything else, near the segment.
    return near.forEachCell(p, q, 0.0, 1.0, crossingReach(length), [&](int cell) {
        ++work;
        return crossesAny(near.cells[static_cast<size_t>(cell)], a, b, nullptr) == Found::Crossing;
    });
}
