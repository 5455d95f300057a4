#include "tools/bspc/bspc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

#include "tools/bspc/bsp_builder.h"
#include "tools/bspc/enclosed.h"
#include "tools/bspc/map_output.h"
#include "tools/bspc/mesh_prep.h"
#include "tools/bspc/scene_import.h"
#include "tools/bspc/texture_convert.h"
#include "tools/bspc/tjunctions.h"

namespace {

// A triangle is degenerate when its height over the longest edge is below this share of
// that edge: it would draw as a line at best, and its plane would be noise.
constexpr double MinRelativeHeight = 1e-6;
// Face tests spent on finding the tree's polygons inside closed parts: a few hundred per
// triangle suffice for models made of parts; the bound keeps one huge closed part from
// costing more than a few seconds.
constexpr int64_t InsideWorkPerTriangle = 1 << 14;
constexpr int64_t MaxInsideWork = int64_t(1) << 31;
// Builds tried while simplifying towards the vertex budget.
constexpr int MaxFitAttempts = 5;
// Each simplification aims this far below what the last build suggests, so that the next
// build fits rather than lands just over.
constexpr double FitMargin = 0.9;
// Before the first build, a scene whose own vertices exceed the budget is simplified as if
// splitting and mending added this share of vertices.
constexpr double ExpectedGrowth = 2.0;

struct Built {
    std::vector<uint8_t> bytes;
    int64_t vertices = 0;
    bool tooBig = false; // over the vertex budget or the depth limit
};

// Tree, welding, mending, file bytes. False with messages.error on any failure; tooBig tells
// whether fewer triangles could help.
bool BuildMap(const std::vector<BspTriangle>& triangles, const BspcOptions& options,
              const TextureSet& textures, BspcSummary& summary, Built& built,
              BspcMessages& messages) {
    summary.bsp = {};
    std::unique_ptr<BspNode> root =
        BuildBsp(triangles, options.maxDepth, summary.bsp, messages);
    if (!root) {
        built.tooBig = summary.bsp.tooDeep;
        return false;
    }
    summary.insideDropped = 0;
    if (!options.keepInside)
        summary.insideDropped = DropEnclosedFaces(
            *root, triangles,
            std::min(MaxInsideWork, InsideWorkPerTriangle * int64_t(triangles.size())),
            summary.bsp);
    summary.weldedPositions = WeldNearPositions(*root, summary.bsp);
    summary.mendedTJunctions = MendTJunctions(*root, summary.bsp);
    std::vector<BspTriangle> all;
    CollectTriangles(*root, all);
    const EdgeCount unmatched = CountOpenEdges(all);
    summary.unmatchedEdges = unmatched.openEdges;
    summary.unmatchedLength = unmatched.openLength;
    const int64_t budget = std::min(options.maxVertices, MaxMapCount);
    if (!EncodeMap(*root, textures.names, built.bytes, built.vertices, messages.error)) {
        built.tooBig = built.vertices > budget;
        return false;
    }
    if (built.vertices > budget) {
        messages.error = "the map needs " + std::to_string(built.vertices) +
                         " vertices, more than its budget of " + std::to_string(budget);
        built.tooBig = true;
        return false;
    }
    return true;
}

int64_t DistinctVertices(std::span<const BspTriangle> triangles) {
    std::vector<std::tuple<float, float, float, float, float>> all;
    all.reserve(triangles.size() * 3);
    for (const BspTriangle& t : triangles)
        for (const MapVertex& v : t.v)
            all.emplace_back(v.x, v.y, v.z, v.u, v.v);
    std::sort(all.begin(), all.end());
    return std::unique(all.begin(), all.end()) - all.begin();
}

int64_t PeakMemoryKb() {
    rusage self = {};
    rusage children = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return std::max<int64_t>(self.ru_maxrss, children.ru_maxrss);
}

std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g%%", share * 100);
    return text;
}

