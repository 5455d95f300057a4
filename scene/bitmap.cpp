#include "scene/bitmap.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

#include "platform/files.h"
#include "scene/load_error.h"

namespace {

constexpr size_t FileHeaderSize = 14;
constexpr size_t InfoHeaderSize = 40;
// Pixel data always starts right after the two headers; the file's own offset field is
// not consulted.
constexpr long PixelDataOffset = FileHeaderSize + InfoHeaderSize;
constexpr uint32_t BitmapType = 0x4D42;
constexpr uint32_t BitsPerPixel = 24;
// 72 dpi, as most writers put it; the reader ignores it.
constexpr uint32_t PixelsPerMetre = 2835;

uint32_t UInt16At(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8;
}

uint32_t UInt32At(const uint8_t* bytes) {
    return UInt16At(bytes) | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Rows of 3-byte pixels are padded to a multiple of 4 bytes.
size_t RowSize(int32_t width) {
    return (size_t(width) * 3 + 3) & ~size_t(3);
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Bytes left in the file from the current position, or -1 when the stream cannot tell.
long long RemainingBytes(std::FILE* file) {
    const long position = std::ftell(file);
    if (position < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, position, SEEK_SET) != 0) return -1;
    return end < position ? -1 : (long long)(end - position);
}

} // namespace

std::unique_ptr<PixelImage> LoadBitmap(std::string_view path) {
    // Every failure notes its reason (scene/load_error.h) and returns null.
    const auto fail = [path](const char* reason) {
        NoteLoadError(path, reason);
        return nullptr;
    };
    errno = 0;
    const FileHandle file = OpenFile(path, "rb");
    if (!file) return fail(errno == ENOENT ? LoadMissing : LoadUnreadable);
    const auto shortRead = [&] { return fail(std::ferror(file.get()) ? LoadUnreadable : LoadTruncated); };

    uint8_t header[PixelDataOffset];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return shortRead();
    const uint8_t* info = header + FileHeaderSize;
    if (UInt16At(header) != BitmapType || UInt16At(info + 14) != BitsPerPixel ||
        UInt32At(info + 16) != 0)
        return fail(LoadNotBitmap);
    const auto width = int32_t(UInt32At(info + 4));
    const auto height = int32_t(UInt32At(info + 8));
    // Negative heights are top-down bitmaps, which are not read. The side limit keeps
    // width x height x 4 and the row size well inside size_t before anything is allocated.
    if (width < 0 || height < 0) return fail(height < 0 && width >= 0 ? LoadTopDown : LoadNotBitmap);
    if (width > MaxBitmapSide || height > MaxBitmapSide) return fail(LoadTooLarge);
    const size_t rowSize = RowSize(width);
    const size_t pixelCount = size_t(width) * size_t(height);

    // A file too short for its rows fails now rather than after a large allocation.
    const long long remaining = RemainingBytes(file.get());
    if (remaining >= 0 && (unsigned long long)remaining < rowSize * size_t(height))
        return fail(LoadTruncated);

    auto image = std::unique_ptr<PixelImage>(new (std::nothrow) PixelImage());
    if (!image) return fail(LoadOutOfMemory);
    image->width = width;
    image->height = height;
    if (pixelCount == 0) return image; // no pixels and no row data

    image->pixels.reset(new (std::nothrow) uint32_t[pixelCount]);
    const auto row = std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[rowSize]);
    if (!image->pixels || !row) return fail(LoadOutOfMemory);

    // The file holds the bottom row first.
    for (int32_t y = height - 1; y >= 0; --y) {
        if (std::fread(row.get(), 1, rowSize, file.get()) != rowSize) return shortRead();
        uint32_t* out = image->pixels.get() + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* bgr = row.get() + 3 * size_t(x);
            out[x] = uint32_t(bgr[2]) << 16 | uint32_t(bgr[1]) << 8 | bgr[0];
        }
    }
    return image;
}

bool WriteBitmap(const std::string& path, const PixelImage& image) {
    const int32_t width = image.width, height = image.height;
    if (width < 0 || height < 0 || width > MaxBitmapSide || height > MaxBitmapSide) return false;
    if (!image.pixels && width > 0 && height > 0) return false;
    const auto rowSize = uint32_t(RowSize(width));
    const uint32_t dataSize = rowSize * uint32_t(height);
    std::vector<uint8_t> out;
    out.reserve(PixelDataOffset + dataSize);
    Put16(out, BitmapType);
    Put32(out, PixelDataOffset + dataSize);
    Put32(out, 0);
    Put32(out, PixelDataOffset);
    Put32(out, InfoHeaderSize);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1); // planes
    Put16(out, BitsPerPixel);
    Put32(out, 0); // no compression
    Put32(out, dataSize);
    Put32(out, PixelsPerMetre);
    Put32(out, PixelsPerMetre);
    Put32(out, 0);
    Put32(out, 0);
    // The file holds the bottom row first.
    for (int32_t y = height - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        const uint32_t* row = image.pixels.get() + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            out.push_back(uint8_t(row[x]));
            out.push_back(uint8_t(row[x] >> 8));
            out.push_back(uint8_t(row[x] >> 16));
        }
        out.resize(rowStart + rowSize, 0);
    }
    return WriteHostFile(path, out);
}
