#include "tools/bspc/mesh_prep.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <meshoptimizer.h>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "app/camera.h"
#include "app/screen.h"

namespace {

// The view's half sizes over the distance: a right angle wide (the focal length is half the
// screen's width), and as high as the screen's shape gives.
constexpr double HalfWidthSlope = 1.0;
constexpr double HalfHeightSlope = double(ScreenHeight) / double(ScreenWidth);
// A fitted scene's longest side, in map units: the camera moves 5 units a key press.
constexpr double FitSize = 100.0;
// The box's near face fills this share of the view in its tighter direction.
constexpr double FitShare = 2.0 / 3.0;
// Simplification that ends above this share of its target counts as stopped short.
constexpr double SimplifyTolerance = 1.25;

// Bit patterns of a vertex, -0 folded into +0: equal values, equal keys.
struct VertexKey {
    uint32_t bits[5];
    bool operator==(const VertexKey& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};

VertexKey KeyOf(const MapVertex& v, bool withUv) {
    auto bits = [](float f) { return std::bit_cast<uint32_t>(f == 0.0f ? 0.0f : f); };
    return {{bits(v.x), bits(v.y), bits(v.z), withUv ? bits(v.u) : 0u, withUv ? bits(v.v) : 0u}};
}

size_t HashBits(const uint32_t* bits, size_t count) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < count; ++i)
        h = (h ^ bits[i]) * 1099511628211ull;
    return size_t(h);
}

struct VertexKeyHash {
    size_t operator()(const VertexKey& k) const { return HashBits(k.bits, 5); }
};

// Numbers equal vertices alike, in order of first appearance.
struct VertexIndex {
    bool withUv;
    std::unordered_map<VertexKey, uint32_t, VertexKeyHash> index;
    std::vector<MapVertex> vertices;
    uint32_t operator()(const MapVertex& v) {
        auto [it, added] = index.emplace(KeyOf(v, withUv), uint32_t(vertices.size()));
        if (added) vertices.push_back(v);
        return it->second;
    }
};

struct FaceKey {
    uint32_t bits[16];
    bool operator==(const FaceKey& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};

struct FaceKeyHash {
    size_t operator()(const FaceKey& k) const { return HashBits(k.bits, 16); }
};

// The face's corners from its smallest one on, keeping the winding, and its texture.
FaceKey KeyOf(const BspTriangle& t) {
    VertexKey corners[3] = {KeyOf(t.v[0], true), KeyOf(t.v[1], true), KeyOf(t.v[2], true)};
    int first = 0;
    for (int k = 1; k < 3; ++k)
        if (std::memcmp(corners[k].bits, corners[first].bits, sizeof corners[k].bits) < 0)
            first = k;
    FaceKey key = {};
    for (int k = 0; k < 3; ++k)
        std::memcpy(&key.bits[k * 5], corners[(first + k) % 3].bits, sizeof corners[k].bits);
    key.bits[15] = uint32_t(t.texture);
    return key;
}

float CleanZero(float f) {
    return f == 0.0f ? 0.0f : f;
}

// Box projection: the axis the face's normal leans on most picks the two others, one texel
// per map unit, the texture upright on walls (v grows downwards, as texture rows do).
void ProjectTexture(BspTriangle& t, const PixelImage& image) {
    const double n[3] = {std::fabs(t.plane.a), std::fabs(t.plane.b), std::fabs(t.plane.c)};
    for (MapVertex& v : t.v) {
        double u = 0.0;
        double w = 0.0;
        if (n[1] >= n[0] && n[1] >= n[2]) {
            u = v.x;
            w = v.z;
        } else {
            u = n[0] >= n[2] ? v.z : v.x;
            w = -double(v.y);
        }
        v.u = float(u / image.width);
        v.v = float(w / image.height);
    }
}

int Find(std::vector<uint32_t>& parent, uint32_t i) {
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return int(i);
}

// Per edge between two numbered positions (the smaller in the high half), the directed uses
// (a, b) counted +1 for a < b and -1 for a > b: a matched pair cancels. ids: each triangle's
// position numbers.
using EdgeBalance = std::unordered_map<uint64_t, int32_t>;
EdgeBalance BalanceEdges(std::span<const BspTriangle> triangles, VertexIndex& positions,
                         std::vector<std::array<uint32_t, 3>>& ids) {
    EdgeBalance balance;
    ids.resize(triangles.size());
    for (size_t i = 0; i < triangles.size(); ++i) {
        for (int k = 0; k < 3; ++k)
            ids[i][size_t(k)] = positions(triangles[i].v[k]);
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = ids[i][size_t(k)];
            const uint32_t b = ids[i][size_t(k + 1) % 3];
            if (a != b) balance[uint64_t(std::min(a, b)) << 32 | std::max(a, b)] += a < b ? 1 : -1;
        }
    }
    return balance;
}

} // namespace

