#include "scene/map.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "scene/load_error.h"
#include "support/files.h"
#include "support/scene_bytes.h"

namespace {

constexpr size_t HeaderSize = 11;
constexpr size_t NameSize = 256;
constexpr size_t VertexSize = 32;
constexpr size_t NodeSize = 20;

MapFilePolygon Triangle(int16_t i0, int16_t i1, int16_t i2, int16_t textureIndex, float d) {
    MapFilePolygon polygon;
    polygon.vertexIndices[0] = i0;
    polygon.vertexIndices[1] = i1;
    polygon.vertexIndices[2] = i2;
    polygon.textureIndex = textureIndex;
    polygon.plane = {0, 0, -1, d};
    return polygon;
}

// Two names, three vertices and a root with a front and a back leaf, each with polygons.
MapFileDescription SmallMap() {
    MapFileDescription map;
    map.textureNames = {"wall", "floor"};
    map.vertices = {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}};
    map.root.plane = {1, 0, 0, -0.5f};
    map.root.polygons = {Triangle(0, 1, 2, 0, 1)};
    map.root.front = std::make_unique<MapFileNode>();
    map.root.front->plane = {0, 1, 0, 2};
    map.root.front->polygons = {Triangle(2, 1, 0, 1, 2), Triangle(1, 2, 0, 0, 3)};
    map.root.back = std::make_unique<MapFileNode>();
    map.root.back->plane = {0, 0, 1, 3};
    return map;
}

// Offsets into SmallMap's bytes.
constexpr size_t SmallMapVerticesAt = HeaderSize + 2 * NameSize;
constexpr size_t SmallMapRootAt = SmallMapVerticesAt + 3 * VertexSize;
constexpr size_t SmallMapRootPolygonAt = SmallMapRootAt + NodeSize;

// A chain of depth nodes, each the front child of the one before.
std::vector<uint8_t> ChainMapBytes(int depth) {
    std::vector<uint8_t> bytes;
    AppendMapHeader(bytes, 0, 0, 0);
    for (int level = 1; level <= depth; ++level)
        AppendMapNodeRecord(bytes, level < depth ? 1 : 0, {0, 0, 1, float(level)}, 0);
    return bytes;
}

int FrontChainDepth(const MapNode* node) {
    int depth = 0;
    for (; node; node = (node->flags & NodeHasFront) ? node->front.get() : nullptr)
        ++depth;
    return depth;
}

void PatchFloat(std::vector<uint8_t>& bytes, size_t offset, float value) {
    PatchInt32(bytes, offset, std::bit_cast<int32_t>(value));
}

TEST(LoadMap, SmallestFileIsOneEmptyLeaf) {
    const std::vector<uint8_t> bytes = {0x42, 0x53, 0x50, 0x32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(MapFileBytes({}), bytes);

    const std::unique_ptr<Map> map = LoadMapFromBytes(bytes);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->textureCount, 0);
    EXPECT_EQ(map->vertexCount, 0);
    ASSERT_NE(map->root, nullptr);
    EXPECT_EQ(map->root->flags, 0);
    EXPECT_EQ(map->root->polygonCount, 0);
    EXPECT_EQ(map->root->front, nullptr);
    EXPECT_EQ(map->root->back, nullptr);
}

TEST(LoadMap, MissingFileFails) {
    TempDir dir;
    EXPECT_EQ(LoadMap(dir.File("absent.bsp")), nullptr);
    EXPECT_EQ(DescribeLoadError(), "map \"" + dir.File("absent.bsp") + "\": missing");
}

TEST(LoadMap, ReadsNamesVerticesAndPlanesAsWritten) {
    const std::unique_ptr<Map> map = LoadMapFromBytes(MapFileBytes(SmallMap()));
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->textureCount, 2);
    EXPECT_EQ(map->textureSlots[0].name, "wall");
    EXPECT_EQ(map->textureSlots[1].name, "floor");
    EXPECT_EQ(map->textureSlots[0].texture, nullptr);
    ASSERT_EQ(map->vertexCount, 3);
    EXPECT_EQ(map->vertices[1].x, 1.0f);
    EXPECT_EQ(map->vertices[2].v, 1.0f);
    EXPECT_EQ(map->root->plane.d, -0.5f);
    ASSERT_EQ(map->root->polygonCount, 1);
    EXPECT_EQ(map->root->polygons[0].plane.c, -1.0f);
    EXPECT_EQ(map->root->polygons[0].plane.d, 1.0f);
}

TEST(LoadMap, SecondCountIsIgnored) {
    for (int16_t second : {int16_t(-1), int16_t(-32768), int16_t(0), int16_t(12345)}) {
        MapFileDescription description = SmallMap();
        description.secondCount = second;
        EXPECT_NE(LoadMapFromBytes(MapFileBytes(description)), nullptr) << second;
    }
}

