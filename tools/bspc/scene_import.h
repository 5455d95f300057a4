// Reads a scene file through Assimp: every mesh instance of the node tree with its node
// transform applied, triangulated, in scene space, and the materials the triangles use.
//
// Texture coordinates follow one convention for every format: v counts from the image's
// top row (Assimp hands out v from the bottom row, its glTF reader included, so v becomes
// 1 - v here, once).
//
// Material problems never stop the import; each distinct cause gives one warning naming the
// file or material: a missing material library (after trying the scene's own base name with
// ".mtl"), materials defined nowhere (the default grey), a missing image (the material's
// colour), an image found only under another folder, a transparent material. Errors: a file
// that cannot be read or parsed, one without faces, absurd sizes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/bspc/bspc.h"

// The grey a face gets when its material is defined nowhere.
inline constexpr uint32_t DefaultMaterialColor = 0x999999;

struct SceneTriangle {
    double p[3][3] = {}; // corners in scene space, counter-clockwise seen from the front
    float uv[3][2] = {}; // texture coordinates, v from the image's top row
    int32_t material = 0;
    bool hasUv = false;
};

struct SceneMaterial {
    std::string name;
    std::string imageName; // the image as the scene names it; empty: none
    std::string imagePath; // the image file found for it; empty: none or embedded
    // Image bytes held inside the scene file: a PNG, JPEG... file, or, when embeddedWidth and
    // embeddedHeight are set, raw RGBA texels, top row first.
    std::vector<uint8_t> embedded;
    int32_t embeddedWidth = 0;
    int32_t embeddedHeight = 0;
    uint32_t color = DefaultMaterialColor; // 0x00RRGGBB: diffuse or base colour
};

struct Scene {
    std::vector<SceneTriangle> triangles; // material indexes `materials`
    std::vector<SceneMaterial> materials;
};

bool ImportScene(const std::string& path, Scene& scene, BspcMessages& messages);
// The file name extensions the importer reads, lower case, without dots, space-separated.
std::string SceneExtensions();
// The same in a child process: a crash of the importer, or an import still busy after
// `seconds` (0: no limit), becomes messages.error.
bool ImportSceneIsolated(const std::string& path, int32_t seconds, Scene& scene,
                         BspcMessages& messages);
