// The peer: the same frames drawn through OpenGL by Mesa's software rasterizer (OSMesa,
// llvmpipe on the calling thread), in the fastest plain way a program would draw this map.
// Each frame walks the tree back to front from the camera exactly as the renderer does,
// with the same back-face test, and hands the triangles it keeps, in that order, to one
// draw call: vertices made once at load, all textures in one array texture (a smaller one
// repeated to fill a layer of the largest size, which nearest sampling with repeat reads
// exactly as the renderer's masks do, the sizes being powers of two), nearest texels,
// no depth test, a scissor of the pixels the renderer can write, and the renderer's
// projection with the pixel centres moved onto its sample points. glFinish ends the frame.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "geometry/matrix.h"

struct Map;
struct GlPeer;
struct GlPeerDeleter {
    void operator()(GlPeer* peer) const;
};
using GlPeerHandle = std::unique_ptr<GlPeer, GlPeerDeleter>;

// After SetupProjection, with the map's textures loaded. Null with `reason` set when the
// peer cannot run here (built without OSMesa, no context, textures too large for it).
GlPeerHandle CreateGlPeer(const Map& map, std::string& reason);
void DrawGlPeerFrame(GlPeer& peer, const Matrix4& camera);
// The last frame: ViewWidth x ViewHeight pixels, top row first, 0x00RRGGBB in the low
// 24 bits (the top byte is the driver's alpha).
std::span<const uint32_t> GlPeerPixels(const GlPeer& peer);
// What the driver calls itself, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
std::string GlPeerRenderer(const GlPeer& peer);
