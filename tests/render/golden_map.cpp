#include "golden_map.h"

#include <cstdio>
#include <vector>

#include "app/camera.h"
#include "geometry/projection.h"
#include "render/render.h"
#include "scene/map.h"
#include "support/files.h"
#include "support/scene_bytes.h"

namespace rendertest {

namespace {

struct MapTexture {
    const char* name;
    int32_t width, height;
    uint32_t (*texel)(int32_t x, int32_t y);
};

enum TextureId : int16_t { Checker, Bricks, Gradient, Stripes, TextureCount };

const MapTexture Textures[TextureCount] = {
    {"checker", 16, 16,
     [](int32_t x, int32_t y) -> uint32_t {
         if (x == 0 || y == 0) return 0xC02020; // marks the texture's origin and wrap
         return ((x / 4 + y / 4) & 1) ? 0xC0C0B0 : 0x404080;
     }},
    {"bricks", 64, 32,
     [](int32_t x, int32_t y) -> uint32_t {
         const bool mortar = y % 8 == 0 || (x + (y / 8 % 2) * 8) % 16 == 0;
         return mortar ? 0xA0A0A0 : 0x802010 + uint32_t((x * 7 + y * 3) % 32) * 0x010100;
     }},
    {"gradient", 32, 32,
     [](int32_t x, int32_t y) -> uint32_t {
         return uint32_t(x * 8) << 16 | uint32_t(y * 8) << 8 | uint32_t((x ^ y) * 8);
     }},
    {"stripes", 8, 64,
     [](int32_t x, int32_t y) -> uint32_t {
         return (y / 8 % 2 ? 0x20C020 : 0xE0E020) + uint32_t(x * 4);
     }},
};

Point3 Sub(const Point3& a, const Point3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Point3 Add(const Point3& a, const Point3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
float Dot(const Point3& a, const Point3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// A face that `viewer` sees from the front (AddMapFace); its texture coordinates are the
// corners projected on the two axes.
void Face(MapFileDescription& map, MapFileNode& node, std::span<const Point3> corners,
          TextureId texture, const Point3& viewer, const Point3& uAxis, const Point3& vAxis) {
    std::vector<MapFileCorner> textured;
    for (const Point3& p : corners)
        textured.push_back({p, Dot(p, uAxis), Dot(p, vAxis)});
    AddMapFace(map, node, textured, texture, viewer);
}

constexpr float RoomHalfWidth = 100, RoomHeight = 80;
const Point3 RoomCentre{0, 40, 0};

// A convex solid's faces as a chain: each face's plane has the solid on its positive
// side, so the remaining faces go to the front child.
struct SolidFace {
    std::vector<Point3> corners;
    TextureId texture;
    Point3 uAxis, vAxis;
};

MapFileNode* AddSolid(MapFileDescription& map, MapFileNode* node,
                      const std::vector<SolidFace>& faces, const Point3& centre) {
    for (size_t i = 0; i < faces.size(); ++i) {
        const SolidFace& f = faces[i];
        Point3 faceCentre{0, 0, 0};
        for (const Point3& p : f.corners)
            faceCentre = Add(faceCentre, p);
        const float n = float(f.corners.size());
        faceCentre = {faceCentre.x / n, faceCentre.y / n, faceCentre.z / n};
        const Point3 viewer = Add(faceCentre, Sub(faceCentre, centre));
        Face(map, *node, f.corners, f.texture, viewer, f.uAxis, f.vAxis);
        if (i + 1 < faces.size()) {
            node->front = std::make_unique<MapFileNode>();
            node = node->front.get();
        }
    }
    return node;
}

MapFileDescription GoldenMapDescription() {
    MapFileDescription map;
    for (const MapTexture& t : Textures)
        map.textureNames.emplace_back(t.name);

    const float w = RoomHalfWidth, h = RoomHeight;
    const Point3 perX{1 / 25.0f, 0, 0}, perZ{0, 0, 1 / 25.0f};
    const Point3 wallX{1 / 40.0f, 0, 0}, wallZ{0, 0, 1 / 40.0f}, wallY{0, -1 / 40.0f, 0};

    // The room: every wall is seen from inside, and everything else lies inside, so
    // each wall node keeps the rest of the scene behind it.
    struct Wall {
        std::vector<Point3> corners;
        TextureId texture;
        Point3 uAxis, vAxis;
    };
    const Wall walls[] = {
        {{{-w, 0, -w}, {w, 0, -w}, {w, 0, w}, {-w, 0, w}}, Checker, perX, perZ},    // floor
        {{{-w, h, -w}, {w, h, -w}, {w, h, w}, {-w, h, w}}, Gradient, perX, perZ},   // ceiling
        {{{-w, 0, w}, {w, 0, w}, {w, h, w}, {-w, h, w}}, Bricks, wallX, wallY},     // far
        {{{-w, 0, -w}, {w, 0, -w}, {w, h, -w}, {-w, h, -w}}, Bricks, wallX, wallY}, // near
        {{{-w, 0, -w}, {-w, 0, w}, {-w, h, w}, {-w, h, -w}}, Bricks, wallZ, wallY}, // left
        {{{w, 0, -w}, {w, 0, w}, {w, h, w}, {w, h, -w}}, Stripes, wallZ, wallY},    // right
    };
    MapFileNode* node = &map.root;
    for (const Wall& wall : walls) {
        Face(map, *node, wall.corners, wall.texture, RoomCentre, wall.uAxis, wall.vAxis);
        node->back = std::make_unique<MapFileNode>();
        node = node->back.get();
    }

    // The objects, apart on either side of x = 0.
    node->plane = {1, 0, 0, 0};
    node->front = std::make_unique<MapFileNode>();
    node->back = std::make_unique<MapFileNode>();

    // A box on the floor at x > 0 (its bottom is never seen from inside the room).
    const float x0 = 20, x1 = 50, z0 = 20, z1 = 50, top = 30;
    const Point3 boxU{1 / 10.0f, 0, 1 / 10.0f}, boxV{0, -1 / 10.0f, 0};
    AddSolid(map, node->front.get(),
             {{{{x0, 0, z0}, {x1, 0, z0}, {x1, top, z0}, {x0, top, z0}}, Stripes, boxU, boxV},
              {{{x0, 0, z1}, {x1, 0, z1}, {x1, top, z1}, {x0, top, z1}}, Stripes, boxU, boxV},
              {{{x0, 0, z0}, {x0, 0, z1}, {x0, top, z1}, {x0, top, z0}}, Gradient, boxU, boxV},
              {{{x1, 0, z0}, {x1, 0, z1}, {x1, top, z1}, {x1, top, z0}}, Gradient, boxU, boxV},
              {{{x0, top, z0}, {x1, top, z0}, {x1, top, z1}, {x0, top, z1}},
               Checker,
               {1 / 15.0f, 0, 0},
               {0, 0, 1 / 15.0f}}},
             {35, 15, 35});

    // A wedge at x < 0 rising towards +z, its slope facing the start-up camera.
    const float a0 = -70, a1 = -25, b0 = 10, b1 = 60, high = 45;
    const Point3 slopeU{1 / 20.0f, 0, 0}, slopeV{0, 1 / 30.0f, 1 / 30.0f};
    AddSolid(
        map, node->back.get(),
        {{{{a0, 0, b0}, {a1, 0, b0}, {a1, high, b1}, {a0, high, b1}}, Gradient, slopeU, slopeV},
         {{{a0, 0, b1}, {a1, 0, b1}, {a1, high, b1}, {a0, high, b1}}, Bricks, slopeU, boxV},
         {{{a0, 0, b0}, {a0, 0, b1}, {a0, high, b1}}, Checker, perZ, boxV},
         {{{a1, 0, b0}, {a1, 0, b1}, {a1, high, b1}}, Checker, perZ, boxV}},
        {(a0 + a1) / 2, high / 3, (b0 + 2 * b1) / 3});
    return map;
}

} // namespace

bool WriteGoldenMap(const std::filesystem::path& dir) {
    if (!WriteFileBytes(dir / "Vuze.BSP", MapFileBytes(GoldenMapDescription()))) return false;
    for (const MapTexture& t : Textures) {
        std::vector<uint32_t> pixels(size_t(t.width) * t.height);
        for (int32_t y = 0; y < t.height; ++y)
            for (int32_t x = 0; x < t.width; ++x)
                pixels[size_t(y) * t.width + x] = t.texel(x, y);
        const auto path = dir / "Textures" / (std::string(t.name) + ".bmp");
        if (!WriteFileBytes(path, BitmapBytes(t.width, t.height, pixels))) return false;
    }
    return true;
}

std::unique_ptr<Map> LoadMapDirectory(const std::filesystem::path& dir) {
    std::unique_ptr<Map> map = LoadMap((dir / "Vuze.BSP").string());
    if (!map) return nullptr;
    Matrix4Identity(map->matrix);
    if (!LoadMapTextures(*map, (dir / "Textures").string())) return nullptr;
    if (!PrepareMapRender(*map)) return nullptr;
    return map;
}

std::unique_ptr<Map> LoadGoldenMap() {
    const TempDir scratch;
    if (!WriteGoldenMap(scratch.Path())) return nullptr;
    return LoadMapDirectory(scratch.Path());
}

std::vector<NamedCamera> GoldenMapCameras() {
    std::vector<NamedCamera> cameras;
    Matrix4 m = StartCamera();
    cameras.push_back({"startup", m});

    // Turned towards the box and moved forward along the view.
    m = StartCamera();
    Matrix4RotateY(m, -0.6f);
    Matrix4RotateX(m, 0.3f);
    Matrix4Translate(m, 0, 0, 25);
    cameras.push_back({"turned", m});

    // Close to the box's corner: the frustum clips and near polygons drop.
    m = StartCamera();
    Matrix4Translate(m, -20, 15, 52);
    Matrix4RotateY(m, -0.9f);
    cameras.push_back({"close", m});

    // Outside the room behind its near wall, looking through it.
    m = StartCamera();
    Matrix4Translate(m, 10, -10, -90);
    Matrix4RotateY(m, 0.3f);
    cameras.push_back({"outside", m});
    return cameras;
}

std::vector<uint32_t> RenderTestFrame(const Map& map, const Matrix4& camera) {
    constexpr int32_t Width = 512, Height = 384;
    SetupProjection(Width, Height);
    std::vector<uint32_t> frame(size_t(Width) * Height, 0);
    RenderScene(camera, map, frame.data());
    return frame;
}

std::string CameraArgument(const Matrix4& m) {
    std::string out;
    char number[32];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(number, sizeof number, "%.9g", double(m.m[i]));
        if (i) out += ',';
        out += number;
    }
    return out;
}

std::filesystem::path GoldenDirectory() {
    return VEXMONT_RENDER_GOLDEN_DIR;
}

} // namespace rendertest
