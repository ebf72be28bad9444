// Checks of the model table as the program draws it: three closed pieces on
// a 1/64 grid, wound clockwise from outside, that do not cut themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "model.h"

namespace {

typedef long long Int;
typedef std::array<Int, 3> Point;           // coordinates in 1/64 units
typedef std::array<Point, 3> Triangle;

// Rows [first, end) of a piece, its counts, and its x, y and z ranges.
struct Piece {
    int first, end, points, edges;
    double low[3], high[3];
};

const Piece pieces[3] = {
    { 0, 132, 68, 198, { -15.734375, 2.875, -4.34375 }, { 13.46875, 18.234375, 16.3125 } },
    { 132, 264, 68, 198, { -15.734375, -18.4375, -4.34375 }, { 13.5625, -2.78125, 16.3125 } },
    { 264, 276, 8, 18, { 12.125, -1.96875, -10.5 }, { 13.609375, 2.21875, 30.734375 } },
};

// Rows whose corners and normals are known exactly (row numbers from 1).
struct KnownRow {
    int row;
    float p[3][3];
    float n[3];
};

const KnownRow knownRows[] = {
    { 1, { { -15.390625f, 8.65625f, 16.3125f }, { -14.046875f, 10.609375f, 15.859375f }, { -14.28125f, 10.359375f, 14.953125f } }, { 1.88330078125f, -1.323974609375f, -0.121826171875f } },
    { 2, { { -14.28125f, 10.359375f, 14.953125f }, { -14.046875f, 10.609375f, 15.859375f }, { -12.71875f, 12.015625f, 14.21875f } }, { 1.6845703125f, -1.588134765625f, 0.00244140625f } },
    { 3, { { -14.28125f, 10.359375f, 14.953125f }, { -12.71875f, 12.015625f, 14.21875f }, { -12.71875f, 12.75f, 14.046875f } }, { -0.254638671875f, -0.2685546875f, -1.1474609375f } },
    { 31, { { 12.21875f, 2.890625f, -4.34375f }, { 12.0625f, 3.125f, -4.34375f }, { 12.125f, 2.875f, -4.34375f } }, { 0.0f, 0.0f, -0.0244140625f } },
    { 132, { { 6.46875f, 12.359375f, 9.765625f }, { 8.1875f, 10.40625f, 9.734375f }, { 9.484375f, 11.15625f, 9.296875f } }, { -0.8779296875f, -0.71142578125f, -3.822021484375f } },
    { 133, { { 13.5625f, -2.9375f, 9.484375f }, { 12.921875f, -5.96875f, 9.484375f }, { 12.890625f, -5.96875f, 14.5f } }, { 15.20361328125f, -3.213134765625f, 0.0947265625f } },
    { 264, { { 12.3125f, -2.8125f, -4.34375f }, { 11.984375f, -2.78125f, 9.484375f }, { 12.203125f, -2.78125f, -4.34375f } }, { 0.43212890625f, 1.512451171875f, 0.0068359375f } },
    { 265, { { 13.609375f, 2.21875f, 9.765625f }, { 12.125f, 2.21875f, 9.765625f }, { 12.125f, 0.125f, -10.5f } }, { 0.0f, 30.081787109375f, -3.10791015625f } },
    { 266, { { 12.125f, 0.125f, -10.5f }, { 12.125f, 2.21875f, 9.765625f }, { 12.125f, -1.96875f, 9.765625f } }, { -84.8623046875f, 0.0f, 0.0f } },
    { 267, { { 12.125f, 0.125f, -10.5f }, { 12.125f, -1.96875f, 9.765625f }, { 12.828125f, 0.125f, -10.5f } }, { 0.0f, -14.249267578125f, -1.47216796875f } },
    { 268, { { 12.828125f, 0.125f, -10.5f }, { 12.125f, -1.96875f, 9.765625f }, { 13.609375f, -1.96875f, 9.765625f } }, { 0.0f, -30.081787109375f, -3.10791015625f } },
    { 269, { { 12.828125f, 0.125f, -10.5f }, { 13.609375f, -1.96875f, 9.765625f }, { 13.609375f, 2.21875f, 9.765625f } }, { 84.8623046875f, 0.0f, -3.271484375f } },
    { 270, { { 13.609375f, 2.21875f, 9.765625f }, { 13.609375f, -1.96875f, 9.765625f }, { 12.828125f, 0.125f, 30.734375f } }, { 87.806640625f, 0.0f, 3.271484375f } },
    { 271, { { 13.609375f, 2.21875f, 9.765625f }, { 12.828125f, 0.125f, 30.734375f }, { 12.125f, 2.21875f, 9.765625f } }, { 0.0f, 31.12548828125f, 3.10791015625f } },
    { 272, { { 12.125f, 2.21875f, 9.765625f }, { 12.828125f, 0.125f, 30.734375f }, { 12.125f, 0.125f, 30.734375f } }, { 0.0f, 14.74365234375f, 1.47216796875f } },
    { 273, { { 12.125f, 2.21875f, 9.765625f }, { 12.125f, 0.125f, 30.734375f }, { 12.125f, -1.96875f, 9.765625f } }, { -87.806640625f, 0.0f, 0.0f } },
    { 274, { { 12.125f, -1.96875f, 9.765625f }, { 12.125f, 0.125f, 30.734375f }, { 13.609375f, -1.96875f, 9.765625f } }, { 0.0f, -31.12548828125f, 3.10791015625f } },
    { 275, { { 12.125f, 0.125f, -10.5f }, { 12.828125f, 0.125f, -10.5f }, { 13.609375f, 2.21875f, 9.765625f } }, { 0.0f, 14.249267578125f, -1.47216796875f } },
    { 276, { { 12.828125f, 0.125f, 30.734375f }, { 13.609375f, -1.96875f, 9.765625f }, { 12.125f, 0.125f, 30.734375f } }, { 0.0f, -14.74365234375f, 1.47216796875f } },
};

// ---------------------------------------------------------------------------
// Exact geometry on grid points

Point Sub(const Point& a, const Point& b)
{
    return Point{ a[0] - b[0], a[1] - b[1], a[2] - b[2] };
}

Point Cross(const Point& a, const Point& b)
{
    return Point{ a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0] };
}

