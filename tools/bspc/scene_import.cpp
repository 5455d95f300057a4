#include "tools/bspc/scene_import.h"

#include <algorithm>
#include <assimp/DefaultLogger.hpp>
#include <assimp/GltfMaterial.h>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// Far beyond any scene the format can hold even after simplification; keeps a hostile file
// from exhausting memory.
constexpr int64_t MaxSceneTriangles = 20'000'000;
// Node trees nest this deep at most; deeper ones are refused rather than followed.
constexpr int32_t MaxNodeDepth = 1000;
// Directory entries looked at while searching for an image under another folder.
constexpr int32_t MaxSearchEntries = 20000;

// Assimp reports material problems through its log only; the lines we act on.
constexpr char MissingLibraryPrefix[] = "OBJ: Unable to locate material file ";
constexpr char UnknownMaterialPrefix[] = "OBJ: failed to locate material ";
constexpr char UnknownMaterialSuffix[] = ", creating new material";

struct LogCapture : Assimp::LogStream {
    std::vector<std::string>* lines = nullptr;
    void write(const char* message) override {
        std::string line(message);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        // "Warn,  T0: text" / "Error, T0: text": keep the text.
        const size_t colon = line.find(": ");
        lines->push_back(colon == std::string::npos ? line : line.substr(colon + 2));
    }
};

// The logger is process-wide in Assimp; this one lives for one import.
struct ScopedLog {
    explicit ScopedLog(std::vector<std::string>& lines) {
        Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
        auto* capture = new LogCapture;
        capture->lines = &lines;
        Assimp::DefaultLogger::get()->attachStream(capture,
                                                   Assimp::Logger::Warn | Assimp::Logger::Err);
    }
    ~ScopedLog() { Assimp::DefaultLogger::kill(); }
};

