// The scene files: the map, the BMP reader with texture preparation, and the font.
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/viewer.h"
#include "display/font.h"
#include "fuzz/fuzz_targets.h"
#include "scene/bitmap.h"
#include "scene/map.h"
#include "scene/texture.h"

namespace {

bool FinitePlane(const Plane& p) {
    return std::isfinite(p.a) && std::isfinite(p.b) && std::isfinite(p.c) && std::isfinite(p.d);
}

// Everything the renderer follows from a node stays inside the map's tables.
void CheckNode(const MapNode& node, const Map& map, int depth) {
    FuzzCheck(depth <= MaxMapTreeDepth, "tree deeper than the limit");
    FuzzCheck(FinitePlane(node.plane), "node plane not finite");
    FuzzCheck(node.polygonCount >= 0, "negative polygon count");
    for (int32_t i = 0; i < node.polygonCount; ++i) {
        const MapPolygon& polygon = node.polygons[i];
        FuzzCheck(polygon.textureIndex >= 0 && polygon.textureIndex < map.textureCount,
                  "texture index outside the slots");
        for (const MapVertex* v : polygon.vertices)
            FuzzCheck(v >= map.vertices.get() && v < map.vertices.get() + map.vertexCount,
                      "vertex outside the table");
        FuzzCheck(FinitePlane(polygon.plane), "polygon plane not finite");
    }
    FuzzCheck(bool(node.front) == bool(node.flags & NodeHasFront), "front child and flag differ");
    FuzzCheck(bool(node.back) == bool(node.flags & NodeHasBack), "back child and flag differ");
    if (node.front) CheckNode(*node.front, map, depth + 1);
    if (node.back) CheckNode(*node.back, map, depth + 1);
}

// Texel fetches as the rasterizer makes them, at the extremes of 16.16 coordinates.
void CheckFetches(const Texture& texture) {
    const int64_t texels = int64_t(texture.width) * texture.height;
    const int32_t coordinates[] = {INT32_MIN, INT32_MIN + 1, -65537, -65536, -1, 0, 1,
                                   65535,     65536,         1 << 24, INT32_MAX};
    volatile uint32_t sink = 0;
    for (int32_t u : coordinates)
        for (int32_t v : coordinates) {
            const int64_t index =
                int64_t((v >> texture.vShift) & texture.vMask) + ((u >> 16) & texture.uMask);
            FuzzCheck(index >= 0 && index < texels, "texel fetch outside the pixels");
            sink = sink + texture.pixels[size_t(index)];
        }
}

} // namespace

void FuzzMapLoader(FuzzInput bytes) {
    const std::unique_ptr<Map> map = LoadMap(FuzzScratchFile(MapFileName, bytes));
    if (!map) return;
    FuzzCheck(map->root != nullptr, "a loaded map without a tree");
    FuzzCheck(map->textureCount >= 0 && map->vertexCount >= 0, "negative counts");
    for (int32_t i = 0; i < map->vertexCount; ++i) {
        const MapVertex& v = map->vertices[i];
        FuzzCheck(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
                      std::isfinite(v.u) && std::isfinite(v.v),
                  "vertex not finite");
    }
    CheckNode(*map->root, *map, 1);
}

void FuzzBitmapTexture(FuzzInput bytes) {
    const std::string path = FuzzScratchFile("texture.bmp", bytes);
    const std::unique_ptr<PixelImage> image = LoadBitmap(path);
    if (image) {
        FuzzCheck(image->width >= 0 && image->height >= 0, "negative side");
        const size_t count = size_t(image->width) * size_t(image->height);
        FuzzCheck(count == 0 || image->pixels != nullptr, "pixels missing");
        if (count > 0) FuzzCheck(image->pixels[count - 1] <= 0xFFFFFF, "top byte set");
    }
    const std::unique_ptr<Texture> texture = LoadTexture(path);
    FuzzCheck(bool(texture) == (image && image->width > 0 && image->height > 0 &&
                                image->width <= MaxTextureWidth),
              "the texture and its picture disagree");
    if (texture) CheckFetches(*texture);
}

void FuzzFont(FuzzInput bytes) {
    int32_t numbers[3] = {};
    const size_t head = std::min(bytes.size(), sizeof numbers);
    std::memcpy(numbers, bytes.data(), head);
    FuzzScratchFile(FontFileName, bytes.subspan(head));

    // LoadFont reads Font.bmp from the working directory.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(FuzzScratchDir());
    const int loaded = LoadFont(ScreenWidth, ScreenHeight);
    std::filesystem::current_path(previous);
    FuzzCheck(loaded == (FontImage != nullptr), "LoadFont's result and the font disagree");

    constexpr size_t Guard = 2 * ScreenWidth;
    constexpr uint32_t GuardValue = 0xA5A5A5A5;
    static std::vector<uint32_t> surface(Guard + size_t(ScreenWidth) * ScreenHeight + Guard);
    std::fill(surface.begin(), surface.end(), GuardValue);
    uint32_t* frame = surface.data() + Guard;
    std::fill(frame, frame + size_t(ScreenWidth) * ScreenHeight, 0);

    char text[CounterTextSize];
    FormatCounterText(numbers[0], text);
    DrawString(text, 10, 10, frame);
    DrawString(text, numbers[1], numbers[2], frame);
    // Every character code, line feeds included, at the fuzzed place.
    char all[258];
    for (int i = 0; i < 257; ++i)
        all[i] = char(i % 256 == 0 ? '\n' : i);
    all[257] = '\0';
    DrawString(all + 1, numbers[1] % 1024, numbers[2] % 1024, frame);

    for (size_t i = 0; i < Guard; ++i)
        FuzzCheck(surface[i] == GuardValue && surface[surface.size() - 1 - i] == GuardValue,
                  "text drawn outside the frame");
    for (int32_t y = 0; y < ScreenHeight; ++y)
        FuzzCheck(frame[size_t(y) * ScreenWidth] == 0, "text drawn in column 0");
    for (int32_t x = 0; x < ScreenWidth; ++x)
        FuzzCheck(frame[x] == 0, "text drawn in row 0");
    FreeFont();
}
