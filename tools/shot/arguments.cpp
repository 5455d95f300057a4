#include "tools/shot/arguments.h"

#include <cctype>
#include <string_view>

#include "tools/headless_run/headless_run.h"

const char ShotUsage[] =
    "usage: vexmont-shot [--dir DIR] [--camera M] [--keys K] [--frames N] --out FILE\n"
    "  --dir DIR     run the viewer's start-up in DIR (default: the current directory)\n"
    "  --camera M    replace the camera after start-up: 16 comma-separated floats, row-major\n"
    "  --keys K      comma-separated key-downs after --camera: left, right, up, down,\n"
    "                insert, delete\n"
    "  --frames N    run N frames (default 1); the last one presented is written\n"
    "  --out FILE    .png (8-bit RGB) or .ppm (binary P6)\n";

namespace {

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

} // namespace

bool HasExtension(const std::string& path, std::string_view ext) {
    return path.size() > ext.size() && Lower(path.substr(path.size() - ext.size())) == ext;
}

std::string ParseShotArguments(int argc, const char* const* argv, ShotOptions& options) {
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
            if (!ParseWholeNumber(value, 1, ShotMaxFrames, options.frames))
                return "--frames needs a whole number from 1 to " + std::to_string(ShotMaxFrames);
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
