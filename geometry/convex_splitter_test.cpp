// Tests of convex splitting: what enters a material's polygon list for convex, concave,
// degenerate and warped polygons.
#include "geometry/convex_splitter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "geometry/scene_object.h"
#include "geometry/testing/concave_outlines.h"

namespace {

using PolygonList = std::vector<std::unique_ptr<Polygon>>;

// A polygon over the given loop of point indices (closed by the helper).
std::unique_ptr<Polygon> makePolygon(const std::vector<int>& loop) {
    auto polygon = std::make_unique<Polygon>(static_cast<int>(loop.size()));
    for (size_t k = 0; k < loop.size(); ++k) polygon->indices[static_cast<int>(k)] = loop[k];
    polygon->indices[static_cast<int>(loop.size())] = loop[0];
    return polygon;
}

// Vector area (Newell): direction is the winding's normal, length the area.
Vector3 vectorArea(const Polygon& polygon, const std::vector<Vector3>& points) {
    Vector3 sum;
    for (int k = 0; k < polygon.count; ++k) {
        const Vector3& a = points[static_cast<size_t>(polygon.indices[k])];
        const Vector3& b = points[static_cast<size_t>(polygon.indices[k + 1])];
        sum.addInPlace(cross(a, b));
    }
    return scaled(sum, 0.5f);
}

// Every corner of the piece turns the same way as `normal` (or not at all).
bool isConvexAlong(const Polygon& polygon, const std::vector<Vector3>& points,
                   const Vector3& normal) {
    for (int k = 0; k < polygon.count; ++k) {
        const Vector3& prev =
            points[static_cast<size_t>(polygon.indices[(k + polygon.count - 1) % polygon.count])];
        const Vector3& here = points[static_cast<size_t>(polygon.indices[k])];
        const Vector3& next = points[static_cast<size_t>(polygon.indices[k + 1])];
        if (dot(cross(sub(here, prev), sub(next, here)), normal) < -1e-4f) return false;
    }
    return true;
}

// Splits the outline given by `points` (in loop order) and checks the pieces: convex, the
// same winding, the same area, closed loops of the original indices, planes set; and
// their number, unless `expectedPieces` is -1.
void checkSplit(const std::vector<Vector3>& points, const std::vector<int>& loop,
                int expectedPieces) {
    PolygonList list;
    auto original = makePolygon(loop);
    const Vector3 area = vectorArea(*original, points);
    addConvexPolygons(list, std::move(original), points.data());
    if (expectedPieces >= 0) {
        ASSERT_EQ(static_cast<int>(list.size()), expectedPieces);
    }
    ASSERT_FALSE(list.empty());
    Vector3 total;
    const Vector3 unit = scaled(area, 1.0f / area.length());
    std::set<int> allowed(loop.begin(), loop.end());
    for (const auto& piece : list) {
        ASSERT_GE(piece->count, 3);
        EXPECT_EQ(piece->indices[piece->count], piece->indices[0]);
        for (int k = 0; k < piece->count; ++k) EXPECT_TRUE(allowed.count(piece->indices[k]));
        Vector3 pieceArea = vectorArea(*piece, points);
        EXPECT_GT(dot(pieceArea, unit), 0.0f) << "a piece has the other winding";
        EXPECT_TRUE(isConvexAlong(*piece, points, unit));
        Vector3 planeNormal{piece->plane.a, piece->plane.b, piece->plane.c};
        EXPECT_NEAR(planeNormal.length(), 1.0f, 1e-5f);
        total.addInPlace(pieceArea);
    }
    EXPECT_NEAR(total.length(), area.length(), 1e-3f * area.length());
}

std::vector<Vector3> flat(const std::vector<std::pair<float, float>>& xy) {
    std::vector<Vector3> points;
    for (auto [x, y] : xy) points.push_back(Vector3{x, y, 0.0f});
    return points;
}

std::vector<int> range(int n, bool reversed = false) {
    std::vector<int> loop;
    for (int i = 0; i < n; ++i) loop.push_back(reversed ? n - 1 - i : i);
    return loop;
}

// n corners backwards from `start`: start, start - 1, ... (modulo n).
std::vector<int> backwardsFrom(int n, int start) {
    std::vector<int> loop;
    for (int i = 0; i < n; ++i) loop.push_back(((start - i) % n + n) % n);
    return loop;
}

TEST(ConvexSplitting, ConvexPolygonsAreAddedUnchanged) {
    auto square = flat({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    for (int corners : {3, 4}) {
        PolygonList list;
        auto polygon = makePolygon(range(corners));
        Polygon* raw = polygon.get();
        addConvexPolygons(list, std::move(polygon), square.data());
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].get(), raw);        // the very polygon, not a copy
        EXPECT_FLOAT_EQ(raw->plane.c, 1.0f);  // counter-clockwise seen from +z
        EXPECT_FLOAT_EQ(raw->plane.d, 0.0f);
    }
    // A convex hexagon on a tilted plane with a repeated corner.
    std::vector<Vector3> hexagon;
    for (int i = 0; i < 6; ++i) {
        float a = static_cast<float>(i) * 1.0471976f;
        hexagon.push_back(Vector3{std::cos(a), std::sin(a), std::cos(a) + 2.0f});
    }
    hexagon.push_back(hexagon[3]);
    PolygonList list;
    addConvexPolygons(list, makePolygon({0, 1, 2, 3, 6, 4, 5}), hexagon.data());
    EXPECT_EQ(list.size(), 1u);
}

TEST(ConvexSplitting, DegenerateAndWarpedPolygonsAreDropped) {
    auto points = flat({{0, 0}, {1, 0}, {2, 0}, {1, 1}});
    PolygonList list;
    addConvexPolygons(list, makePolygon({0, 1}), points.data());
    addConvexPolygons(list, makePolygon({0, 1, 2, 3}), points.data());  // first three on a line
    EXPECT_TRUE(list.empty());

    std::vector<Vector3> warped = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0.5f}, {0, 1, 0}};
    addConvexPolygons(list, makePolygon({0, 1, 2, 3}), warped.data());
    EXPECT_TRUE(list.empty());
    // Slightly warped (under 5 degrees) is accepted.
    warped[2].z = 0.02f;
    addConvexPolygons(list, makePolygon({0, 1, 2, 3}), warped.data());
    EXPECT_EQ(list.size(), 1u);
}

