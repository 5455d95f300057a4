// The same scene as an ObjBuilder's, written as glTF 2.0, so that tests can compare what
// the compiler makes of either.
#pragma once

#include <string>

#include "obj_fixtures.h"

enum class GltfPackaging {
    Files,    // NAME.gltf with NAME.bin and the images beside it
    DataUris, // NAME.gltf holding its buffer and images as base64 data URIs
    Binary,   // NAME.glb holding the JSON, the buffer and the images
};

// Converts the scene (its v, vt, usemtl and f lines; its materials' Kd and map_Kd, images
// read from dir) into one mesh under a node that turns it a quarter about y and moves it:
// the vertices are stored with the inverse of that transform, so that the node puts them back
// where the OBJ has them. v becomes 1 - v, glTF counting rows from the image's top.
// Returns the path of the written file.
std::string WriteGltf(const ObjBuilder& scene, const TempDir& dir, GltfPackaging packaging,
                      const std::string& name = "scene");
