#include "bench/render/bench_options.h"

#include <string_view>

#include "tools/headless_run/headless_run.h"

const char* const BenchUsage =
    "usage: vexmont-bench --dir DIR [--frames N] [--path spin|fixed] [--camera M] [--cameras K] "
    "[--json] [--peer]\n"
    "  --dir DIR     a map directory as the viewer runs in: Vuze.BSP, Textures/, Font.bmp\n"
    "  --frames N    frames measured (default 300), after one warm-up frame\n"
    "  --path P      spin (default): one full turn about the camera's own y axis over the run,\n"
    "                as the Left key turns; fixed: the same camera every frame\n"
    "  --camera M    start from this camera instead of the viewer's: 16 comma-separated\n"
    "                floats, row-major\n"
    "  --cameras K   K cameras over the map instead: on a grid across the map's box at the\n"
    "                start camera's height, camera i turned by i/K of a turn; the frames\n"
    "                are shared out among them and each camera's median is printed\n"
    "  --json        print the figures as one JSON object\n"
    "  --peer        also draw the same frames with OpenGL on Mesa's software rasterizer\n"
    "                (OSMesa, one thread) and compare\n";

std::string ParseBenchArguments(int argc, const char* const* argv, BenchOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") return "help";
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (arg == "--peer") {
            options.peer = true;
            continue;
        }
        if (arg != "--dir" && arg != "--frames" && arg != "--path" && arg != "--camera" &&
            arg != "--cameras")
            return "unknown option " + std::string(arg);
        if (i + 1 >= argc) return "missing value for " + std::string(arg);
        const std::string_view value = argv[++i];
        if (arg == "--dir") {
            if (value.empty()) return "empty --dir";
            options.dir = value;
        } else if (arg == "--frames") {
            if (!ParseWholeNumber(value, 1, MaxBenchFrames, options.frames))
                return "--frames needs a whole number from 1 to " + std::to_string(MaxBenchFrames);
        } else if (arg == "--cameras") {
            if (!ParseWholeNumber(value, 1, MaxBenchCameras, options.cameraCount))
                return "--cameras needs a whole number from 1 to " + std::to_string(MaxBenchCameras);
        } else if (arg == "--path") {
            if (value == "spin")
                options.path = CameraPath::Spin;
            else if (value == "fixed")
                options.path = CameraPath::Fixed;
            else
                return "--path takes spin or fixed";
        } else {
            Matrix4 m;
            if (!ParseCamera(value, m)) return "--camera needs 16 comma-separated finite floats";
            options.camera = m;
        }
    }
    if (options.dir.empty()) return "--dir is required";
    if (options.cameraCount > options.frames) return "--cameras needs at least one frame each";
    return "";
}
