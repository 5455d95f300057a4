// vexmont-bspc scene.obj --out DIR [--scale S] [--offset X,Y,Z] [--double-sided]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/bspc/bspc.h"

namespace {

constexpr char Usage[] =
    "usage: vexmont-bspc scene.obj --out DIR [--scale S] [--offset X,Y,Z] [--double-sided]\n"
    "  Compiles an OBJ scene (with its MTL and map_Kd images) into DIR/Vuze.BSP and\n"
    "  DIR/Textures/*.bmp. Scene (X, Y, Z) becomes map (-X, Y, -Z) x S + offset.\n";

bool ParseNumber(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

bool ParseOffset(const char* text, double out[3]) {
    std::string rest(text);
    for (int i = 0; i < 3; ++i) {
        const size_t comma = rest.find(',');
        if ((i < 2) != (comma != std::string::npos)) return false;
        const std::string part = rest.substr(0, comma);
        if (!ParseNumber(part.c_str(), out[i])) return false;
        rest = i < 2 ? rest.substr(comma + 1) : std::string();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    BspcOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--out" && hasValue) {
            options.outDir = argv[++i];
        } else if (arg == "--scale" && hasValue) {
            if (!ParseNumber(argv[++i], options.scale) || options.scale == 0.0) {
                std::fprintf(stderr, "vexmont-bspc: --scale needs a non-zero number\n");
                return 2;
            }
        } else if (arg == "--offset" && hasValue) {
            if (!ParseOffset(argv[++i], options.offset)) {
                std::fprintf(stderr, "vexmont-bspc: --offset needs X,Y,Z\n");
                return 2;
            }
        } else if (arg == "--double-sided") {
            options.doubleSided = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (!arg.starts_with("--") && options.objPath.empty()) {
            options.objPath = argv[i];
        } else {
            std::fprintf(stderr, "vexmont-bspc: unexpected argument \"%s\"\n%s", argv[i], Usage);
            return 2;
        }
    }
    if (options.objPath.empty() || options.outDir.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    BspcSummary summary;
    BspcMessages messages;
    const bool ok = CompileMap(options, summary, messages);
    for (const std::string& w : messages.warnings)
        std::fprintf(stderr, "vexmont-bspc: warning: %s\n", w.c_str());
    if (!ok) {
        std::fprintf(stderr, "vexmont-bspc: error: %s\n", messages.error.c_str());
        return 1;
    }
    std::printf("%s\n", FormatSummary(summary).c_str());
    return 0;
}
