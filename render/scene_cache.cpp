#include "render/scene_cache.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "render/raster.h"
#include "scene/map.h"
#include "scene/texture.h"

namespace {

template <typename T> std::unique_ptr<T[]> NewArray(int64_t n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(std::max<int64_t>(n, 1))]());
}

// A group is worth a test of its own when along some axis it spans less than this share of
// its node's subtree box, and when it holds at least GroupTestPolygons polygons: for fewer,
// their own tests cost about as much.
constexpr double GroupTestShare = 0.5;
constexpr int32_t GroupTestPolygons = 4;

int64_t GroupsOf(int64_t polygons) {
    return (polygons + PolygonGroupSize - 1) / PolygonGroupSize;
}

void CountTree(const MapNode& node, int64_t& nodes, int64_t& polygons, int64_t& groups) {
    ++nodes;
    polygons += node.polygonCount;
    groups += GroupsOf(node.polygonCount);
    if ((node.flags & NodeHasFront) && node.front) CountTree(*node.front, nodes, polygons, groups);
    if ((node.flags & NodeHasBack) && node.back) CountTree(*node.back, nodes, polygons, groups);
}

bool SamePlane(const Plane& a, const Plane& b) {
    return std::memcmp(&a, &b, sizeof(Plane)) == 0;
}

// A cache vertex while the cache is built: its map vertex and texture size, and the next
// cache vertex of the same map vertex (-1 for none).
struct VertexUse {
    int32_t mapVertex;
    float width, height;
    int32_t next;
};

struct Builder {
    const Map& map;
    MapRenderCache& cache;
    int32_t* firstUse; // per map vertex: its latest cache vertex, -1 before its first use
    VertexUse* uses;   // per cache vertex, room for three a polygon
    int32_t nextNode = 0;
    int32_t nextPolygon = 0;
    int32_t nextGroup = 0;

    // The cache's number of map vertex i drawn with a texture of this size (0 by 0 for
    // none), given at its first use.
    int32_t Number(int32_t i, float width, float height) {
        for (int32_t n = firstUse[i]; n >= 0; n = uses[n].next)
            if (uses[n].width == width && uses[n].height == height) return n;
        const int32_t n = cache.vertexCount++;
        uses[n] = VertexUse{i, width, height, firstUse[i]};
        firstUse[i] = n;
        return n;
    }

    // A node's box or a group's; `hasBox` false: the box is empty so far.
    template <typename Box>
    static void Grow(Box& into, bool hasBox, const float lo[3], const float hi[3]) {
        for (int k = 0; k < 3; ++k) {
            into.lo[k] = hasBox ? std::min(into.lo[k], lo[k]) : lo[k];
            into.hi[k] = hasBox ? std::max(into.hi[k], hi[k]) : hi[k];
        }
    }
    void GrowNode(int32_t index, const float lo[3], const float hi[3]) {
        Grow(cache.nodeBoxes[index], cache.nodes[index].hasBox, lo, hi);
        cache.nodes[index].hasBox = true;
    }
    static void GrowGroup(CachedGroup& group, const float lo[3], const float hi[3]) {
        Grow(group, group.hasBox, lo, hi);
        group.hasBox = true;
    }

