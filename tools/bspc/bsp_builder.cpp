#include "tools/bspc/bsp_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <tuple>

namespace {

// Candidate planes of pieces tried per node. Measured on test models (a 1,368-triangle
// spider, a 3,732-triangle character): 40 evenly sampled candidates grew them 4.1x and 2.5x,
// the 128 largest 3.7x and 2.2x; more gain little and cost time. Large sets try fewer, so
// that a node costs at most about CandidateWork piece tests.
constexpr size_t MaxCandidates = 128;
constexpr size_t MinCandidates = 16;
constexpr size_t CandidateWork = size_t(1) << 18;
// One split costs about as much as this much imbalance: splits add triangles, imbalance
// leaves larger sets to split later. Both 4 and 16 grew the test models more.
constexpr int64_t SplitWeight = 8;
// A set of pieces may go into a row of one-sided nodes only when this many times its size
// still fits under the depth limit; larger convex clusters are cut in halves first.
constexpr int64_t OneSidedDepthShare = 4;
// A gap plane must leave this much room to the triangles on either side.
constexpr double GapMargin = 4 * PlaneEpsilon;
// Pieces with less than this doubled area draw nothing and are dropped.
constexpr double MinPieceDoubleArea = 1e-9;

int SideOf(double distance) {
    if (distance > PlaneEpsilon) return 1;
    if (distance < -PlaneEpsilon) return -1;
    return 0;
}

// The point where the edge a-b meets the plane. The edge is taken in a fixed order of
// its end points, so that two pieces sharing the edge get the very same new vertex.
MapVertex EdgeIntersection(const Plane& plane, MapVertex a, MapVertex b) {
    auto key = [](const MapVertex& v) { return std::tuple(v.x, v.y, v.z, v.u, v.v); };
    if (key(b) < key(a)) std::swap(a, b);
    const double da = PlaneDistance(plane, a);
    const double db = PlaneDistance(plane, b);
    const double t = da / (da - db);
    auto lerp = [t](float p, float q) { return float(double(p) + t * (double(q) - double(p))); };
    return {lerp(a.x, b.x), lerp(a.y, b.y), lerp(a.z, b.z), lerp(a.u, b.u), lerp(a.v, b.v)};
}

// Twice the area.
double DoubleArea(const MapVertex& a, const MapVertex& b, const MapVertex& c) {
    const Vector3d n = Cross(Difference(b, a), Difference(c, a));
    return std::sqrt(Dot(n, n));
}

double PieceArea(const BspPiece& p) {
    double area = 0;
    for (size_t k = 1; k + 1 < p.v.size(); ++k)
        area += DoubleArea(p.v[0], p.v[k], p.v[k + 1]);
    return area;
}

bool AxisAligned(const Plane& p) {
    return std::fabs(p.a) == 1.0f || std::fabs(p.b) == 1.0f || std::fabs(p.c) == 1.0f;
}

bool SamePlane(const Plane& p, const Plane& q) {
    return (p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d) ||
           (p.a == -q.a && p.b == -q.b && p.c == -q.c && p.d == -q.d);
}

struct Candidate {
    int64_t front = 0;
    int64_t back = 0;
    int64_t spanning = 0;
};

// Counts the pieces on each side; stops early once the splits alone score worse than
// `bound` (a negative bound never stops).
Candidate Evaluate(const Plane& plane, const std::vector<BspPiece>& pieces, int64_t bound) {
    Candidate c;
    for (const BspPiece& p : pieces) {
        switch (ClassifyPiece(plane, p)) {
        case PlaneSide::Front:
            ++c.front;
            break;
        case PlaneSide::Back:
            ++c.back;
            break;
        case PlaneSide::Spanning:
            ++c.spanning;
            if (bound >= 0 && c.spanning * SplitWeight > bound) return c;
            break;
        case PlaneSide::On:
            break;
        }
    }
    return c;
}

int64_t Score(const Candidate& c) {
    return SplitWeight * c.spanning + std::llabs(c.front - c.back);
}

// Axis-aligned planes that cut nothing: per axis, the best balanced gap between the
// pieces' extents.
void GapPlanes(const std::vector<BspPiece>& pieces, std::vector<Plane>& out) {
    const size_t n = pieces.size();
    std::vector<std::pair<double, double>> spans(n);
    for (int axis = 0; axis < 3; ++axis) {
        for (size_t i = 0; i < n; ++i) {
            double lo = HUGE_VAL;
            double hi = -HUGE_VAL;
            for (const MapVertex& v : pieces[i].v) {
                const double c = axis == 0 ? v.x : axis == 1 ? v.y : v.z;
                lo = std::fmin(lo, c);
                hi = std::fmax(hi, c);
            }
            spans[i] = {lo, hi};
        }
        std::sort(spans.begin(), spans.end());
        double reach = spans[0].second;
        double bestBalance = HUGE_VAL;
        double at = 0;
        for (size_t i = 1; i < n; ++i) {
            if (spans[i].first > reach + 2 * GapMargin) {
                const double balance = std::fabs(double(i) - double(n - i));
                if (balance < bestBalance) {
                    bestBalance = balance;
                    at = (reach + spans[i].first) / 2;
                }
            }
            reach = std::fmax(reach, spans[i].second);
        }
        if (bestBalance < HUGE_VAL)
            out.push_back({axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f,
                           axis == 2 ? 1.0f : 0.0f, float(-at)});
    }
}

// Axis-aligned planes through the middle of the pieces' corners, one per axis.
void MiddlePlanes(const std::vector<BspPiece>& pieces, std::vector<Plane>& out) {
    for (int axis = 0; axis < 3; ++axis) {
        std::vector<float> at;
        at.reserve(pieces.size());
        for (const BspPiece& p : pieces)
            at.push_back(axis == 0 ? p.v[0].x : axis == 1 ? p.v[0].y : p.v[0].z);
        std::nth_element(at.begin(), at.begin() + ptrdiff_t(at.size() / 2), at.end());
        out.push_back({axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f, axis == 2 ? 1.0f : 0.0f,
                       -at[at.size() / 2]});
    }
}

struct Choice {
    Plane plane = {};
    size_t source = SIZE_MAX; // the piece that gave the plane; SIZE_MAX: a gap plane
    bool restInFront = false; // for a one-sided choice: where the other pieces lie
};

// The best plane. When it cuts nothing and leaves every other piece on one side (a face of a
// convex cluster), `chain` lists every candidate that does so too, best first: they can all
// be taken in a row without looking again, which keeps chains of such nodes linear in time.
// Such rows deepen the tree by one level per face; without allowOneSided the plane must part
// the pieces, if need be an axis-aligned plane through their middle.
Choice ChoosePlane(const std::vector<BspPiece>& pieces, bool allowOneSided,
                   std::vector<Choice>& chain) {
    const size_t n = pieces.size();
    // Candidates: axis-aligned pieces first, then the largest; ties by position for a
    // deterministic choice.
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    const size_t count = std::min(n, std::clamp(CandidateWork / n, MinCandidates, MaxCandidates));
    std::vector<double> area(n);
    for (size_t i = 0; i < n; ++i)
        area[i] = PieceArea(pieces[i]);
    std::partial_sort(order.begin(), order.begin() + ptrdiff_t(count), order.end(),
                      [&](size_t l, size_t r) {
                          const bool al = AxisAligned(pieces[l].plane);
                          const bool ar = AxisAligned(pieces[r].plane);
                          if (al != ar) return al;
                          if (area[l] != area[r]) return area[l] > area[r];
                          return l < r;
                      });
    Choice best{pieces[order[0]].plane, order[0]};
    int64_t bestScore = -1;
    bool bestOneSided = false;
    std::vector<Plane> tried;
    chain.clear();
    auto consider = [&](const Plane& plane, size_t source) {
        if (std::any_of(tried.begin(), tried.end(),
                        [&](const Plane& p) { return SamePlane(p, plane); }))
            return;
        tried.push_back(plane);
        const Candidate c = Evaluate(plane, pieces, bestOneSided ? -1 : bestScore);
        const bool oneSided = c.spanning == 0 && (c.front == 0 || c.back == 0);
        // A free plane must leave pieces on both sides, or the recursion would not end; a
        // piece's plane holding all pieces is one node, never a row.
        if (oneSided && (source == SIZE_MAX || (!allowOneSided && c.front + c.back > 0))) return;
        if (oneSided) chain.push_back({plane, source, c.back == 0});
        const int64_t score = Score(c);
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = {plane, source, c.back == 0};
            bestOneSided = oneSided;
        }
    };
    for (size_t k = 0; k < count; ++k)
        consider(pieces[order[k]].plane, order[k]);
    std::vector<Plane> gaps;
    GapPlanes(pieces, gaps);
    if (!allowOneSided) MiddlePlanes(pieces, gaps);
    for (const Plane& plane : gaps)
        consider(plane, SIZE_MAX);
    if (!bestOneSided) chain.clear();
    return best;
}

