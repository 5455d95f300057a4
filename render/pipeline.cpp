#include "render/pipeline.h"

#include "geometry/projection.h"
#include "render/counters.h"
#include "render/raster.h"
#include "render/render.h"
#include "scene/map.h"
#include "scene/texture.h"

RenderCounters RenderCount = {};

namespace {

enum class Side { Inside, Outside, On };

Side Classify(const Plane& plane, const ClipVertex& v) {
    const double s = PlaneDistance(plane, v);
    if (s > 0.0) return Side::Inside;
    if (s < 0.0) return Side::Outside;
    return Side::On;
}

} // namespace

ClipVertex TransformVertex(const MapVertex& vertex, const Texture& texture) {
    ClipVertex out;
    TransformPosition(vertex, out.x, out.y, out.z);
    out.u = float(double(float(texture.width)) * vertex.u);
    out.v = float(double(float(texture.height)) * vertex.v);
    out.reserved[0] = out.reserved[1] = out.reserved[2] = 0.0f;
    return out;
}

bool ProjectPolygon(ClipPolygon& polygon) {
    const int32_t halfWidth = ViewWidth / 2, halfHeight = ViewHeight / 2;
    for (int32_t i = 0; i < polygon.count; ++i) {
        ClipVertex& v = polygon.vertices[i];
        if (v.z < NearDepth) return false;
        v.x = ProjectToScreen(v.x, v.z, halfWidth);
        v.y = ProjectToScreen(v.y, v.z, halfHeight);
    }
    return true;
}

ClipVertex IntersectEdge(const ClipVertex& a, const ClipVertex& b, const Plane& plane) {
    const float dx = float(double(b.x) - a.x);
    const float dy = float(double(b.y) - a.y);
    const float dz = float(double(b.z) - a.z);
    const double denom = NormalDot(plane, Point3{dx, dy, dz});
    if (denom == 0.0) return a; // edge parallel to the plane
    const double s = PlaneDistance(plane, a) / denom;
    ClipVertex out = a;
    out.x = float(a.x - s * dx);
    out.y = float(a.y - s * dy);
    out.z = float(a.z - s * dz);
    out.u = float(a.u - s * (double(b.u) - a.u));
    out.v = float(a.v - s * (double(b.v) - a.v));
    return out;
}

ClipPolygon ClipToPlane(const ClipPolygon& polygon, const Plane& plane) {
    ClipPolygon result;
    result.count = 0;
    const int32_t n = polygon.count;
    if (n <= 0 || n > ClipPolygonCapacity) return result;

    Side sides[ClipPolygonCapacity];
    for (int32_t i = 0; i < n; ++i)
        sides[i] = Classify(plane, polygon.vertices[i]);

    // Float rounding in a nearly degenerate polygon could add more vertices than the
    // record holds; such a polygon is dropped.
    bool overflow = false;
    const auto append = [&](const ClipVertex& v) {
        if (result.count == ClipPolygonCapacity) {
            overflow = true;
            return;
        }
        result.vertices[result.count++] = v;
    };
    for (int32_t i = 0; i < n; ++i) {
        const int32_t prev = i == 0 ? n - 1 : i - 1;
        const ClipVertex& c = polygon.vertices[i];
        const ClipVertex& p = polygon.vertices[prev];
        if (sides[i] == Side::Inside) {
            if (sides[prev] == Side::Outside) append(IntersectEdge(p, c, plane));
            append(c);
        } else if (sides[prev] == Side::Inside) {
            append(IntersectEdge(p, c, plane));
        }
    }
    if (overflow) result.count = 0;
    return result;
}

ClipPolygon ClipToFrustum(const ClipVertex& first, const ClipVertex& second,
                          const ClipVertex& third, const Plane planes[4]) {
    enum class Verdict { Keep, Reject, Clip };
    const ClipVertex* triangle[3] = {&first, &second, &third};
    Verdict verdicts[4];
    bool allKeep = true, anyReject = false;
    for (int k = 0; k < 4; ++k) {
        int insideOrOn = 0, outsideOrOn = 0;
        for (const ClipVertex* v : triangle) {
            const Side side = Classify(planes[k], *v);
            if (side != Side::Outside) ++insideOrOn;
            if (side != Side::Inside) ++outsideOrOn;
        }
        verdicts[k] = insideOrOn == 3    ? Verdict::Keep
                      : outsideOrOn == 3 ? Verdict::Reject
                                         : Verdict::Clip;
        allKeep = allKeep && verdicts[k] == Verdict::Keep;
        anyReject = anyReject || verdicts[k] == Verdict::Reject;
    }

    ClipPolygon polygon;
    polygon.count = 0;
    if (anyReject) return polygon;
    polygon.count = 3;
    polygon.vertices[0] = first;
    polygon.vertices[1] = second;
    polygon.vertices[2] = third;
    if (allKeep) return polygon;
    // The verdicts come from the unclipped triangle and are not recomputed.
    for (int k = 0; k < 4; ++k) {
        if (verdicts[k] == Verdict::Clip) polygon = ClipToPlane(polygon, planes[k]);
    }
    return polygon;
}

void DrawMapPolygon(const MapPolygon& polygon, uint32_t* frameBuffer, const Texture& texture) {
    ++RenderCount.polygonsVisited;
    // A polygon is seen from the negative side of its plane.
    if (PlaneDistance(polygon.plane, CameraPosition()) > BackFaceThreshold) {
        ++RenderCount.polygonsFacingAway;
        return;
    }

    const ClipVertex first = TransformVertex(*polygon.vertices[0], texture);
    const ClipVertex second = TransformVertex(*polygon.vertices[1], texture);
    const ClipVertex third = TransformVertex(*polygon.vertices[2], texture);

    ClipPolygon clipped = ClipToFrustum(first, second, third, FrustumPlanes);
    // Fewer than 3 vertices enclose no area.
    if (clipped.count < 3) return;
    if (!ProjectPolygon(clipped)) return;

    TextureBinding.texels = texture.pixels.get();
    TextureBinding.uMask = texture.uMask;
    TextureBinding.vMask = texture.vMask;
    TextureBinding.vShift = texture.vShift;
    TextureBinding.paddedRows = nullptr;
    ++RenderCount.polygonsRasterized;
    RasterizePolygon(clipped, frameBuffer);
}