Placement FitPlacement(const Scene& scene) {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const SceneTriangle& t : scene.triangles)
        for (const auto& p : t.p)
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::fmin(lo[k], p[k]);
                hi[k] = std::fmax(hi[k], p[k]);
            }
    Placement placement;
    const double longest = std::fmax(hi[0] - lo[0], std::fmax(hi[1] - lo[1], hi[2] - lo[2]));
    if (!(longest > 0.0) || !std::isfinite(longest)) return placement;
    const double s = FitSize / longest;
    const double half[3] = {(hi[0] - lo[0]) * s / 2, (hi[1] - lo[1]) * s / 2,
                            (hi[2] - lo[2]) * s / 2};
    // The start camera's position and axes (right, up, forward) in map space, and the box's
    // half size along each axis (the map mirrors x and z, which leaves the sizes alone).
    const Matrix4 camera = StartCamera();
    const float* m = camera.m;
    double across[3] = {0.0, 0.0, 0.0};
    for (int axis = 0; axis < 3; ++axis)
        for (int k = 0; k < 3; ++k)
            across[axis] += std::fabs(double(m[4 * axis + k])) * half[k];
    // The near face's distance at which its larger side, against the view's half size in
    // that direction, fills the share.
    const double nearDistance =
        std::fmax(across[0] / HalfWidthSlope, across[1] / HalfHeightSlope) / FitShare;
    const double ahead = nearDistance + across[2];
    const double centre[3] = {m[12] + m[8] * ahead, m[13] + m[9] * ahead, m[14] + m[10] * ahead};
    placement.scale = s;
    // Map = (-X, Y, -Z) x s + offset, with the box's centre landing on `centre`.
    placement.offset[0] = centre[0] + (lo[0] + hi[0]) / 2 * s;
    placement.offset[1] = centre[1] - (lo[1] + hi[1]) / 2 * s;
    placement.offset[2] = centre[2] + (lo[2] + hi[2]) / 2 * s;
    return placement;
}

void PlaceTriangles(const Scene& scene, const TextureSet& textures, const Placement& placement,
                    bool doubleSided, std::vector<BspTriangle>& out, PlaceStats& stats) {
    const double s = placement.scale;
    const double* o = placement.offset;
    std::unordered_set<FaceKey, FaceKeyHash> seen;
    out.reserve(scene.triangles.size() * (doubleSided ? 2 : 1));
    auto add = [&](const BspTriangle& t) {
        if (seen.insert(KeyOf(t)).second)
            out.push_back(t);
        else
            ++stats.duplicates;
    };
    for (const SceneTriangle& source : scene.triangles) {
        BspTriangle t;
        t.texture = textures.slotOf[size_t(source.material)];
        for (int k = 0; k < 3; ++k) {
            MapVertex& v = t.v[k];
            v.x = CleanZero(float(-source.p[k][0] * s + o[0]));
            v.y = CleanZero(float(source.p[k][1] * s + o[1]));
            v.z = CleanZero(float(-source.p[k][2] * s + o[2]));
            v.u = CleanZero(source.uv[k][0]);
            v.v = CleanZero(source.uv[k][1]);
        }
        if (!TrianglePlane(t.v[0], t.v[1], t.v[2], t.plane)) {
            ++stats.degenerate;
            continue;
        }
        if (!source.hasUv && textures.drawsImage[size_t(source.material)])
            ProjectTexture(t, textures.images[size_t(t.texture)]);
        add(t);
        if (doubleSided) {
            BspTriangle back = t;
            std::swap(back.v[1], back.v[2]);
            back.plane = {-t.plane.a, -t.plane.b, -t.plane.c, -t.plane.d};
            add(back);
        }
    }
}

