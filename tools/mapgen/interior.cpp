#include "tools/mapgen/interior.h"

#include <algorithm>
#include <climits>

namespace {

// Every size is a multiple of 32, so that a lattice of 32 or 16 units fits every edge.
constexpr int32_t RoomSide = 256; // inside, along x and z
constexpr int32_t RoomHeight = 128;
constexpr int32_t WallThickness = 32;
constexpr int32_t DoorWidth = 64;
constexpr int32_t DoorHeight = 96;
constexpr int32_t Pitch = RoomSide + WallThickness;
// The start camera stands 56 units inside the south wall of the middle room of row 0.
constexpr int32_t FirstRoomZ = -96;
// Where a door may start along its wall, counted from the room's corner; the middle one
// centres the door.
constexpr int32_t DoorOffsets[3] = {64, 96, 128};
constexpr int32_t CentredDoor = 96;
// Pillars and crates, as offsets from the room's corner.
constexpr int32_t PillarSpans[2][2] = {{64, 96}, {160, 192}};
constexpr int32_t CrateInset = 32, CrateSide = 32;
// A door position meaning "no door": coordinates may be negative.
constexpr int32_t NoDoor = INT32_MIN;

uint32_t Mix(uint32_t a, uint32_t b, uint32_t salt) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

struct Builder {
    std::vector<Face> faces;

    void Add(int axis, int32_t at, int facing, int32_t lo0, int32_t lo1, int32_t hi0, int32_t hi1,
             int32_t texture) {
        if (lo0 >= hi0 || lo1 >= hi1) return;
        faces.push_back({axis, at, facing, {lo0, lo1}, {hi0, hi1}, texture});
    }

    // A wall face in the plane z = at (along x) or x = at (along z), spanning a..b along the
    // wall and the room's height, with a door opening from door to door + DoorWidth unless
    // door is NoDoor.
    void Wall(int axis, int32_t at, int facing, int32_t a, int32_t b, int32_t door) {
        const auto piece = [&](int32_t from, int32_t to, int32_t bottom) {
            if (axis == 2)
                Add(2, at, facing, from, bottom, to, RoomHeight, WallTexture);
            else
                Add(0, at, facing, bottom, from, RoomHeight, to, WallTexture);
        };
        if (door == NoDoor) {
            piece(a, b, 0);
            return;
        }
        piece(a, door, 0);
        piece(door, door + DoorWidth, DoorHeight);
        piece(door + DoorWidth, b, 0);
    }

    // The passage through a wall slab from s0 to s1 (across the wall) with its door from
    // d0 to d0 + DoorWidth (along the wall); across is the axis crossing the wall.
    void Passage(int across, int32_t s0, int32_t s1, int32_t d0) {
        const int32_t d1 = d0 + DoorWidth;
        if (across == 0) {
            Add(1, 0, 1, d0, s0, d1, s1, FloorTexture);
            Add(1, DoorHeight, -1, d0, s0, d1, s1, DoorTexture);
            Add(2, d0, 1, s0, 0, s1, DoorHeight, DoorTexture);
            Add(2, d1, -1, s0, 0, s1, DoorHeight, DoorTexture);
        } else {
            Add(1, 0, 1, s0, d0, s1, d1, FloorTexture);
            Add(1, DoorHeight, -1, s0, d0, s1, d1, DoorTexture);
            Add(0, d0, 1, 0, s0, DoorHeight, s1, DoorTexture);
            Add(0, d1, -1, 0, s0, DoorHeight, s1, DoorTexture);
        }
    }

    // A box standing on the floor, seen from outside; a full-height one has no top.
    void Box(int32_t x0, int32_t x1, int32_t z0, int32_t z1, int32_t height, int32_t texture) {
        Add(0, x0, -1, 0, z0, height, z1, texture);
        Add(0, x1, 1, 0, z0, height, z1, texture);
        Add(2, z0, -1, x0, 0, x1, height, texture);
        Add(2, z1, 1, x0, 0, x1, height, texture);
        if (height < RoomHeight) Add(1, height, 1, z0, x0, z1, x1, texture);
    }
};

} // namespace

