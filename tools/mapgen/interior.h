// The benchmark interiors: closed buildings of box-shaped rooms on a grid, joined by doors
// in staggered places, with pillars and crates, so that most of the building is hidden from
// most places, as in real buildings.
//
// Every face is an axis-aligned rectangle whose edges lie on a lattice of `cell` map units.
// Map y is up and the floor is at y = 0; the viewer's start camera, at (0, 40, -40) looking
// along +z, stands in a room and looks through a door into the next.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/bitmap.h"

// A rectangle in the plane where coordinate `axis` (0 x, 1 y, 2 z) equals `at`, seen from
// the side where that coordinate is larger (facing +1) or smaller (facing -1). It spans
// lo..hi over the other two axes, in the order (axis + 1) % 3, (axis + 2) % 3.
struct Face {
    int axis = 0;
    int32_t at = 0;
    int facing = 1;
    int32_t lo[2] = {};
    int32_t hi[2] = {};
    int32_t texture = 0;
};

// Which rooms have four pillars: the start room (where the camera sees them on either side
// of the door ahead), and optionally about a third of the others as well.
enum class Pillars { StartRoom, StartRoomAndAThird };

struct InteriorLayout {
    int32_t roomsX = 1; // rooms along x
    int32_t roomsZ = 1; // rooms along z
    int32_t cell = 32;  // lattice spacing in map units: 32 or 16
    Pillars pillars = Pillars::StartRoomAndAThird;
};

// The textures that faces name by index. Sizes are powers of two, one texel per map unit.
enum InteriorTexture : int32_t {
    FloorTexture,
    WallTexture,
    CeilingTexture,
    PillarTexture,
    CrateTexture,
    DoorTexture,
    InteriorTextureCount
};
struct InteriorImage {
    const char* name;
    PixelImage image;
};
std::vector<InteriorImage> InteriorImages();

std::vector<Face> BuildInteriorFaces(const InteriorLayout& layout);
