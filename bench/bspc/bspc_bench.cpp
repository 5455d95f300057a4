// vexmont-bspc-bench [TRIANGLES...]: compile time of generated scenes (default 10,000 and
// 100,000 triangles), stage by stage. Scenes of scattered, overlapping spheres and boxes
// give the builder many planes and many splits.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "tools/bspc/bsp_builder.h"
#include "tools/bspc/map_writer.h"
#include "tools/bspc/obj_reader.h"
#include "tools/bspc/tjunctions.h"

namespace {

struct Random {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    double Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return double(state >> 11) / double(1ull << 53);
    }
};

// Writes an OBJ of about `triangles` triangles: spheres of 16 x 8 quads and boxes.
int64_t WriteScene(const std::string& path, int64_t triangles) {
    Random random;
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return 0;
    int64_t written = 0;
    int64_t vertices = 0;
    const double pi = std::acos(-1.0);
    const double extent = 40.0 * std::cbrt(double(triangles));
    while (written < triangles) {
        const double cx = (random.Next() - 0.5) * extent;
        const double cy = (random.Next() - 0.5) * extent * 0.3;
        const double cz = (random.Next() - 0.5) * extent;
        const double r = 5 + 20 * random.Next();
        if (random.Next() < 0.5) {
            constexpr int Slices = 16, Stacks = 8;
            for (int i = 0; i <= Stacks; ++i)
                for (int j = 0; j < Slices; ++j) {
                    const double a = pi * i / Stacks, b = 2 * pi * j / Slices;
                    std::fprintf(f, "v %.4f %.4f %.4f\nvt %.4f %.4f\n",
                                 cx + r * std::sin(a) * std::cos(b), cy + r * std::cos(a),
                                 cz + r * std::sin(a) * std::sin(b), double(j) / Slices,
                                 double(i) / Stacks);
                }
            for (int i = 0; i < Stacks; ++i)
                for (int j = 0; j < Slices; ++j) {
                    const int64_t a = vertices + i * Slices + j + 1;
                    const int64_t b = vertices + i * Slices + (j + 1) % Slices + 1;
                    const int64_t c = a + Slices, d = b + Slices;
                    std::fprintf(f, "f %lld/%lld %lld/%lld %lld/%lld\n", (long long)a, (long long)a,
                                 (long long)c, (long long)c, (long long)d, (long long)d);
                    std::fprintf(f, "f %lld/%lld %lld/%lld %lld/%lld\n", (long long)a, (long long)a,
                                 (long long)d, (long long)d, (long long)b, (long long)b);
                    written += 2;
                }
            vertices += (Stacks + 1) * Slices;
        } else {
            const double lo[3] = {cx - r, cy - r, cz - r};
            const double hi[3] = {cx + r, cy + r * random.Next(), cz + r * 2 * random.Next()};
            for (int k = 0; k < 8; ++k)
                std::fprintf(f, "v %.4f %.4f %.4f\nvt %d %d\n", (k & 1) ? hi[0] : lo[0],
                             (k & 2) ? hi[1] : lo[1], (k & 4) ? hi[2] : lo[2], k & 1, (k >> 1) & 1);
            const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
            for (const auto& q : quads) {
                std::fprintf(f, "f");
                for (int k : q)
                    std::fprintf(f, " %lld/%lld", (long long)(vertices + k + 1),
                                 (long long)(vertices + k + 1));
                std::fprintf(f, "\n");
                written += 2;
            }
            vertices += 8;
        }
    }
    std::fclose(f);
    return written;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int64_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoll(argv[i]));
    if (sizes.empty()) sizes = {10000, 100000};
    const TempDir dir;
    for (int64_t size : sizes) {
        const std::string path = dir.File("scene" + std::to_string(size) + ".obj");
        const int64_t triangles = WriteScene(path, size);
        BspcOptions options;
        options.objPath = path;
        BspcMessages messages;
        Scene scene;
        auto start = std::chrono::steady_clock::now();
        if (!ReadObjScene(options, scene, messages)) {
            std::fprintf(stderr, "%s\n", messages.error.c_str());
            return 1;
        }
        const double readTime = Seconds(start);
        start = std::chrono::steady_clock::now();
        BspStats stats;
        std::unique_ptr<BspNode> root =
            BuildBsp(std::move(scene.triangles), MaxMapTreeDepth, stats, messages);
        const double buildTime = Seconds(start);
        if (!root) {
            std::fprintf(stderr, "%s\n", messages.error.c_str());
            return 1;
        }
        start = std::chrono::steady_clock::now();
        const int64_t mended = MendTJunctions(*root, stats);
        const double mendTime = Seconds(start);
        start = std::chrono::steady_clock::now();
        std::vector<uint8_t> bytes;
        int32_t vertexCount = 0;
        const std::vector<std::string> names = {"default"};
        const bool encoded = EncodeMap(*root, names, bytes, vertexCount, messages);
        const double encodeTime = Seconds(start);
        const std::string outcome = encoded ? "map " + std::to_string(bytes.size()) + " bytes"
                                            : "not a map: " + messages.error;
        std::printf("%lld triangles: read %.2f s, tree %.2f s, t-junctions %.2f s, encode %.2f s, "
                    "total %.2f s; output %lld triangles, %lld splits, %lld mended, %lld nodes, "
                    "depth %d; %s\n",
                    (long long)triangles, readTime, buildTime, mendTime, encodeTime,
                    readTime + buildTime + mendTime + encodeTime, (long long)stats.outputTriangles,
                    (long long)stats.splits, (long long)mended, (long long)stats.nodes, stats.depth,
                    outcome.c_str());
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    return 0;
}
