// vexmont-bspc's scene import and the command lines of vexmont-bspc and vexmont-shot.
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "tools/bspc/arguments.h"
#include "tools/bspc/scene_import.h"
#include "tools/shot/arguments.h"

namespace {

constexpr std::string_view MaterialLine = "#mtl\n";

// Arguments separated by NUL bytes, after the program name; at most 64 of them.
std::vector<std::string> SplitArguments(FuzzInput bytes) {
    std::vector<std::string> args{"program"};
    std::string current;
    for (uint8_t b : bytes) {
        if (b == 0) {
            args.push_back(std::move(current));
            current.clear();
            if (args.size() > 64) return args;
        } else {
            current.push_back(char(b));
        }
    }
    args.push_back(std::move(current));
    return args;
}

std::vector<const char*> Argv(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

std::string WriteFuzzScene(FuzzInput bytes) {
    if (bytes.empty()) return "";
    const FuzzInput file = bytes.subspan(1);
    // Files of an earlier input must not be found by this one.
    for (const char* name : {"scene.obj", "scene.mtl", "scene.gltf", "scene.glb"})
        std::filesystem::remove(FuzzScratchDir() + "/" + name);
    std::string path;
    switch (bytes[0] % 3) {
    case 0: {
        const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
        const size_t split = text.find(MaterialLine);
        path = FuzzScratchFile("scene.obj", file.subspan(0, std::min(split, file.size())));
        if (split != std::string_view::npos)
            FuzzScratchFile("scene.mtl", file.subspan(split + MaterialLine.size()));
        break;
    }
    case 1:
        path = FuzzScratchFile("scene.gltf", file);
        break;
    default:
        path = FuzzScratchFile("scene.glb", file);
        break;
    }
    return path;
}

void FuzzSceneImport(FuzzInput bytes) {
    const std::string path = WriteFuzzScene(bytes);
    if (path.empty()) return;
    Scene scene;
    BspcMessages messages;
    const bool ok = ImportScene(path, scene, messages);
    FuzzCheck(ok == messages.error.empty(), "the import's result and its error disagree");
    if (!ok) return;
    FuzzCheck(!scene.triangles.empty(), "an import without faces succeeded");
    for (const SceneTriangle& t : scene.triangles) {
        FuzzCheck(t.material >= 0 && size_t(t.material) < scene.materials.size(),
                  "a triangle's material outside the table");
        for (const auto& p : t.p)
            for (double c : p)
                FuzzCheck(std::isfinite(c), "a corner not finite");
    }
    for (const SceneMaterial& m : scene.materials)
        FuzzCheck(m.embedded.size() >= size_t(m.embeddedWidth) * size_t(m.embeddedHeight) * 4 ||
                      m.embeddedWidth == 0 || m.embeddedHeight == 0,
                  "embedded texels shorter than their size");
}

void FuzzBspcArguments(FuzzInput bytes) {
    const std::vector<std::string> args = SplitArguments(bytes);
    const std::vector<const char*> argv = Argv(args);
    BspcOptions options;
    std::string problem;
    const BspcCommand command = ParseBspcArguments(int(args.size()), argv.data(), options, problem);
    if (command != BspcCommand::Compile) return;
    FuzzCheck(problem.empty(), "a problem reported with success");
    FuzzCheck(!options.scenePath.empty() && !options.outDir.empty(), "scene or output missing");
    FuzzCheck(std::isfinite(options.scale) && options.scale > 0, "scale not positive");
    for (double o : options.offset)
        FuzzCheck(std::isfinite(o), "offset not finite");
    FuzzCheck(options.maxTexture >= 1 && options.maxTexture <= MaxTextureWidth,
              "texture limit out of range");
    FuzzCheck(options.importSeconds >= 0 && options.importSeconds <= 86400,
              "import timeout out of range");
}

void FuzzShotArguments(FuzzInput bytes) {
    const std::vector<std::string> args = SplitArguments(bytes);
    const std::vector<const char*> argv = Argv(args);
    ShotOptions options;
    if (!ParseShotArguments(int(args.size()), argv.data(), options).empty()) return;
    FuzzCheck(options.frames >= 1 && options.frames <= ShotMaxFrames, "frames out of range");
    FuzzCheck(HasExtension(options.out, ".png") || HasExtension(options.out, ".ppm"),
              "output neither PNG nor PPM");
    FuzzCheck(!options.dir.empty(), "empty directory");
    if (options.camera)
        for (float e : options.camera->m)
            FuzzCheck(std::isfinite(e), "camera not finite");
}
