#include "tools/bspc/bmp_writer.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

} // namespace

bool WriteBmp24(const std::string& path, std::span<const uint32_t> pixels, int32_t width,
                int32_t height) {
    if (width < 0 || height < 0 || pixels.size() != size_t(width) * size_t(height)) return false;
    const uint32_t rowSize = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t dataSize = rowSize * uint32_t(height);
    std::vector<uint8_t> out;
    out.reserve(54 + dataSize);
    Put16(out, 0x4D42);
    Put32(out, 54 + dataSize);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, dataSize);
    Put32(out, 2835); // 72 dpi, as most writers put it
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    // Rows are stored bottom row first.
    for (int32_t y = height - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            out.push_back(uint8_t(p));
            out.push_back(uint8_t(p >> 8));
            out.push_back(uint8_t(p >> 16));
        }
        out.resize(rowStart + rowSize, 0);
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    if (std::fwrite(out.data(), 1, out.size(), file.get()) != out.size()) return false;
    return std::fclose(file.release()) == 0;
}
