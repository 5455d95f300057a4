// vexmont-bspc SCENE --out DIR [options]: exit 0 on success, 1 when the scene cannot be
// compiled (one line saying what and where), 2 on bad arguments.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/bspc/bspc.h"
#include "tools/bspc/bundled_font.h"
#include "tools/bspc/scene_import.h"

namespace {

constexpr char Usage[] =
    "usage: vexmont-bspc SCENE --out DIR [--fit | --scale S --offset X,Y,Z] [--double-sided]\n"
    "                    [--no-simplify] [--max-texture N] [--import-timeout S]\n"
    "  Compiles a scene (OBJ, glTF/GLB, Collada, FBX, 3DS, PLY, STL and other formats Assimp\n"
    "  reads) into DIR/Vuze.BSP and DIR/Textures/, and DIR/Font.bmp when DIR has none.\n"
    "  Scene (X, Y, Z) becomes map (-X, Y, -Z) x S + offset; --fit picks both so that the\n"
    "  scene stands in front of the start camera. --double-sided draws faces from both sides.\n"
    "  A map beyond 32767 vertices is simplified unless --no-simplify is given. Textures are\n"
    "  at most N texels a side (default 1024). Reading the scene stops after S seconds\n"
    "  (default 120, 0: no limit). --formats lists the file types read.\n";

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

int BadArgument(const char* message) {
    std::fprintf(stderr, "vexmont-bspc: %s\n", message);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    BspcOptions options;
    options.font = std::span(BundledFont, BundledFontSize);
    bool placed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--out" && hasValue) {
            options.outDir = argv[++i];
        } else if (arg == "--scale" && hasValue) {
            placed = true;
            if (!ParseNumber(argv[++i], options.scale) || !(options.scale > 0.0))
                return BadArgument("--scale needs a positive number");
        } else if (arg == "--offset" && hasValue) {
            placed = true;
            if (!ParseOffset(argv[++i], options.offset))
                return BadArgument("--offset needs three numbers X,Y,Z");
        } else if (arg == "--max-texture" && hasValue) {
            double n = 0;
            if (!ParseNumber(argv[++i], n) || n < 1 || n > MaxTextureWidth || n != std::floor(n))
                return BadArgument("--max-texture needs a whole number from 1 to 65536");
            options.maxTexture = int32_t(n);
        } else if (arg == "--import-timeout" && hasValue) {
            double n = 0;
            if (!ParseNumber(argv[++i], n) || n < 0 || n > 86400 || n != std::floor(n))
                return BadArgument("--import-timeout needs whole seconds from 0 (no limit) to 86400");
            options.importSeconds = int32_t(n);
        } else if (arg == "--fit") {
            options.fit = true;
        } else if (arg == "--double-sided") {
            options.doubleSided = true;
        } else if (arg == "--no-simplify") {
            options.simplify = false;
        } else if (arg == "--formats") {
            std::printf("%s\n", SceneExtensions().c_str());
            return 0;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (!arg.starts_with("--") && options.scenePath.empty()) {
            options.scenePath = argv[i];
        } else {
            std::fprintf(stderr, "vexmont-bspc: unexpected argument \"%s\"\n%s", argv[i], Usage);
            return 2;
        }
    }
    if (options.fit && placed)
        return BadArgument("--fit chooses the scale and offset itself; give either --fit or "
                           "--scale/--offset");
    if (options.scenePath.empty() || options.outDir.empty()) {
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
