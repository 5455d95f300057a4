// The fuzz targets: one function per entry point that reads outside input, each taking the
// bytes of one input. They run under libFuzzer (fuzz/entry.cpp, the VEXMONT_FUZZ build) and
// replay saved inputs in the normal test run (tests/fuzz). Any input is acceptable; a
// target aborts, naming what broke, when a result breaks its loader's promise (an index
// outside its table, a write outside the frame), and the sanitizers catch the rest.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using FuzzInput = std::span<const uint8_t>;

// The map loader, the bytes as the map file.
void FuzzMapLoader(FuzzInput bytes);
// The BMP reader and the texture made from the picture, every masked fetch checked.
void FuzzBitmapTexture(FuzzInput bytes);
// The font loader with the bytes as Font.bmp, then the counter text (and any text) drawn
// into a frame with guard rows. First 12 bytes: counter value, x, y.
void FuzzFont(FuzzInput bytes);
// The renderer: 64 bytes of camera matrix, a key count and that many keys, then a map
// file; every slot gets a small texture, and each frame is checked for writes outside it.
void FuzzRenderer(FuzzInput bytes);
// vexmont-bspc's scene import: the first byte picks the format (OBJ with its MTL after a
// line "#mtl", glTF, GLB), the rest is the file.
void FuzzSceneImport(FuzzInput bytes);
// Writes the scene files of such an input into the scratch folder; the scene's path, or
// empty for an empty input.
std::string WriteFuzzScene(FuzzInput bytes);
// The command lines: NUL-separated arguments.
void FuzzBspcArguments(FuzzInput bytes);
void FuzzShotArguments(FuzzInput bytes);

struct FuzzTarget {
    std::string_view name; // the folder of its corpus and regression cases
    void (*run)(FuzzInput);
};
inline constexpr FuzzTarget FuzzTargets[] = {
    {"map", FuzzMapLoader},     {"bitmap", FuzzBitmapTexture},
    {"font", FuzzFont},         {"render", FuzzRenderer},
    {"scene", FuzzSceneImport}, {"bspc_args", FuzzBspcArguments},
    {"shot_args", FuzzShotArguments},
};

// A folder of this process's own for the files a target writes, made on first use.
const std::string& FuzzScratchDir();
// Writes bytes to the scratch folder under name and returns the file's path.
std::string FuzzScratchFile(std::string_view name, FuzzInput bytes);
// Aborts with a message when a promise is broken.
void FuzzCheck(bool ok, const char* what);
