// Reads an OBJ scene into triangles in map coordinates.
#pragma once

#include "tools/bspc/bspc.h"

// Scene (X, Y, Z) becomes map (-X, Y, -Z) x scale + offset; texture v becomes 1 - v.
// Degenerate faces are skipped and counted. False with messages.error on failure.
bool ReadObjScene(const BspcOptions& options, Scene& scene, BspcMessages& messages);