// Builds until the map fits, simplifying the placed triangles when it does not.
bool FitFormat(const std::vector<BspTriangle>& placed, const BspcOptions& options,
               const TextureSet& textures, BspcSummary& summary, Built& built,
               BspcMessages& messages) {
    const int64_t budget = std::min(options.maxVertices, MaxMapCount);
    auto tooBig = [&](int64_t vertices, int64_t triangles, const std::string& what) {
        messages.error = what + " needs " + std::to_string(vertices) +
                         " vertices, more than the map's limit of " + std::to_string(budget) +
                         " (" + std::to_string(placed.size()) + " input triangles, " +
                         std::to_string(triangles) + " after splitting)";
    };
    double ratio = 1.0;
    const int64_t ownVertices = DistinctVertices(placed);
    if (ownVertices > budget && options.simplify)
        ratio = double(budget) / double(ownVertices) / ExpectedGrowth * FitMargin;
    std::vector<BspTriangle> simplified;
    float error = 0.0f;
    bool locked = true;
    for (int attempt = 0; attempt < MaxFitAttempts; ++attempt) {
        if (ratio < 1.0) {
            const int64_t target = std::max<int64_t>(1, int64_t(double(placed.size()) * ratio));
            if (!SimplifyTriangles(placed, target, simplified, error, locked)) {
                messages.error = "cannot simplify the scene enough to fit the map's " +
                                 std::to_string(budget) + " vertices: " +
                                 std::to_string(placed.size()) + " triangles stop at " +
                                 std::to_string(simplified.size()) + ", " +
                                 std::to_string(target) + " wanted";
                return false;
            }
            summary.simplifiedFrom = int64_t(placed.size());
            summary.simplifiedTo = int64_t(simplified.size());
        }
        built = {};
        messages.error.clear();
        if (BuildMap(ratio < 1.0 ? simplified : placed, options, textures, summary, built,
                     messages))
            break;
        if (!built.tooBig) return false;
        if (!options.simplify) {
            if (summary.bsp.tooDeep) return false;
            tooBig(built.vertices, summary.bsp.outputTriangles, "the map");
            messages.error += "; simplification is off (--no-simplify): leave that option out "
                              "to simplify the scene until it fits, or reduce the scene";
            return false;
        }
        if (attempt + 1 == MaxFitAttempts) {
            tooBig(built.vertices, summary.bsp.outputTriangles, "even simplified, the map");
            return false;
        }
        ratio *= summary.bsp.tooDeep ? 0.5 : double(budget) / double(built.vertices) * FitMargin;
    }
    if (summary.simplifiedTo > 0)
        messages.Warn("simplified the scene from " + std::to_string(summary.simplifiedFrom) +
                      " to " + std::to_string(summary.simplifiedTo) +
                      " triangles to fit the map's " + std::to_string(budget) + " vertices (" +
                      (locked ? "borders kept" : "borders moved too") + "; largest deviation " +
                      Percent(error) + " of the scene's size)");
    return true;
}

} // namespace

void BspcMessages::Warn(const std::string& line) {
    if (std::find(warnings.begin(), warnings.end(), line) == warnings.end())
        warnings.push_back(line);
}

void BspcMessages::WarnCount(int64_t count, const std::string& before, const std::string& after) {
    if (count != 0) Warn(before + std::to_string(count) + after);
}

void BspcMessages::WarnMaterials(const std::string& before, const std::string& material,
                                 const std::string& one, const std::string& many) {
    auto cause = std::find_if(materialCauses.begin(), materialCauses.end(), [&](const auto& c) {
        return c.before == before && c.one == one && c.many == many;
    });
    if (cause == materialCauses.end()) {
        warnings.emplace_back();
        cause = materialCauses.insert(materialCauses.end(),
                                      {before, one, many, {}, warnings.size() - 1});
    }
    if (std::find(cause->materials.begin(), cause->materials.end(), material) !=
        cause->materials.end())
        return;
    cause->materials.push_back(material);
    const bool several = cause->materials.size() > 1;
    warnings[cause->line] = before + (several ? "materials " : "material ") +
                            QuotedList(cause->materials) + (several ? many : one);
}

