#include "scene/map.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "scene/load_error.h"

namespace {

// The first problem met while reading, for LastLoadError; noted once, by LoadMap.
const char* Problem = nullptr;

bool Refuse(const char* reason) {
    if (!Problem) Problem = reason;
    return false;
}

// Every field is decoded from bytes that were actually read, never from a short read.
bool ReadExactly(std::FILE* stream, uint8_t* bytes, size_t count) {
    if (std::fread(bytes, 1, count, stream) == count) return true;
    return Refuse(std::ferror(stream) ? LoadUnreadable : LoadTruncated);
}

// False when any of a, b, c, d is NaN or infinite: the renderer would carry it into
// every comparison of the walk and the culling.
bool ReadPlaneField(const uint8_t* bytes, Plane& plane) {
    plane = PlaneAt(bytes);
    return (std::isfinite(plane.a) && std::isfinite(plane.b) && std::isfinite(plane.c) &&
            std::isfinite(plane.d)) ||
           Refuse(LoadNotFinite);
}

template <typename T> std::unique_ptr<T[]> NewArray(int32_t count) {
    auto array = std::unique_ptr<T[]>(new (std::nothrow) T[size_t(count)]());
    if (!array) Refuse(LoadOutOfMemory);
    return array;
}

bool ReadPolygon(std::FILE* stream, const Map& map, MapPolygon& polygon) {
    uint8_t record[MapPolygonRecordSize];
    if (!ReadExactly(stream, record, sizeof record)) return false;
    for (int i = 0; i < 3; ++i) {
        const int32_t index = Int16At(record + PolygonVerticesAt + 2 * i);
        if (index < 0 || index >= map.vertexCount) return Refuse(LoadBadVertexIndex);
        polygon.vertices[i] = &map.vertices[index];
    }
    polygon.textureIndex = Int16At(record + PolygonTextureAt);
    if (polygon.textureIndex < 0 || polygon.textureIndex >= map.textureCount)
        return Refuse(LoadBadTextureIndex);
    return ReadPlaneField(record + PolygonPlaneAt, polygon.plane);
}

bool ReadName(std::FILE* stream, std::string& name) {
    uint8_t field[MapNameFieldSize];
    if (!ReadExactly(stream, field, sizeof field)) return false;
    size_t length = 0;
    while (length < sizeof field && field[length] != 0)
        ++length;
    if (length == sizeof field) return Refuse(LoadBadName); // a name must end inside its field
    name.assign(reinterpret_cast<const char*>(field), length);
    return true;
}

bool ReadVertex(std::FILE* stream, MapVertex& vertex) {
    uint8_t record[MapVertexRecordSize];
    if (!ReadExactly(stream, record, sizeof record)) return false;
    // The last three floats of the record are not kept, so they are not judged either.
    vertex = {FloatAt(record), FloatAt(record + 4), FloatAt(record + 8), FloatAt(record + 12),
              FloatAt(record + 16)};
    return (std::isfinite(vertex.x) && std::isfinite(vertex.y) && std::isfinite(vertex.z) &&
            std::isfinite(vertex.u) && std::isfinite(vertex.v)) ||
           Refuse(LoadNotFinite);
}

// One node and its subtrees at the stream's position; depth counts from 1 at the root.
std::unique_ptr<MapNode> ReadMapNode(std::FILE* stream, const Map& map, int depth) {
    // The recursion follows the file's own nesting; the limit keeps a hostile file from
    // exhausting the stack here and in the renderer's walk.
    if (depth > MaxMapTreeDepth) return Refuse(LoadTooDeep), nullptr;

    auto node = std::unique_ptr<MapNode>(new (std::nothrow) MapNode());
    if (!node) return Refuse(LoadOutOfMemory), nullptr;

    uint8_t record[MapNodeRecordSize];
    if (!ReadExactly(stream, record, sizeof record)) return nullptr;
    node->flags = Int16At(record + NodeFlagsAt);
    if (!ReadPlaneField(record + NodePlaneAt, node->plane)) return nullptr;
    node->polygonCount = Int16At(record + NodePolygonCountAt);
    if (node->polygonCount < 0) return Refuse(LoadBadCount), nullptr;
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

} // namespace

namespace {

std::unique_ptr<Map> ReadMap(std::FILE* file) {
    uint8_t header[MapHeaderSize];
    if (!ReadExactly(file, header, sizeof header)) return nullptr;
    if (std::memcmp(header + HeaderMagicAt, MapMagic, sizeof MapMagic) != 0 ||
        Int16At(header + HeaderVersionAt) != MapVersion)
        return Refuse(LoadNotMap), nullptr;

    auto map = std::unique_ptr<Map>(new (std::nothrow) Map());
    if (!map) return Refuse(LoadOutOfMemory), nullptr;
    map->vertexCount = Int16At(header + HeaderVertexCountAt);
    map->textureCount = Int16At(header + HeaderTextureCountAt);
    if (map->vertexCount < 0 || map->textureCount < 0) return Refuse(LoadBadCount), nullptr;

    map->textureSlots = NewArray<TextureSlot>(map->textureCount);
    if (!map->textureSlots) return nullptr;
    for (int32_t i = 0; i < map->textureCount; ++i)
        if (!ReadName(file, map->textureSlots[i].name)) return nullptr;

    map->vertices = NewArray<MapVertex>(map->vertexCount);
    if (!map->vertices) return nullptr;
    for (int32_t i = 0; i < map->vertexCount; ++i)
        if (!ReadVertex(file, map->vertices[i])) return nullptr;

    map->root = ReadMapNode(file, *map, 1);
    if (!map->root) return nullptr;
    return map;
}

} // namespace

std::unique_ptr<Map> LoadMap(std::string_view path) {
    Problem = nullptr;
    errno = 0;
    const FileHandle file = OpenFile(path, "rb");
    std::unique_ptr<Map> map;
    if (!file)
        Refuse(errno == ENOENT ? LoadMissing : LoadUnreadable);
    else
        map = ReadMap(file.get());
    if (!map) {
        NoteLoadError(path, Problem ? Problem : LoadUnreadable);
        LastLoadError.kind = "map";
    }
    return map;
}
