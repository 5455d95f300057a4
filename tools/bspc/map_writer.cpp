#include "tools/bspc/map_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>

namespace {

struct VertexKey {
    uint32_t bits[5];
    bool operator==(const VertexKey& other) const {
        return std::memcmp(bits, other.bits, sizeof bits) == 0;
    }
};

struct VertexKeyHash {
    size_t operator()(const VertexKey& key) const {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t b : key.bits)
            h = (h ^ b) * 1099511628211ull;
        return size_t(h);
    }
};

VertexKey KeyOf(const MapVertex& v) {
    return {{std::bit_cast<uint32_t>(v.x), std::bit_cast<uint32_t>(v.y),
             std::bit_cast<uint32_t>(v.z), std::bit_cast<uint32_t>(v.u),
             std::bit_cast<uint32_t>(v.v)}};
}

struct Encoder {
    std::vector<uint8_t>& bytes;
    BspcMessages& messages;
    // Equal vertices (bit for bit) share one record, numbered in pre-order of first use.
    std::unordered_map<VertexKey, int32_t, VertexKeyHash> vertexIndex;
    std::vector<MapVertex> vertices;

    void Put16(int32_t value) {
        bytes.push_back(uint8_t(value));
        bytes.push_back(uint8_t(uint32_t(value) >> 8));
    }
    void PutFloat(float value) {
        const uint32_t bits = std::bit_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(bits >> (8 * i)));
    }
    void PutPlane(const Plane& p) {
        PutFloat(p.a);
        PutFloat(p.b);
        PutFloat(p.c);
        PutFloat(p.d);
    }

    void IndexVertices(const BspNode& node) {
        for (const BspTriangle& t : node.polygons) {
            for (const MapVertex& v : t.v) {
                auto [it, added] = vertexIndex.emplace(KeyOf(v), int32_t(vertices.size()));
                if (added) vertices.push_back(v);
            }
        }
        if (node.front) IndexVertices(*node.front);
        if (node.back) IndexVertices(*node.back);
    }

    bool PutNode(const BspNode& node) {
        if (node.polygons.size() > size_t(MaxMapCount)) {
            messages.error = "a node holds " + std::to_string(node.polygons.size()) +
                             " polygons in one plane, more than the format's limit of " +
                             std::to_string(MaxMapCount) + " polygons per node";
            return false;
        }
        Put16((node.front ? NodeHasFront : 0) | (node.back ? NodeHasBack : 0));
        PutPlane(node.plane);
        Put16(int32_t(node.polygons.size()));
        for (const BspTriangle& t : node.polygons) {
            for (const MapVertex& v : t.v)
                Put16(vertexIndex.at(KeyOf(v)));
            Put16(0);
            Put16(t.texture);
            PutPlane(t.plane);
        }
        if (node.front && !PutNode(*node.front)) return false;
        if (node.back && !PutNode(*node.back)) return false;
        return true;
    }
};

} // namespace

bool EncodeMap(const BspNode& root, std::span<const std::string> textureNames,
               int32_t maxVertices, std::vector<uint8_t>& bytes, int64_t& vertexCount,
               BspcMessages& messages) {
    if (textureNames.size() > size_t(MaxMapCount)) {
        messages.error = "the scene has " + std::to_string(textureNames.size()) +
                         " materials, more than the format's limit of " +
                         std::to_string(MaxMapCount) + " textures";
        return false;
    }
    for (const std::string& name : textureNames) {
        if (name.size() > size_t(MaxTextureNameLength)) {
            messages.error = "texture name \"" + name + "\" is " + std::to_string(name.size()) +
                             " bytes long; names are limited to " +
                             std::to_string(MaxTextureNameLength) +
                             " bytes so that the viewer's texture path fits";
            return false;
        }
    }
    bytes.clear();
    Encoder encoder{bytes, messages, {}, {}};
    encoder.IndexVertices(root);
    vertexCount = int64_t(encoder.vertices.size());
    if (vertexCount > std::min(maxVertices, MaxMapCount)) {
        messages.error = "the map needs " + std::to_string(vertexCount) +
                         " vertices, more than the format's limit of " +
                         std::to_string(std::min(maxVertices, MaxMapCount));
        return false;
    }
    bytes.insert(bytes.end(), MapMagic, MapMagic + 3);
    encoder.Put16(MapVersion);
    encoder.Put16(int32_t(encoder.vertices.size()));
    encoder.Put16(0);
    encoder.Put16(int32_t(textureNames.size()));
    for (const std::string& name : textureNames) {
        const size_t start = bytes.size();
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.resize(start + MapNameFieldSize, 0);
    }
    for (const MapVertex& v : encoder.vertices) {
        for (float f : {v.x, v.y, v.z, v.u, v.v, 0.0f, 0.0f, 0.0f})
            encoder.PutFloat(f);
    }
    return encoder.PutNode(root);
}
