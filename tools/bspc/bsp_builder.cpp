#include "tools/bspc/bsp_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Candidate planes tried per node; larger sets are sampled evenly, which keeps the
// build near n log n while the choice stays deterministic.
constexpr size_t MaxCandidates = 40;
// One split costs about as much as this much imbalance: splits add triangles and
// fragment textures, imbalance adds depth.
constexpr int64_t SplitWeight = 16;

struct Candidate {
    int64_t front = 0;
    int64_t back = 0;
    int64_t spanning = 0;
};

int SideOf(double distance) {
    if (distance > PlaneEpsilon) return 1;
    if (distance < -PlaneEpsilon) return -1;
    return 0;
}

// The point where the edge a-b meets the plane. The edge is taken in a fixed order of
// its end points, so that two triangles sharing the edge get the very same new vertex.
MapVertex EdgeIntersection(const Plane& plane, MapVertex a, MapVertex b) {
    auto key = [](const MapVertex& v) { return std::tuple(v.x, v.y, v.z, v.u, v.v); };
    if (key(b) < key(a)) std::swap(a, b);
    const double da = PlaneDistance(plane, a);
    const double db = PlaneDistance(plane, b);
    const double t = da / (da - db);
    auto lerp = [t](float p, float q) { return float(double(p) + t * (double(q) - double(p))); };
    return {lerp(a.x, b.x), lerp(a.y, b.y), lerp(a.z, b.z), lerp(a.u, b.u), lerp(a.v, b.v)};
}

// Twice the area, for dropping pieces that would draw nothing.
double DoubleArea(const MapVertex& a, const MapVertex& b, const MapVertex& c) {
    const Vector3d n = Cross(Difference(b, a), Difference(c, a));
    return std::sqrt(Dot(n, n));
}

constexpr double MinPieceDoubleArea = 1e-9;

// Fans a convex piece of 3 or 4 vertices into triangles that keep the parent's winding,
// plane and texture. Of a quad's two diagonals the one with the fatter triangles wins.
void EmitPiece(const BspTriangle& parent, const MapVertex* v, int count,
               std::vector<BspTriangle>& out) {
    auto emit = [&](const MapVertex& a, const MapVertex& b, const MapVertex& c) {
        if (DoubleArea(a, b, c) <= MinPieceDoubleArea) return;
        BspTriangle t = parent;
        t.v[0] = a;
        t.v[1] = b;
        t.v[2] = c;
        out.push_back(t);
    };
    if (count == 3) {
        emit(v[0], v[1], v[2]);
        return;
    }
    const double first = std::min(DoubleArea(v[0], v[1], v[2]), DoubleArea(v[0], v[2], v[3]));
    const double second = std::min(DoubleArea(v[1], v[2], v[3]), DoubleArea(v[1], v[3], v[0]));
    if (first >= second) {
        emit(v[0], v[1], v[2]);
        emit(v[0], v[2], v[3]);
    } else {
        emit(v[1], v[2], v[3]);
        emit(v[1], v[3], v[0]);
    }
}

Candidate Evaluate(const Plane& plane, const std::vector<BspTriangle>& triangles) {
    Candidate c;
    for (const BspTriangle& t : triangles) {
        switch (ClassifyTriangle(plane, t)) {
        case PlaneSide::Front:
            ++c.front;
            break;
        case PlaneSide::Back:
            ++c.back;
            break;
        case PlaneSide::Spanning:
            ++c.spanning;
            break;
        case PlaneSide::On:
            break;
        }
    }
    return c;
}

bool SamePlane(const Plane& p, const Plane& q) {
    return p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d;
}

size_t ChoosePlane(const std::vector<BspTriangle>& triangles) {
    const size_t n = triangles.size();
    const size_t samples = std::min(n, MaxCandidates);
    size_t best = 0;
    int64_t bestScore = -1;
    std::vector<Plane> tried;
    for (size_t s = 0; s < samples; ++s) {
        const size_t index = s * n / samples;
        const Plane& plane = triangles[index].plane;
        const Plane flipped = {-plane.a, -plane.b, -plane.c, -plane.d};
        if (std::any_of(tried.begin(), tried.end(), [&](const Plane& p) {
                return SamePlane(p, plane) || SamePlane(p, flipped);
            }))
            continue;
        tried.push_back(plane);
        const Candidate c = Evaluate(plane, triangles);
        const int64_t score = SplitWeight * c.spanning + std::llabs(c.front - c.back);
        if (bestScore < 0 || score < bestScore) {
            bestScore = score;
            best = index;
        }
    }
    return best;
}

