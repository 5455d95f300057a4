// Faces hidden inside solid parts.
//
// Where one part of a model pushes into another (a leg into a body, a fang into a head), the
// tree cuts each part along the other's surface, and the pieces that end up inside the other
// part can never be seen from outside it: its own faces cover them. They only cost
// triangles, vertices and mending. The closed parts of the input (see ClosedParts) are
// shells; a point lies in solid matter when the innermost shell around it is seen from
// outside. A box inside a room is solid, the room itself open space, and so is the inside of
// a part seen from both sides (its two sides cancel). A polygon of the tree goes when the
// space just in front of it, the side it is seen from, is solid and no shell's face passes
// through that space.
#pragma once

#include <cstdint>
#include <span>

#include "tools/bspc/bspc.h"

// Returns the number of triangles dropped; nodes left with no polygons and no children go
// too, and stats count neither. work: at most about this many face and shell tests in all;
// polygons beyond it are kept.
int64_t DropEnclosedFaces(BspNode& root, std::span<const BspTriangle> input, int64_t work,
                          BspStats& stats);
