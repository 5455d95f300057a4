#include "tools/bspc/bspc.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "scene/bitmap.h"

#include "tools/bspc/bsp_builder.h"
#include "tools/bspc/map_writer.h"
#include "tools/bspc/obj_reader.h"
#include "tools/bspc/texture_convert.h"
#include "tools/bspc/tjunctions.h"

namespace {

// A triangle is degenerate when its height over the longest edge is below this share of
// that edge: it would draw as a line at best, and its plane would be noise.
constexpr double MinRelativeHeight = 1e-6;

} // namespace

bool TrianglePlane(const MapVertex& v0, const MapVertex& v1, const MapVertex& v2, Plane& out) {
    const Vector3d e1 = Difference(v1, v0);
    const Vector3d e2 = Difference(v2, v0);
    const Vector3d e3 = Difference(v2, v1);
    // Right-hand normal of the stored order; the map's plane points the other way.
    const Vector3d n = Cross(e1, e2);
    const double length = std::sqrt(Dot(n, n));
    double longest = 0.0;
    for (const Vector3d& e : {e1, e2, e3})
        longest = std::fmax(longest, std::sqrt(Dot(e, e)));
    // length is twice the area, i.e. longest edge x height.
    if (!(longest > 0.0) || !std::isfinite(length) ||
        length <= MinRelativeHeight * longest * longest)
        return false;
    out.a = float(-n.x / length);
    out.b = float(-n.y / length);
    out.c = float(-n.z / length);
    out.d = float(-NormalDot(out, v0));
    return true;
}

bool CompileMap(const BspcOptions& options, BspcSummary& summary, BspcMessages& messages) {
    namespace fs = std::filesystem;
    const auto start = std::chrono::steady_clock::now();
    summary = {};

    Scene scene;
    if (!ReadObjScene(options, scene, messages)) return false;
    summary.inputTriangles = scene.inputTriangles;
    summary.degenerateFaces = scene.degenerateFaces;
    summary.textures = int32_t(scene.materials.size());
    std::vector<std::string> names;
    for (const SceneMaterial& m : scene.materials)
        names.push_back(m.name);
    if (!CheckTextureNames(names, messages)) return false;

    // Images first: a missing one should stop us before the long part.
    std::vector<PixelImage> images(scene.materials.size());
    for (size_t i = 0; i < scene.materials.size(); ++i)
        if (!PrepareTexture(scene.materials[i], images[i], messages)) return false;

    std::unique_ptr<BspNode> root =
        BuildBsp(std::move(scene.triangles), options.maxDepth, summary.bsp, messages);
    if (!root) return false;
    summary.mendedTJunctions = MendTJunctions(*root, summary.bsp);

    std::vector<uint8_t> bytes;
    if (!EncodeMap(*root, names, bytes, summary.vertices, messages)) return false;

    const fs::path outDir(options.outDir);
    const fs::path textureDir = outDir / TextureDirectoryName;
    std::error_code ec;
    fs::create_directories(textureDir, ec);
    if (ec) {
        messages.error = "cannot create \"" + textureDir.string() + "\": " + ec.message();
        return false;
    }
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string path = (textureDir / (names[i] + TextureFileExtension)).string();
        if (!WriteBitmap(path, images[i])) {
            messages.error = "cannot write \"" + path + "\"";
            return false;
        }
    }
    const std::string mapPath = (outDir / MapFileName).string();
    if (!WriteHostFile(mapPath, bytes)) {
        messages.error = "cannot write \"" + mapPath + "\"";
        return false;
    }
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

std::string FormatSummary(const BspcSummary& s) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "input triangles %lld, output triangles %lld, splits %lld, t-junctions "
                  "mended %lld, nodes %lld, depth %d, vertices %d, textures %d, time %.2f s",
                  (long long)s.inputTriangles, (long long)s.bsp.outputTriangles,
                  (long long)s.bsp.splits, (long long)s.mendedTJunctions, (long long)s.bsp.nodes,
                  s.bsp.depth, s.vertices, s.textures, s.seconds);
    return text;
}