TEST(ConvexSplitting, LShapeBecomesTwoPiecesSharingTheDiagonal) {
    auto l = flat({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});
    checkSplit(l, range(6), 2);
    checkSplit(l, range(6, true), 2);

    PolygonList list;
    addConvexPolygons(list, makePolygon(range(6)), l.data());
    ASSERT_EQ(list.size(), 2u);
    // Both pieces contain the reflex corner 3 and its diagonal partner 0.
    for (const auto& piece : list) {
        std::set<int> corners(piece->indices.get(), piece->indices.get() + piece->count);
        EXPECT_TRUE(corners.count(3) && corners.count(0));
        EXPECT_EQ(piece->count, 4);
    }
}

TEST(ConvexSplitting, ConcaveShapesSplitIntoConvexPiecesOfEqualArea) {
    // A U: two reflex corners.
    auto u = flat({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}});
    checkSplit(u, range(8), 3);
    checkSplit(u, range(8, true), 3);

    // A five-pointed star with its tips at the odd corners (loop entry 1 is a tip, the
    // corner the test takes as its reference): five reflex corners.
    std::vector<Vector3> star;
    for (int i = 0; i < 10; ++i) {
        float a = static_cast<float>(i) * 0.62831853f;
        float r = (i % 2 == 1) ? 2.0f : 0.8f;
        star.push_back(Vector3{r * std::cos(a), r * std::sin(a), 0.0f});
    }
    PolygonList list;
    addConvexPolygons(list, makePolygon(range(10)), star.data());
    int pieces = static_cast<int>(list.size());
    EXPECT_GE(pieces, 3);
    checkSplit(star, range(10), pieces);
    checkSplit(star, backwardsFrom(10, 2), pieces);

    // A comb of five teeth on a tilted plane: eight reflex corners.
    std::vector<Vector3> comb;
    std::vector<std::pair<float, float>> outline = {{0, 0}, {9, 0}, {9, 3}};
    for (int gap = 3; gap >= 0; --gap) {
        float left = 2.0f * static_cast<float>(gap) + 1.0f;
        outline.push_back({left + 1, 3});
        outline.push_back({left + 1, 1});
        outline.push_back({left, 1});
        outline.push_back({left, 3});
    }
    outline.push_back({0, 3});
    for (auto [x, y] : outline) comb.push_back(Vector3{x, y * 0.6f, y * 0.8f});
    const int n = static_cast<int>(comb.size());
    PolygonList combList;
    addConvexPolygons(combList, makePolygon(range(n)), comb.data());
    checkSplit(comb, range(n), static_cast<int>(combList.size()));
    checkSplit(comb, range(n, true), static_cast<int>(combList.size()));
    EXPECT_GE(combList.size(), 5u);
}

