#include "render/render.h"

#include "scene/map.h"

// Placeholder until the traversal lands: frames stay cleared.
void RenderScene(const Matrix4&, const Map&, uint32_t*) {}