struct Builder {
    int32_t maxDepth;
    BspStats& stats;
    BspcMessages& messages;

    bool DepthAllowed(int32_t depth) {
        if (depth <= maxDepth) return true;
        messages.error = "the tree would be deeper than the viewer's limit of " +
                         std::to_string(maxDepth) + " levels";
        stats.tooDeep = true;
        return false;
    }

    // Counts the node and, when its plane holds more polygons than a node can list, moves the
    // rest into nodes of the same plane, each the back child of the one before. Whichever
    // side the camera is on, they are drawn in one run between the two subtrees, as one
    // node's would be. Returns the last node of that run; depth becomes its depth.
    BspNode* Finish(BspNode& node, int32_t& depth) {
        stats.depth = std::max(stats.depth, depth);
        ++stats.nodes;
        stats.outputTriangles += int64_t(node.polygons.size());
        BspNode* last = &node;
        while (last->polygons.size() > size_t(MaxMapCount)) {
            auto next = std::make_unique<BspNode>();
            next->plane = node.plane;
            next->polygons.assign(last->polygons.begin() + MaxMapCount, last->polygons.end());
            last->polygons.resize(size_t(MaxMapCount));
            last->back = std::move(next);
            last = last->back.get();
            ++stats.nodes;
            stats.depth = std::max(stats.depth, ++depth);
        }
        return last;
    }