Int Dot(const Point& a, const Point& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Normal (p2 - p0) x (p1 - p0) in 1/4096 units.
Point ExactNormal(const Triangle& t)
{
    return Cross(Sub(t[2], t[0]), Sub(t[1], t[0]));
}

// Whether a coordinate is a multiple of 1/64.
bool OnGrid(float v)
{
    const double units = static_cast<double>(v) * 64.0;
    return units == std::floor(units);
}

// A corner in 1/64 units (the grid test checks that this is exact).
Point GridPoint(const float* p)
{
    return Point{ std::llround(p[0] * 64.0), std::llround(p[1] * 64.0), std::llround(p[2] * 64.0) };
}

Triangle RowTriangle(int row)
{
    const ModelTriangle& t = ModelTriangles[row];
    return Triangle{ GridPoint(t.p0), GridPoint(t.p1), GridPoint(t.p2) };
}

std::vector<Triangle> PieceTriangles(const Piece& piece)
{
    std::vector<Triangle> rows;
    for (int r = piece.first; r < piece.end; ++r)
        rows.push_back(RowTriangle(r));
    return rows;
}

std::set<Point> PointsOf(const std::vector<Triangle>& rows)
{
    std::set<Point> points;
    for (const Triangle& t : rows)
        points.insert(t.begin(), t.end());
    return points;
}

int Sign(Int v)
{
    return (v > 0) - (v < 0);
}

// Side of the plane abc on which d lies.
int Orient(const Point& a, const Point& b, const Point& c, const Point& d)
{
    return Sign(Dot(Sub(b, a), Cross(Sub(c, a), Sub(d, a))));
}

typedef std::array<Int, 2> Point2;

// The axis to drop when a triangle's plane is seen in 2D.
int DropAxis(const Triangle& t)
{
    const Point n = ExactNormal(t);
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (std::llabs(n[k]) > std::llabs(n[axis]))
            axis = k;
    return axis;
}

Point2 Project(const Point& p, int axis)
{
    return axis == 0 ? Point2{ p[1], p[2] } : axis == 1 ? Point2{ p[0], p[2] } : Point2{ p[0], p[1] };
}

int Orient2(const Point2& a, const Point2& b, const Point2& c)
{
    return Sign((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
}

bool Between(const Point2& s, const Point2& t, const Point2& r)
{
    return std::min(s[0], t[0]) <= r[0] && r[0] <= std::max(s[0], t[0])
        && std::min(s[1], t[1]) <= r[1] && r[1] <= std::max(s[1], t[1]);
}

// Closed 2D segments pq and ab meet.
bool SegmentsMeet2(const Point2& p, const Point2& q, const Point2& a, const Point2& b)
{
    const int d1 = Orient2(a, b, p), d2 = Orient2(a, b, q);
    const int d3 = Orient2(p, q, a), d4 = Orient2(p, q, b);
    if (d1 * d2 < 0 && d3 * d4 < 0)
        return true;
    return (d1 == 0 && Between(a, b, p)) || (d2 == 0 && Between(a, b, q))
        || (d3 == 0 && Between(p, q, a)) || (d4 == 0 && Between(p, q, b));
}

bool Inside2(const Point2& p, const Point2 t[3])
{
    const int s0 = Orient2(t[0], t[1], p), s1 = Orient2(t[1], t[2], p), s2 = Orient2(t[2], t[0], p);
    return !(std::min({ s0, s1, s2 }) < 0 && std::max({ s0, s1, s2 }) > 0);
}

// Closed segment pq meets closed triangle t.
bool SegmentMeetsTriangle(const Point& p, const Point& q, const Triangle& t)
{
    const int sp = Orient(t[0], t[1], t[2], p), sq = Orient(t[0], t[1], t[2], q);
    if (sp * sq > 0)
        return false;
    if (sp == 0 && sq == 0) {
        const int axis = DropAxis(t);
        const Point2 p2 = Project(p, axis), q2 = Project(q, axis);
        const Point2 t2[3] = { Project(t[0], axis), Project(t[1], axis), Project(t[2], axis) };
        if (Inside2(p2, t2) || Inside2(q2, t2))
            return true;
        for (int i = 0; i < 3; ++i)
            if (SegmentsMeet2(p2, q2, t2[i], t2[(i + 1) % 3]))
                return true;
        return false;
    }
    const int s0 = Orient(p, q, t[0], t[1]), s1 = Orient(p, q, t[1], t[2]), s2 = Orient(p, q, t[2], t[0]);
    return !(std::min({ s0, s1, s2 }) < 0 && std::max({ s0, s1, s2 }) > 0);
}

// Closed triangles t and u meet anywhere.
bool TrianglesMeet(const Triangle& t, const Triangle& u)
{
    for (int i = 0; i < 3; ++i)
        if (SegmentMeetsTriangle(t[i], t[(i + 1) % 3], u) || SegmentMeetsTriangle(u[i], u[(i + 1) % 3], t))
            return true;
    return false;
}

// For a segment va in the plane of t, v a corner of t: whether it runs into t
// beyond v.
bool EntersCorner(const Point& v, const Point& a, const Triangle& t)
{
    const int axis = DropAxis(t);
    std::vector<Point2> others;
    for (const Point& p : t)
        if (p != v)
            others.push_back(Project(p, axis));
    const Point2 v2 = Project(v, axis), a2 = Project(a, axis);
    const Point2 b2 = others[0], c2 = others[1];
    const int s1 = Orient2(v2, b2, a2), s2 = Orient2(v2, c2, a2), turn = Orient2(v2, b2, c2);
    const Int ab = (a2[0] - v2[0]) * (b2[0] - v2[0]) + (a2[1] - v2[1]) * (b2[1] - v2[1]);
    const Int ac = (a2[0] - v2[0]) * (c2[0] - v2[0]) + (a2[1] - v2[1]) * (c2[1] - v2[1]);
    if (s1 == 0 && s2 == 0)
        return false;
    if (s1 == 0)
        return ab > 0;
    if (s2 == 0)
        return ac > 0;
    return s1 == turn && s2 == -turn;
}

// Triangles that share corners meet beyond what they share: a fold onto
// the neighbour across an edge, or an overlap next to a shared corner.
bool NeighboursOverlap(const Triangle& t, const Triangle& u)
{
    std::vector<Point> shared, ownT, ownU;
    for (const Point& p : t)
        (std::find(u.begin(), u.end(), p) != u.end() ? shared : ownT).push_back(p);
    for (const Point& p : u)
        if (std::find(t.begin(), t.end(), p) == t.end())
            ownU.push_back(p);
    if (shared.size() == 2) {
        if (Orient(shared[0], shared[1], ownT[0], ownU[0]) != 0)
            return false;
        const int axis = DropAxis(t);
        const Point2 a = Project(shared[0], axis), b = Project(shared[1], axis);
        return Orient2(a, b, Project(ownT[0], axis)) == Orient2(a, b, Project(ownU[0], axis));
    }
    const Point& v = shared[0];
    if (SegmentMeetsTriangle(ownT[0], ownT[1], u) || SegmentMeetsTriangle(ownU[0], ownU[1], t))
        return true;
    for (const Point& a : ownT)
        if (Orient(u[0], u[1], u[2], a) == 0 && EntersCorner(v, a, u))
            return true;
    for (const Point& a : ownU)
        if (Orient(t[0], t[1], t[2], a) == 0 && EntersCorner(v, a, t))
            return true;
    return false;
}

// Pairs of rows (numbered from 1) of a surface that cut through each other.
std::vector<std::pair<int, int>> Crossings(const std::vector<Triangle>& rows, int firstRow)
{
    std::vector<std::pair<int, int>> found;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t s = r + 1; s < rows.size(); ++s) {
            int sharedCorners = 0;
            for (const Point& p : rows[r])
                sharedCorners += std::find(rows[s].begin(), rows[s].end(), p) != rows[s].end();
            const bool meet = sharedCorners ? NeighboursOverlap(rows[r], rows[s])
                                            : TrianglesMeet(rows[r], rows[s]);
            if (meet)
                found.push_back({ firstRow + int(r), firstRow + int(s) });
        }
    }
    return found;
}

// ---------------------------------------------------------------------------
// Winding number of a surface about a point (solid angles)

typedef std::array<double, 3> Vec;

double SolidAngle(const Vec& p, const Triangle& t)
{
    Vec v[3];
    double len[3];
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k)
            v[i][k] = t[i][k] - p[k];
        len[i] = std::sqrt(v[i][0] * v[i][0] + v[i][1] * v[i][1] + v[i][2] * v[i][2]);
    }
    auto dot = [](const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    const Vec bc = { v[1][1] * v[2][2] - v[1][2] * v[2][1], v[1][2] * v[2][0] - v[1][0] * v[2][2],
                     v[1][0] * v[2][1] - v[1][1] * v[2][0] };
    const double numerator = dot(v[0], bc);
    const double denominator = len[0] * len[1] * len[2] + dot(v[0], v[1]) * len[2]
        + dot(v[0], v[2]) * len[1] + dot(v[1], v[2]) * len[0];
    return 2.0 * std::atan2(numerator, denominator);
}

