#include "tools/bspc/arguments.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

const char BspcUsage[] =
    "usage: vexmont-bspc SCENE --out DIR [--fit | --scale S --offset X,Y,Z] [--double-sided]\n"
    "                    [--keep-inside] [--no-simplify] [--max-texture N] [--import-timeout S]\n"
    "  Compiles a scene (OBJ, glTF/GLB, Collada, FBX, 3DS, PLY, STL and other formats Assimp\n"
    "  reads) into DIR/Vuze.BSP and DIR/Textures/, and DIR/Font.bmp when DIR has none.\n"
    "  Scene (X, Y, Z) becomes map (-X, Y, -Z) x S + offset; --fit picks both so that the\n"
    "  scene stands in front of the start camera. --double-sided draws faces from both sides.\n"
    "  Faces inside closed parts of the scene are left out unless --keep-inside is given.\n"
    "  A map beyond 32767 vertices is simplified unless --no-simplify is given. Textures are\n"
    "  at most N texels a side (default 1024). Reading the scene stops after S seconds\n"
    "  (default 120, 0: no limit). --formats lists the file types read.\n";

namespace {

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

BspcCommand Bad(std::string& problem, std::string message) {
    problem = std::move(message);
    return BspcCommand::Bad;
}

} // namespace

BspcCommand ParseBspcArguments(int argc, const char* const* argv, BspcOptions& options,
                               std::string& problem) {
    problem.clear();
    bool placed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--out" && hasValue) {
            options.outDir = argv[++i];
        } else if (arg == "--scale" && hasValue) {
            placed = true;
            if (!ParseNumber(argv[++i], options.scale) || !(options.scale > 0.0))
                return Bad(problem, "--scale needs a positive number");
        } else if (arg == "--offset" && hasValue) {
            placed = true;
            if (!ParseOffset(argv[++i], options.offset))
                return Bad(problem, "--offset needs three numbers X,Y,Z");
        } else if (arg == "--max-texture" && hasValue) {
            double n = 0;
            if (!ParseNumber(argv[++i], n) || n < 1 || n > MaxTextureWidth || n != std::floor(n))
                return Bad(problem, "--max-texture needs a whole number from 1 to 65536");
            options.maxTexture = int32_t(n);
        } else if (arg == "--import-timeout" && hasValue) {
            double n = 0;
            if (!ParseNumber(argv[++i], n) || n < 0 || n > 86400 || n != std::floor(n))
                return Bad(problem,
                           "--import-timeout needs whole seconds from 0 (no limit) to 86400");
            options.importSeconds = int32_t(n);
        } else if (arg == "--fit") {
            options.fit = true;
        } else if (arg == "--double-sided") {
            options.doubleSided = true;
        } else if (arg == "--keep-inside") {
            options.keepInside = true;
        } else if (arg == "--no-simplify") {
            options.simplify = false;
        } else if (arg == "--formats") {
            return BspcCommand::Formats;
        } else if (arg == "--help" || arg == "-h") {
            return BspcCommand::Help;
        } else if (!arg.starts_with("--") && options.scenePath.empty()) {
            options.scenePath = argv[i];
        } else {
            return Bad(problem, "unexpected argument \"" + std::string(arg) + "\"\n" + BspcUsage);
        }
    }
    if (options.fit && placed)
        return Bad(problem, "--fit chooses the scale and offset itself; give either --fit or "
                            "--scale/--offset");
    if (options.scenePath.empty() || options.outDir.empty()) return BspcCommand::Bad;
    return BspcCommand::Compile;
}