TEST(LoadMap, NegativeCountsFail) {
    std::vector<uint8_t> bytes = MapFileBytes(SmallMap());
    for (size_t countAt : {size_t(5), size_t(9), SmallMapRootAt + 18}) {
        for (int16_t count : {int16_t(-32768), int16_t(-1)}) {
            std::vector<uint8_t> patched = bytes;
            PatchInt16(patched, countAt, count);
            EXPECT_EQ(LoadMapFromBytes(patched), nullptr) << countAt << " " << count;
        }
    }
    std::vector<uint8_t> smallest = MapFileBytes({});
    smallest[5] = 0x00;
    smallest[6] = 0x80;
    EXPECT_EQ(LoadMapFromBytes(smallest), nullptr);
}

TEST(LoadMap, VersionAndMagicAreCheckedExactly) {
    std::vector<uint8_t> bytes = MapFileBytes({});
    bytes[3] = 0x32;
    bytes[4] = 0x00;
    EXPECT_NE(LoadMapFromBytes(bytes), nullptr);
    bytes[4] = 0x01; // 306
    EXPECT_EQ(LoadMapFromBytes(bytes), nullptr);
    bytes[3] = 0x31; // 49
    bytes[4] = 0x00;
    EXPECT_EQ(LoadMapFromBytes(bytes), nullptr);

    for (const char* magic : {"bsp", "BSp", "PSB", "BSQ"}) {
        std::vector<uint8_t> wrong = MapFileBytes({});
        std::copy(magic, magic + 3, wrong.begin());
        EXPECT_EQ(LoadMapFromBytes(wrong), nullptr) << magic;
        EXPECT_STREQ(LastLoadError.reason, LoadNotMap);
    }
}

TEST(LoadMap, NameEndsAtFirstNul) {
    std::vector<uint8_t> bytes;
    AppendMapHeader(bytes, 0, 0, 1);
    AppendMapName(bytes, "wall");
    for (size_t i = HeaderSize + 5; i < HeaderSize + NameSize; ++i)
        bytes[i] = uint8_t('x');
    AppendMapNodeRecord(bytes, 0, {}, 0);
    const std::unique_ptr<Map> map = LoadMapFromBytes(bytes);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->textureSlots[0].name, "wall");
    EXPECT_EQ(map->textureSlots[0].name.size(), 4u);
}

TEST(LoadMap, NameWithoutNulFails) {
    MapFileDescription description;
    description.textureNames = {std::string(255, 'n')};
    const std::unique_ptr<Map> longest = LoadMapFromBytes(MapFileBytes(description));
    ASSERT_NE(longest, nullptr);
    EXPECT_EQ(longest->textureSlots[0].name.size(), 255u);

    description.textureNames = {std::string(256, 'n')};
    EXPECT_EQ(LoadMapFromBytes(MapFileBytes(description)), nullptr);
}

TEST(LoadMap, TreeIsReadInPreOrderFrontBeforeBack) {
    // root(3) -> front A(3) -> front A1, back A2; back B. Planes tell them apart.
    MapFileDescription description = SmallMap();
    MapFileNode& a = *description.root.front;
    a.front = std::make_unique<MapFileNode>();
    a.front->plane = {0, 0, 0, 11};
    a.front->flags = int16_t(0xFFFC);
    a.back = std::make_unique<MapFileNode>();
    a.back->plane = {0, 0, 0, 12};
    a.back->polygons = {Triangle(0, 0, 0, 1, 13)};
    const std::vector<uint8_t> bytes = MapFileBytes(description);
    ASSERT_EQ(bytes[SmallMapRootAt], 3);

    const std::unique_ptr<Map> map = LoadMapFromBytes(bytes);
    ASSERT_NE(map, nullptr);
    const MapNode& root = *map->root;
    ASSERT_EQ(root.flags, 3);
    ASSERT_NE(root.front, nullptr);
    ASSERT_NE(root.back, nullptr);
    EXPECT_EQ(root.front->plane.d, 2.0f);
    EXPECT_EQ(root.front->polygonCount, 2);
    EXPECT_EQ(root.back->plane.d, 3.0f);
    EXPECT_EQ(root.back->flags, 0);
    ASSERT_EQ(root.front->flags, 3);
    const MapNode& leaf = *root.front->front;
    EXPECT_EQ(leaf.plane.d, 11.0f);
    EXPECT_EQ(leaf.flags, -4); // 0xFFFC sign-extended: other bits kept, still a leaf
    EXPECT_EQ(leaf.front, nullptr);
    EXPECT_EQ(leaf.back, nullptr);
    EXPECT_EQ(root.front->back->plane.d, 12.0f);
    EXPECT_EQ(root.front->back->polygons[0].plane.d, 13.0f);
}

TEST(LoadMap, PolygonIndicesInOrderAndTextureIndexAtOffsetEight) {
    MapFileDescription description = SmallMap();
    description.textureNames.push_back("sky");
    MapFilePolygon polygon = Triangle(2, 0, 1, 2, 5);
    polygon.skipped = 1; // a valid texture index at offset 6, which must not be taken
    description.root.polygons = {polygon};
    const std::vector<uint8_t> bytes = MapFileBytes(description);
    const size_t polygonAt = SmallMapRootPolygonAt + NameSize;
    ASSERT_EQ(bytes[polygonAt + 6], 1);
    ASSERT_EQ(bytes[polygonAt + 8], 2);

    const std::unique_ptr<Map> map = LoadMapFromBytes(bytes);
    ASSERT_NE(map, nullptr);
    const MapPolygon& loaded = map->root->polygons[0];
    EXPECT_EQ(loaded.vertices[0], &map->vertices[2]);
    EXPECT_EQ(loaded.vertices[1], &map->vertices[0]);
    EXPECT_EQ(loaded.vertices[2], &map->vertices[1]);
    EXPECT_EQ(loaded.textureIndex, 2);
    EXPECT_EQ(loaded.plane.d, 5.0f);
}

