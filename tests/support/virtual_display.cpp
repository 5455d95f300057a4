#include "support/virtual_display.h"

#include <poll.h>
#include <unistd.h>

#include "support/files.h"

VirtualDisplay::VirtualDisplay(const std::filesystem::path& logFile) {
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 std::to_string(VirtualScreenWidth) + "x" +
                                     std::to_string(VirtualScreenHeight) + "x24",
                                 "-nolisten", "tcp", "-noreset"},
        std::vector<std::string>{}, std::filesystem::path{}, logFile, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll(&readable, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
}

namespace {

uint32_t BigEndian32(const std::string& data, size_t offset) {
    const auto* p = reinterpret_cast<const uint8_t*>(data.data() + offset);
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A 32-bit TrueColor XWD dump of the root window.
std::vector<uint32_t> ReadXwd(const std::filesystem::path& path) {
    const std::string data = ReadWholeFile(path);
    if (data.size() < 100) return {};
    auto field = [&](int i) { return BigEndian32(data, size_t(i) * 4); };
    const uint32_t headerSize = field(0), width = field(4), height = field(5);
    const uint32_t byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12);
    const uint32_t redMask = field(14), greenMask = field(15), blueMask = field(16);
    const uint32_t colours = field(19);
    const size_t start = size_t(headerSize) + size_t(colours) * 12;
    // Pixels of 4 bytes, or of 3 (xwd writes the screen packed so while Wine draws on it).
    const uint32_t bytes = bitsPerPixel / 8;
    if (width != VirtualScreenWidth || height != VirtualScreenHeight ||
        (bitsPerPixel != 32 && bitsPerPixel != 24) || redMask != 0xFF0000 || greenMask != 0xFF00 ||
        blueMask != 0xFF || bytesPerLine < width * bytes ||
        data.size() < start + size_t(bytesPerLine) * height)
        return {};
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(data.data() + start +
                                                             size_t(y) * bytesPerLine + x * bytes);
            uint32_t value = 0;
            for (uint32_t i = 0; i < bytes; ++i)
                value |= uint32_t(p[byteOrder ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
            pixels[size_t(y) * width + x] = value & 0xFFFFFF;
        }
    return pixels;
}

} // namespace

std::vector<uint32_t> TakeScreenshot(const std::string& display,
                                     const std::filesystem::path& scratchDir) {
    const std::filesystem::path xwd = scratchDir / "screen.xwd";
    const CommandResult run =
        RunCommand({"xwd", "-root", "-silent", "-display", display, "-out", xwd.string()});
    if (run.exitCode == 0) return ReadXwd(xwd);
    WriteFileText(scratchDir / "xwd.txt", run.output);
    return {};
}