    std::unique_ptr<BspNode> Build(std::vector<BspPiece> pieces, int32_t depth) {
        std::unique_ptr<BspNode> top;
        std::unique_ptr<BspNode>* slot = &top;
        std::vector<Choice> chain;
        for (;;) {
            if (!DepthAllowed(depth)) return nullptr;
            // Rows of one-sided planes only while the tree has depth to spare for them.
            const bool allowOneSided =
                int64_t(pieces.size()) * OneSidedDepthShare < int64_t(maxDepth - depth);
            const Choice choice = ChoosePlane(pieces, allowOneSided, chain);
            if (!chain.empty()) {
                // A row of nodes, each holding the pieces in its plane, the rest all on one
                // side of it.
                std::vector<bool> taken(pieces.size(), false);
                for (const Choice& link : chain) {
                    if (taken[link.source]) continue; // it lay in an earlier link's plane
                    if (!DepthAllowed(depth)) return nullptr;
                    auto node = std::make_unique<BspNode>();
                    node->plane = link.plane;
                    for (size_t i = 0; i < pieces.size(); ++i) {
                        if (taken[i] || (i != link.source &&
                                         ClassifyPiece(link.plane, pieces[i]) != PlaneSide::On))
                            continue;
                        TriangulatePiece(pieces[i], node->polygons);
                        taken[i] = true;
                    }
                    BspNode* last = Finish(*node, depth);
                    BspNode* first = node.get();
                    *slot = std::move(node);
                    slot = link.restInFront ? &first->front : &last->back;
                    ++depth;
                }
                size_t kept = 0;
                for (size_t i = 0; i < pieces.size(); ++i) {
                    if (taken[i]) continue;
                    if (kept != i) pieces[kept] = std::move(pieces[i]);
                    ++kept;
                }
                pieces.resize(kept);
                if (pieces.empty()) return top;
                continue;
            }
            auto node = std::make_unique<BspNode>();
            node->plane = choice.plane;
            std::vector<BspPiece> front;
            std::vector<BspPiece> back;
            for (size_t i = 0; i < pieces.size(); ++i) {
                BspPiece& p = pieces[i];
                // The piece that gave the plane always stays here, even where float rounding
                // of far-out coordinates puts its corners outside the epsilon band: every
                // node takes a piece or parts its pieces in two, so the recursion ends.
                const PlaneSide side =
                    i == choice.source ? PlaneSide::On : ClassifyPiece(node->plane, p);
                switch (side) {
                case PlaneSide::Front:
                    front.push_back(std::move(p));
                    break;
                case PlaneSide::Back:
                    back.push_back(std::move(p));
                    break;
                case PlaneSide::On:
                    TriangulatePiece(p, node->polygons);
                    break;
                case PlaneSide::Spanning: {
                    ++stats.splits;
                    BspPiece f;
                    BspPiece b;
                    SplitPiece(node->plane, p, f, b);
                    if (!f.v.empty()) front.push_back(std::move(f));
                    if (!b.v.empty()) back.push_back(std::move(b));
                    break;
                }
                }
            }
            pieces.clear();
            pieces.shrink_to_fit();
            int32_t lastDepth = depth;
            BspNode* last = Finish(*node, lastDepth);
            if (!front.empty()) {
                node->front = Build(std::move(front), depth + 1);
                if (!node->front) return nullptr;
            }
            if (!back.empty()) {
                last->back = Build(std::move(back), lastDepth + 1);
                if (!last->back) return nullptr;
            }
            *slot = std::move(node);
            return top;
        }
    }
};

} // namespace

