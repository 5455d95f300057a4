#include "tools/mapgen/face_tree.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <unordered_set>

namespace {

// Splitting is cheap here (no vertex is added), balance is what keeps the walk shallow.
constexpr int64_t SplitCost = 2;

bool OnLattice(const Face& f, int32_t cell) {
    for (int32_t v : {f.at, f.lo[0], f.lo[1], f.hi[0], f.hi[1]})
        if (v % cell != 0) return false;
    return f.lo[0] < f.hi[0] && f.lo[1] < f.hi[1];
}

// The corner (s, t) of a face as a map vertex; u runs along x for floors and walls across
// x, else along z; v runs down the walls and along z on floors.
MapVertex VertexAt(const Face& f, int32_t s, int32_t t, const TextureSize& size) {
    int32_t p[3];
    p[f.axis] = f.at;
    p[(f.axis + 1) % 3] = s;
    p[(f.axis + 2) % 3] = t;
    const int32_t across = f.axis == 0 ? p[2] : p[0];
    const int32_t down = f.axis == 1 ? p[2] : -p[1];
    // Powers of two divide exactly.
    return {float(p[0]), float(p[1]), float(p[2]), float(across) / float(size.width),
            float(down) / float(size.height)};
}

// Seen from its facing side, the plane's normal points away: into the wall.
Plane FacePlane(const Face& f) {
    float n[3] = {0.0f, 0.0f, 0.0f};
    n[f.axis] = f.facing > 0 ? -1.0f : 1.0f;
    return {n[0], n[1], n[2], float(f.facing > 0 ? f.at : -f.at)};
}

// Cells in order along the first extent, then the second; each quad's corners run
// counter-clockwise seen from +axis, so the facing side decides the winding.
template <typename F> void ForEachCell(const Face& f, int32_t cell, F visit) {
    for (int32_t s = f.lo[0]; s < f.hi[0]; s += cell)
        for (int32_t t = f.lo[1]; t < f.hi[1]; t += cell)
            visit(s, t, s + cell, t + cell);
}

void AppendTriangles(const Face& f, int32_t cell, const TextureSize& size,
                     std::vector<BspTriangle>& out) {
    const Plane plane = FacePlane(f);
    ForEachCell(f, cell, [&](int32_t s0, int32_t t0, int32_t s1, int32_t t1) {
        const MapVertex q[4] = {VertexAt(f, s0, t0, size), VertexAt(f, s1, t0, size),
                                VertexAt(f, s1, t1, size), VertexAt(f, s0, t1, size)};
        const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const auto& o : order) {
            BspTriangle t;
            t.v[0] = q[o[0]];
            t.v[1] = f.facing > 0 ? q[o[1]] : q[o[2]];
            t.v[2] = f.facing > 0 ? q[o[2]] : q[o[1]];
            t.texture = f.texture;
            t.plane = plane;
            out.push_back(t);
        }
    });
}

enum class Side { Front, Back, In, Both };

// Where a face lies against the plane where coordinate `axis` equals `at`.
Side SideOf(const Face& f, int axis, int32_t at) {
    if (f.axis == axis) return f.at == at ? Side::In : f.at > at ? Side::Front : Side::Back;
    const int k = axis == (f.axis + 1) % 3 ? 0 : 1;
    if (f.lo[k] >= at) return Side::Front;
    if (f.hi[k] <= at) return Side::Back;
    return Side::Both;
}

struct Splitter {
    int axis;
    int32_t at;
};