    // Pre-order: the node, then its front subtree, then its back subtree. -1 on a polygon
    // the cache cannot describe. `drawable` gains the subtree's drawable polygons.
    int32_t Add(const MapNode& node, int64_t& drawable) {
        const int32_t index = nextNode++;
        CachedNode& out = cache.nodes[index];
        CachedNodeBox& box = cache.nodeBoxes[index];
        out = {};
        box = {};
        out.plane = node.plane;
        out.back = -1;
        out.firstPolygon = nextPolygon;
        out.sharedPlane = true;
        box.firstGroup = nextGroup;
        box.groupCount = int32_t(GroupsOf(node.polygonCount));
        for (int32_t i = 0; i < node.polygonCount; ++i) {
            if (i % PolygonGroupSize == 0) {
                CachedGroup& group = cache.groups[nextGroup++];
                group = {};
                group.firstPolygon = nextPolygon;
                group.polygonCount = std::min(PolygonGroupSize, node.polygonCount - i);
            }
            CachedGroup& group = cache.groups[nextGroup - 1];
            const MapPolygon& polygon = node.polygons[i];
            cache.planes[nextPolygon] = polygon.plane;
            CachedPolygon& p = cache.polygons[nextPolygon++];
            out.sharedPlane = out.sharedPlane && SamePlane(polygon.plane, node.polygons[0].plane);
            const Texture* texture = nullptr;
            if (polygon.textureIndex >= 0 && polygon.textureIndex < map.textureCount)
                texture = cache.textures[polygon.textureIndex].texture;
            p.texture = texture ? polygon.textureIndex : -1;
            out.drawableCount += texture != nullptr;
            const float width = texture ? float(texture->width) : 0.0f;
            const float height = texture ? float(texture->height) : 0.0f;
            for (int k = 0; k < 3; ++k) {
                const MapVertex* v = polygon.vertices[k];
                const MapVertex* first = map.vertices.get();
                if (!v || !first || v < first || v >= first + map.vertexCount) return -1;
                p.vertex[k] = Number(int32_t(v - first), width, height);
                if (!texture) continue;
                const float at[3] = {v->x, v->y, v->z};
                GrowNode(index, at, at);
                GrowGroup(group, at, at);
            }
        }
        out.polygonsOnPlane = node.polygonCount > 0 && out.sharedPlane &&
                              SamePlane(node.polygons[0].plane, node.plane);
        int64_t below = cache.nodes[index].drawableCount;
        if ((node.flags & NodeHasFront) && node.front) {
            int32_t front = -1;
            if (!AddChild(index, *node.front, front, below)) return -1;
            cache.nodes[index].hasFront = true; // front == index + 1: added first
        }
        if ((node.flags & NodeHasBack) && node.back &&
            !AddChild(index, *node.back, cache.nodes[index].back, below))
            return -1;
        cache.nodes[index].worthCoverTest = below >= CoverTestPolygons;
        drawable += below;
        const CachedNodeBox& whole = cache.nodeBoxes[index];
        for (int32_t g = whole.firstGroup; g < whole.firstGroup + whole.groupCount; ++g) {
            CachedGroup& group = cache.groups[g];
            if (group.polygonCount < GroupTestPolygons) continue;
            for (int k = 0; k < 3 && group.hasBox; ++k)
                group.worthTesting =
                    group.worthTesting || double(group.hi[k]) - group.lo[k] <
                                              GroupTestShare * (double(whole.hi[k]) - whole.lo[k]);
        }
        if (whole.groupCount == 1) {
            const CachedGroup& group = cache.groups[whole.firstGroup];
            if (group.hasBox && !group.worthTesting)
                cache.nodes[index].ungroupedPolygons = uint8_t(group.polygonCount);
        }
        return index;
    }

    // Adds a child subtree, links it through `link` and grows the parent's box by its box.
    bool AddChild(int32_t parent, const MapNode& child, int32_t& link, int64_t& drawable) {
        const int32_t at = Add(child, drawable);
        if (at < 0) return false;
        // The node array is made whole before the walk, so `link` stays valid across Add().
        link = at;
        if (cache.nodes[at].hasBox) GrowNode(parent, cache.nodeBoxes[at].lo, cache.nodeBoxes[at].hi);
        return true;
    }
};

} // namespace