PlaneSide ClassifyPiece(const Plane& plane, const BspPiece& piece) {
    bool front = false;
    bool back = false;
    for (const MapVertex& v : piece.v) {
        const int side = SideOf(PlaneDistance(plane, v));
        front |= side > 0;
        back |= side < 0;
    }
    if (front && back) return PlaneSide::Spanning;
    if (front) return PlaneSide::Front;
    if (back) return PlaneSide::Back;
    return PlaneSide::On;
}

void SplitPiece(const Plane& plane, const BspPiece& piece, BspPiece& front, BspPiece& back) {
    front = {{}, {}, {piece.corners[0], piece.corners[1], piece.corners[2]}, piece.texture,
             piece.plane};
    back = front;
    const size_t n = piece.v.size();
    std::vector<int> sides(n);
    for (size_t i = 0; i < n; ++i)
        sides[i] = SideOf(PlaneDistance(plane, piece.v[i]));
    auto push = [](BspPiece& p, const MapVertex& v, int8_t edge) {
        p.v.push_back(v);
        p.edges.push_back(edge);
    };
    for (size_t i = 0; i < n; ++i) {
        const size_t next = (i + 1) % n;
        const int8_t edge = piece.edges[i];
        const bool cut = sides[i] * sides[next] < 0;
        // The edge leaving a kept corner follows the old edge unless the piece turns along
        // the plane there.
        if (sides[i] >= 0) push(front, piece.v[i], cut || sides[next] >= 0 ? edge : -1);
        if (sides[i] <= 0) push(back, piece.v[i], cut || sides[next] <= 0 ? edge : -1);
        if (cut) {
            const MapVertex at =
                edge >= 0 ? EdgeIntersection(plane, piece.corners[edge], piece.corners[(edge + 1) % 3])
                          : EdgeIntersection(plane, piece.v[i], piece.v[next]);
            push(front, at, sides[next] > 0 ? edge : -1);
            push(back, at, sides[next] < 0 ? edge : -1);
        }
    }
    if (front.v.size() < 3 || PieceArea(front) <= MinPieceDoubleArea) front.v.clear();
    if (back.v.size() < 3 || PieceArea(back) <= MinPieceDoubleArea) back.v.clear();
}

BspPiece PieceOf(const BspTriangle& t) {
    return {{t.v[0], t.v[1], t.v[2]}, {0, 1, 2}, {t.v[0], t.v[1], t.v[2]}, t.texture, t.plane};
}

void TriangulatePiece(const BspPiece& piece, std::vector<BspTriangle>& out) {
    const size_t n = piece.v.size();
    if (n < 3) return;
    size_t apex = 0;
    double fattest = -1;
    for (size_t a = 0; a < n; ++a) {
        double thinnest = HUGE_VAL;
        for (size_t k = 1; k + 1 < n; ++k)
            thinnest = std::fmin(thinnest, DoubleArea(piece.v[a], piece.v[(a + k) % n],
                                                      piece.v[(a + k + 1) % n]));
        if (thinnest > fattest) {
            fattest = thinnest;
            apex = a;
        }
    }
    for (size_t k = 1; k + 1 < n; ++k) {
        BspTriangle t;
        t.v[0] = piece.v[apex];
        t.v[1] = piece.v[(apex + k) % n];
        t.v[2] = piece.v[(apex + k + 1) % n];
        t.texture = piece.texture;
        t.plane = piece.plane;
        if (DoubleArea(t.v[0], t.v[1], t.v[2]) > MinPieceDoubleArea) out.push_back(t);
    }
}

void CollectTriangles(const BspNode& node, std::vector<BspTriangle>& out) {
    out.insert(out.end(), node.polygons.begin(), node.polygons.end());
    if (node.front) CollectTriangles(*node.front, out);
    if (node.back) CollectTriangles(*node.back, out);
}

std::unique_ptr<BspNode> BuildBsp(const std::vector<BspTriangle>& triangles, int32_t maxDepth,
                                  BspStats& stats, BspcMessages& messages) {
    if (triangles.empty()) {
        messages.error = "nothing to build a tree from";
        return nullptr;
    }
    std::vector<BspPiece> pieces;
    pieces.reserve(triangles.size());
    for (const BspTriangle& t : triangles)
        pieces.push_back(PieceOf(t));
    Builder builder{maxDepth, stats, messages};
    return builder.Build(std::move(pieces), 1);
}
