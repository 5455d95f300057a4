#include "support/image.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/files.h"

namespace {

std::string PpmHeader(int32_t width, int32_t height) {
    return "P6\n" + std::to_string(width) + ' ' + std::to_string(height) + "\n255\n";
}

} // namespace

bool WritePpm(const std::filesystem::path& path, int32_t width, int32_t height,
              std::span<const uint32_t> pixels) {
    std::string bytes = PpmHeader(width, height);
    bytes.reserve(bytes.size() + pixels.size() * 3);
    for (uint32_t p : pixels)
        bytes += {char(p >> 16), char(p >> 8), char(p)};
    return WriteFileText(path, bytes);
}

std::vector<uint32_t> ReadPpm(const std::filesystem::path& path, int32_t width, int32_t height) {
    const std::string data = ReadWholeFile(path);
    const std::string header = PpmHeader(width, height);
    const size_t count = size_t(width) * size_t(height);
    if (data.size() != header.size() + 3 * count || data.compare(0, header.size(), header) != 0)
        return {};
    const auto* samples = reinterpret_cast<const uint8_t*>(data.data() + header.size());
    std::vector<uint32_t> pixels(count);
    for (size_t i = 0; i < count; ++i)
        pixels[i] =
            uint32_t(samples[3 * i]) << 16 | uint32_t(samples[3 * i + 1]) << 8 | samples[3 * i + 2];
    return pixels;
}

std::string CompareImages(std::span<const uint32_t> expected, std::span<const uint32_t> actual,
                          int32_t width) {
    std::ostringstream report;
    if (expected.size() != actual.size()) {
        report << "size differs: expected " << expected.size() << " pixels, got " << actual.size();
        return report.str();
    }
    constexpr int MaxListed = 10;
    size_t count = 0;
    int32_t left = width, top = int32_t(expected.size()), right = -1, bottom = -1;
    std::ostringstream listed;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == actual[i]) continue;
        const int32_t x = int32_t(i % size_t(width)), y = int32_t(i / size_t(width));
        if (count < MaxListed) {
            char line[96];
            std::snprintf(line, sizeof line, "  (%d, %d): expected %06X, got %06X\n", x, y,
                          expected[i], actual[i]);
            listed << line;
        }
        ++count;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    if (count == 0) return {};
    report << count << " pixel(s) differ, within x " << left << ".." << right << ", y " << top
           << ".." << bottom << "; first ones:\n"
           << listed.str();
    return report.str();
}
