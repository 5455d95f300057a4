#include "golden_image.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace rendertest {

bool WritePpm(const std::filesystem::path& path, int32_t width, int32_t height,
              std::span<const uint32_t> pixels) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out << "P6\n" << width << ' ' << height << "\n255\n";
    std::vector<char> bytes;
    bytes.reserve(pixels.size() * 3);
    for (uint32_t p : pixels) {
        bytes.push_back(char(p >> 16 & 0xFF));
        bytes.push_back(char(p >> 8 & 0xFF));
        bytes.push_back(char(p & 0xFF));
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

bool ReadPpm(const std::filesystem::path& path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int32_t width = 0, height = 0, maxValue = 0;
    if (!(in >> magic >> width >> height >> maxValue)) return false;
    if (magic != "P6" || maxValue != 255 || width <= 0 || height <= 0 || width > 1 << 14 ||
        height > 1 << 14)
        return false;
    in.get(); // the single whitespace byte before the samples
    std::vector<unsigned char> bytes(size_t(width) * height * 3);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
        return false;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] =
            uint32_t(bytes[3 * i]) << 16 | uint32_t(bytes[3 * i + 1]) << 8 | bytes[3 * i + 2];
    return true;
}

std::string CompareImages(const Image& expected, const Image& actual) {
    std::ostringstream report;
    if (expected.width != actual.width || expected.height != actual.height) {
        report << "size differs: expected " << expected.width << "x" << expected.height << ", got "
               << actual.width << "x" << actual.height;
        return report.str();
    }
    constexpr int MaxListed = 10;
    size_t count = 0;
    int32_t left = expected.width, top = expected.height, right = -1, bottom = -1;
    std::ostringstream listed;
    for (int32_t y = 0; y < expected.height; ++y) {
        for (int32_t x = 0; x < expected.width; ++x) {
            const size_t i = size_t(y) * expected.width + x;
            if (expected.pixels[i] == actual.pixels[i]) continue;
            if (count < MaxListed) {
                char line[96];
                std::snprintf(line, sizeof line, "  (%d, %d): expected %06X, got %06X\n", x, y,
                              expected.pixels[i], actual.pixels[i]);
                listed << line;
            }
            ++count;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (count == 0) return {};
    report << count << " pixel(s) differ, within x " << left << ".." << right << ", y " << top
           << ".." << bottom << "; first ones:\n"
           << listed.str();
    return report.str();
}

std::filesystem::path GoldenDirectory() {
    return VEXMONT_RENDER_GOLDEN_DIR;
}

} // namespace rendertest
