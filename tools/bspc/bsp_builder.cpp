#include "tools/bspc/bsp_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <numeric>
#include <tuple>

namespace {

// Candidate planes of pieces tried per node. On test models (a 1,368-triangle spider, a
// 3,732-triangle character) the 128 largest grew them 3.5x and 3.0x with the greedy choice
// alone, and all of them no less; with mending that skips piercing surfaces, splits scored by
// the triangles they add and trial builds in small sets, 2.6x and 2.8x. Large sets try fewer,
// so that a node costs at most about CandidateWork piece tests.
constexpr size_t MaxCandidates = 128;
constexpr size_t MinCandidates = 16;
constexpr size_t CandidateWork = size_t(1) << 18;
// One added triangle costs about as much as this much imbalance: cuts add triangles,
// imbalance leaves larger sets to split later.
constexpr int64_t TriangleWeight = 4;
// Sets of at most this many pieces choose among their LookaheadCandidates best planes by
// building both sides greedily for each and counting the triangles that adds. Measured on
// the spider: 30 pieces 2.76x, 50 2.63x, 100 2.66x in twice the time.
constexpr size_t LookaheadPieces = 50;
constexpr size_t LookaheadCandidates = 32;
// Trial builds stop after this many piece tests per input triangle, and after LookaheadCap
// in all, so that large scenes stay fast; the spider uses about 13,000 per triangle.
constexpr int64_t LookaheadWorkPerTriangle = 16384;
constexpr int64_t LookaheadCap = int64_t(1) << 24;
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
    int64_t added = 0; // triangles the cuts add, in the tree and in mending
};

// The original triangle across each edge, and which of them have pieces in the set being
// parted. A cut through an edge leaves a vertex inside the polygon across it, which mending
// pays a triangle for, unless that polygon is in the set and cut along with it.
struct Adjacency {
    std::vector<std::array<int32_t, 3>> neighbour; // -1: an open edge
    std::vector<uint32_t> stamp;
    uint32_t generation = 0;
    int64_t work = 0; // piece tests so far

    void Mark(const std::vector<BspPiece>& pieces) {
        ++generation;
        for (const BspPiece& p : pieces)
            if (p.source >= 0) stamp[size_t(p.source)] = generation;
    }
    bool Cracks(const BspPiece& p, int8_t edge) const {
        if (edge < 0) return true; // a cut's other side went to the other subtree
        if (p.source < 0) return false;
        const int32_t n = neighbour[size_t(p.source)][size_t(edge)];
        return n >= 0 && stamp[size_t(n)] != generation;
    }
};

// The triangles that cutting a spanning piece adds: each side keeps its corners on its side
// and on the plane and gains the cut points, so the two fans have front + back + 2 * cuts - 4
// triangles where the piece had n - 2; and one for each crack it leaves.
int64_t AddedByCut(const BspPiece& p, const int* sides, const Adjacency& adjacency) {
    const size_t n = p.v.size();
    int64_t kept = 0;
    int64_t added = 0;
    for (size_t i = 0; i < n; ++i) {
        kept += sides[i] == 0 ? 2 : 1;
        if (sides[i] * sides[(i + 1) % n] < 0) added += 2 + (adjacency.Cracks(p, p.edges[i]) ? 1 : 0);
    }
    return added + kept - 4 - (int64_t(n) - 2);
}

// Counts the pieces on each side; stops early once the cuts alone score worse than `bound`
// (a negative bound never stops).
// `sides` is scratch space, kept by the caller across candidates.
Candidate Evaluate(const Plane& plane, const std::vector<BspPiece>& pieces, int64_t bound,
                   Adjacency& adjacency, std::vector<int>& sides) {
    Candidate c;
    for (const BspPiece& p : pieces) {
        ++adjacency.work;
        bool front = false;
        bool back = false;
        sides.resize(p.v.size());
        for (size_t i = 0; i < p.v.size(); ++i) {
            sides[i] = SideOf(PlaneDistance(plane, p.v[i]));
            front |= sides[i] > 0;
            back |= sides[i] < 0;
        }
        if (front && back) {
            ++c.spanning;
            c.added += AddedByCut(p, sides.data(), adjacency);
            if (bound >= 0 && c.added * TriangleWeight > bound) return c;
        } else if (front) {
            ++c.front;
        } else if (back) {
            ++c.back;
        }
    }
    return c;
}

