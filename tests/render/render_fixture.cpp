// The renderer's test fixtures from the command line:
//   render-fixture map DIR              write the golden map's files into DIR
//   render-fixture goldens [DIR]        render the expected images into DIR (by default
//                                       the source tree's tests/render/golden)
//   render-fixture camera NAME          print the camera's 16 elements for --camera
//   render-fixture compare EXPECTED ACTUAL
//                                       exit 0 when the 512 x 384 PPM frames are identical,
//                                       otherwise 1 and a report of where they differ
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "golden_map.h"
#include "scene/map.h"
#include "support/image.h"

using namespace rendertest;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: render-fixture map DIR | goldens [DIR] | camera NAME | "
                         "compare EXPECTED ACTUAL\n");
    return 2;
}

int WriteGoldens(const std::filesystem::path& out) {
    const auto map = LoadGoldenMap();
    if (!map) {
        std::fprintf(stderr, "cannot build the golden map\n");
        return 1;
    }
    std::filesystem::create_directories(out);
    for (const NamedCamera& camera : GoldenMapCameras()) {
        const auto path = out / (camera.name + ".ppm");
        if (!WritePpm(path, 512, 384, RenderTestFrame(*map, camera.matrix))) {
            std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
            return 1;
        }
        std::printf("%s\n", path.string().c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string_view command = argv[1];
    if (command == "map" && argc == 3) return WriteGoldenMap(argv[2]) ? 0 : 1;
    if (command == "goldens" && argc <= 3)
        return WriteGoldens(argc == 3 ? argv[2] : GoldenDirectory());
    if (command == "camera" && argc == 3) {
        for (const NamedCamera& camera : GoldenMapCameras()) {
            if (camera.name == argv[2]) {
                std::printf("%s\n", CameraArgument(camera.matrix).c_str());
                return 0;
            }
        }
        std::fprintf(stderr, "no camera named %s\n", argv[2]);
        return 1;
    }
    if (command == "compare" && argc == 4) {
        const std::vector<uint32_t> expected = ReadPpm(argv[2], 512, 384);
        const std::vector<uint32_t> actual = ReadPpm(argv[3], 512, 384);
        if (expected.empty() || actual.empty()) {
            std::fprintf(stderr, "cannot read %s as a 512 x 384 PPM frame\n",
                         argv[expected.empty() ? 2 : 3]);
            return 1;
        }
        const std::string report = CompareImages(expected, actual, 512);
        if (report.empty()) return 0;
        std::fprintf(stderr, "%s differs from %s: %s", argv[3], argv[2], report.c_str());
        return 1;
    }
    return Usage();
}
