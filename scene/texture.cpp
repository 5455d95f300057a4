#include "scene/texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "scene/bitmap.h"
#include "scene/load_error.h"
#include "scene/map.h"

std::unique_ptr<Texture> CreateTexture(int32_t width, int32_t height,
                                       std::unique_ptr<uint32_t[]> pixels) {
    // An empty side would leave the fetch masks pointing outside the pixels, and a width
    // above 65536 would make vShift negative.
    if (width <= 0 || height <= 0 || width > MaxTextureWidth || !pixels) return nullptr;

    auto texture = std::unique_ptr<Texture>(new (std::nothrow) Texture());
    if (!texture) return nullptr;
    texture->width = width;
    texture->height = height;
    texture->pixels = std::move(pixels);
    texture->uMask = texture->width - 1;
    texture->vMask = texture->width * (texture->height - 1);
    // log2 as ln(width) / ln(2); the 1e-7 lifts exact powers of two above a result that
    // lands just below the integer.
    const auto log2Width = int32_t(std::log(double(texture->width)) / std::log(2.0) + 0.0000001);
    texture->vShift = 16 - log2Width;
    return texture;
}

std::unique_ptr<Texture> LoadTexture(std::string_view path) {
    std::unique_ptr<PixelImage> image = LoadBitmap(path);
    if (!image) return nullptr;
    const bool empty = image->width == 0 || image->height == 0;
    std::unique_ptr<Texture> texture =
        CreateTexture(image->width, image->height, std::move(image->pixels));
    // The bitmap reader keeps sides at most MaxBitmapSide, below MaxTextureWidth.
    if (!texture) NoteLoadError(path, empty ? LoadEmptyPicture : LoadOutOfMemory);
    return texture;
}

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, whatever follows a dot; Windows also ignores spaces
// before the dot.
bool IsDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    char upper[5] = {};
    if (base.size() < 3 || base.size() > 4) return false;
    for (size_t i = 0; i < base.size(); ++i)
        upper[i] = char(base[i] >= 'a' && base[i] <= 'z' ? base[i] - 'a' + 'A' : base[i]);
    const std::string_view name(upper, base.size());
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL") return true;
    return name.size() == 4 && (name.starts_with("COM") || name.starts_with("LPT")) &&
           name[3] >= '1' && name[3] <= '9';
}

} // namespace

bool TextureNameSafe(std::string_view name) {
    if (name.empty() || IsSeparator(name.front())) return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        const std::string_view component = name.substr(start, end - start);
        // Windows drops trailing dots and spaces from a component, so ". ." and "... " are
        // refused with "..".
        const bool dotsOnly = component.find_first_not_of(". ") == std::string_view::npos;
        if ((dotsOnly && std::count(component.begin(), component.end(), '.') >= 2) ||
            IsDeviceName(component))
            return false;
        start = end + 1;
    }
    return true;
}

bool LoadMapTextures(Map& map, std::string_view directory) {
    if (!directory.empty() && directory.back() == '\\') directory.remove_suffix(1);
    for (int32_t i = 0; i < map.textureCount; ++i) {
        TextureSlot& slot = map.textureSlots[i];
        char path[TexturePathSize];
        const int length = std::snprintf(path, sizeof path, "%.*s\\%s%s", int(directory.size()),
                                         directory.data(), slot.name.c_str(), TextureFileExtension);
        // A name that leaves the folder fails as a missing file would, even when the file
        // it points to exists; a path that would not fit is never cut short.
        const char* refused = !TextureNameSafe(slot.name)                       ? LoadUnsafeName
                              : length < 0 || size_t(length) >= sizeof path ? LoadPathTooLong
                                                                            : nullptr;
        if (refused) {
            NoteLoadError(length < 0 ? std::string_view(slot.name) : std::string_view(path),
                          refused);
        } else {
            slot.texture = LoadTexture(path);
        }
        if (!slot.texture) {
            LastLoadError.kind = "texture";
            return false;
        }
    }
    return true;
}