// Winding number about p; a surface wound clockwise from outside gives -1
// inside and 0 outside.
double Winding(const Vec& p, const std::vector<Triangle>& rows)
{
    double sum = 0;
    for (const Triangle& t : rows)
        sum += SolidAngle(p, t);
    return sum / (4.0 * std::acos(-1.0));
}

// Points a little off the middle of a row, along and against its normal.
void PointsBesideRow(const Triangle& t, Vec* outside, Vec* inside)
{
    const Point n = ExactNormal(t);
    const double length = std::sqrt(double(Dot(n, n)));
    const double step = 0.02;   // 1/64 units, far thinner than any part
    for (int k = 0; k < 3; ++k) {
        const double middle = (t[0][k] + t[1][k] + t[2][k]) / 3.0;
        (*outside)[k] = middle + step * n[k] / length;
        (*inside)[k] = middle - step * n[k] / length;
    }
}

// ---------------------------------------------------------------------------
// The checks themselves must find faults

TEST(ModelGeometryChecks, FindCrossingsAndFoldsButNotNeighbours)
{
    const Triangle flat = { Point{ 0, 0, 0 }, Point{ 10, 0, 0 }, Point{ 0, 10, 0 } };
    const Triangle piercing = { Point{ 2, 2, -5 }, Point{ 2, 2, 5 }, Point{ 8, 8, 5 } };
    const Triangle above = { Point{ 2, 2, 1 }, Point{ 2, 3, 5 }, Point{ 8, 8, 5 } };
    EXPECT_TRUE(TrianglesMeet(flat, piercing));
    EXPECT_FALSE(TrianglesMeet(flat, above));

    const Triangle hinge = { Point{ 0, 0, 0 }, Point{ 0, 10, 0 }, Point{ -8, 3, 4 } };
    const Triangle folded = { Point{ 0, 0, 0 }, Point{ 0, 10, 0 }, Point{ 3, 3, 0 } };
    EXPECT_FALSE(NeighboursOverlap(flat, hinge));
    EXPECT_TRUE(NeighboursOverlap(flat, folded));

    const Triangle fan = { Point{ 0, 0, 0 }, Point{ -5, 1, 0 }, Point{ -5, -4, 0 } };
    const Triangle overlapping = { Point{ 0, 0, 0 }, Point{ 6, 1, 0 }, Point{ 6, 3, 0 } };
    const Triangle through = { Point{ 0, 0, 0 }, Point{ 3, 3, -4 }, Point{ 3, 3, 4 } };
    EXPECT_FALSE(NeighboursOverlap(flat, fan));
    EXPECT_TRUE(NeighboursOverlap(flat, overlapping));
    EXPECT_TRUE(NeighboursOverlap(flat, through));
}