// The face plane that halves the faces best, splits counted against it; ties go to the
// first in (axis, at) order, so the tree never depends on the faces' order.
Splitter ChooseSplitter(const std::vector<Face>& faces) {
    std::vector<Splitter> candidates;
    for (const Face& f : faces)
        candidates.push_back({f.axis, f.at});
    std::sort(candidates.begin(), candidates.end(), [](const Splitter& a, const Splitter& b) {
        return a.axis != b.axis ? a.axis < b.axis : a.at < b.at;
    });
    candidates.erase(std::unique(candidates.begin(), candidates.end(),
                                 [](const Splitter& a, const Splitter& b) {
                                     return a.axis == b.axis && a.at == b.at;
                                 }),
                     candidates.end());
    Splitter best = candidates.front();
    int64_t bestScore = INT64_MAX;
    for (const Splitter& c : candidates) {
        int64_t front = 0, back = 0, split = 0;
        for (const Face& f : faces) {
            switch (SideOf(f, c.axis, c.at)) {
            case Side::Front:
                ++front;
                break;
            case Side::Back:
                ++back;
                break;
            case Side::Both:
                ++split;
                break;
            case Side::In:
                break;
            }
        }
        const int64_t score = std::llabs(front - back) + SplitCost * split;
        if (score < bestScore) {
            bestScore = score;
            best = c;
        }
    }
    return best;
}

struct TreeBuilder {
    int32_t cell;
    std::span<const TextureSize> textures;
    FaceTreeStats& stats;

    std::unique_ptr<BspNode> Build(std::vector<Face> faces, int32_t depth) {
        if (faces.empty()) return nullptr;
        stats.depth = std::max(stats.depth, depth);
        ++stats.nodes;
        const Splitter s = ChooseSplitter(faces);
        auto node = std::make_unique<BspNode>();
        float n[3] = {0.0f, 0.0f, 0.0f};
        n[s.axis] = 1.0f;
        node->plane = {n[0], n[1], n[2], float(-s.at)};
        std::vector<Face> front, back;
        for (const Face& f : faces) {
            switch (SideOf(f, s.axis, s.at)) {
            case Side::In:
                AppendTriangles(f, cell, textures[size_t(f.texture)], node->polygons);
                break;
            case Side::Front:
                front.push_back(f);
                break;
            case Side::Back:
                back.push_back(f);
                break;
            case Side::Both: {
                ++stats.splits;
                const int k = s.axis == (f.axis + 1) % 3 ? 0 : 1;
                Face low = f, high = f;
                low.hi[k] = s.at;
                high.lo[k] = s.at;
                back.push_back(low);
                front.push_back(high);
                break;
            }
            }
        }
        faces.clear();
        faces.shrink_to_fit();
        stats.triangles += int64_t(node->polygons.size());
        node->front = Build(std::move(front), depth + 1);
        node->back = Build(std::move(back), depth + 1);
        return node;
    }
};

} // namespace

std::unique_ptr<BspNode> BuildFaceTree(std::vector<Face> faces, int32_t cell,
                                       std::span<const TextureSize> textures, FaceTreeStats& stats) {
    stats = {};
    for (const Face& f : faces)
        if (cell <= 0 || !OnLattice(f, cell) || f.texture < 0 ||
            size_t(f.texture) >= textures.size())
            return nullptr;
    return TreeBuilder{cell, textures, stats}.Build(std::move(faces), 1);
}

int64_t CountFaceTriangles(std::span<const Face> faces, int32_t cell) {
    int64_t n = 0;
    for (const Face& f : faces)
        n += 2 * int64_t((f.hi[0] - f.lo[0]) / cell) * ((f.hi[1] - f.lo[1]) / cell);
    return n;
}

int64_t CountFaceVertices(std::span<const Face> faces, int32_t cell,
                          std::span<const TextureSize> textures) {
    struct Key {
        uint32_t bits[5];
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            uint64_t h = 0;
            for (uint32_t b : k.bits)
                h = (h ^ b) * 0x100000001B3ull;
            return size_t(h);
        }
    };
    std::unordered_set<Key, KeyHash> seen;
    for (const Face& f : faces) {
        const TextureSize& size = textures[size_t(f.texture)];
        for (int32_t s = f.lo[0]; s <= f.hi[0]; s += cell) {
            for (int32_t t = f.lo[1]; t <= f.hi[1]; t += cell) {
                const MapVertex v = VertexAt(f, s, t, size);
                seen.insert({{std::bit_cast<uint32_t>(v.x), std::bit_cast<uint32_t>(v.y),
                              std::bit_cast<uint32_t>(v.z), std::bit_cast<uint32_t>(v.u),
                              std::bit_cast<uint32_t>(v.v)}});
            }
        }
    }
    return int64_t(seen.size());
}