EdgeCount CountOpenEdges(std::span<const BspTriangle> triangles) {
    VertexIndex positions{false, {}, {}};
    std::vector<std::array<uint32_t, 3>> ids;
    const EdgeBalance balance = BalanceEdges(triangles, positions, ids);
    EdgeCount count;
    std::vector<uint32_t> parent(positions.vertices.size());
    std::iota(parent.begin(), parent.end(), 0u);
    std::vector<bool> onEdge(parent.size(), false);
    for (const auto& [edge, open] : balance) {
        if (open == 0) continue;
        count.openEdges += std::abs(open);
        const uint32_t a = uint32_t(edge >> 32);
        const uint32_t b = uint32_t(edge);
        const Vector3d d = Difference(positions.vertices[a], positions.vertices[b]);
        count.openLength += std::abs(open) * std::sqrt(Dot(d, d));
        onEdge[a] = onEdge[b] = true;
        parent[size_t(Find(parent, a))] = uint32_t(Find(parent, b));
    }
    for (uint32_t i = 0; i < parent.size(); ++i)
        count.loops += onEdge[i] && Find(parent, i) == int(i);
    return count;
}

std::vector<int32_t> ClosedParts(std::span<const BspTriangle> triangles) {
    VertexIndex positions{false, {}, {}};
    std::vector<std::array<uint32_t, 3>> ids;
    const EdgeBalance balance = BalanceEdges(triangles, positions, ids);
    std::vector<uint32_t> parent(positions.vertices.size());
    std::iota(parent.begin(), parent.end(), 0u);
    for (const auto& t : ids) {
        parent[size_t(Find(parent, t[0]))] = uint32_t(Find(parent, t[1]));
        parent[size_t(Find(parent, t[0]))] = uint32_t(Find(parent, t[2]));
    }
    std::vector<bool> open(parent.size(), false);
    for (const auto& [edge, count] : balance)
        if (count != 0) open[size_t(Find(parent, uint32_t(edge >> 32)))] = true;
    // Parts numbered by their first triangle, in input order.
    std::vector<int32_t> number(parent.size(), -1);
    std::vector<int32_t> part(triangles.size(), -1);
    int32_t parts = 0;
    for (size_t i = 0; i < triangles.size(); ++i) {
        const size_t root = size_t(Find(parent, ids[i][0]));
        if (open[root]) continue;
        if (number[root] < 0) number[root] = parts++;
        part[i] = number[root];
    }
    return part;
}

bool SimplifyTriangles(std::span<const BspTriangle> in, int64_t targetTriangles,
                       std::vector<BspTriangle>& out, float& error, bool& locked) {
    // One index buffer per texture over one shared vertex table, welded by position and
    // texture coordinate.
    VertexIndex vertices{true, {}, {}};
    std::vector<std::vector<uint32_t>> groups;
    for (const BspTriangle& t : in) {
        if (size_t(t.texture) >= groups.size()) groups.resize(size_t(t.texture) + 1);
        for (const MapVertex& v : t.v)
            groups[size_t(t.texture)].push_back(vertices(v));
    }
    std::vector<float> positions;
    positions.reserve(vertices.vertices.size() * 3);
    for (const MapVertex& v : vertices.vertices)
        positions.insert(positions.end(), {v.x, v.y, v.z});
    const double ratio = double(targetTriangles) / double(in.size());
    for (unsigned options : {unsigned(meshopt_SimplifyLockBorder), 0u}) {
        locked = options != 0;
        out.clear();
        error = 0.0f;
        std::vector<uint32_t> result;
        for (size_t texture = 0; texture < groups.size(); ++texture) {
            const std::vector<uint32_t>& indices = groups[texture];
            if (indices.empty()) continue;
            const size_t target = std::max<size_t>(3, size_t(double(indices.size()) * ratio) / 3 * 3);
            result.resize(indices.size());
            float groupError = 0.0f;
            result.resize(meshopt_simplify(result.data(), indices.data(), indices.size(),
                                           positions.data(), vertices.vertices.size(),
                                           sizeof(float) * 3, target, 1.0f, options, &groupError));
            error = std::fmax(error, groupError);
            for (size_t i = 0; i + 2 < result.size(); i += 3) {
                BspTriangle t;
                t.texture = int32_t(texture);
                for (int k = 0; k < 3; ++k)
                    t.v[k] = vertices.vertices[result[i + size_t(k)]];
                if (TrianglePlane(t.v[0], t.v[1], t.v[2], t.plane)) out.push_back(t);
            }
        }
        if (double(out.size()) <= double(targetTriangles) * SimplifyTolerance) return true;
    }
    return false;
}
