// vexmont-bench's command line:
//
//   vexmont-bench --dir DIR [--frames N] [--path spin|fixed] [--camera M] [--cameras K]
//                 [--json] [--peer]
#pragma once

#include <optional>
#include <string>

#include "geometry/matrix.h"

inline constexpr long DefaultBenchFrames = 300;
inline constexpr long MaxBenchFrames = 1000000;
inline constexpr long MaxBenchCameras = 1000;

enum class CameraPath {
    Spin,  // one full turn about the camera's own y axis over the run, the way Left turns
    Fixed, // the same camera every frame
};

struct BenchOptions {
    std::string dir;
    long frames = DefaultBenchFrames;
    CameraPath path = CameraPath::Spin;
    std::optional<Matrix4> camera; // instead of the viewer's start camera
    long cameraCount = 0;          // cameras spread over the map; 0: the path above
    bool json = false;
    bool peer = false;
};

extern const char* const BenchUsage;

// Empty on success; "help" when help was asked for; else one line saying what is wrong.
std::string ParseBenchArguments(int argc, const char* const* argv, BenchOptions& options);