std::vector<Face> BuildInteriorFaces(const InteriorLayout& layout) {
    Builder b;
    const int32_t middle = (layout.roomsX - 1) / 2;
    const auto roomX = [&](int32_t i) { return -RoomSide / 2 + (i - middle) * Pitch; };
    const auto roomZ = [&](int32_t j) { return FirstRoomZ + j * Pitch; };
    // A door in the wall east of room (i, j): every such wall has one. A door in the wall
    // north of it: every other column, shifted by one each row, and the start room's.
    const auto eastDoor = [&](int32_t i, int32_t j) {
        if (i + 1 >= layout.roomsX) return NoDoor;
        return roomZ(j) + DoorOffsets[Mix(uint32_t(i), uint32_t(j), 1) % 3];
    };
    const auto northDoor = [&](int32_t i, int32_t j) {
        if (j + 1 >= layout.roomsZ || (i + j) % 2 != middle % 2) return NoDoor;
        if (i == middle && j == 0) return roomX(i) + CentredDoor;
        return roomX(i) + DoorOffsets[Mix(uint32_t(i), uint32_t(j), 2) % 3];
    };

    for (int32_t j = 0; j < layout.roomsZ; ++j) {
        for (int32_t i = 0; i < layout.roomsX; ++i) {
            const int32_t x0 = roomX(i), x1 = x0 + RoomSide;
            const int32_t z0 = roomZ(j), z1 = z0 + RoomSide;
            b.Add(1, 0, 1, z0, x0, z1, x1, FloorTexture);
            b.Add(1, RoomHeight, -1, z0, x0, z1, x1, CeilingTexture);
            b.Wall(2, z0, 1, x0, x1, j > 0 ? northDoor(i, j - 1) : NoDoor);
            b.Wall(2, z1, -1, x0, x1, northDoor(i, j));
            b.Wall(0, x0, 1, z0, z1, i > 0 ? eastDoor(i - 1, j) : NoDoor);
            b.Wall(0, x1, -1, z0, z1, eastDoor(i, j));
            if (const int32_t door = eastDoor(i, j); door != NoDoor)
                b.Passage(0, x1, x1 + WallThickness, door);
            if (const int32_t door = northDoor(i, j); door != NoDoor)
                b.Passage(2, z1, z1 + WallThickness, door);

            const bool startRoom = i == middle && j == 0;
            if (startRoom || (layout.pillars == Pillars::StartRoomAndAThird &&
                              Mix(uint32_t(i), uint32_t(j), 4) % 3 == 0)) {
                for (const auto& px : PillarSpans)
                    for (const auto& pz : PillarSpans)
                        b.Box(x0 + px[0], x0 + px[1], z0 + pz[0], z0 + pz[1], RoomHeight,
                              PillarTexture);
            }
            // Two crates in corners picked per room, one or two crates high.
            const uint32_t pick = Mix(uint32_t(i), uint32_t(j), 3);
            for (int crate = 0; crate < 2; ++crate) {
                const uint32_t corner = (pick + uint32_t(crate) * (1 + (pick >> 8) % 3)) % 4;
                const int32_t cx = corner & 1 ? x1 - CrateInset - CrateSide : x0 + CrateInset;
                const int32_t cz = corner & 2 ? z1 - CrateInset - CrateSide : z0 + CrateInset;
                const int32_t height = CrateSide * int32_t(1 + (pick >> (12 + crate)) % 2);
                b.Box(cx, cx + CrateSide, cz, cz + CrateSide, height, CrateTexture);
            }
        }
    }
    return b.faces;
}

namespace {

uint32_t Rgb(int32_t r, int32_t g, int32_t b) {
    const auto clamp = [](int32_t v) { return uint32_t(std::clamp(v, 0, 255)); };
    return clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

// A little grain: -8..7 from the texel position.
int32_t Grain(int32_t x, int32_t y, uint32_t salt) {
    return int32_t(Mix(uint32_t(x), uint32_t(y), salt) % 16) - 8;
}

template <typename F> InteriorImage Image(const char* name, int32_t w, int32_t h, F texel) {
    InteriorImage image{name, {std::make_unique<uint32_t[]>(size_t(w) * size_t(h)), w, h}};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            image.image.pixels[size_t(y) * size_t(w) + size_t(x)] = texel(x, y);
    return image;
}

} // namespace

std::vector<InteriorImage> InteriorImages() {
    std::vector<InteriorImage> images;
    // Square tiles of 32 texels with dark grout, two shades in a checker.
    images.push_back(Image("floor", 64, 64, [](int32_t x, int32_t y) {
        if (x % 32 == 0 || y % 32 == 0) return Rgb(60, 56, 50);
        const int32_t shade = ((x / 32 + y / 32) % 2 ? 150 : 120) + Grain(x, y, 10);
        return Rgb(shade, shade - 10, shade - 25);
    }));
    // Bricks of 32 x 16, every other course shifted by half a brick.
    images.push_back(Image("wall", 128, 64, [](int32_t x, int32_t y) {
        const int32_t course = y / 16, shifted = (x + (course % 2) * 16) % 128;
        if (shifted % 32 == 0 || y % 16 == 0) return Rgb(170, 165, 150);
        const int32_t tone = int32_t(Mix(uint32_t(shifted / 32), uint32_t(course), 11) % 40);
        return Rgb(140 + tone + Grain(x, y, 12), 60 + tone / 2, 45);
    }));
    // Plaster panels with a frame every 64 texels.
    images.push_back(Image("ceiling", 64, 64, [](int32_t x, int32_t y) {
        if (x < 2 || y < 2) return Rgb(90, 90, 100);
        const int32_t v = 200 + Grain(x, y, 13);
        return Rgb(v, v, v + 8);
    }));
    // Stone blocks, four to the pillar's height.
    images.push_back(Image("pillar", 32, 64, [](int32_t x, int32_t y) {
        if (y % 32 == 0 || x == 0) return Rgb(70, 70, 75);
        const int32_t v = 150 + int32_t(Mix(0, uint32_t(y / 32), 14) % 30) + Grain(x, y, 15);
        return Rgb(v, v, v - 5);
    }));
    // Planks with a dark frame.
    images.push_back(Image("crate", 32, 32, [](int32_t x, int32_t y) {
        if (x < 3 || y < 3 || x > 28 || y > 28 || x == y || x == 31 - y) return Rgb(90, 60, 30);
        const int32_t v = 170 + Grain(x / 2, y / 8, 16) + (y % 8 == 0 ? -40 : 0);
        return Rgb(v, v * 3 / 4, v / 3);
    }));
    // Brushed metal for door frames.
    images.push_back(Image("door", 16, 16, [](int32_t x, int32_t y) {
        const int32_t v = 110 + Grain(0, y, 17) + (x % 8 == 0 ? 20 : 0);
        return Rgb(v, v + 5, v + 15);
    }));
    return images;
}
