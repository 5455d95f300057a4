// vexmont-bspc: compiles a scene file (OBJ, glTF, Collada, FBX, 3DS, PLY, STL and whatever
// else Assimp reads) into a map directory: the map file "Vuze.BSP", "Textures/NAME.bmp" for
// every texture it uses, and "Font.bmp" when the directory has none.
//
// The stages (one file each), in the order CompileMap runs them:
//   scene_import     Assimp scene -> triangles in scene space and materials, with fallbacks
//                    for every material problem (in a child process: importer crashes become
//                    one error line)
//   texture_convert  materials -> texture slots: images decoded, deduplicated, made powers
//                    of two and at most --max-texture, solid colours for everything else
//   mesh_prep        map coordinates, generated texture coordinates, duplicate and degenerate
//                    faces dropped, open edges counted, simplification when the map is too big
//   bsp_builder      the tree
//   enclosed         leaves out the tree's polygons inside closed parts of the scene
//   tjunctions       welds near-equal positions, mends cracks between neighbours
//   EncodeMap        the file's bytes (scene/map_writer, shared with vexmont-mapgen)
//   map_output       writes into a temporary directory and moves the result into --out
// Hostile input (broken files, huge counts, odd names) ends in messages.error, never in a
// crash or a file the viewer cannot read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "geometry/plane.h"
#include "scene/map.h"
#include "scene/map_writer.h"

// Vertices nearer to a splitting plane than this count as lying in it.
inline constexpr double PlaneEpsilon = 1e-3;
inline constexpr int32_t DefaultMaxTexture = 1024;
inline constexpr int32_t DefaultImportSeconds = 120;

struct BspcOptions {
    std::string scenePath;
    std::string outDir;
    // Scene (X, Y, Z) becomes map (-X, Y, -Z) x scale + offset; fit chooses both instead.
    double scale = 1.0;
    double offset[3] = {0.0, 0.0, 0.0};
    bool fit = false;
    bool doubleSided = false;
    bool keepInside = false; // keep the tree's polygons that lie inside closed parts
    bool simplify = true;
    int32_t maxTexture = DefaultMaxTexture; // longest texture side written
    int32_t maxDepth = MaxMapTreeDepth;
    int32_t maxVertices = MaxMapCount; // the map's vertex budget (lower only in tests)
    // Written as Font.bmp when outDir holds none; empty: no font is written.
    std::span<const uint8_t> font;
    // Import in a child process, so that a crash inside the importer is one error line, and
    // give up after importSeconds (0: never).
    bool isolateImport = true;
    int32_t importSeconds = DefaultImportSeconds;
};

struct BspcMessages {
    std::vector<std::string> warnings; // one line each, no repeats
    std::string error;                 // empty unless a stage failed; first line says what
    void Warn(const std::string& line);
    // "<before><count><after>", when count is not 0.
    void WarnCount(int64_t count, const std::string& before, const std::string& after);
    // "<before>material "m"<one>", or, for the same cause met again with other materials,
    // "<before>materials "m", "n" and 2 others<many>": one line per cause.
    void WarnMaterials(const std::string& before, const std::string& material,
                       const std::string& one, const std::string& many);

    struct MaterialCause {
        std::string before, one, many;
        std::vector<std::string> materials;
        size_t line; // index into warnings
    };
    std::vector<MaterialCause> materialCauses;
};
// `"a", "b" and 3 others`: one warning for many names.
std::string QuotedList(const std::vector<std::string>& names);

struct BspStats {
    int64_t outputTriangles = 0;
    int64_t splits = 0; // triangles cut by a splitting plane
    int64_t nodes = 0;
    int32_t depth = 0;
    bool tooDeep = false; // the build stopped at the depth limit
};

// Scene (X, Y, Z) becomes map (-X, Y, -Z) x scale + offset.
struct Placement {
    double scale = 1.0;
    double offset[3] = {0.0, 0.0, 0.0};
};

struct BspcSummary {
    int64_t inputTriangles = 0;  // as the importer triangulated them
    int64_t droppedFaces = 0;    // degenerate or exact duplicates
    int64_t simplifiedFrom = 0;  // triangles before simplification; 0 when not simplified
    int64_t simplifiedTo = 0;
    BspStats bsp;
    int64_t mendedTJunctions = 0; // triangles re-cut to meet a neighbour's vertex
    int64_t weldedPositions = 0;  // positions a few ulps from another, moved onto it
    int64_t insideDropped = 0;    // the tree's triangles inside closed parts, left out
    int64_t openEdges = 0;        // of the input surface
    int64_t openLoops = 0;
    int64_t unmatchedEdges = 0; // edges of the map with no neighbour edge (openings, cracks)
    double openLength = 0.0;    // summed length of the open edges, in map units
    double unmatchedLength = 0.0;
    int32_t vertices = 0;
    int32_t textures = 0;
    double seconds = 0.0;
    int64_t peakMemoryKb = 0;
    bool fitted = false;
    Placement placement;
};

// Plane of a triangle as the map wants it: unit normal opposite to the right-hand
// normal of v0 -> v1 -> v2. False when the triangle has no area.
bool TrianglePlane(const MapVertex& v0, const MapVertex& v1, const MapVertex& v2, Plane& out);

// The whole compilation. False with messages.error set on failure; outDir is then left as
// it was.
bool CompileMap(const BspcOptions& options, BspcSummary& summary, BspcMessages& messages);
std::string FormatSummary(const BspcSummary& summary);