TEST(ModelGeometryChecks, WindingTellsInsideFromOutside)
{
    // A tetrahedron wound clockwise from outside.
    const Point a{ 0, 0, 0 }, b{ 64, 0, 0 }, c{ 0, 64, 0 }, d{ 0, 0, 64 };
    const std::vector<Triangle> tetra = { { a, b, c }, { a, d, b }, { a, c, d }, { b, d, c } };
    for (const Triangle& t : tetra) {
        Vec outside, inside;
        PointsBesideRow(t, &outside, &inside);
        EXPECT_NEAR(Winding(outside, tetra), 0.0, 1e-9);
        EXPECT_NEAR(Winding(inside, tetra), -1.0, 1e-9);
    }
}

// ---------------------------------------------------------------------------
// The table

TEST(ModelTable, CornersLieOnTheGridWithinEachPiecesRanges)
{
    for (int r = 0; r < ModelTriangleCount; ++r) {
        const float* corners[3] = { ModelTriangles[r].p0, ModelTriangles[r].p1, ModelTriangles[r].p2 };
        for (const float* p : corners)
            for (int k = 0; k < 3; ++k)
                ASSERT_TRUE(OnGrid(p[k])) << "row " << r + 1 << " coordinate " << p[k];
    }
    double farthest = 0;
    for (const Piece& piece : pieces) {
        const std::set<Point> points = PointsOf(PieceTriangles(piece));
        for (int k = 0; k < 3; ++k) {
            Int low = points.begin()->at(k), high = low;
            for (const Point& p : points) {
                low = std::min(low, p[k]);
                high = std::max(high, p[k]);
                farthest = std::max(farthest, std::sqrt(double(Dot(p, p))) / 64.0);
            }
            EXPECT_EQ(low / 64.0, piece.low[k]) << "piece from row " << piece.first + 1 << " axis " << k;
            EXPECT_EQ(high / 64.0, piece.high[k]) << "piece from row " << piece.first + 1 << " axis " << k;
        }
    }
    EXPECT_LE(farthest, 33.31);
    EXPECT_GE(farthest, 33.30);
}