std::string QuotedList(const std::vector<std::string>& names) {
    std::string text;
    const size_t shown = std::min<size_t>(names.size(), 3);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) text += i + 1 == shown && names.size() == shown ? " and " : ", ";
        text += "\"" + names[i] + "\"";
    }
    if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " others";
    return text;
}

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
    const auto start = std::chrono::steady_clock::now();
    summary = {};

    Scene scene;
    const bool imported = options.isolateImport
                              ? ImportSceneIsolated(options.scenePath, options.importSeconds, scene, messages)
                              : ImportScene(options.scenePath, scene, messages);
    if (!imported) return false;
    summary.inputTriangles = int64_t(scene.triangles.size());

    TextureSet textures;
    if (!PrepareTextures(scene.materials, options.maxTexture, textures, messages)) return false;
    summary.textures = int32_t(textures.names.size());

    Placement placement;
    if (options.fit) {
        placement = FitPlacement(scene);
    } else {
        placement.scale = options.scale;
        std::copy(options.offset, options.offset + 3, placement.offset);
    }
    summary.placement = placement;
    summary.fitted = options.fit;
    std::vector<BspTriangle> placed;
    PlaceStats place;
    PlaceTriangles(scene, textures, placement, options.doubleSided, placed, place);
    scene = {};
    summary.droppedFaces = place.degenerate + place.duplicates;
    messages.WarnCount(place.degenerate, "skipped ", " degenerate faces without area");
    messages.WarnCount(place.duplicates, "dropped ",
                       " exact duplicate faces (same corners and texture as another)");
    if (placed.empty()) {
        messages.error = "scene \"" + options.scenePath + "\" has no faces with area";
        return false;
    }
    const EdgeCount open = CountOpenEdges(placed);
    summary.openEdges = open.openEdges;
    summary.openLoops = open.loops;
    summary.openLength = open.openLength;
    if (open.openEdges > 0)
        messages.Warn("the surface has " + std::to_string(open.openEdges) + " open edges in " +
                      std::to_string(open.loops) + (open.loops == 1 ? " loop" : " loops") +
                      ": through them the camera sees inner faces from behind, which "
                      "are not drawn, so the background shows; --double-sided draws both sides");

    Built built;
    if (!FitFormat(placed, options, textures, summary, built, messages)) return false;
    summary.vertices = int32_t(built.vertices);
    if (!WriteMapDirectory(options.outDir, built.bytes, textures, options.font, messages))
        return false;
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    summary.peakMemoryKb = PeakMemoryKb();
    return true;
}

std::string FormatSummary(const BspcSummary& s) {
    char text[1024];
    int n = std::snprintf(text, sizeof text, "input triangles %lld, ", (long long)s.inputTriangles);
    if (s.simplifiedTo > 0)
        n += std::snprintf(text + n, sizeof text - size_t(n), "simplified to %lld, ",
                           (long long)s.simplifiedTo);
    std::snprintf(text + n, sizeof text - size_t(n),
                  "output triangles %lld, vertices %d of %d, splits %lld, hidden inside closed "
                  "parts %lld, t-junctions mended %lld, open edges %lld in the scene and %lld in "
                  "the map (length %.6g and %.6g), textures %d, nodes %lld, depth %d, time %.2f s, "
                  "peak memory %lld MB",
                  (long long)s.bsp.outputTriangles, s.vertices, MaxMapCount,
                  (long long)s.bsp.splits, (long long)s.insideDropped,
                  (long long)s.mendedTJunctions,
                  (long long)s.openEdges, (long long)s.unmatchedEdges, s.openLength,
                  s.unmatchedLength, s.textures,
                  (long long)s.bsp.nodes, s.bsp.depth, s.seconds,
                  (long long)((s.peakMemoryKb + 512) / 1024));
    std::string summary = text;
    if (s.fitted) {
        std::snprintf(text, sizeof text, "; fitted as --scale %.9g --offset %.9g,%.9g,%.9g",
                      s.placement.scale, s.placement.offset[0], s.placement.offset[1],
                      s.placement.offset[2]);
        summary += text;
    }
    return summary;
}
