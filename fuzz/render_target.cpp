// The renderer on a fuzzed map, camera and keys, frame after frame, into a frame with guard
// rows above and below, through the painter's walk and then the front-to-back walk, which
// must give the same pixels. Where the map's coordinates, as the view sees them, are of a
// sane size, the outermost rows and columns are guards as well: clipping keeps every polygon
// 2 pixels inside the edges, and a span running past either end of a row would land in
// column 0 or the last column. A coordinate near 1e17, or a camera matrix that stretches the
// map by 1e25, loses that margin to float rounding in the clip (the spans are still held
// inside the frame), so such frames are checked against the guard rows alone.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/viewer.h"
#include "fuzz/fuzz_targets.h"
#include "geometry/projection.h"
#include "render/render.h"
#include "scene/map.h"
#include "scene/texture.h"

namespace {

constexpr size_t CameraBytes = 16 * sizeof(float);
constexpr size_t MaxFrames = 8;
constexpr int32_t W = ScreenWidth, H = ScreenHeight;

// Sizes 1 to 128, powers of two mostly, some not.
std::unique_ptr<Texture> SlotTexture(int32_t slot) {
    static constexpr int32_t Sides[] = {1, 2, 4, 8, 16, 32, 64, 128, 3, 5};
    const int32_t width = Sides[slot % 10], height = Sides[(slot / 10 + slot) % 10];
    auto pixels = std::make_unique<uint32_t[]>(size_t(width) * height);
    for (int32_t i = 0; i < width * height; ++i)
        pixels[i] = uint32_t(0x10000 * (slot + 1) + i + 1) & 0xFFFFFF;
    return CreateTexture(width, height, std::move(pixels));
}

void CheckFrame(const std::vector<uint32_t>& surface, size_t guard, uint32_t guardValue,
                bool marginHolds) {
    for (size_t i = 0; i < guard; ++i)
        FuzzCheck(surface[i] == guardValue && surface[surface.size() - 1 - i] == guardValue,
                  "a write outside the frame");
    if (!marginHolds) return;
    const uint32_t* frame = surface.data() + guard;
    for (int32_t x = 0; x < W; ++x)
        FuzzCheck(frame[x] == 0 && frame[size_t(H - 1) * W + x] == 0,
                  "a write in the top or bottom row");
    for (int32_t y = 0; y < H; ++y)
        FuzzCheck(frame[size_t(y) * W] == 0 && frame[size_t(y) * W + W - 1] == 0,
                  "a write in the first or last column");
}

} // namespace

void FuzzRenderer(FuzzInput bytes) {
    if (bytes.size() < CameraBytes + 1) return;
    Matrix4 camera;
    std::memcpy(camera.m, bytes.data(), CameraBytes);
    // The viewer's camera is always finite (the start camera, keys, vexmont-shot --camera).
    for (float& e : camera.m)
        if (!std::isfinite(e)) e = 0.0f;
    const size_t keyCount = std::min<size_t>(bytes[CameraBytes], bytes.size() - CameraBytes - 1);
    const FuzzInput keys = bytes.subspan(CameraBytes + 1, keyCount);
    const FuzzInput mapBytes = bytes.subspan(CameraBytes + 1 + keyCount);

    const std::unique_ptr<Map> map = LoadMap(FuzzScratchFile(MapFileName, mapBytes));
    if (!map) return;
    Matrix4Identity(map->matrix);
    for (int32_t i = 0; i < map->textureCount; ++i) {
        map->textureSlots[i].texture = SlotTexture(i);
        if (!map->textureSlots[i].texture) return;
    }
    SetupProjection(W, H);
    CameraMatrix = camera;

    constexpr size_t Guard = 2 * W;
    constexpr uint32_t GuardValue = 0x5A5A5A5A;
    static std::vector<uint32_t> surface(Guard + size_t(W) * H + Guard);
    static std::vector<uint32_t> fast(size_t(W) * H);
    const bool cached = PrepareMapRender(*map);
    bool saneMap = true;
    float extent[3] = {};
    for (int32_t i = 0; i < map->vertexCount; ++i) {
        const MapVertex& v = map->vertices[i];
        saneMap = saneMap && std::fabs(v.x) < MaxCachedCoordinate &&
                  std::fabs(v.y) < MaxCachedCoordinate && std::fabs(v.z) < MaxCachedCoordinate;
        extent[0] = std::max(extent[0], std::fabs(v.x));
        extent[1] = std::max(extent[1], std::fabs(v.y));
        extent[2] = std::max(extent[2], std::fabs(v.z));
    }
    std::fill(surface.begin(), surface.end(), GuardValue);
    static constexpr WPARAM Keys[] = {0, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_INSERT, VK_DELETE};
    for (size_t frame = 0; frame <= std::min(keys.size(), MaxFrames); ++frame) {
        if (frame > 0) {
            const WPARAM key = Keys[keys[frame - 1] % std::size(Keys)];
            if (key != 0) HandleKey(nullptr, key);
        }
        std::fill(surface.begin() + Guard, surface.end() - Guard, 0);
        RenderScenePainter(CameraMatrix, *map, surface.data() + Guard);
        CheckFrame(surface, Guard, GuardValue, saneMap && ViewKeepsMargin(extent));
        if (!cached) continue;
        std::fill(fast.begin(), fast.end(), 0);
        RenderScene(CameraMatrix, *map, fast.data());
        FuzzCheck(std::equal(fast.begin(), fast.end(), surface.begin() + Guard),
                  "the front-to-back walk differs from the painter's walk");
    }
}