TEST(ModelTable, PiecesAreContiguousClosedSurfaces)
{
    std::set<Point> all;
    size_t total = 0;
    for (const Piece& piece : pieces) {
        const std::vector<Triangle> rows = PieceTriangles(piece);
        const std::set<Point> points = PointsOf(rows);
        EXPECT_EQ(points.size(), size_t(piece.points)) << "piece from row " << piece.first + 1;
        total += points.size();
        all.insert(points.begin(), points.end());

        std::map<std::pair<Point, Point>, int> directed;
        for (const Triangle& t : rows) {
            EXPECT_TRUE(t[0] != t[1] && t[1] != t[2] && t[2] != t[0]);
            for (int e = 0; e < 3; ++e)
                ++directed[{ t[e], t[(e + 1) % 3] }];
        }
        std::set<std::pair<Point, Point>> edges;
        for (const auto& entry : directed) {
            const Point& a = entry.first.first;
            const Point& b = entry.first.second;
            EXPECT_EQ(entry.second, 1) << "an edge used twice the same way, piece from row " << piece.first + 1;
            EXPECT_EQ(directed.count({ b, a }), 1u) << "an open edge, piece from row " << piece.first + 1;
            edges.insert(a < b ? std::make_pair(a, b) : std::make_pair(b, a));
        }
        EXPECT_EQ(edges.size(), size_t(piece.edges));
        EXPECT_EQ(int(points.size()) - int(edges.size()) + int(rows.size()), 2);

        // Connected: every point reached from the first through edges.
        std::set<Point> reached = { *points.begin() };
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto& e : edges)
                if (reached.count(e.first) != reached.count(e.second)) {
                    reached.insert(e.first);
                    reached.insert(e.second);
                    grew = true;
                }
        }
        EXPECT_EQ(reached.size(), points.size()) << "piece from row " << piece.first + 1;
    }
    EXPECT_EQ(all.size(), 144u);
    EXPECT_EQ(total, all.size()) << "pieces share points";
}

