// The benchmark maps by name, written as a map directory: "Vuze.BSP" and "Textures/*.bmp",
// laid out by the project's own map and BMP writers (scene/map_writer.h, scene/bitmap.h). The bytes depend on nothing but this
// code and those writers, never on the map compiler's tree building.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/mapgen/face_tree.h"
#include "tools/mapgen/interior.h"

// "2k" and "20k": about that many triangles. "max": the most triangles of this family of
// layouts that fit the map format's 32767 vertices. False for any other name.
bool InteriorLayoutFor(std::string_view size, InteriorLayout& layout);

struct InteriorSummary {
    int32_t rooms = 0;
    int64_t vertices = 0;
    FaceTreeStats tree;
};

// Creates dir (and dir/Textures) as needed and replaces the files there; false with error
// set (naming the file) when the map does not fit the format or a file cannot be written.
bool WriteInteriorMap(const InteriorLayout& layout, const std::string& dir,
                      InteriorSummary& summary, std::string& error);
