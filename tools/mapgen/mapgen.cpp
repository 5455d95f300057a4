// vexmont-mapgen --size 2k|20k|max --out DIR: writes a benchmark interior (rooms joined by
// doors) as a map directory the viewer runs in: Vuze.BSP and Textures/*.bmp. The same size
// always gives the same bytes.
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "tools/mapgen/interior_map.h"

namespace {

constexpr const char* Usage = "usage: vexmont-mapgen --size 2k|20k|max --out DIR\n";

} // namespace

int main(int argc, char** argv) {
    std::string size, out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (i + 1 >= argc || (arg != "--size" && arg != "--out")) {
            std::fprintf(stderr, "vexmont-mapgen: %s %s\n%s",
                         i + 1 >= argc ? "missing value for" : "unknown option", argv[i], Usage);
            return 2;
        }
        (arg == "--size" ? size : out) = argv[++i];
    }
    InteriorLayout layout;
    if (!InteriorLayoutFor(size, layout) || out.empty()) {
        std::fprintf(stderr, "vexmont-mapgen: %s\n%s",
                     out.empty() ? "--out is required" : "--size takes 2k, 20k or max", Usage);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    InteriorSummary summary;
    std::string error;
    if (!WriteInteriorMap(layout, out, summary, error)) {
        std::fprintf(stderr, "vexmont-mapgen: %s\n", error.c_str());
        return 1;
    }
    std::printf("vexmont-mapgen: %s: %d rooms, %lld triangles, %lld vertices, %lld nodes, depth %d, "
                "%.2f s -> %s\n",
                size.c_str(), summary.rooms, (long long)summary.tree.triangles,
                (long long)summary.vertices, (long long)summary.tree.nodes, summary.tree.depth,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                out.c_str());
    return 0;
}