bool MakePaddedTexture(const Texture& texture, PaddedTexture& out) {
    const int32_t w = texture.width, h = texture.height;
    const auto powerOfTwo = [](int32_t n) { return n > 0 && (n & (n - 1)) == 0; };
    if (!powerOfTwo(w) || !powerOfTwo(h) || w < RowWindowWidth ||
        int64_t(w) * h > MaxPaddedTexels || !texture.pixels)
        return false;
    // The fetch masks must be the ones a power-of-two texture gets, for a padded row to hold
    // exactly the texels the masks pick.
    const int32_t widthBits = std::countr_zero(uint32_t(w));
    if (texture.uMask != w - 1 || texture.vMask != (h - 1) << widthBits ||
        texture.vShift != 16 - widthBits)
        return false;
    const int32_t pitch = w + 2 * RowPad;
    auto rows = std::unique_ptr<uint32_t[]>(new (std::nothrow) uint32_t[size_t(pitch) * h]);
    if (!rows) return false;
    for (int32_t r = 0; r < h; ++r) {
        const uint32_t* from = texture.pixels.get() + size_t(r) * w;
        uint32_t* to = rows.get() + size_t(r) * pitch;
        for (int32_t c = -RowPad; c < w + RowPad; ++c)
            to[RowPad + c] = from[(c + w) & (w - 1)];
    }
    out.rows = std::move(rows);
    out.pitch = pitch;
    out.rowMask = h - 1;
    return true;
}

std::shared_ptr<MapRenderCache> BuildMapRenderCache(const Map& map) {
    if (!map.root) return nullptr;
    int64_t nodes = 0, polygons = 0, groups = 0;
    CountTree(*map.root, nodes, polygons, groups);
    if (nodes > INT32_MAX || 3 * polygons > INT32_MAX) return nullptr;

    auto cache = std::shared_ptr<MapRenderCache>(new (std::nothrow) MapRenderCache());
    if (!cache) return nullptr;
    cache->nodeCount = int32_t(nodes);
    cache->polygonCount = int32_t(polygons);
    cache->nodes = NewArray<CachedNode>(nodes);
    cache->nodeBoxes = NewArray<CachedNodeBox>(nodes);
    cache->polygons = NewArray<CachedPolygon>(polygons);
    cache->planes = NewArray<Plane>(polygons);
    cache->groupCount = int32_t(groups);
    cache->groups = NewArray<CachedGroup>(groups);
    const std::unique_ptr<int32_t[]> firstUse = NewArray<int32_t>(map.vertexCount);
    const std::unique_ptr<VertexUse[]> uses = NewArray<VertexUse>(3 * polygons);
    if (!cache->nodes || !cache->nodeBoxes || !cache->polygons || !cache->planes ||
        !cache->groups || !firstUse || !uses)
        return nullptr;
    std::fill_n(firstUse.get(), std::max(map.vertexCount, 1), -1);
    // Frame numbers start at 1, so that no vertex counts as filled before the first frame.
    cache->frame = 0;
    cache->padded = NewArray<PaddedTexture>(map.textureCount);
    cache->textures = NewArray<CachedTexture>(map.textureCount);
    if (!cache->padded || !cache->textures) return nullptr;
    for (int32_t slot = 0; slot < map.textureCount; ++slot)
        if (const Texture* texture = map.textureSlots[slot].texture.get()) {
            // Without padded rows the gather serves.
            const bool padded = MakePaddedTexture(*texture, cache->padded[slot]);
            cache->textures[slot] = CachedTexture{texture, padded ? &cache->padded[slot] : nullptr};
        }

    Builder builder{map, *cache, firstUse.get(), uses.get()};
    int64_t drawable = 0;
    if (builder.Add(*map.root, drawable) != 0) return nullptr;

    const int32_t vertexCount = cache->vertexCount;
    cache->vertices = NewArray<CachedVertex>(vertexCount);
    cache->positions = NewArray<Point3>(vertexCount);
    cache->texels = NewArray<TexelCoords>(vertexCount);
    if (!cache->vertices || !cache->positions || !cache->texels) return nullptr;
    for (int32_t n = 0; n < vertexCount; ++n) {
        const VertexUse& use = uses[n];
        const MapVertex& v = map.vertices[use.mapVertex];
        cache->positions[n] = Point3{v.x, v.y, v.z};
        // As TransformVertex rounds them.
        cache->texels[n] = TexelCoords{float(double(use.width) * v.u),
                                       float(double(use.height) * v.v)};
    }
    return cache;
}
