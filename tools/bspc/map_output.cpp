#include "tools/bspc/map_output.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "display/font.h"
#include "platform/files.h"
#include "scene/bitmap.h"
#include "scene/map_format.h"

namespace {

namespace fs = std::filesystem;

constexpr char TempPattern[] = ".vexmont-bspc-XXXXXX";
constexpr char OldTexturesName[] = "old-Textures";

// Removes the temporary directory on every way out.
struct TempDirectory {
    fs::path path;
    ~TempDirectory() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

bool Fail(BspcMessages& messages, const std::string& what, const fs::path& path,
          const std::error_code& ec) {
    messages.error = what + " \"" + path.string() + "\"" + (ec ? ": " + ec.message() : "");
    return false;
}

} // namespace

bool WriteMapDirectory(const std::string& outDir, std::span<const uint8_t> mapBytes,
                       const TextureSet& textures, std::span<const uint8_t> font,
                       BspcMessages& messages) {
    const fs::path out(outDir);
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) return Fail(messages, "cannot create", out, ec);
    std::string pattern = (out / TempPattern).string();
    if (!mkdtemp(pattern.data()))
        return Fail(messages, "cannot create a temporary directory in", out,
                    std::error_code(errno, std::generic_category()));
    TempDirectory temp{pattern};

    const fs::path textureDir = temp.path / TextureDirectoryName;
    fs::create_directory(textureDir, ec);
    if (ec) return Fail(messages, "cannot create", textureDir, ec);
    for (size_t i = 0; i < textures.images.size(); ++i) {
        const fs::path path = textureDir / (textures.names[i] + TextureFileExtension);
        if (!WriteBitmap(path.string(), textures.images[i]))
            return Fail(messages, "cannot write", path, {});
    }
    if (!WriteHostFile((temp.path / MapFileName).string(), mapBytes))
        return Fail(messages, "cannot write", temp.path / MapFileName, {});
    const fs::path fontPath = out / FontFileName;
    const bool writeFont = !font.empty() && !fs::exists(fontPath, ec);
    if (writeFont && !WriteHostFile((temp.path / FontFileName).string(), font))
        return Fail(messages, "cannot write", temp.path / FontFileName, {});

    // Everything is on disk: move it in, the old textures out of the way first.
    const fs::path oldTextures = temp.path / OldTexturesName;
    const bool hadTextures = fs::exists(out / TextureDirectoryName, ec);
    if (hadTextures) {
        fs::rename(out / TextureDirectoryName, oldTextures, ec);
        if (ec) return Fail(messages, "cannot replace", out / TextureDirectoryName, ec);
    }
    fs::rename(textureDir, out / TextureDirectoryName, ec);
    if (!ec) fs::rename(temp.path / MapFileName, out / MapFileName, ec);
    if (ec) {
        // Put the old textures back: the old map still names them.
        std::error_code ignored;
        fs::remove_all(out / TextureDirectoryName, ignored);
        if (hadTextures) fs::rename(oldTextures, out / TextureDirectoryName, ignored);
        return Fail(messages, "cannot move the new map into", out, ec);
    }
    if (writeFont) {
        fs::rename(temp.path / FontFileName, fontPath, ec);
        if (ec) messages.Warn("cannot write \"" + fontPath.string() + "\": " + ec.message());
    }
    return true;
}
