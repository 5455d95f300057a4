#include "scene/map.h"

#include <bit>
#include <cmath>
#include <new>

#include "platform/files.h"

namespace {

constexpr size_t HeaderSize = 11;
constexpr size_t VertexRecordSize = 32;
constexpr size_t NodeRecordSize = 20;
constexpr size_t PolygonRecordSize = 26;

// Every field is decoded from bytes that were actually read, never from a short read.
bool ReadExactly(std::FILE* stream, uint8_t* bytes, size_t count) {
    return std::fread(bytes, 1, count, stream) == count;
}

int32_t Int16At(const uint8_t* bytes) {
    return int16_t(uint16_t(bytes[0] | (bytes[1] << 8)));
}

float FloatAt(const uint8_t* bytes) {
    const uint32_t bits = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    return std::bit_cast<float>(bits);
}

// False when any of a, b, c, d is NaN or infinite: the renderer would carry it into
// every comparison of the walk and the culling.
bool PlaneAt(const uint8_t* bytes, Plane& plane) {
    plane = {FloatAt(bytes), FloatAt(bytes + 4), FloatAt(bytes + 8), FloatAt(bytes + 12)};
    return std::isfinite(plane.a) && std::isfinite(plane.b) && std::isfinite(plane.c) &&
           std::isfinite(plane.d);
}

template <typename T> std::unique_ptr<T[]> NewArray(int32_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(count)]());
}

bool ReadPolygon(std::FILE* stream, const Map& map, MapPolygon& polygon) {
    uint8_t record[PolygonRecordSize];
    if (!ReadExactly(stream, record, sizeof record)) return false;
    for (int i = 0; i < 3; ++i) {
        const int32_t index = Int16At(record + 2 * i);
        if (index < 0 || index >= map.vertexCount) return false;
        polygon.vertices[i] = &map.vertices[index];
    }
    // Offset 6 holds a value that is not used.
    polygon.textureIndex = Int16At(record + 8);
    if (polygon.textureIndex < 0 || polygon.textureIndex >= map.textureCount) return false;
    return PlaneAt(record + 10, polygon.plane);
}

bool ReadName(std::FILE* stream, std::string& name) {
    uint8_t field[MapNameFieldSize];
    if (!ReadExactly(stream, field, sizeof field)) return false;
    size_t length = 0;
    while (length < sizeof field && field[length] != 0)
        ++length;
    if (length == sizeof field) return false; // a name must end inside its field
    name.assign(reinterpret_cast<const char*>(field), length);
    return true;
}

bool ReadVertex(std::FILE* stream, MapVertex& vertex) {
    uint8_t record[VertexRecordSize];
    if (!ReadExactly(stream, record, sizeof record)) return false;
    // The last three floats of the record are not kept, so they are not judged either.
    vertex = {FloatAt(record), FloatAt(record + 4), FloatAt(record + 8), FloatAt(record + 12),
              FloatAt(record + 16)};
    return std::isfinite(vertex.x) && std::isfinite(vertex.y) && std::isfinite(vertex.z) &&
           std::isfinite(vertex.u) && std::isfinite(vertex.v);
}

} // namespace

std::unique_ptr<MapNode> ReadMapNode(std::FILE* stream, const Map& map, int depth) {
    // The recursion follows the file's own nesting; the limit keeps a hostile file from
    // exhausting the stack here and in the renderer's walk.
    if (depth > MaxMapTreeDepth) return nullptr;

    auto node = std::unique_ptr<MapNode>(new (std::nothrow) MapNode());
    if (!node) return nullptr;

    uint8_t record[NodeRecordSize];
    if (!ReadExactly(stream, record, sizeof record)) return nullptr;
    node->flags = Int16At(record);
    if (!PlaneAt(record + 2, node->plane)) return nullptr;
    node->polygonCount = Int16At(record + 18);
    if (node->polygonCount < 0) return nullptr;
    node->polygons = NewArray<MapPolygon>(node->polygonCount);
    if (!node->polygons) return nullptr;
    for (int32_t i = 0; i < node->polygonCount; ++i)
        if (!ReadPolygon(stream, map, node->polygons[i])) return nullptr;

    if (node->flags & NodeHasFront) {
        node->front = ReadMapNode(stream, map, depth + 1);
        if (!node->front) return nullptr;
    }
    if (node->flags & NodeHasBack) {
        node->back = ReadMapNode(stream, map, depth + 1);
        if (!node->back) return nullptr;
    }
    return node;
}

std::unique_ptr<Map> LoadMap(std::string_view path) {
    const FileHandle file = OpenFile(path, "rb");
    if (!file) return nullptr;

    uint8_t header[HeaderSize];
    if (!ReadExactly(file.get(), header, sizeof header)) return nullptr;
    if (header[0] != MapMagic[0] || header[1] != MapMagic[1] || header[2] != MapMagic[2])
        return nullptr;
    if (Int16At(header + 3) != MapVersion) return nullptr;

    auto map = std::unique_ptr<Map>(new (std::nothrow) Map());
    if (!map) return nullptr;
    map->vertexCount = Int16At(header + 5);
    // header + 7: the second count, not used.
    map->textureCount = Int16At(header + 9);
    if (map->vertexCount < 0 || map->textureCount < 0) return nullptr;

    map->textureSlots = NewArray<TextureSlot>(map->textureCount);
    if (!map->textureSlots) return nullptr;
    for (int32_t i = 0; i < map->textureCount; ++i)
        if (!ReadName(file.get(), map->textureSlots[i].name)) return nullptr;

    map->vertices = NewArray<MapVertex>(map->vertexCount);
    if (!map->vertices) return nullptr;
    for (int32_t i = 0; i < map->vertexCount; ++i)
        if (!ReadVertex(file.get(), map->vertices[i])) return nullptr;

    map->root = ReadMapNode(file.get(), *map);
    if (!map->root) return nullptr;
    return map;
}
