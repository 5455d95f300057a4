#include "tools/bspc/texture_convert.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <stb_image.h>

namespace {

// Solid textures stay small: one colour needs no detail.
constexpr int32_t SolidTextureSide = 8;
// Room kept at the end of a name for "_" and a number that makes it unique.
constexpr size_t UniqueSuffixRoom = 6;

PixelImage NewImage(int32_t width, int32_t height) {
    return {std::make_unique<uint32_t[]>(size_t(width) * size_t(height)), width, height};
}

size_t PixelCount(const PixelImage& image) {
    return size_t(image.width) * size_t(image.height);
}

struct StbiFree {
    void operator()(unsigned char* p) const { stbi_image_free(p); }
};

// Bilinear resampling with wrap-around: textures repeat across polygons, so the edges
// blend with the opposite side.
PixelImage Resample(const PixelImage& in, int32_t width, int32_t height) {
    PixelImage out = NewImage(width, height);
    for (int32_t y = 0; y < height; ++y) {
        const double sy = (y + 0.5) * in.height / height - 0.5;
        const double fy = std::floor(sy);
        const double wy = sy - fy;
        const int32_t y0 = ((int32_t(fy) % in.height) + in.height) % in.height;
        const int32_t y1 = (y0 + 1) % in.height;
        for (int32_t x = 0; x < width; ++x) {
            const double sx = (x + 0.5) * in.width / width - 0.5;
            const double fx = std::floor(sx);
            const double wx = sx - fx;
            const int32_t x0 = ((int32_t(fx) % in.width) + in.width) % in.width;
            const int32_t x1 = (x0 + 1) % in.width;
            uint32_t pixel = 0;
            for (int shift = 16; shift >= 0; shift -= 8) {
                auto at = [&](int32_t px, int32_t py) {
                    return double(in.pixels[size_t(py) * size_t(in.width) + size_t(px)] >> shift &
                                  0xFF);
                };
                const double top = at(x0, y0) * (1 - wx) + at(x1, y0) * wx;
                const double bottom = at(x0, y1) * (1 - wx) + at(x1, y1) * wx;
                const double value = top * (1 - wy) + bottom * wy;
                pixel = pixel << 8 | uint32_t(std::lround(std::fmin(std::fmax(value, 0.0), 255.0)));
            }
            out.pixels[size_t(y) * size_t(width) + size_t(x)] = pixel;
        }
    }
    return out;
}

// Halves a power-of-two side by averaging pairs of texels (a box filter, no aliasing).
PixelImage Halve(const PixelImage& in, bool halveWidth, bool halveHeight) {
    const int32_t sx = halveWidth ? 2 : 1;
    const int32_t sy = halveHeight ? 2 : 1;
    PixelImage out = NewImage(in.width / sx, in.height / sy);
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 0; x < out.width; ++x) {
            uint32_t pixel = 0;
            for (int shift = 16; shift >= 0; shift -= 8) {
                uint32_t sum = 0;
                for (int32_t dy = 0; dy < sy; ++dy)
                    for (int32_t dx = 0; dx < sx; ++dx)
                        sum += in.pixels[size_t(y * sy + dy) * size_t(in.width) +
                                         size_t(x * sx + dx)] >>
                                   shift &
                               0xFF;
                const uint32_t count = uint32_t(sx * sy);
                pixel = pixel << 8 | (sum + count / 2) / count;
            }
            out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = pixel;
        }
    return out;
}

int32_t LargestPowerOfTwoAtMost(int32_t n) {
    int32_t p = 1;
    while (p <= n / 2)
        p <<= 1;
    return p;
}

// Decodes a material's image into RGB texels; false with `reason` when it cannot.
bool Decode(const SceneMaterial& m, PixelImage& image, bool& transparent, std::string& reason) {
    int width = m.embeddedWidth;
    int height = m.embeddedHeight;
    std::unique_ptr<unsigned char, StbiFree> decoded;
    const unsigned char* rgba = m.embedded.data();
    if (m.embeddedWidth == 0) {
        int channels = 0;
        decoded.reset(m.embedded.empty()
                          ? stbi_load(m.imagePath.c_str(), &width, &height, &channels, 4)
                          : stbi_load_from_memory(m.embedded.data(), int(m.embedded.size()),
                                                  &width, &height, &channels, 4));
        if (!decoded) {
            reason = stbi_failure_reason() ? stbi_failure_reason() : "unknown format";
            return false;
        }
        rgba = decoded.get();
    }
    if (width <= 0 || height <= 0 || width > MaxTextureWidth || height > MaxTextureWidth) {
        reason = "it is " + std::to_string(width) + " x " + std::to_string(height) + " texels";
        return false;
    }
    image = NewImage(width, height);
    transparent = false;
    for (size_t i = 0; i < PixelCount(image); ++i) {
        const unsigned char* p = rgba + i * 4;
        image.pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        transparent |= p[3] != 255;
    }
    return true;
}

std::string ImageLabel(const SceneMaterial& m) {
    return m.imagePath.empty() ? m.imageName : m.imagePath;
}