TEST(LoadMap, ExtraBytesAfterTreeAreIgnored) {
    std::vector<uint8_t> bytes = MapFileBytes(SmallMap());
    bytes.insert(bytes.end(), 100, 0xFF);
    EXPECT_NE(LoadMapFromBytes(bytes), nullptr);
}

TEST(LoadMap, EveryTruncationFails) {
    const std::vector<uint8_t> bytes = MapFileBytes(SmallMap());
    ASSERT_NE(LoadMapFromBytes(bytes), nullptr);
    TempDir dir;
    const std::string path = dir.File("short.bsp");
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    for (size_t length = bytes.size(); length-- > 0;) {
        std::filesystem::resize_file(path, length);
        EXPECT_EQ(LoadMap(path), nullptr) << length;
        EXPECT_STREQ(LastLoadError.reason, LoadTruncated) << length;
    }
}

TEST(LoadMap, IndicesOutOfRangeFail) {
    for (int16_t vertex : {int16_t(-1), int16_t(3), int16_t(-32768), int16_t(32767)}) {
        for (int corner = 0; corner < 3; ++corner) {
            MapFileDescription description = SmallMap();
            description.root.front->polygons[1].vertexIndices[corner] = vertex;
            EXPECT_EQ(LoadMapFromBytes(MapFileBytes(description)), nullptr) << vertex;
            EXPECT_STREQ(LastLoadError.reason, LoadBadVertexIndex);
        }
    }
    for (int16_t texture : {int16_t(-1), int16_t(2), int16_t(-32768)}) {
        MapFileDescription description = SmallMap();
        description.root.front->polygons[1].textureIndex = texture;
        EXPECT_EQ(LoadMapFromBytes(MapFileBytes(description)), nullptr) << texture;
        EXPECT_STREQ(LastLoadError.reason, LoadBadTextureIndex);
    }
    MapFileDescription noTextures = SmallMap();
    noTextures.textureNames.clear();
    EXPECT_EQ(LoadMapFromBytes(MapFileBytes(noTextures)), nullptr);
}

TEST(LoadMap, NonFiniteVerticesAndPlanesFail) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<uint8_t> bytes = MapFileBytes(SmallMap());
    std::vector<size_t> offsets;
    for (size_t field = 0; field < 5; ++field)
        offsets.push_back(SmallMapVerticesAt + 4 * field);
    for (size_t field = 0; field < 4; ++field) {
        offsets.push_back(SmallMapRootAt + 2 + 4 * field);         // node plane
        offsets.push_back(SmallMapRootPolygonAt + 10 + 4 * field); // polygon plane
    }
    for (size_t offset : offsets) {
        for (float bad : {nan, inf, -inf}) {
            std::vector<uint8_t> patched = bytes;
            PatchFloat(patched, offset, bad);
            EXPECT_EQ(LoadMapFromBytes(patched), nullptr) << offset << " " << bad;
            EXPECT_STREQ(LastLoadError.reason, LoadNotFinite);
        }
    }
    // The three trailing floats of a vertex record are not kept, so they are not judged.
    std::vector<uint8_t> unused = bytes;
    PatchFloat(unused, SmallMapVerticesAt + 20, nan);
    EXPECT_NE(LoadMapFromBytes(unused), nullptr);
}

TEST(LoadMap, TreeDepthIsLimited) {
    for (int depth : {1000, MaxMapTreeDepth}) {
        const std::unique_ptr<Map> map = LoadMapFromBytes(ChainMapBytes(depth));
        ASSERT_NE(map, nullptr) << depth;
        EXPECT_EQ(FrontChainDepth(map->root.get()), depth);
    }
    EXPECT_EQ(LoadMapFromBytes(ChainMapBytes(MaxMapTreeDepth + 1)), nullptr);
    EXPECT_STREQ(LastLoadError.reason, LoadTooDeep);
    // Far deeper than any stack could follow: must fail, not crash.
    EXPECT_EQ(LoadMapFromBytes(ChainMapBytes(100000)), nullptr);
}

TEST(LoadMap, DepthLimitCountsBackChildrenToo) {
    std::vector<uint8_t> bytes;
    AppendMapHeader(bytes, 0, 0, 0);
    for (int level = 1; level <= MaxMapTreeDepth + 1; ++level)
        AppendMapNodeRecord(bytes, level <= MaxMapTreeDepth ? 2 : 0, {}, 0);
    EXPECT_EQ(LoadMapFromBytes(bytes), nullptr);
}

} // namespace