int64_t Score(const Candidate& c) {
    return TriangleWeight * c.added + std::llabs(c.front - c.back);
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
// ranked, when given, receives every plane that parts the pieces, with its score.
Choice ChoosePlane(const std::vector<BspPiece>& pieces, bool allowOneSided,
                   std::vector<Choice>& chain, Adjacency& adjacency,
                   std::vector<std::pair<int64_t, Choice>>* ranked) {
    adjacency.Mark(pieces);
    if (ranked) ranked->clear();
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
    std::vector<int> sides;
    chain.clear();
    auto consider = [&](const Plane& plane, size_t source) {
        if (std::any_of(tried.begin(), tried.end(),
                        [&](const Plane& p) { return SamePlane(p, plane); }))
            return;
        tried.push_back(plane);
        const Candidate c =
            Evaluate(plane, pieces, bestOneSided || ranked ? -1 : bestScore, adjacency, sides);
        const bool oneSided = c.spanning == 0 && (c.front == 0 || c.back == 0);
        // A free plane must leave pieces on both sides, or the recursion would not end; a
        // piece's plane holding all pieces is one node, never a row.
        if (oneSided && (source == SIZE_MAX || (!allowOneSided && c.front + c.back > 0))) return;
        if (oneSided) chain.push_back({plane, source, c.back == 0});
        const int64_t score = Score(c);
        if (ranked && !oneSided) ranked->push_back({score, {plane, source, c.back == 0}});
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
    Adjacency& adjacency;
    int64_t lookaheadWork; // trial builds only while adjacency.work is below this
    int64_t cracks = 0;    // cut points left inside polygons elsewhere

    // The triangles that parting the set by `choice` and building both sides greedily adds,
    // in the tree and in mending; -1 when that tree would be too deep.
    int64_t Trial(const std::vector<BspPiece>& pieces, const Choice& choice, int32_t depth) {
        BspStats scratch;
        BspcMessages quiet;
        Builder greedy{maxDepth, scratch, quiet, adjacency, 0};
        std::vector<BspPiece> copy = pieces;
        adjacency.Mark(copy);
        BspNode node;
        std::vector<BspPiece> front;
        std::vector<BspPiece> back;
        greedy.Part(copy, choice, node, front, back);
        scratch.outputTriangles += int64_t(node.polygons.size());
        if (!front.empty() && !greedy.Build(std::move(front), depth + 1)) return -1;
        if (!back.empty() && !greedy.Build(std::move(back), depth + 1)) return -1;
        return scratch.outputTriangles + greedy.cracks;
    }

    // The pieces lying in the node's plane become its polygons; the others go to the side
    // they lie on, cut in two where they span it. Needs the set marked in adjacency.
    void Part(std::vector<BspPiece>& pieces, const Choice& choice, BspNode& node,
              std::vector<BspPiece>& front, std::vector<BspPiece>& back) {
        node.plane = choice.plane;
        std::vector<int> sides;
        for (size_t i = 0; i < pieces.size(); ++i) {
            BspPiece& p = pieces[i];
            // The piece that gave the plane always stays here, even where float rounding
            // of far-out coordinates puts its corners outside the epsilon band: every
            // node takes a piece or parts its pieces in two, so the recursion ends.
            const PlaneSide side = i == choice.source ? PlaneSide::On : ClassifyPiece(node.plane, p);
            switch (side) {
            case PlaneSide::Front:
                front.push_back(std::move(p));
                break;
            case PlaneSide::Back:
                back.push_back(std::move(p));
                break;
            case PlaneSide::On:
                TriangulatePiece(p, node.polygons);
                break;
            case PlaneSide::Spanning: {
                ++stats.splits;
                const size_t n = p.v.size();
                sides.resize(n);
                for (size_t k = 0; k < n; ++k)
                    sides[k] = SideOf(PlaneDistance(node.plane, p.v[k]));
                for (size_t k = 0; k < n; ++k)
                    if (sides[k] * sides[(k + 1) % n] < 0 && adjacency.Cracks(p, p.edges[k]))
                        ++cracks;
                BspPiece f;
                BspPiece b;
                SplitPiece(node.plane, p, f, b);
                if (!f.v.empty()) front.push_back(std::move(f));
                if (!b.v.empty()) back.push_back(std::move(b));
                break;
            }
            }
        }
    }

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
        std::vector<std::pair<int64_t, Choice>> ranked;
        for (;;) {
            if (!DepthAllowed(depth)) return nullptr;
            // Rows of one-sided planes only while the tree has depth to spare for them.
            const bool allowOneSided =
                int64_t(pieces.size()) * OneSidedDepthShare < int64_t(maxDepth - depth);
            const bool lookahead =
                pieces.size() <= LookaheadPieces && adjacency.work < lookaheadWork;
            Choice choice =
                ChoosePlane(pieces, allowOneSided, chain, adjacency, lookahead ? &ranked : nullptr);
            if (lookahead && chain.empty() && ranked.size() > 1) {
                std::stable_sort(ranked.begin(), ranked.end(),
                                 [](const auto& l, const auto& r) { return l.first < r.first; });
                ranked.resize(std::min(ranked.size(), LookaheadCandidates));
                int64_t least = -1;
                for (const auto& [score, candidate] : ranked) {
                    const int64_t added = Trial(pieces, candidate, depth);
                    if (added >= 0 && (least < 0 || added < least)) {
                        least = added;
                        choice = candidate;
                    }
                }
                adjacency.Mark(pieces);
            }
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
            std::vector<BspPiece> front;
            std::vector<BspPiece> back;
            Part(pieces, choice, *node, front, back);
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

// Across each edge, the triangle that runs along it the other way, matched by exact position.
std::vector<std::array<int32_t, 3>> Neighbours(const std::vector<BspTriangle>& triangles) {
    using Key = std::tuple<float, float, float, float, float, float>;
    auto key = [](const MapVertex& a, const MapVertex& b) {
        return Key{a.x, a.y, a.z, b.x, b.y, b.z};
    };
    std::map<Key, int32_t> edges;
    for (size_t i = 0; i < triangles.size(); ++i)
        for (int k = 0; k < 3; ++k)
            edges.emplace(key(triangles[i].v[k], triangles[i].v[(k + 1) % 3]), int32_t(i));
    std::vector<std::array<int32_t, 3>> out(triangles.size());
    for (size_t i = 0; i < triangles.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            const auto found = edges.find(key(triangles[i].v[(k + 1) % 3], triangles[i].v[k]));
            out[i][size_t(k)] = found == edges.end() ? -1 : found->second;
        }
    return out;
}

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
             piece.plane, piece.source};
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
    for (const BspTriangle& t : triangles) {
        pieces.push_back(PieceOf(t));
        pieces.back().source = int32_t(pieces.size() - 1);
    }
    Adjacency adjacency;
    adjacency.neighbour = Neighbours(triangles);
    adjacency.stamp.assign(triangles.size(), 0);
    const int64_t work =
        std::min(LookaheadCap, LookaheadWorkPerTriangle * int64_t(triangles.size()));
    Builder builder{maxDepth, stats, messages, adjacency, work};
    return builder.Build(std::move(pieces), 1);
}
