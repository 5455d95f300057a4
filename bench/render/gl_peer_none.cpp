// Built without OSMesa: the peer says so and never runs.
#include "bench/render/gl_peer.h"

struct GlPeer {};

void GlPeerDeleter::operator()(GlPeer* peer) const {
    delete peer;
}

GlPeerHandle CreateGlPeer(const Map&, std::string& reason) {
    reason = "built without OSMesa (install libosmesa6-dev and configure again)";
    return nullptr;
}

void DrawGlPeerFrame(GlPeer&, const Matrix4&) {}

std::span<const uint32_t> GlPeerPixels(const GlPeer&) {
    return {};
}

std::string GlPeerRenderer(const GlPeer&) {
    return "";
}
