// vexmont-shot's command line:
//   vexmont-shot [--dir DIR] [--camera M] [--keys K] [--frames N] --out FILE
// Any argv is safe: every value is checked, and a problem is one line of text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry/matrix.h"
#include "platform/win32.h"

inline constexpr long ShotMaxFrames = 1000000;

extern const char ShotUsage[];

struct ShotOptions {
    std::string dir = ".";
    std::optional<Matrix4> camera;
    std::vector<WPARAM> keys;
    long frames = 1;
    std::string out;
};

// Empty on success; "help" when the usage was asked for; else what is wrong.
std::string ParseShotArguments(int argc, const char* const* argv, ShotOptions& options);
// Whether path ends in ext, in any case (".png").
bool HasExtension(const std::string& path, std::string_view ext);
