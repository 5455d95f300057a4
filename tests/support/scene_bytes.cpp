#include "support/scene_bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

void AppendInt16(std::vector<uint8_t>& bytes, int16_t value) {
    const auto bits = uint16_t(value);
    bytes.push_back(uint8_t(bits));
    bytes.push_back(uint8_t(bits >> 8));
}

void AppendInt32(std::vector<uint8_t>& bytes, int32_t value) {
    const auto bits = uint32_t(value);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(uint8_t(bits >> shift));
}

void AppendFloat(std::vector<uint8_t>& bytes, float value) {
    AppendInt32(bytes, std::bit_cast<int32_t>(value));
}

static void AppendPlane(std::vector<uint8_t>& bytes, const Plane& plane) {
    AppendFloat(bytes, plane.a);
    AppendFloat(bytes, plane.b);
    AppendFloat(bytes, plane.c);
    AppendFloat(bytes, plane.d);
}

void AppendMapHeader(std::vector<uint8_t>& bytes, int16_t vertexCount, int16_t secondCount,
                     int16_t textureCount) {
    bytes.insert(bytes.end(), {'B', 'S', 'P'});
    AppendInt16(bytes, 50);
    AppendInt16(bytes, vertexCount);
    AppendInt16(bytes, secondCount);
    AppendInt16(bytes, textureCount);
}

void AppendMapName(std::vector<uint8_t>& bytes, std::string_view name) {
    const size_t start = bytes.size();
    bytes.resize(start + 256, 0);
    std::memcpy(bytes.data() + start, name.data(), std::min<size_t>(name.size(), 256));
}

void AppendMapVertex(std::vector<uint8_t>& bytes, const MapFileVertex& vertex) {
    for (float value : {vertex.x, vertex.y, vertex.z, vertex.u, vertex.v, vertex.unused[0],
                        vertex.unused[1], vertex.unused[2]})
        AppendFloat(bytes, value);
}

void AppendMapNodeRecord(std::vector<uint8_t>& bytes, int16_t flags, const Plane& plane,
                         int16_t polygonCount) {
    AppendInt16(bytes, flags);
    AppendPlane(bytes, plane);
    AppendInt16(bytes, polygonCount);
}

void AppendMapPolygon(std::vector<uint8_t>& bytes, const MapFilePolygon& polygon) {
    for (int16_t index : polygon.vertexIndices)
        AppendInt16(bytes, index);
    AppendInt16(bytes, polygon.skipped);
    AppendInt16(bytes, polygon.textureIndex);
    AppendPlane(bytes, polygon.plane);
}

std::vector<uint8_t> MapFileBytes(const MapFileDescription& map) {
    std::vector<uint8_t> bytes;
    AppendMapHeader(bytes, int16_t(map.vertices.size()), map.secondCount,
                    int16_t(map.textureNames.size()));
    std::memcpy(bytes.data(), map.magic, 3);
    PatchInt16(bytes, 3, map.version);
    for (const std::string& name : map.textureNames)
        AppendMapName(bytes, name);
    for (const MapFileVertex& vertex : map.vertices)
        AppendMapVertex(bytes, vertex);

    // Pre-order with an explicit stack, so deep test trees cannot exhaust the call stack.
    std::vector<const MapFileNode*> pending = {&map.root};
    while (!pending.empty()) {
        const MapFileNode* node = pending.back();
        pending.pop_back();
        const int16_t flags =
            int16_t((node->flags & ~3) | (node->front ? 1 : 0) | (node->back ? 2 : 0));
        AppendMapNodeRecord(bytes, flags, node->plane, int16_t(node->polygons.size()));
        for (const MapFilePolygon& polygon : node->polygons)
            AppendMapPolygon(bytes, polygon);
        if (node->back) pending.push_back(node->back.get());
        if (node->front) pending.push_back(node->front.get());
    }
    return bytes;
}

static Plane FrontFacingPlane(const Point3& p0, const Point3& p1, const Point3& p2) {
    Plane plane;
    PlaneFromPoints(plane, p0, p2, p1); // swapped order: the opposite normal
    return plane;
}

void AddMapFace(MapFileDescription& map, MapFileNode& node, std::span<const MapFileCorner> corners,
                int16_t textureIndex, const Point3& viewer) {
    for (size_t k = 1; k + 1 < corners.size(); ++k) {
        const MapFileCorner* c[3] = {&corners[0], &corners[k], &corners[k + 1]};
        Plane plane = FrontFacingPlane(c[0]->position, c[1]->position, c[2]->position);
        if (PlaneDistance(plane, viewer) > 0) {
            std::swap(c[1], c[2]);
            plane = FrontFacingPlane(c[0]->position, c[1]->position, c[2]->position);
        }
        MapFilePolygon polygon;
        for (int i = 0; i < 3; ++i) {
            const Point3& p = c[i]->position;
            map.vertices.push_back({p.x, p.y, p.z, c[i]->u, c[i]->v});
            polygon.vertexIndices[i] = int16_t(map.vertices.size() - 1);
        }
        polygon.textureIndex = textureIndex;
        polygon.plane = plane;
        node.plane = plane;
        node.polygons.push_back(polygon);
    }
}

int32_t BitmapRowSize(int32_t width) {
    return (width * 3 + 3) & ~3;
}

std::vector<uint8_t> BitmapBytes(int32_t width, int32_t height, std::span<const uint32_t> pixels) {
    const int32_t rowSize = BitmapRowSize(width);
    const int32_t dataSize = rowSize * height;
    std::vector<uint8_t> bytes;
    bytes.reserve(BitmapHeaderSize + size_t(dataSize));
    bytes.insert(bytes.end(), {'B', 'M'});
    AppendInt32(bytes, int32_t(BitmapHeaderSize) + dataSize);
    AppendInt32(bytes, 0);
    AppendInt32(bytes, int32_t(BitmapHeaderSize));
    AppendInt32(bytes, 40);
    AppendInt32(bytes, width);
    AppendInt32(bytes, height);
    AppendInt16(bytes, 1);
    AppendInt16(bytes, 24);
    AppendInt32(bytes, 0);
    AppendInt32(bytes, dataSize);
    AppendInt32(bytes, 2835); // 72 dpi
    AppendInt32(bytes, 2835);
    AppendInt32(bytes, 0);
    AppendInt32(bytes, 0);
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[size_t(y) * size_t(width) + size_t(x)];
            bytes.insert(bytes.end(), {uint8_t(pixel), uint8_t(pixel >> 8), uint8_t(pixel >> 16)});
        }
        bytes.resize(bytes.size() + size_t(rowSize - width * 3), 0);
    }
    return bytes;
}

void PatchInt32(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = uint8_t(uint32_t(value) >> (8 * i));
}

void PatchInt16(std::vector<uint8_t>& bytes, size_t offset, int16_t value) {
    for (int i = 0; i < 2; ++i)
        bytes.at(offset + i) = uint8_t(uint16_t(value) >> (8 * i));
}
