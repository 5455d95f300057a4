#include "scene/bitmap.h"

#include <gtest/gtest.h>
#include <numeric>

#include "scene/load_error.h"
#include "support/files.h"
#include "support/scene_bytes.h"
// On Windows the system's windows.h comes with it, whose LoadBitmap macro must not rename ours.
#include "platform/win32.h"

namespace {

std::unique_ptr<PixelImage> LoadBitmapBytes(std::span<const uint8_t> bytes) {
    TempDir dir;
    const std::string path = dir.File("image.bmp");
    if (!WriteFileBytes(path, bytes)) return nullptr;
    return LoadBitmap(path);
}

std::vector<uint32_t> Ramp(int32_t count) {
    std::vector<uint32_t> pixels(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        pixels[size_t(i)] = 0x010203u * uint32_t(i + 1) + 0x400000;
    return pixels;
}

TEST(LoadBitmap, RowsArePaddedToFourBytes) {
    const int32_t rowSizes[] = {4, 8, 12, 12};
    for (int32_t width = 1; width <= 4; ++width) {
        const int32_t height = 3;
        const std::vector<uint32_t> pixels = Ramp(width * height);
        const std::vector<uint8_t> bytes = BitmapBytes(width, height, pixels);
        ASSERT_EQ(bytes.size(), size_t(54 + rowSizes[width - 1] * height)) << width;

        const std::unique_ptr<PixelImage> image = LoadBitmapBytes(bytes);
        ASSERT_NE(image, nullptr) << width;
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
        EXPECT_EQ(std::vector<uint32_t>(image->pixels.get(), image->pixels.get() + pixels.size()),
                  pixels)
            << width;
    }
}

TEST(LoadBitmap, FirstFileRowIsBottomRowAndBytesAreBlueGreenRed) {
    std::vector<uint8_t> bytes = BitmapBytes(2, 2, std::vector<uint32_t>(4));
    // File rows: p q, then r s; pad bytes set to show they are skipped.
    const uint8_t rows[16] = {0x10, 0x20, 0x30, 0x11, 0x21, 0x31, 0xEE, 0xEE,  // p q
                              0x12, 0x22, 0x32, 0x13, 0x23, 0x33, 0xEE, 0xEE}; // r s
    std::copy(std::begin(rows), std::end(rows), bytes.begin() + 54);
    const std::unique_ptr<PixelImage> image = LoadBitmapBytes(bytes);
    ASSERT_NE(image, nullptr);
    const uint32_t expected[4] = {0x322212, 0x332313, 0x302010, 0x312111}; // r s p q
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(image->pixels[i], expected[i]) << i;
}

TEST(LoadBitmap, PixelDataAlwaysStartsAtFiftyFour) {
    const std::vector<uint32_t> pixels = Ramp(6);
    std::vector<uint8_t> bytes = BitmapBytes(3, 2, pixels);
    PatchInt32(bytes, BitmapDataOffsetOffset, 138);
    PatchInt32(bytes, 14, 124);         // a larger information header
    bytes.insert(bytes.end(), 7, 0xAB); // extra bytes after the last row
    const std::unique_ptr<PixelImage> image = LoadBitmapBytes(bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(image->pixels.get(), image->pixels.get() + 6), pixels);
}

TEST(LoadBitmap, EmptySidesGiveEmptyImage) {
    for (auto [width, height] : {std::pair{0, 5}, std::pair{3, 0}, std::pair{0, 0}}) {
        const std::vector<uint8_t> bytes = BitmapBytes(width, height, {});
        const std::unique_ptr<PixelImage> image = LoadBitmapBytes(bytes);
        ASSERT_NE(image, nullptr) << width << "x" << height;
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
        EXPECT_EQ(image->pixels, nullptr);
    }
}

TEST(LoadBitmap, RefusesOtherFormats) {
    const std::vector<uint8_t> good = BitmapBytes(2, 2, Ramp(4));
    ASSERT_NE(LoadBitmapBytes(good), nullptr);
    auto refused = [&](size_t offset, int32_t value, bool wide) {
        std::vector<uint8_t> bytes = good;
        if (wide)
            PatchInt32(bytes, offset, value);
        else
            PatchInt16(bytes, offset, int16_t(value));
        // The reason the user is told, or null when the file loads.
        return LoadBitmapBytes(bytes) == nullptr ? LastLoadError.reason : nullptr;
    };
    EXPECT_STREQ(refused(0, 0x424D, false), LoadNotBitmap); // "MB"
    EXPECT_STREQ(refused(0, 0x4D43, false), LoadNotBitmap);
    for (int bits : {1, 8, 16, 32})
        EXPECT_STREQ(refused(BitmapBitsOffset, bits, false), LoadNotBitmap) << bits;
    for (int compression : {1, 2, 3})
        EXPECT_STREQ(refused(BitmapCompressionOffset, compression, true), LoadNotBitmap);
    EXPECT_STREQ(refused(BitmapHeightOffset, -2, true), LoadTopDown);
    EXPECT_STREQ(refused(BitmapWidthOffset, -2, true), LoadNotBitmap);
}

TEST(LoadBitmap, OversizedSidesAreRefusedBeforeAllocating) {
    // Full rows present, so only the side limit can refuse it.
    const int32_t wide = MaxBitmapSide + 1;
    std::vector<uint8_t> bytes = BitmapBytes(1, 1, Ramp(1));
    PatchInt32(bytes, BitmapWidthOffset, wide);
    bytes.resize(54 + size_t(BitmapRowSize(wide)), 0);
    EXPECT_EQ(LoadBitmapBytes(bytes), nullptr);
    EXPECT_STREQ(LastLoadError.reason, LoadTooLarge);

    // Sizes whose byte counts wrap in 32 bits, and the largest accepted size with no
    // pixel data: refused without a multi-gigabyte allocation.
    for (auto [width, height] :
         {std::pair{0x40000000, 0x40000000}, std::pair{0x7FFFFFFF, 1}, std::pair{1, 0x7FFFFFFF},
          std::pair{MaxBitmapSide, MaxBitmapSide}}) {
        std::vector<uint8_t> header = BitmapBytes(0, 0, {});
        PatchInt32(header, BitmapWidthOffset, width);
        PatchInt32(header, BitmapHeightOffset, height);
        EXPECT_EQ(LoadBitmapBytes(header), nullptr) << width << "x" << height;
    }
}

TEST(LoadBitmap, EveryTruncationFails) {
    const std::vector<uint8_t> bytes = BitmapBytes(3, 2, Ramp(6));
    TempDir dir;
    const std::string path = dir.File("short.bmp");
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    ASSERT_NE(LoadBitmap(path), nullptr);
    for (size_t length = bytes.size(); length-- > 0;) {
        std::filesystem::resize_file(path, length);
        EXPECT_EQ(LoadBitmap(path), nullptr) << length;
        EXPECT_STREQ(LastLoadError.reason, LoadTruncated) << length;
    }
    EXPECT_EQ(LoadBitmap(dir.File("absent.bmp")), nullptr);
    EXPECT_STREQ(LastLoadError.reason, LoadMissing);
    EXPECT_EQ(std::string(LastLoadError.file), dir.File("absent.bmp"));
    // A folder opens but cannot be read.
    EXPECT_EQ(LoadBitmap(dir.Path().string()), nullptr);
    EXPECT_STREQ(LastLoadError.reason, LoadUnreadable);
}

} // namespace
