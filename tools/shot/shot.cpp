// vexmont-shot: runs the viewer on the in-memory platform and writes the last frame it
// presented to a PNG or PPM file.
//
//   vexmont-shot [--dir DIR] [--camera M] [--keys K] [--frames N] --out FILE
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <stb_image_write.h>

#include "app/viewer.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "tools/headless_run/headless_run.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitStartFailed = 1;
constexpr int ExitBadArguments = 2;
constexpr long MaxFrames = 1000000;

constexpr const char* Usage =
    "usage: vexmont-shot [--dir DIR] [--camera M] [--keys K] [--frames N] --out FILE\n"
    "  --dir DIR     run the viewer's start-up in DIR (default: the current directory)\n"
    "  --camera M    replace the camera after start-up: 16 comma-separated floats, row-major\n"
    "  --keys K      comma-separated key-downs after --camera: left, right, up, down,\n"
    "                insert, delete\n"
    "  --frames N    run N frames (default 1); the last one presented is written\n"
    "  --out FILE    .png (8-bit RGB) or .ppm (binary P6)\n";

struct Options {
    std::string dir = ".";
    std::optional<Matrix4> camera;
    std::vector<WPARAM> keys;
    long frames = 1;
    std::string out;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool ParseKeys(std::string_view text, std::vector<WPARAM>& keys) {
    static constexpr std::pair<std::string_view, WPARAM> Names[] = {
        {"left", VK_LEFT}, {"right", VK_RIGHT},   {"up", VK_UP},
        {"down", VK_DOWN}, {"insert", VK_INSERT}, {"delete", VK_DELETE}};
    for (const std::string& part : SplitCommas(text)) {
        const std::string name = Lower(part);
        bool known = false;
        for (const auto& [keyName, code] : Names) {
            if (name == keyName) {
                keys.push_back(code);
                known = true;
            }
        }
        if (!known) return false;
    }
    return true;
}

bool HasExtension(const std::string& path, std::string_view ext) {
    return path.size() > ext.size() && Lower(path.substr(path.size() - ext.size())) == ext;
}

// Empty on success, else what is wrong with the arguments.
std::string ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") return "help";
        if (i + 1 >= argc) return "missing value for " + std::string(arg);
        const std::string_view value = argv[++i];
        if (arg == "--dir") {
            if (value.empty()) return "empty --dir";
            options.dir = value;
        } else if (arg == "--camera") {
            Matrix4 m;
            if (!ParseCamera(value, m)) return "--camera needs 16 comma-separated finite floats";
            options.camera = m;
        } else if (arg == "--keys") {
            if (!ParseKeys(value, options.keys))
                return "--keys takes left, right, up, down, insert, delete";
        } else if (arg == "--frames") {
            if (!ParseWholeNumber(value, 1, MaxFrames, options.frames))
                return "--frames needs a whole number from 1 to " + std::to_string(MaxFrames);
        } else if (arg == "--out") {
            options.out = value;
        } else {
            return "unknown option " + std::string(arg);
        }
    }
    if (options.out.empty()) return "--out is required";
    if (!HasExtension(options.out, ".png") && !HasExtension(options.out, ".ppm"))
        return "--out must end in .png or .ppm";
    return "";
}

std::vector<uint8_t> ToRgb(const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i] = uint8_t(pixels[i] >> 16);
        rgb[3 * i + 1] = uint8_t(pixels[i] >> 8);
        rgb[3 * i + 2] = uint8_t(pixels[i]);
    }
    return rgb;
}

bool WriteImage(const std::string& path, const std::vector<uint32_t>& pixels) {
    const std::vector<uint8_t> rgb = ToRgb(pixels);
    if (HasExtension(path, ".png"))
        return stbi_write_png(path.c_str(), ScreenWidth, ScreenHeight, 3, rgb.data(),
                              ScreenWidth * 3) != 0;
    char header[32];
    const int length = std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", int(ScreenWidth),
                                     int(ScreenHeight));
    std::vector<uint8_t> ppm(header, header + length);
    ppm.insert(ppm.end(), rgb.begin(), rgb.end());
    return WriteHostFile(path, ppm);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    const std::string problem = ParseArguments(argc, argv, options);
    if (problem == "help") {
        std::fputs(Usage, stdout);
        return ExitOk;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "vexmont-shot: %s\n%s", problem.c_str(), Usage);
        return ExitBadArguments;
    }

    std::error_code error;
    const std::filesystem::path out = std::filesystem::absolute(options.out, error);
    if (error) {
        std::fprintf(stderr, "vexmont-shot: bad output path %s\n", options.out.c_str());
        return ExitBadArguments;
    }
    std::filesystem::current_path(options.dir, error);
    if (error) {
        std::fprintf(stderr, "vexmont-shot: cannot enter %s: %s\n", options.dir.c_str(),
                     error.message().c_str());
        return ExitStartFailed;
    }

    HeadlessReset();
    HeadlessKeepFrames(1);
    if (options.camera) {
        const Matrix4 camera = *options.camera;
        HeadlessQueueAction([camera] { CameraMatrix = camera; });
    }
    for (WPARAM key : options.keys)
        HeadlessQueueKey(key);
    HeadlessQueueTick(options.frames);
    HeadlessQueueClose();

    WinMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);

    if (!HeadlessMessageLoopReached()) {
        std::fprintf(stderr, "vexmont-shot: start-up failed: %s\n", StartFailure().c_str());
        return ExitStartFailed;
    }
    if (HeadlessFrames().empty()) {
        std::fprintf(stderr, "vexmont-shot: no frame was presented\n");
        return ExitStartFailed;
    }
    if (!WriteImage(out.string(), HeadlessFrames().back())) {
        std::fprintf(stderr, "vexmont-shot: cannot write %s\n", out.string().c_str());
        return ExitStartFailed;
    }
    return ExitOk;
}
