#include "gltf_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

namespace {

// The node's transform: a quarter turn about y, then this move.
constexpr float Move[3] = {5.0f, -3.0f, 2.0f};

struct Material {
    float color[3] = {0.6f, 0.6f, 0.6f};
    std::string image; // file name in the scene's folder
};

struct Primitive {
    std::vector<float> positions; // 3 per corner, stored in the node's frame
    std::vector<float> uvs;       // 2 per corner, glTF's v
};

std::string Base64(const std::vector<uint8_t>& bytes) {
    static const char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = uint32_t(bytes[i]) << 16 |
                           (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                           (i + 2 < bytes.size() ? uint32_t(bytes[i + 2]) : 0);
        out += digits[n >> 18 & 63];
        out += digits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Append(std::vector<uint8_t>& buffer, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    buffer.insert(buffer.end(), p, p + size);
    buffer.resize((buffer.size() + 3) / 4 * 4, 0);
}

std::string Number(float f) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(f));
    return text;
}

} // namespace

std::string WriteGltf(const ObjBuilder& scene, const TempDir& dir, GltfPackaging packaging,
                      const std::string& name) {
    // Materials, in MTL order.
    std::vector<std::string> materialNames;
    std::map<std::string, Material> materials;
    {
        std::istringstream mtl(scene.mtl);
        std::string line, current;
        while (std::getline(mtl, line)) {
            std::istringstream words(line);
            std::string key;
            words >> key;
            if (key == "newmtl") {
                words >> current;
                materialNames.push_back(current);
                materials[current];
            } else if (key == "Kd") {
                Material& m = materials[current];
                words >> m.color[0] >> m.color[1] >> m.color[2];
            } else if (key == "map_Kd") {
                words >> materials[current].image;
            }
        }
    }
    // Faces, one primitive per material, fanned into triangles.
    std::vector<float> v, vt;
    std::map<std::string, Primitive> primitives;
    std::string current = materialNames.empty() ? "" : materialNames[0];
    std::istringstream obj(scene.obj);
    std::string line;
    while (std::getline(obj, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "v" || key == "vt") {
            float f;
            while (words >> f)
                (key == "v" ? v : vt).push_back(f);
        } else if (key == "usemtl") {
            words >> current;
        } else if (key == "f") {
            std::vector<std::pair<int, int>> corners;
            std::string corner;
            while (words >> corner) {
                const int p = std::atoi(corner.c_str());
                const size_t slash = corner.find('/');
                corners.push_back({p, slash == std::string::npos
                                          ? 0
                                          : std::atoi(corner.c_str() + slash + 1)});
            }
            Primitive& out = primitives[current];
            for (size_t k = 1; k + 1 < corners.size(); ++k)
                for (size_t c : {size_t(0), k, k + 1}) {
                    const float* p = &v[size_t(corners[c].first - 1) * 3];
                    // Stored = inverse turn of (p - move): (x, y, z) -> (-z, y, x).
                    const float q[3] = {p[0] - Move[0], p[1] - Move[1], p[2] - Move[2]};
                    out.positions.insert(out.positions.end(), {-q[2], q[1], q[0]});
                    const float* t = &vt[size_t(corners[c].second - 1) * 2];
                    out.uvs.insert(out.uvs.end(), {t[0], 1.0f - t[1]});
                }
        }
    }

    std::vector<uint8_t> buffer;
    std::string views, accessors, meshPrimitives, materialJson, textures, images;
    int viewCount = 0;
    auto addView = [&](const void* data, size_t size) {
        const size_t offset = buffer.size();
        Append(buffer, data, size);
        views += std::string(viewCount ? "," : "") + "{\"buffer\":0,\"byteOffset\":" +
                 std::to_string(offset) + ",\"byteLength\":" + std::to_string(size) + "}";
        return viewCount++;
    };
    int accessorCount = 0;
    auto addAccessor = [&](const std::vector<float>& data, int width) {
        const int view = addView(data.data(), data.size() * sizeof(float));
        std::string bounds;
        if (width == 3) {
            float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
            for (size_t i = 0; i < data.size(); ++i) {
                lo[i % 3] = std::min(lo[i % 3], data[i]);
                hi[i % 3] = std::max(hi[i % 3], data[i]);
            }
            bounds = ",\"min\":[" + Number(lo[0]) + "," + Number(lo[1]) + "," + Number(lo[2]) +
                     "],\"max\":[" + Number(hi[0]) + "," + Number(hi[1]) + "," + Number(hi[2]) +
                     "]";
        }
        accessors += std::string(accessorCount ? "," : "") + "{\"bufferView\":" +
                     std::to_string(view) + ",\"componentType\":5126,\"count\":" +
                     std::to_string(data.size() / size_t(width)) + ",\"type\":\"" +
                     (width == 3 ? "VEC3" : "VEC2") + "\"" + bounds + "}";
        return accessorCount++;
    };
    int imageCount = 0;
    for (size_t m = 0; m < materialNames.size(); ++m) {
        const Material& material = materials[materialNames[m]];
        std::string pbr = "\"baseColorFactor\":[" + Number(material.color[0]) + "," +
                          Number(material.color[1]) + "," + Number(material.color[2]) + ",1]";
        if (!material.image.empty()) {
            const std::vector<uint8_t> png = ReadAll(dir.File(material.image));
            std::string image;
            if (packaging == GltfPackaging::Files)
                image = "{\"uri\":\"" + material.image + "\"}";
            else if (packaging == GltfPackaging::DataUris)
                image = "{\"uri\":\"data:image/png;base64," + Base64(png) + "\"}";
            else
                image = "{\"bufferView\":" + std::to_string(addView(png.data(), png.size())) +
                        ",\"mimeType\":\"image/png\"}";
            images += std::string(imageCount ? "," : "") + image;
            textures += std::string(imageCount ? "," : "") + "{\"source\":" +
                        std::to_string(imageCount) + "}";
            pbr += ",\"baseColorTexture\":{\"index\":" + std::to_string(imageCount) + "}";
            ++imageCount;
        }
        materialJson += std::string(m ? "," : "") + "{\"name\":\"" + materialNames[m] +
                        "\",\"pbrMetallicRoughness\":{" + pbr + "}}";
    }
    for (size_t m = 0; m < materialNames.size(); ++m) {
        const auto found = primitives.find(materialNames[m]);
        if (found == primitives.end()) continue;
        const int position = addAccessor(found->second.positions, 3);
        const int uv = addAccessor(found->second.uvs, 2);
        meshPrimitives += std::string(meshPrimitives.empty() ? "" : ",") +
                          "{\"attributes\":{\"POSITION\":" + std::to_string(position) +
                          ",\"TEXCOORD_0\":" + std::to_string(uv) +
                          "},\"material\":" + std::to_string(m) + "}";
    }
    const float half = std::sqrt(0.5f);
    std::string bufferJson = "{\"byteLength\":" + std::to_string(buffer.size());
    if (packaging == GltfPackaging::Files) bufferJson += ",\"uri\":\"" + name + ".bin\"";
    if (packaging == GltfPackaging::DataUris)
        bufferJson += ",\"uri\":\"data:application/octet-stream;base64," + Base64(buffer) + "\"";
    bufferJson += "}";
    std::string json =
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
        "\"nodes\":[{\"mesh\":0,\"rotation\":[0," +
        Number(half) + ",0," + Number(half) + "],\"translation\":[" + Number(Move[0]) + "," +
        Number(Move[1]) + "," + Number(Move[2]) + "]}],\"meshes\":[{\"primitives\":[" +
        meshPrimitives + "]}],\"materials\":[" + materialJson + "]," +
        (imageCount ? "\"textures\":[" + textures + "],\"images\":[" + images + "]," : "") +
        "\"buffers\":[" + bufferJson + "],\"bufferViews\":[" + views + "],\"accessors\":[" +
        accessors + "]}";

    auto bytes = [](const std::string& s) {
        return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    if (packaging != GltfPackaging::Binary) {
        if (packaging == GltfPackaging::Files) WriteFileBytes(dir.File(name + ".bin"), buffer);
        WriteFileBytes(dir.File(name + ".gltf"), bytes(json));
        return dir.File(name + ".gltf");
    }
    json.resize((json.size() + 3) / 4 * 4, ' ');
    std::vector<uint8_t> glb;
    auto put32 = [&](uint32_t n) { Append(glb, &n, 4); };
    glb.insert(glb.end(), {'g', 'l', 'T', 'F'});
    put32(2);
    put32(uint32_t(12 + 8 + json.size() + 8 + buffer.size()));
    put32(uint32_t(json.size()));
    put32(0x4E4F534A); // "JSON"
    glb.insert(glb.end(), json.begin(), json.end());
    put32(uint32_t(buffer.size()));
    put32(0x004E4942); // "BIN\0"
    glb.insert(glb.end(), buffer.begin(), buffer.end());
    WriteFileBytes(dir.File(name + ".glb"), glb);
    return dir.File(name + ".glb");
}