TEST(ConvexSplitting, SplitterPiecesFollowTheRing) {
    // The L in 2-D, counter-clockwise: one cut at the reflex corner 3.
    const Point2 outline[] = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    ConvexSplitter splitter;
    splitter.split(outline, 6);
    ASSERT_EQ(splitter.pieceCount, 2);
    EXPECT_EQ(splitter.pieces[0], (std::vector<int>{3, 4, 5, 0}));
    EXPECT_EQ(splitter.pieces[1], (std::vector<int>{3, 0, 1, 2}));

    // A convex outline has no reflex corner: one piece, the ring itself.
    const Point2 square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    splitter.split(square, 4);
    ASSERT_EQ(splitter.pieceCount, 1);
    EXPECT_EQ(splitter.pieces[0], (std::vector<int>{0, 1, 2, 3}));
}

TEST(ConvexSplitting, IndexedSplitGivesThePlainPieces) {
    using namespace outlines;
    std::vector<Point2> damaged = randomRadial(600, 5);
    for (size_t i = 0; i < damaged.size(); i += 37) damaged[i].x = NAN;
    for (size_t i = 5; i < damaged.size(); i += 41) damaged[i] = damaged[i - 1];
    damaged[100].y = INFINITY;
    struct Case {
        const char* name;
        std::vector<Point2> outline;
    };
    const Case cases[] = {
        {"comb", comb(400)},
        {"zigzag", zigzag(1500)},
        {"star", star(800)},
        {"star with shallow spikes", star(500, 0.97f)},
        {"notched circle", notchedCircle(2000)},
        {"spiral", spiral(1600, 6.0)},
        {"random 1", randomRadial(2000, 1)},
        {"random 2", randomRadial(1500, 2, 0.9f)},
        {"random 3", randomRadial(1000, 3, 0.1f)},
        // Turned by odd angles, straight runs are straight only to within rounding, and
        // the crossing tests meet nearly parallel, nearly collinear edges.
        {"turned comb with corners on its edges", rotated(subdivided(comb(120), 4), 0.3)},
        {"turned zigzag", rotated(zigzag(1500), 0.7)},
        {"turned star with corners on its edges", rotated(subdivided(star(150), 5), 1.1)},
        {"far from the origin", rotated(randomRadial(800, 4), 0.2, 1e5f)},
        // Stretched along one axis, as a plane's coordinates often are.
        {"stretched turned zigzag", scaled(rotated(zigzag(1500), 0.3), 40.0, 3.1e7)},
        {"squashed comb", scaled(comb(300), 1.0, 1e-9)},
        {"tiny", scaled(randomRadial(500, 8), 1e-18, 1e-18)},
        {"damaged", damaged},
        {"small", randomRadial(40, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int n = static_cast<int>(c.outline.size());
        ConvexSplitter plain;
        plain.split(c.outline.data(), n, INT_MAX);
        ConvexSplitter indexed;
        indexed.split(c.outline.data(), n, 0);
        EXPECT_GT(plain.pieceCount, 1);
        EXPECT_FALSE(indexed.gaveUp);
        EXPECT_EQ(indexed.pieceCount, plain.pieceCount);
        EXPECT_TRUE(indexed.pieces == plain.pieces);
    }
}

TEST(ConvexSplitting, IndexedSplitGivesUpPastItsWorkLimit) {
    const std::vector<Point2> outline = outlines::comb(400);
    const int n = static_cast<int>(outline.size());
    ConvexSplitter splitter;
    splitter.workLimit = 1000;
    splitter.split(outline.data(), n);
    EXPECT_TRUE(splitter.gaveUp);
    EXPECT_EQ(splitter.pieceCount, 0);
    EXPECT_TRUE(splitter.pieces.empty());

    splitter.workLimit = 0;  // the default
    splitter.split(outline.data(), n);
    EXPECT_FALSE(splitter.gaveUp);
    EXPECT_GT(splitter.pieceCount, 400);
}

TEST(ConvexSplitting, CombOf32000CornersSplits) {
    // 7999 slots: 32,000 corners, on a tilted plane.
    const std::vector<Point2> outline = outlines::comb(7999);
    std::vector<Vector3> points;
    for (const Point2& p : outline) points.push_back(Vector3{p.x, p.y * 0.6f, p.y * 0.8f});
    ASSERT_EQ(points.size(), 32000u);
    PolygonList list;
    addConvexPolygons(list, makePolygon(range(32000)), points.data());
    EXPECT_GE(list.size(), 8000u);  // no piece holds two teeth
    checkSplit(points, range(32000), static_cast<int>(list.size()));
}

}  // namespace
