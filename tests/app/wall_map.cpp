#include "wall_map.h"

#include <vector>

#include "support/files.h"
#include "support/scene_bytes.h"

uint32_t FontCellColour(int c) {
    return 0x00FFC000u | uint32_t(c);
}

uint32_t WallTexel(int32_t x, int32_t y) {
    return ((x / 8 + y / 8) % 2) ? 0x003060C0u : 0x00C08020u;
}

bool WriteWallMap(const std::filesystem::path& dir, bool withFont) {
    // The start camera sits at (0, 40, -40) and looks along +z: a square wall at z = 0,
    // wide enough to fill the whole view, seen from the negative side of its plane.
    MapFileDescription map;
    map.textureNames = {"wall"};
    const MapFileCorner corners[] = {{{-100, -60, 0}, 0, 0},
                                     {{100, -60, 0}, 3, 0},
                                     {{100, 140, 0}, 3, 3},
                                     {{-100, 140, 0}, 0, 3}};
    AddMapFace(map, map.root, corners, 0, {0, 40, -40});
    if (!WriteFileBytes(dir / "Vuze.BSP", MapFileBytes(map))) return false;

    std::vector<uint32_t> texels(64 * 64);
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            texels[size_t(y) * 64 + x] = WallTexel(x, y);
    if (!WriteFileBytes(dir / "Textures" / "wall.bmp", BitmapBytes(64, 64, texels))) return false;

    if (!withFont) return true;
    std::vector<uint32_t> font(176 * 78);
    for (int32_t y = 0; y < 78; ++y)
        for (int32_t x = 0; x < 176; ++x)
            font[size_t(y) * 176 + x] = FontCellColour(32 + y / 13 * 16 + x / 11);
    return WriteFileBytes(dir / "Font.bmp", BitmapBytes(176, 78, font));
}
