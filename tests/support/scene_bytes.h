// Scene files built in code, byte for byte as the loaders read them.
//
// Map files: describe the map with MapFileDescription and call MapFileBytes, or, for
// malformed or very deep files, put the pieces together with the Append* functions.
// AddMapFace builds small maps of faces seen from a given side.
// Bitmaps: BitmapBytes writes a plain 24-bit BMP. Write either to disk with
// WriteFileBytes (files.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "geometry/plane.h"

struct MapFileVertex {
    float x = 0, y = 0, z = 0, u = 0, v = 0;
    float unused[3] = {}; // the record's three trailing floats
};

struct MapFilePolygon {
    int16_t vertexIndices[3] = {};
    int16_t skipped = 0; // the value at polygon offset 6, which the loader ignores
    int16_t textureIndex = 0;
    Plane plane = {};
};

struct MapFileNode {
    // Written with bits 0 and 1 replaced by the presence of front and back; the other
    // bits are written as given.
    int16_t flags = 0;
    Plane plane = {};
    std::vector<MapFilePolygon> polygons;
    std::unique_ptr<MapFileNode> front;
    std::unique_ptr<MapFileNode> back;
};

struct MapFileDescription {
    char magic[3] = {'B', 'S', 'P'};
    int16_t version = 50;
    int16_t secondCount = 0;               // read and ignored by the loader
    std::vector<std::string> textureNames; // each NUL-padded to 256 bytes (at most 255 chars)
    std::vector<MapFileVertex> vertices;
    MapFileNode root;
};

// The whole file: header, names, vertices, then the tree in pre-order (front before back).
// vertexCount and textureCount are the sizes of the vectors.
std::vector<uint8_t> MapFileBytes(const MapFileDescription& map);

// Pieces of a map file, appended to bytes in the file's own layout.
void AppendInt16(std::vector<uint8_t>& bytes, int16_t value);
void AppendInt32(std::vector<uint8_t>& bytes, int32_t value);
void AppendFloat(std::vector<uint8_t>& bytes, float value);
// 11 bytes: magic "BSP", version 50 and the three counts.
void AppendMapHeader(std::vector<uint8_t>& bytes, int16_t vertexCount, int16_t secondCount,
                     int16_t textureCount);
// 256 bytes: the name, then NULs. The name may be 256 characters long (no NUL then).
void AppendMapName(std::vector<uint8_t>& bytes, std::string_view name);
void AppendMapVertex(std::vector<uint8_t>& bytes, const MapFileVertex& vertex);
// 20 bytes: flags exactly as given, plane, polygonCount. The polygons follow separately.
void AppendMapNodeRecord(std::vector<uint8_t>& bytes, int16_t flags, const Plane& plane,
                         int16_t polygonCount);
// 26 bytes.
void AppendMapPolygon(std::vector<uint8_t>& bytes, const MapFilePolygon& polygon);

struct MapFileCorner {
    Point3 position;
    float u = 0, v = 0;
};
// Adds a flat convex face (corners in order around it) to node as the triangles
// (0, k, k + 1), each with three new vertices and ordered so that viewer sees its front;
// node takes the face's plane. Seen from the front, a triangle's plane normal is opposite
// to (p1 - p0) x (p2 - p0): unit length, d = -(n . p0), as the renderer wants it.
void AddMapFace(MapFileDescription& map, MapFileNode& node, std::span<const MapFileCorner> corners,
                int16_t textureIndex, const Point3& viewer);

// A 24-bit uncompressed BMP of 54 header bytes and bottom-up rows padded to 4 bytes.
// pixels: width x height values 0x00RRGGBB, top row first (the top byte is dropped).
std::vector<uint8_t> BitmapBytes(int32_t width, int32_t height, std::span<const uint32_t> pixels);
// Row size of such a file: width x 3 rounded up to a multiple of 4.
int32_t BitmapRowSize(int32_t width);
// Offsets of header fields worth patching in tests.
inline constexpr size_t BitmapWidthOffset = 18;
inline constexpr size_t BitmapHeightOffset = 22;
inline constexpr size_t BitmapBitsOffset = 28;
inline constexpr size_t BitmapCompressionOffset = 30;
inline constexpr size_t BitmapDataOffsetOffset = 10;
inline constexpr size_t BitmapHeaderSize = 54;

// Overwrites bytes[offset..offset+4) (or +2) with a little-endian value.
void PatchInt32(std::vector<uint8_t>& bytes, size_t offset, int32_t value);
void PatchInt16(std::vector<uint8_t>& bytes, size_t offset, int16_t value);