uint32_t PackColor(const aiColor4D& c) {
    uint32_t color = 0;
    for (float channel : {c.r, c.g, c.b}) {
        const float v = std::isfinite(channel) ? std::fmin(std::fmax(channel, 0.0f), 1.0f) : 0.0f;
        color = color << 8 | uint32_t(std::lround(v * 255.0f));
    }
    return color;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The file a material's image names: as written, relative to the scene's folder; else its
// file name alone, in any case, in the scene's folder or one folder below (scenes are often
// copied without the folder structure their images were written with). `moved` tells which.
std::string FindImage(const fs::path& sceneDir, std::string name, bool& moved) {
    moved = false;
    std::replace(name.begin(), name.end(), '\\', '/');
    std::error_code ec;
    fs::path written(name);
    if (written.is_relative()) written = sceneDir / written;
    if (fs::is_regular_file(written, ec)) return written.string();
    const std::string wanted = Lower(fs::path(name).filename().string());
    if (wanted.empty()) return {};
    int32_t looked = 0;
    std::vector<fs::path> folders = {sceneDir.empty() ? fs::path(".") : sceneDir};
    for (size_t f = 0; f < folders.size() && looked < MaxSearchEntries; ++f) {
        fs::directory_iterator it(folders[f], ec), end;
        for (; !ec && it != end && looked < MaxSearchEntries; it.increment(ec), ++looked) {
            if (f == 0 && it->is_directory(ec)) folders.push_back(it->path());
            if (it->is_regular_file(ec) && Lower(it->path().filename().string()) == wanted) {
                moved = true;
                return it->path().string();
            }
        }
    }
    return {};
}

struct Importer {
    const aiScene& ai;
    Scene& scene;
    BspcMessages& messages;
    fs::path sceneDir;
    std::map<unsigned, int32_t> materialSlot; // Assimp material -> scene material
    int64_t skippedPrimitives = 0;
    int64_t nonFinite = 0;

    int32_t Material(unsigned index) {
        auto found = materialSlot.find(index);
        if (found != materialSlot.end()) return found->second;
        const int32_t slot = int32_t(scene.materials.size());
        materialSlot.emplace(index, slot);
        scene.materials.emplace_back();
        if (index < ai.mNumMaterials) Describe(*ai.mMaterials[index], scene.materials.back());
        return slot;
    }

    void Describe(const aiMaterial& source, SceneMaterial& material) {
        aiString name;
        if (source.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) material.name = name.C_Str();
        aiColor4D color(1, 1, 1, 1);
        if (source.Get(AI_MATKEY_BASE_COLOR, color) == AI_SUCCESS ||
            source.Get(AI_MATKEY_COLOR_DIFFUSE, color) == AI_SUCCESS)
            material.color = PackColor(color);
        aiString image;
        if (source.GetTexture(aiTextureType_DIFFUSE, 0, &image) != AI_SUCCESS &&
            source.GetTexture(aiTextureType_BASE_COLOR, 0, &image) != AI_SUCCESS)
            return;
        material.imageName = image.C_Str();
        if (const aiTexture* embedded = ai.GetEmbeddedTexture(image.C_Str())) {
            if (embedded->mHeight == 0) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(embedded->pcData);
                material.embedded.assign(bytes, bytes + embedded->mWidth);
            } else if (embedded->mWidth <= uint32_t(MaxTextureWidth) &&
                       embedded->mHeight <= uint32_t(MaxTextureWidth)) {
                material.embeddedWidth = int32_t(embedded->mWidth);
                material.embeddedHeight = int32_t(embedded->mHeight);
                const size_t count = size_t(embedded->mWidth) * embedded->mHeight;
                for (size_t i = 0; i < count; ++i) {
                    const aiTexel& t = embedded->pcData[i];
                    material.embedded.insert(material.embedded.end(), {t.r, t.g, t.b, t.a});
                }
            }
            if (material.embedded.empty())
                messages.WarnMaterials("embedded image \"" + material.imageName + "\" of ",
                                       material.name, " is empty; using the material's colour",
                                       " is empty; using each material's colour");
            return;
        }
        bool moved = false;
        material.imagePath = FindImage(sceneDir, material.imageName, moved);
        if (material.imagePath.empty())
            messages.WarnMaterials("image \"" + material.imageName + "\" of ", material.name,
                                   " not found; using the material's colour",
                                   " not found; using each material's colour");
        else if (moved)
            messages.WarnMaterials("image \"" + material.imageName + "\" of ", material.name,
                                   " not found there; using \"" + material.imagePath + "\"",
                                   " not found there; using \"" + material.imagePath + "\"");
    }

    bool Node(const aiNode& node, const aiMatrix4x4& parent, int32_t depth) {
        if (depth > MaxNodeDepth) {
            messages.error = "the scene's node tree is deeper than " +
                             std::to_string(MaxNodeDepth) + " levels";
            return false;
        }
        const aiMatrix4x4 transform = parent * node.mTransformation;
        for (unsigned i = 0; i < node.mNumMeshes; ++i) {
            if (node.mMeshes[i] >= ai.mNumMeshes) continue;
            if (!Mesh(*ai.mMeshes[node.mMeshes[i]], transform)) return false;
        }
        for (unsigned i = 0; i < node.mNumChildren; ++i)
            if (node.mChildren[i] && !Node(*node.mChildren[i], transform, depth + 1)) return false;
        return true;
    }

    bool Mesh(const aiMesh& mesh, const aiMatrix4x4& m) {
        // Transform in double; a mirroring transform turns the faces' winding around.
        double t[3][4];
        const ai_real* row = &m.a1;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                t[r][c] = double(row[r * 4 + c]);
        const double det = t[0][0] * (t[1][1] * t[2][2] - t[1][2] * t[2][1]) -
                           t[0][1] * (t[1][0] * t[2][2] - t[1][2] * t[2][0]) +
                           t[0][2] * (t[1][0] * t[2][1] - t[1][1] * t[2][0]);
        const bool mirrored = det < 0;
        const aiVector3D* uv = mesh.mTextureCoords[0];
        const int32_t material = Material(mesh.mMaterialIndex);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) {
                ++skippedPrimitives;
                continue;
            }
            if (int64_t(scene.triangles.size()) >= MaxSceneTriangles) {
                messages.error = "the scene has more than " + std::to_string(MaxSceneTriangles) +
                                 " triangles";
                return false;
            }
            SceneTriangle triangle;
            triangle.material = material;
            triangle.hasUv = uv != nullptr;
            bool finite = true;
            for (int k = 0; k < 3; ++k) {
                const unsigned index = face.mIndices[mirrored && k > 0 ? 3 - k : k];
                if (index >= mesh.mNumVertices) {
                    messages.error = "mesh \"" + std::string(mesh.mName.C_Str()) +
                                     "\" refers to a vertex that does not exist";
                    return false;
                }
                const aiVector3D& p = mesh.mVertices[index];
                for (int r = 0; r < 3; ++r) {
                    triangle.p[k][r] = t[r][0] * p.x + t[r][1] * p.y + t[r][2] * p.z + t[r][3];
                    finite &= std::isfinite(triangle.p[k][r]);
                }
                if (uv) {
                    triangle.uv[k][0] = uv[index].x;
                    triangle.uv[k][1] = float(1.0 - double(uv[index].y));
                    finite &= std::isfinite(triangle.uv[k][0]) && std::isfinite(triangle.uv[k][1]);
                }
            }
            if (!finite) {
                ++nonFinite;
                continue;
            }
            scene.triangles.push_back(triangle);
        }
        return true;
    }
};

