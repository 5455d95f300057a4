// What the front-to-back walk keeps for one map, made once at load by PrepareMapRender
// (render/render.h) and reused by every frame, so that a frame allocates nothing:
//   - the tree again, as a flat array in pre-order, each node with the bounding box of
//     every vertex of its subtree's polygons;
//   - each polygon's vertex indices and texture slot, and apart, its plane; each vertex's
//     texel coordinates (MapVertex u, v times the texture's size, as TransformVertex rounds
//     them);
//   - for each node, whether all its polygons' planes are bit-identical, so that one
//     back-face test stands for all of them, and whether that plane is the node's own;
//   - each node's polygons in groups of up to PolygonGroupSize in their order, each with
//     the box of its vertices: one box test can skip a group that lies off the view or on
//     covered pixels, where the subtree's box, spread over much of the map, cannot;
//   - the per-frame vertex cache: a camera-space position, its frustum sides and its place
//     on the screen, filled the first time a frame needs the vertex, or for all vertices at
//     the start of a frame where the last one needed many; the vertices numbered
//     anew in the order the polygons first use them (a map vertex once for each texture size
//     it is drawn with), each with its map position beside, so that the polygons of a node
//     find their vertices close together;
//   - for textures that suit it, their rows with the ends wrapped around (TexelSource in
//     render/raster.h), from which a run of texels magnified on the screen is read at once.
// It is made after the textures are loaded and read-only then, like the map, but for the
// vertex cache and the frame's counts, which each frame rewrites. A polygon whose
// slot has no texture is never drawn, as the painter's walk skips it; a map whose polygons
// name vertices outside its table gets no cache and is drawn by the painter's walk.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry/plane.h"

struct Map;
struct MapNode;
struct Texture;

// A texture's rows, each between RowPad wrapped texels on either side (render/raster.h).
struct PaddedTexture {
    std::unique_ptr<uint32_t[]> rows;
    int32_t pitch = 0;   // width + 2 RowPad
    int32_t rowMask = 0; // height - 1
};
// Textures with more texels than this get no padded rows: the windows pay off for textures
// magnified on the screen, which the small ones mostly are.
inline constexpr int64_t MaxPaddedTexels = 256 * 256;
// False, with nothing made, for a texture whose sides are not powers of two, that is
// narrower than RowWindowWidth or larger than MaxPaddedTexels, or when memory runs out.
bool MakePaddedTexture(const Texture& texture, PaddedTexture& out);

// A quarter of a cache line, so that the walk reads a node's polygons four to a line: the
// rest of what a polygon needs is read only once it is drawn.
struct CachedPolygon {
    int32_t vertex[3]; // into MapRenderCache::vertices, positions and texels
    int32_t texture;   // slot in MapRenderCache::textures; -1: the polygon is never drawn
};
static_assert(sizeof(CachedPolygon) == 16);

// A vertex's texel coordinates: MapVertex u, v times its polygon's texture size, as
// TransformVertex rounds them. A map vertex used with textures of different sizes is a
// cache vertex for each size.
struct TexelCoords {
    float u, v;
};

// A texture slot as the walk binds it.
struct CachedTexture {
    const Texture* texture = nullptr;      // null: the slot's polygons are never drawn
    const PaddedTexture* padded = nullptr; // null: none for its texture
};

// A node's polygons go into groups of at most this many consecutive ones.
inline constexpr int32_t PolygonGroupSize = 16;
// Subtrees with fewer drawable polygons skip the projected-box test (CachedNode).
inline constexpr int32_t CoverTestPolygons = 16;

// A run of consecutive polygons of one node and the box of their drawable vertices.
struct CachedGroup {
    int32_t firstPolygon; // into the polygon array
    int32_t polygonCount;
    bool hasBox; // false when none of its polygons can be drawn
    // Its box is markedly smaller than the node's subtree box, which the walk has already
    // tested (otherwise a second test could hardly skip anything), and it holds enough
    // polygons to pay for the test.
    bool worthTesting;
    float lo[3], hi[3];
};

// Half a cache line: what the walk reads of every node it reaches, its plane included. In
// the pre-order array a node's front child, where it has one, is the next node.
struct alignas(32) CachedNode {
    Plane plane;                  // the node's own, copied from the map
    int32_t back;                 // index into the node array, -1 for none
    int32_t firstPolygon;         // into the polygon array
    int32_t drawableCount;        // polygons with a texture
    bool hasFront : 1;            // its front child is the next node
    bool sharedPlane : 1;         // every polygon's plane bit-identical to the first's
    // And that plane is the node's own, bit for bit (as for most nodes): the walk's side test
    // of the node then gives the back-face test of all its polygons, unread.
    bool polygonsOnPlane : 1;
    bool hasBox : 1;              // false for a subtree without polygons
    // Its subtree holds at least CoverTestPolygons drawable polygons; a smaller one is not
    // worth projecting its box for the coverage: its polygons' own tests are about as cheap.
    bool worthCoverTest : 1;
    // For a node whose polygons make one group that is drawable and not worth a test of its
    // own (most nodes of scenes of many small objects): their number, so that the walk need
    // not read the group; 0 otherwise.
    uint8_t ungroupedPolygons;
};
static_assert(sizeof(CachedNode) == 32);

// The other half, in an array of its own at the same index: what the walk reads only where
// it tests a box, its subtree's or its groups' (deep in the tree, inside every frustum
// plane and below the coverage test's size, it reads none of it).
struct alignas(32) CachedNodeBox {
    float lo[3], hi[3]; // subtree box in map space, while the node's hasBox
    int32_t firstGroup; // into the group array
    int32_t groupCount; // 0 for a node without polygons
};
static_assert(sizeof(CachedNodeBox) == 32);

// One vertex as this frame sees it; valid while `frame` equals the walk's frame number.
// Half a cache line, so that a vertex's test and its values are one read.
struct alignas(32) CachedVertex {
    float x, y, z;  // camera space, bit-identical to TransformVertex
    uint32_t sides; // bit k: inside or on frustum plane k; bit 4 + k: outside or on
    float sx, sy;   // on the screen, as ProjectPolygon puts it (meaningless nearer than NearDepth)
    uint32_t frame; // the walk's frame number when these were filled in; 0 for none yet
};

struct MapRenderCache {
    int32_t nodeCount = 0;
    std::unique_ptr<CachedNode[]> nodes;
    std::unique_ptr<CachedNodeBox[]> nodeBoxes; // one per node
    int32_t polygonCount = 0;
    std::unique_ptr<CachedPolygon[]> polygons;
    std::unique_ptr<Plane[]> planes; // per polygon, for the back-face tests a node cannot share
    int32_t groupCount = 0;
    std::unique_ptr<CachedGroup[]> groups;
    int32_t vertexCount = 0; // the map's vertices that polygons use, once per texture size
    std::unique_ptr<CachedVertex[]> vertices;
    std::unique_ptr<Point3[]> positions; // each vertex's map position
    std::unique_ptr<TexelCoords[]> texels;
    uint32_t frame = 0;
    int64_t vertexFetches = 0; // the latest frame's, for the choice of transforming all at once
    std::unique_ptr<PaddedTexture[]> padded;  // per texture slot; rows null where none
    std::unique_ptr<CachedTexture[]> textures; // per texture slot
};

// Null when the map cannot be cached (see above) or memory runs out.
std::shared_ptr<MapRenderCache> BuildMapRenderCache(const Map& map);
