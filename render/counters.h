// What the renderer did, counted as it draws, for the benchmark. Nothing in the renderer
// reads these and nothing resets them but the reader: take the difference around a frame.
// Each count is one addition to a global, per polygon or per span, so the viewer pays
// nothing measurable for them.
#pragma once

#include <cstdint>

struct RenderCounters {
    int64_t polygonsVisited;    // handed to DrawMapPolygon by the walk
    int64_t polygonsFacingAway; // dropped by the back-face test
    int64_t polygonsRasterized; // handed to RasterizePolygon: in front and inside the frustum
    int64_t pixelsWritten;      // span pixels, each overdraw counted again
};
extern RenderCounters RenderCount;