// Turns the importer's log into our warnings: one line per cause.
void ReportLog(const std::vector<std::string>& log, const fs::path& scenePath,
               const Scene& scene, BspcMessages& messages) {
    std::vector<std::string> unknown;
    for (const std::string& line : log) {
        if (line.starts_with(MissingLibraryPrefix)) {
            const std::string library = line.substr(sizeof MissingLibraryPrefix - 1);
            fs::path own = scenePath;
            own.replace_extension(".mtl");
            std::error_code ec;
            const bool fallback = fs::is_regular_file(own, ec) && own.filename() != library;
            messages.Warn("material library \"" + library + "\" named by \"" +
                          scenePath.filename().string() + "\" not found; " +
                          (fallback ? "using \"" + own.filename().string() + "\" instead"
                                    : std::string("its materials are drawn in a default grey")));
        } else if (line.starts_with(UnknownMaterialPrefix) &&
                   line.ends_with(UnknownMaterialSuffix)) {
            const std::string name =
                line.substr(sizeof UnknownMaterialPrefix - 1,
                            line.size() - (sizeof UnknownMaterialPrefix - 1) -
                                (sizeof UnknownMaterialSuffix - 1));
            const bool used = std::any_of(scene.materials.begin(), scene.materials.end(),
                                          [&](const SceneMaterial& m) { return m.name == name; });
            if (used && std::find(unknown.begin(), unknown.end(), name) == unknown.end())
                unknown.push_back(name);
        }
    }
    if (!unknown.empty())
        messages.Warn("material" + std::string(unknown.size() > 1 ? "s " : " ") +
                      QuotedList(unknown) + " used by \"" + scenePath.filename().string() +
                      "\" defined in no material library; drawn in a default grey");
}

void ReportTransparency(const aiScene& ai, const std::map<unsigned, int32_t>& used,
                        BspcMessages& messages) {
    std::vector<std::string> names;
    for (const auto& [index, slot] : used) {
        if (index >= ai.mNumMaterials) continue;
        const aiMaterial& m = *ai.mMaterials[index];
        float opacity = 1;
        aiColor4D base(1, 1, 1, 1);
        aiString alphaMode;
        const bool transparent =
            (m.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS && opacity < 1) ||
            (m.Get(AI_MATKEY_BASE_COLOR, base) == AI_SUCCESS && base.a < 1) ||
            (m.Get(AI_MATKEY_GLTF_ALPHAMODE, alphaMode) == AI_SUCCESS &&
             std::string_view(alphaMode.C_Str()) != "OPAQUE");
        aiString name;
        m.Get(AI_MATKEY_NAME, name);
        if (transparent) names.push_back(name.C_Str());
    }
    if (!names.empty())
        messages.Warn("material" + std::string(names.size() > 1 ? "s " : " ") + QuotedList(names) +
                      (names.size() > 1 ? " are" : " is") +
                      " transparent; transparency is not drawn, the faces show opaque");
}

} // namespace

std::string SceneExtensions() {
    std::string list;
    Assimp::Importer().GetExtensionList(list); // "*.3ds;*.obj;..."
    std::string out;
    for (char c : list) {
        if (c == '*' || c == '.') continue;
        out += c == ';' ? ' ' : char(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool ImportScene(const std::string& path, Scene& scene, BspcMessages& messages) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        messages.error = "cannot open scene file \"" + path + "\"";
        return false;
    }
    std::vector<std::string> log;
    ScopedLog scopedLog(log);
    Assimp::Importer importer;
    // Skeletons alone are no scenery: a file with bones and no faces has nothing to show.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    const unsigned steps = aiProcess_Triangulate | aiProcess_SortByPType |
                           aiProcess_GenUVCoords |
                           aiProcess_TransformUVCoords;
    const aiScene* ai = nullptr;
    try {
        ai = importer.ReadFile(path, steps);
    } catch (const std::exception& e) {
        messages.error = "cannot read scene \"" + path + "\": " + e.what();
        return false;
    }
    if (!ai || !ai->mRootNode) {
        std::string reason = importer.GetErrorString();
        reason = reason.substr(0, reason.find('\n'));
        messages.error = "cannot read scene \"" + path + "\": " +
                         (reason.empty() ? std::string("not a scene file Assimp reads") : reason);
        return false;
    }
    Importer walk{*ai, scene, messages, fs::path(path).parent_path(), {}, 0, 0};
    if (!walk.Node(*ai->mRootNode, aiMatrix4x4(), 1)) {
        messages.error = "cannot read scene \"" + path + "\": " + messages.error;
        return false;
    }
    ReportLog(log, fs::path(path), scene, messages);
    ReportTransparency(*ai, walk.materialSlot, messages);
    messages.WarnCount(walk.skippedPrimitives, "skipped ",
                       " points and lines; only faces are drawn");
    messages.WarnCount(walk.nonFinite, "skipped ",
                       " faces whose corners or texture coordinates are not finite numbers");
    if (scene.triangles.empty()) {
        messages.error = "scene \"" + path + "\" has no faces";
        return false;
    }
    return true;
}
