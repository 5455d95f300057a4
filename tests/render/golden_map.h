// The golden map: a textured room with a box and a wedge in it, as map and bitmap files,
// plus the cameras the renderer's expected images are taken from.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "geometry/matrix.h"

struct Map;

namespace rendertest {

// Writes "Vuze.BSP" and "Textures/<name>.bmp" into dir (created if needed).
bool WriteGoldenMap(const std::filesystem::path& dir);
// Loads a map directory as the program does, with the identity as the map's matrix and its
// render cache made (PrepareMapRender); null on failure.
std::unique_ptr<Map> LoadMapDirectory(const std::filesystem::path& dir);
// Writes the golden map into a scratch folder and loads it with LoadMapDirectory.
std::unique_ptr<Map> LoadGoldenMap();

struct NamedCamera {
    std::string name; // also the expected image's file name, without ".ppm"
    Matrix4 matrix;   // camera to world, as the viewer's CameraMatrix
};
std::vector<NamedCamera> GoldenMapCameras();
// One frame as the viewer's frame step leaves it before the counter is drawn: cleared,
// then the scene rendered at 512 x 384 (sets up the projection).
std::vector<uint32_t> RenderTestFrame(const Map& map, const Matrix4& camera);

// The 16 elements, comma separated, each printed so that it reads back exactly.
std::string CameraArgument(const Matrix4& m);

// Where the expected images ("<camera name>.ppm") live in the source tree.
std::filesystem::path GoldenDirectory();

} // namespace rendertest
