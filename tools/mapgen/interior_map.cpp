#include "tools/mapgen/interior_map.h"

#include <filesystem>

#include "platform/files.h"
#include "scene/bitmap.h"
#include "scene/map_format.h"
#include "scene/map_writer.h"

bool InteriorLayoutFor(std::string_view size, InteriorLayout& layout) {
    // "max" was found by growing the room grid at the 20k map's lattice: 4 x 6 rooms with
    // pillars in the start room only give 52,096 triangles on 32,528 vertices; a fifth
    // column, a seventh row or pillars in a third of the rooms no longer fit.
    if (size == "2k")
        layout = {2, 2, 32, Pillars::StartRoomAndAThird};
    else if (size == "20k")
        layout = {3, 3, 16, Pillars::StartRoomAndAThird};
    else if (size == "max")
        layout = {4, 6, 16, Pillars::StartRoom};
    else
        return false;
    return true;
}

bool WriteInteriorMap(const InteriorLayout& layout, const std::string& dir,
                      InteriorSummary& summary, std::string& error) {
    namespace fs = std::filesystem;
    summary = {};
    summary.rooms = layout.roomsX * layout.roomsZ;
    const std::vector<InteriorImage> images = InteriorImages();
    std::vector<TextureSize> sizes;
    std::vector<std::string> names;
    for (const InteriorImage& image : images) {
        sizes.push_back({image.image.width, image.image.height});
        names.push_back(image.name);
    }
    const std::unique_ptr<BspNode> root =
        BuildFaceTree(BuildInteriorFaces(layout), layout.cell, sizes, summary.tree);
    if (!root) {
        error = "the layout has a face off its lattice of " + std::to_string(layout.cell);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeMap(*root, names, bytes, summary.vertices, error)) return false;

    const fs::path textureDir = fs::path(dir) / TextureDirectoryName;
    std::error_code ec;
    fs::create_directories(textureDir, ec);
    if (ec) {
        error = "cannot create \"" + textureDir.string() + "\": " + ec.message();
        return false;
    }
    for (const InteriorImage& image : images) {
        const std::string path =
            (textureDir / (std::string(image.name) + TextureFileExtension)).string();
        if (!WriteBitmap(path, image.image)) {
            error = "cannot write \"" + path + "\"";
            return false;
        }
    }
    const std::string mapPath = (fs::path(dir) / MapFileName).string();
    if (!WriteHostFile(mapPath, bytes)) {
        error = "cannot write \"" + mapPath + "\"";
        return false;
    }
    return true;
}