// Powers of two, at most maxSide; one warning naming the image when its size changed.
PixelImage FitSize(PixelImage image, const std::string& label, int32_t maxSide,
                     BspcMessages& messages) {
    const int32_t width = image.width;
    const int32_t height = image.height;
    const int32_t w = NearestPowerOfTwo(width);
    const int32_t h = NearestPowerOfTwo(height);
    if (w != width || h != height) image = Resample(image, w, h);
    // Both sides halve together, keeping the texel's shape.
    while (image.width > maxSide || image.height > maxSide)
        image = Halve(image, image.width > 1, image.height > 1);
    if (image.width != width || image.height != height)
        messages.Warn("image \"" + label + "\" is " + std::to_string(width) + " x " +
                      std::to_string(height) + "; resampled to " + std::to_string(image.width) +
                      " x " + std::to_string(image.height) + " (powers of two, at most " +
                      std::to_string(maxSide) + ")");
    return image;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

int32_t NearestPowerOfTwo(int32_t n) {
    int32_t p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    // p is the power at or above n; the one below wins only when strictly nearer.
    if (p > 1 && n - p / 2 < p - n) p /= 2;
    return p;
}

std::string SafeTextureName(std::string_view name, size_t limit) {
    std::string safe;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        safe.push_back(plain ? c : '_');
    }
    if (safe.empty()) safe = "texture";
    // Only a device name ("CON", "com1") is left to refuse among such names.
    if (!TextureNameSafe(safe)) safe.insert(safe.begin(), '_');
    if (safe.size() > limit) safe.resize(limit);
    return safe;
}

bool PrepareTextures(const std::vector<SceneMaterial>& materials, int32_t maxTexture,
                     TextureSet& out, BspcMessages& messages) {
    const int32_t maxSide =
        LargestPowerOfTwoAtMost(std::clamp(maxTexture, 1, std::min(MaxTextureWidth, MaxBitmapSide)));
    std::multimap<size_t, int32_t> slotsByHash;
    std::set<std::string> usedNames; // lower case: Windows folders ignore case
    std::vector<std::string> transparent;
    for (const SceneMaterial& m : materials) {
        PixelImage image;
        bool drawsImage = false;
        const bool hasImage = !m.imagePath.empty() || !m.embedded.empty();
        if (hasImage) {
            std::string reason;
            bool seeThrough = false;
            if (Decode(m, image, seeThrough, reason)) {
                image = FitSize(std::move(image), ImageLabel(m), maxSide, messages);
                drawsImage = true;
                if (seeThrough &&
                    std::find(transparent.begin(), transparent.end(), ImageLabel(m)) ==
                        transparent.end())
                    transparent.push_back(ImageLabel(m));
            } else {
                messages.WarnMaterials("cannot read image \"" + ImageLabel(m) + "\" of ", m.name,
                                       ": " + reason + "; using the material's colour",
                                       ": " + reason + "; using each material's colour");
            }
        }
        if (!drawsImage) {
            image = NewImage(SolidTextureSide, SolidTextureSide);
            std::fill_n(image.pixels.get(), PixelCount(image), m.color);
        }
        out.drawsImage.push_back(drawsImage);

        size_t hash = std::hash<std::string_view>()(std::string_view(
            reinterpret_cast<const char*>(image.pixels.get()), PixelCount(image) * 4));
        hash ^= size_t(image.width) * 0x9E3779B97F4A7C15ull + size_t(image.height);
        int32_t slot = -1;
        for (auto [it, end] = slotsByHash.equal_range(hash); it != end; ++it) {
            const PixelImage& other = out.images[size_t(it->second)];
            if (other.width == image.width && other.height == image.height &&
                std::equal(image.pixels.get(), image.pixels.get() + PixelCount(image),
                           other.pixels.get()))
                slot = it->second;
        }
        if (slot < 0) {
            slot = int32_t(out.images.size());
            slotsByHash.emplace(hash, slot);
            const std::string stem =
                drawsImage && !m.imagePath.empty()
                    ? std::filesystem::path(m.imagePath).stem().string()
                    : m.name;
            std::string name = SafeTextureName(stem, MaxTextureNameLength - UniqueSuffixRoom);
            for (int n = 2; usedNames.count(Lower(name)) != 0; ++n)
                name = SafeTextureName(stem, MaxTextureNameLength - UniqueSuffixRoom) + "_" +
                       std::to_string(n);
            usedNames.insert(Lower(name));
            out.names.push_back(name);
            out.images.push_back(std::move(image));
            // One slot past the format's limit is enough to refuse: the rest stay undecoded.
            if (out.names.size() > size_t(MaxMapCount))
                return CheckTextureNames(out.names, messages.error);
        }
        out.slotOf.push_back(slot);
    }
    if (!transparent.empty()) {
        messages.Warn("image" + std::string(transparent.size() > 1 ? "s " : " ") + QuotedList(transparent) +
                      (transparent.size() > 1 ? " have" : " has") +
                      " transparent texels; transparency is not drawn, they show opaque");
    }
    return CheckTextureNames(out.names, messages.error);
}