struct Builder {
    int32_t maxDepth;
    BspStats& stats;
    BspcMessages& messages;

    std::unique_ptr<BspNode> Build(std::vector<BspTriangle> triangles, int32_t depth) {
        if (depth > maxDepth) {
            messages.error = "the tree would be deeper than the loader's limit of " +
                             std::to_string(maxDepth) + " levels (MaxMapTreeDepth)";
            return nullptr;
        }
        stats.depth = std::max(stats.depth, depth);
        ++stats.nodes;
        auto node = std::make_unique<BspNode>();
        const size_t chosen = ChoosePlane(triangles);
        node->plane = triangles[chosen].plane;
        std::vector<BspTriangle> front;
        std::vector<BspTriangle> back;
        for (size_t i = 0; i < triangles.size(); ++i) {
            const BspTriangle& t = triangles[i];
            // The triangle that gave the plane always stays here, even where float rounding
            // of far-out coordinates puts its corners outside the epsilon band: every node
            // takes at least one triangle, so the recursion ends.
            const PlaneSide side = i == chosen ? PlaneSide::On : ClassifyTriangle(node->plane, t);
            switch (side) {
            case PlaneSide::Front:
                front.push_back(t);
                break;
            case PlaneSide::Back:
                back.push_back(t);
                break;
            case PlaneSide::On:
                node->polygons.push_back(t);
                break;
            case PlaneSide::Spanning:
                ++stats.splits;
                SplitTriangle(node->plane, t, front, back);
                break;
            }
        }
        stats.outputTriangles += int64_t(node->polygons.size());
        triangles.clear();
        triangles.shrink_to_fit();
        if (!front.empty()) {
            node->front = Build(std::move(front), depth + 1);
            if (!node->front) return nullptr;
        }
        if (!back.empty()) {
            node->back = Build(std::move(back), depth + 1);
            if (!node->back) return nullptr;
        }
        return node;
    }
};

} // namespace

PlaneSide ClassifyTriangle(const Plane& plane, const BspTriangle& triangle) {
    bool front = false;
    bool back = false;
    for (const MapVertex& v : triangle.v) {
        const int side = SideOf(PlaneDistance(plane, v));
        front |= side > 0;
        back |= side < 0;
    }
    if (front && back) return PlaneSide::Spanning;
    if (front) return PlaneSide::Front;
    if (back) return PlaneSide::Back;
    return PlaneSide::On;
}

void SplitTriangle(const Plane& plane, const BspTriangle& triangle, std::vector<BspTriangle>& front,
                   std::vector<BspTriangle>& back) {
    MapVertex frontPiece[4];
    MapVertex backPiece[4];
    int frontCount = 0;
    int backCount = 0;
    int sides[3];
    for (int i = 0; i < 3; ++i)
        sides[i] = SideOf(PlaneDistance(plane, triangle.v[i]));
    for (int i = 0; i < 3; ++i) {
        const int next = (i + 1) % 3;
        const MapVertex& current = triangle.v[i];
        if (sides[i] >= 0) frontPiece[frontCount++] = current;
        if (sides[i] <= 0) backPiece[backCount++] = current;
        if (sides[i] * sides[next] < 0) {
            const MapVertex cut = EdgeIntersection(plane, current, triangle.v[next]);
            frontPiece[frontCount++] = cut;
            backPiece[backCount++] = cut;
        }
    }
    EmitPiece(triangle, frontPiece, frontCount, front);
    EmitPiece(triangle, backPiece, backCount, back);
}

std::unique_ptr<BspNode> BuildBsp(std::vector<BspTriangle> triangles, int32_t maxDepth,
                                  BspStats& stats, BspcMessages& messages) {
    if (triangles.empty()) {
        messages.error = "nothing to build a tree from";
        return nullptr;
    }
    Builder builder{maxDepth, stats, messages};
    return builder.Build(std::move(triangles), 1);
}
