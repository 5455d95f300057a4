#include "display/font.h"

#include <climits>
#include <gtest/gtest.h>
#include <vector>

#include "scene/bitmap.h"
#include "support/files.h"
#include "support/scene_bytes.h"

namespace {

constexpr int32_t W = 512, H = 384;

// Every font pixel tells where it came from: 1 + its index in the picture.
std::unique_ptr<PixelImage> NumberedFont(int32_t width = 176, int32_t height = 78) {
    auto image = std::make_unique<PixelImage>();
    image->width = width;
    image->height = height;
    image->pixels = std::make_unique<uint32_t[]>(size_t(width) * height);
    for (int32_t i = 0; i < width * height; ++i)
        image->pixels[i] = uint32_t(i + 1);
    return image;
}

uint32_t FontPixel(int c, int32_t i, int32_t k) {
    return uint32_t(((c - 32) / 16 * 13 + k) * 176 + (c % 16) * 11 + i + 1);
}

class Font : public ::testing::Test {
  protected:
    void SetUp() override {
        FontImage = NumberedFont();
        FontTargetWidth = W;
        FontTargetHeight = H;
    }
    void TearDown() override { FreeFont(); }

    // The cells that hold text: every written pixel must belong to one of them, with
    // exactly the font's pixel for its place.
    void ExpectOnly(std::vector<std::tuple<int32_t, int32_t, char>> cells) {
        std::vector<uint32_t> expected(size_t(W) * H, 0);
        for (auto [x, y, c] : cells)
            for (int32_t i = 0; i < 11; ++i)
                for (int32_t k = 0; k < 13; ++k)
                    if (x + i > 0 && x + i < W && y + k > 0 && y + k < H)
                        expected[size_t(y + k) * W + x + i] = FontPixel(c, i, k);
        for (int32_t y = 0; y < H; ++y)
            for (int32_t x = 0; x < W; ++x)
                if (target[size_t(y) * W + x] != expected[size_t(y) * W + x]) {
                    ADD_FAILURE() << "pixel " << x << "," << y;
                    return;
                }
    }

    std::vector<uint32_t> target = std::vector<uint32_t>(size_t(W) * H, 0);
};

TEST_F(Font, CounterTextCoversItsCells) {
    DrawString("0.th Frame", 10, 10, target.data());
    std::vector<std::tuple<int32_t, int32_t, char>> cells;
    const char* text = "0.th Frame";
    for (int j = 0; j < 10; ++j)
        cells.emplace_back(10 + 11 * j, 10, text[j]);
    ExpectOnly(cells);
    // Columns 10 to 119 and rows 10 to 22, the space painted as its cell.
    EXPECT_EQ(target[10 * W + 10], FontPixel('0', 0, 0));
    EXPECT_EQ(target[22 * W + 119], FontPixel('e', 10, 12));
    EXPECT_EQ(target[16 * W + 10 + 4 * 11 + 5], FontPixel(' ', 5, 6));
}

TEST_F(Font, EdgesClipStrictlyAtZeroAndBeforeTheSize) {
    DrawGlyph(0, 50, 'A', target.data());
    DrawGlyph(50, 0, 'B', target.data());
    DrawGlyph(-5, 100, 'C', target.data());
    DrawGlyph(W - 4, H - 3, 'D', target.data());
    ExpectOnly({{0, 50, 'A'}, {50, 0, 'B'}, {-5, 100, 'C'}, {W - 4, H - 3, 'D'}});
    EXPECT_EQ(target[50 * W + 0], 0u); // column 0 never written
    EXPECT_EQ(target[50 * W + 1], FontPixel('A', 1, 0));
    EXPECT_EQ(target[0 * W + 50], 0u);                    // row 0 never written
    EXPECT_EQ(target[100 * W + 1], FontPixel('C', 6, 0)); // only columns 6..10 show
    EXPECT_EQ(target[100 * W + 5], FontPixel('C', 10, 0));
    EXPECT_EQ(target[100 * W + 6], 0u);
    EXPECT_EQ(target[(H - 1) * W + W - 1], FontPixel('D', 3, 2));
    EXPECT_EQ(target[(H - 2) * W + 0], 0u); // nothing wraps to the next row
}

TEST_F(Font, LineFeedsMoveDownFourteenAndBackToX) {
    DrawString("A\nB", 10, 10, target.data());
    ExpectOnly({{10, 10, 'A'}, {10, 24, 'B'}});
    std::fill(target.begin(), target.end(), 0);
    DrawString("\nxy", 30, 40, target.data());
    ExpectOnly({{30, 54, 'x'}, {41, 54, 'y'}});
    std::fill(target.begin(), target.end(), 0);
    DrawString("", 30, 40, target.data());
    ExpectOnly({});
}

TEST_F(Font, CharactersOutside32To127DrawNothing) {
    DrawString("\x1f\x01\x80\xff\t", 10, 10, target.data());
    ExpectOnly({});
    DrawGlyph(10, 30, char(127), target.data());
    DrawGlyph(30, 30, ' ', target.data());
    ExpectOnly({{10, 30, char(127)}, {30, 30, ' '}});
}

TEST_F(Font, FarOffPositionsDrawNothingAndDoNotOverflow) {
    DrawString("abcdefghij\n\nklm", INT32_MAX - 20, INT32_MAX - 20, target.data());
    DrawString("abc", INT32_MIN, INT32_MIN, target.data());
    DrawGlyph(INT32_MAX, INT32_MAX, 'a', target.data());
    ExpectOnly({});
}

TEST_F(Font, WithoutAFontNothingIsDrawn) {
    FreeFont();
    DrawString("0.th Frame", 10, 10, target.data());
    DrawGlyph(20, 20, 'A', target.data());
    ExpectOnly({});
}

TEST(LoadFont, MissingOrTooSmallPicturesAreRefused) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    FontTargetWidth = 1;
    FontTargetHeight = 2;
    EXPECT_EQ(LoadFont(512, 384), 0);
    EXPECT_EQ(FontImage, nullptr);
    EXPECT_EQ(FontTargetWidth, 1); // not recorded
    EXPECT_EQ(FontTargetHeight, 2);

    auto write = [](int32_t w, int32_t h) {
        std::vector<uint32_t> pixels(size_t(w) * h, 0x123456);
        return WriteFileBytes("Font.bmp", BitmapBytes(w, h, pixels));
    };
    ASSERT_TRUE(write(176, 78));
    EXPECT_EQ(LoadFont(512, 384), 1);
    ASSERT_NE(FontImage, nullptr);
    EXPECT_EQ(FontTargetWidth, 512);
    EXPECT_EQ(FontTargetHeight, 384);
    FreeFont();
    EXPECT_EQ(FontImage, nullptr);
    for (auto [w, h] : {std::pair{175, 78}, std::pair{176, 77}}) {
        ASSERT_TRUE(write(w, h));
        EXPECT_EQ(LoadFont(640, 480), 0) << w << "x" << h;
        EXPECT_EQ(FontImage, nullptr);
        EXPECT_EQ(FontTargetWidth, 512);
    }
}

} // namespace
