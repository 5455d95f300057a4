#include "scene/map_writer.h"

#include <bit>
#include <cstring>
#include <unordered_map>

#include "scene/map_format.h"
#include "scene/texture.h"

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
    std::unordered_map<VertexKey, int32_t, VertexKeyHash> vertexIndex;
    std::vector<MapVertex> vertices;

    // Appends a record of zeros and returns where it starts; valid until the next record.
    uint8_t* AddRecord(size_t size) {
        bytes.resize(bytes.size() + size, 0);
        return bytes.data() + bytes.size() - size;
    }

    // Numbers the vertices; false at the first node with more polygons than a count holds.
    bool IndexVertices(const BspNode& node, std::string& error) {
        if (node.polygons.size() > size_t(MaxMapCount)) {
            error = "a node holds " + std::to_string(node.polygons.size()) +
                    " polygons in one plane, more than the format's limit of " +
                    std::to_string(MaxMapCount) + " polygons per node";
            return false;
        }
        for (const BspTriangle& t : node.polygons)
            for (const MapVertex& v : t.v) {
                auto [it, added] = vertexIndex.emplace(KeyOf(v), int32_t(vertices.size()));
                if (added) vertices.push_back(v);
            }
        return (!node.front || IndexVertices(*node.front, error)) &&
               (!node.back || IndexVertices(*node.back, error));
    }

    void PutNode(const BspNode& node) {
        uint8_t* record = AddRecord(MapNodeRecordSize);
        PutInt16At(record + NodeFlagsAt,
                   (node.front ? NodeHasFront : 0) | (node.back ? NodeHasBack : 0));
        PutPlaneAt(record + NodePlaneAt, node.plane);
        PutInt16At(record + NodePolygonCountAt, int32_t(node.polygons.size()));
        for (const BspTriangle& t : node.polygons) {
            uint8_t* polygon = AddRecord(MapPolygonRecordSize);
            for (int i = 0; i < 3; ++i)
                PutInt16At(polygon + PolygonVerticesAt + 2 * i, vertexIndex.at(KeyOf(t.v[i])));
            PutInt16At(polygon + PolygonTextureAt, t.texture);
            PutPlaneAt(polygon + PolygonPlaneAt, t.plane);
        }
        if (node.front) PutNode(*node.front);
        if (node.back) PutNode(*node.back);
    }
};

} // namespace

bool CheckTextureNames(std::span<const std::string> textureNames, std::string& error) {
    if (textureNames.size() > size_t(MaxMapCount)) {
        error = "the map needs " + std::to_string(textureNames.size()) +
                " distinct textures, more than the format's limit of " +
                std::to_string(MaxMapCount);
        return false;
    }
    for (const std::string& name : textureNames) {
        if (name.size() > size_t(MaxTextureNameLength)) {
            error = "texture name \"" + name + "\" is " + std::to_string(name.size()) +
                    " bytes long; names are limited to " + std::to_string(MaxTextureNameLength) +
                    " bytes so that the viewer's texture path fits";
            return false;
        }
        if (!TextureNameSafe(name)) {
            error = "texture name \"" + name + "\" would leave the texture folder (or is empty or "
                    "a device name); the viewer refuses it";
            return false;
        }
    }
    return true;
}

bool EncodeMap(const BspNode& root, std::span<const std::string> textureNames,
               std::vector<uint8_t>& bytes, int64_t& vertexCount, std::string& error) {
    bytes.clear();
    vertexCount = 0;
    if (!CheckTextureNames(textureNames, error)) return false;
    Encoder encoder{bytes, {}, {}};
    if (!encoder.IndexVertices(root, error)) return false;
    vertexCount = int64_t(encoder.vertices.size());
    if (vertexCount > MaxMapCount) {
        error = "the map needs " + std::to_string(vertexCount) +
                " vertices, more than the format's limit of " + std::to_string(MaxMapCount);
        return false;
    }
    uint8_t* header = encoder.AddRecord(MapHeaderSize);
    std::memcpy(header + HeaderMagicAt, MapMagic, sizeof MapMagic);
    PutInt16At(header + HeaderVersionAt, MapVersion);
    PutInt16At(header + HeaderVertexCountAt, int32_t(vertexCount));
    PutInt16At(header + HeaderTextureCountAt, int32_t(textureNames.size()));
    for (const std::string& name : textureNames)
        std::memcpy(encoder.AddRecord(MapNameFieldSize), name.data(), name.size());
    for (const MapVertex& v : encoder.vertices) {
        uint8_t* record = encoder.AddRecord(MapVertexRecordSize);
        const float used[MapVertexUsedFloats] = {v.x, v.y, v.z, v.u, v.v};
        for (size_t i = 0; i < MapVertexUsedFloats; ++i)
            PutFloatAt(record + 4 * i, used[i]);
    }
    encoder.PutNode(root);
    return true;
}
