// The map's files: the names of the map file and of its texture folder, and the map file's
// byte layout, shared by the loader (scene/map.cpp) and the writer (scene/map_writer.cpp)
// that the map compiler and the benchmark map generator encode their trees with.
//
// The file is little-endian with no gaps: an 11-byte header, textureCount 256-byte name
// fields (a name ends at its NUL), vertexCount 32-byte vertex records, then the node tree
// in pre-order. A node record is 20 bytes, followed by its polygonCount 26-byte polygon
// records, its front subtree (when flag bit 0 is set) and its back subtree (bit 1). Every
// 16-bit field is signed. The "unused" fields are written as 0 and never read.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "geometry/plane.h"
#include "scene/texture.h"

// The map file, in the viewer's working directory.
inline constexpr char MapFileName[] = "Vuze.BSP";
// The folder beside it holding one TextureFileExtension file per texture name.
inline constexpr char TextureDirectoryName[] = "Textures";
inline constexpr char TextureFileExtension[] = ".bmp";

inline constexpr char MapMagic[3] = {'B', 'S', 'P'};
inline constexpr int16_t MapVersion = 50;
inline constexpr int MapNameFieldSize = 256;
// Counts and indexes are signed 16-bit fields.
inline constexpr int32_t MaxMapCount = 32767;
// A texture name must leave room for "Textures\" + name + ".bmp" and the NUL in the viewer's
// texture path (the name field itself allows 255 bytes).
inline constexpr int32_t MaxTextureNameLength = TexturePathSize -
                                                int32_t(sizeof(TextureDirectoryName) - 1) - 1 -
                                                int32_t(sizeof(TextureFileExtension) - 1) - 1;

// Node flags.
inline constexpr int32_t NodeHasFront = 1;
inline constexpr int32_t NodeHasBack = 2;

// Header: magic, version, vertexCount, a second count that is not used, textureCount.
inline constexpr size_t MapHeaderSize = 11;
inline constexpr size_t HeaderMagicAt = 0;
inline constexpr size_t HeaderVersionAt = 3;
inline constexpr size_t HeaderVertexCountAt = 5;
inline constexpr size_t HeaderUnusedCountAt = 7;
inline constexpr size_t HeaderTextureCountAt = 9;

// Vertex record: x, y, z, u, v and three floats that are not used.
inline constexpr size_t MapVertexRecordSize = 32;
inline constexpr size_t MapVertexUsedFloats = 5;

// A plane field: a, b, c, d.
inline constexpr size_t PlaneFieldSize = 16;

// Node record: flags, plane, polygonCount.
inline constexpr size_t MapNodeRecordSize = 20;
inline constexpr size_t NodeFlagsAt = 0;
inline constexpr size_t NodePlaneAt = 2;
inline constexpr size_t NodePolygonCountAt = 18;

// Polygon record: three vertex indexes, a field that is not used, textureIndex, plane.
inline constexpr size_t MapPolygonRecordSize = 26;
inline constexpr size_t PolygonVerticesAt = 0;
inline constexpr size_t PolygonUnusedAt = 6;
inline constexpr size_t PolygonTextureAt = 8;
inline constexpr size_t PolygonPlaneAt = 10;

static_assert(HeaderTextureCountAt + 2 == MapHeaderSize);
static_assert(MapVertexUsedFloats * 4 + 12 == MapVertexRecordSize);
static_assert(NodePlaneAt + PlaneFieldSize == NodePolygonCountAt &&
              NodePolygonCountAt + 2 == MapNodeRecordSize);
static_assert(PolygonTextureAt + 2 == PolygonPlaneAt &&
              PolygonPlaneAt + PlaneFieldSize == MapPolygonRecordSize);

// Little-endian fields, read from and written to byte positions.
inline int32_t Int16At(const uint8_t* bytes) {
    return int16_t(uint16_t(bytes[0] | (bytes[1] << 8)));
}

inline float FloatAt(const uint8_t* bytes) {
    return std::bit_cast<float>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

inline Plane PlaneAt(const uint8_t* bytes) {
    return {FloatAt(bytes), FloatAt(bytes + 4), FloatAt(bytes + 8), FloatAt(bytes + 12)};
}

inline void PutInt16At(uint8_t* bytes, int32_t value) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(uint32_t(value) >> 8);
}

inline void PutFloatAt(uint8_t* bytes, float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(bits >> (8 * i));
}

inline void PutPlaneAt(uint8_t* bytes, const Plane& plane) {
    PutFloatAt(bytes, plane.a);
    PutFloatAt(bytes + 4, plane.b);
    PutFloatAt(bytes + 8, plane.c);
    PutFloatAt(bytes + 12, plane.d);
}
