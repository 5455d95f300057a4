#include "tools/bspc/obj_reader.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <system_error>
#include <tiny_obj_loader.h>

namespace {

// Texture names become file names: keep them to a portable set of characters.
std::string SafeTextureName(std::string_view name) {
    std::string safe;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        safe.push_back(plain ? c : '_');
    }
    if (safe.empty() || safe[0] == '.') safe.insert(safe.begin(), '_');
    return safe;
}

uint32_t ColorFromKd(const float kd[3]) {
    uint32_t color = 0;
    for (int i = 0; i < 3; ++i) {
        const float c = std::isfinite(kd[i]) ? std::fmin(std::fmax(kd[i], 0.0f), 1.0f) : 0.0f;
        color = color << 8 | uint32_t(std::lround(c * 255.0f));
    }
    return color;
}

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

bool ReadObjScene(const BspcOptions& options, Scene& scene, BspcMessages& messages) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_regular_file(options.objPath, ec)) {
        messages.error = "cannot open scene file \"" + options.objPath + "\"";
        return false;
    }
    const fs::path baseDir = fs::path(options.objPath).parent_path();
    std::string mtlDir = baseDir.string();
    if (!mtlDir.empty()) mtlDir += '/';

    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> objMaterials;
    std::string warn;
    std::string err;
    const bool loaded = tinyobj::LoadObj(&attrib, &shapes, &objMaterials, &warn, &err,
                                         options.objPath.c_str(), mtlDir.c_str(), true);
    // A material library or material that cannot be found would silently turn textured
    // faces grey: the author wants to know.
    if (loaded && warn.find("not found") != std::string::npos) {
        messages.error =
            "scene \"" + options.objPath + "\" names materials that cannot be read: " + Trim(warn);
        return false;
    }
    if (!warn.empty()) messages.warnings.push_back(Trim(warn));
    if (!loaded) {
        messages.error = "cannot read scene \"" + options.objPath + "\": " + Trim(err);
        return false;
    }

    const size_t positionCount = attrib.vertices.size() / 3;
    const size_t texcoordCount = attrib.texcoords.size() / 2;
    for (float value : attrib.vertices) {
        if (!std::isfinite(value)) {
            messages.error = "broken scene \"" + options.objPath + "\": a position is not a number";
            return false;
        }
    }

    // Scene materials in first-use order of the OBJ's materials; faces without one share
    // a plain grey "default".
    std::map<int, int32_t> materialSlot;
    std::set<std::string> usedNames;
    auto slotFor = [&](int objMaterial) -> int32_t {
        if (objMaterial < 0 || size_t(objMaterial) >= objMaterials.size()) objMaterial = -1;
        auto found = materialSlot.find(objMaterial);
        if (found != materialSlot.end()) return found->second;
        SceneMaterial material;
        std::string materialName = "default";
        if (objMaterial >= 0) {
            const tinyobj::material_t& source = objMaterials[size_t(objMaterial)];
            materialName = source.name;
            material.color = ColorFromKd(source.diffuse);
            if (!source.diffuse_texname.empty()) {
                // Scenes exported on Windows often name images with backslashes.
                std::string name = source.diffuse_texname;
                for (char& c : name)
                    if (c == '\\') c = '/';
                fs::path image(name);
                if (image.is_relative()) image = baseDir / image;
                material.imagePath = image.string();
            }
        }
        std::string safe = SafeTextureName(materialName);
        const std::string stem = safe;
        for (int n = 2; usedNames.count(safe) != 0; ++n)
            safe = stem + "_" + std::to_string(n);
        usedNames.insert(safe);
        material.name = safe;
        const int32_t slot = int32_t(scene.materials.size());
        scene.materials.push_back(std::move(material));
        materialSlot.emplace(objMaterial, slot);
        return slot;
    };

    int64_t missingTexcoords = 0;
    for (const tinyobj::shape_t& shape : shapes) {
        const tinyobj::mesh_t& mesh = shape.mesh;
        size_t first = 0;
        for (size_t f = 0; f < mesh.num_face_vertices.size(); ++f) {
            const size_t count = mesh.num_face_vertices[f];
            if (count != 3 || first + 3 > mesh.indices.size()) {
                messages.error = "broken scene \"" + options.objPath + "\": face " +
                                 std::to_string(f + 1) + " of \"" + shape.name +
                                 "\" has fewer than 3 vertices";
                return false;
            }
            BspTriangle triangle;
            for (int k = 0; k < 3; ++k) {
                const tinyobj::index_t index = mesh.indices[first + size_t(k)];
                if (index.vertex_index < 0 || size_t(index.vertex_index) >= positionCount ||
                    (index.texcoord_index >= 0 && size_t(index.texcoord_index) >= texcoordCount)) {
                    messages.error = "broken scene \"" + options.objPath + "\": face " +
                                     std::to_string(f + 1) + " of \"" + shape.name +
                                     "\" refers to a vertex that does not exist";
                    return false;
                }
                const float* p = &attrib.vertices[size_t(index.vertex_index) * 3];
                MapVertex& v = triangle.v[k];
                v.x = float(-double(p[0]) * options.scale + options.offset[0]);
                v.y = float(double(p[1]) * options.scale + options.offset[1]);
                v.z = float(-double(p[2]) * options.scale + options.offset[2]);
                if (index.texcoord_index >= 0) {
                    const float* t = &attrib.texcoords[size_t(index.texcoord_index) * 2];
                    v.u = t[0];
                    v.v = float(1.0 - double(t[1]));
                } else {
                    v.u = 0.0f;
                    v.v = 0.0f;
                    ++missingTexcoords;
                }
            }
            first += count;
            ++scene.inputTriangles;
            if (!TrianglePlane(triangle.v[0], triangle.v[1], triangle.v[2], triangle.plane)) {
                ++scene.degenerateFaces;
                continue;
            }
            triangle.texture = slotFor(f < mesh.material_ids.size() ? mesh.material_ids[f] : -1);
            scene.triangles.push_back(triangle);
            if (options.doubleSided) {
                BspTriangle back = triangle;
                std::swap(back.v[1], back.v[2]);
                back.plane = {-triangle.plane.a, -triangle.plane.b, -triangle.plane.c,
                              -triangle.plane.d};
                scene.triangles.push_back(back);
            }
        }
    }
    if (scene.degenerateFaces > 0)
        messages.warnings.push_back("skipped " + std::to_string(scene.degenerateFaces) +
                                    " degenerate face(s) without area");
    if (missingTexcoords > 0)
        messages.warnings.push_back(std::to_string(missingTexcoords) +
                                    " face vertices have no texture coordinates; using 0, 0");
    if (scene.triangles.empty()) {
        messages.error = "scene \"" + options.objPath + "\" has no faces with area";
        return false;
    }
    return true;
}