TEST(ModelTable, KnownRowsHoldTheirExactCornersAndNormals)
{
    for (const KnownRow& expected : knownRows) {
        const ModelTriangle& t = ModelTriangles[expected.row - 1];
        const float* corners[3] = { t.p0, t.p1, t.p2 };
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(corners[c][k], expected.p[c][k]) << "row " << expected.row << " corner " << c;
        float n[3];
        ModelNormal(t, n);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(n[k], expected.n[k]) << "row " << expected.row << " normal";
    }
}

TEST(ModelTable, NormalsAreExactNonZeroAndRangeFromRow31ToRow270)
{
    double shortest = 1e9, longest = 0;
    int shortestRow = 0, longestRow = 0;
    for (int r = 0; r < ModelTriangleCount; ++r) {
        const Point exact = ExactNormal(RowTriangle(r));
        float n[3];
        ModelNormal(ModelTriangles[r], n);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(n[k], float(exact[k]) / 4096.0f) << "row " << r + 1 << " normal not exact";
        const double length = std::sqrt(double(Dot(exact, exact))) / 4096.0;
        EXPECT_GT(length, 0.0) << "row " << r + 1 << " is degenerate";
        EXPECT_TRUE(length != shortest && length != longest) << "row " << r + 1 << " ties";
        if (length < shortest) {
            shortest = length;
            shortestRow = r + 1;
        }
        if (length > longest) {
            longest = length;
            longestRow = r + 1;
        }
    }
    EXPECT_EQ(shortestRow, 31);
    EXPECT_EQ(shortest, 0.0244140625);
    EXPECT_EQ(longestRow, 270);
    EXPECT_NEAR(longest, 87.87, 0.005);
}

TEST(ModelTable, NormalsPointOutOfTheirPiece)
{
    for (const Piece& piece : pieces) {
        const std::vector<Triangle> rows = PieceTriangles(piece);
        Int sixVolume = 0;
        for (const Triangle& t : rows)
            sixVolume += Dot(t[0], Cross(t[1], t[2]));
        EXPECT_LT(sixVolume, 0) << "piece from row " << piece.first + 1 << " wound anticlockwise";
        for (size_t r = 0; r < rows.size(); ++r) {
            Vec outside, inside;
            PointsBesideRow(rows[r], &outside, &inside);
            EXPECT_NEAR(Winding(outside, rows), 0.0, 1e-6) << "row " << piece.first + r + 1;
            EXPECT_NEAR(Winding(inside, rows), -1.0, 1e-6) << "row " << piece.first + r + 1;
        }
    }
    // The blade is convex: every face turns away from the middle of its points.
    const Point middle{ std::llround(12.671875 * 64), std::llround(0.125 * 64), std::llround(9.94140625 * 64) };
    for (int r = pieces[2].first; r < pieces[2].end; ++r) {
        const Triangle t = RowTriangle(r);
        EXPECT_GT(Dot(ExactNormal(t), Sub(t[0], middle)), 0) << "row " << r + 1;
    }
}

TEST(ModelTable, WingsAreNearMirrorImagesAcrossTheMiddlePlane)
{
    const std::set<Point> right = PointsOf(PieceTriangles(pieces[0]));
    const std::set<Point> left = PointsOf(PieceTriangles(pieces[1]));
    const double tolerance = 0.22 * 64;
    bool exactMirror = true;
    for (const Point& p : right) {
        EXPECT_GT(p[1], 0);
        const Point mirrored{ p[0], -p[1], p[2] };
        Int nearest = -1;
        for (const Point& q : left) {
            const Int d = Dot(Sub(mirrored, q), Sub(mirrored, q));
            if (nearest < 0 || d < nearest)
                nearest = d;
        }
        EXPECT_LE(std::sqrt(double(nearest)), tolerance) << "a point of the right wing has no mirror partner";
        exactMirror = exactMirror && nearest == 0;
    }
    for (const Point& q : left)
        EXPECT_LT(q[1], 0);
    EXPECT_FALSE(exactMirror);
}

TEST(ModelTable, NoPieceCutsThroughItself)
{
    for (const Piece& piece : pieces) {
        const std::vector<std::pair<int, int>> found = Crossings(PieceTriangles(piece), piece.first + 1);
        EXPECT_EQ(found.size(), 0u) << "piece from row " << piece.first + 1;
        if (!found.empty())
            ADD_FAILURE() << "first crossing: rows " << found[0].first << " and " << found[0].second;
    }
}

}  // namespace
