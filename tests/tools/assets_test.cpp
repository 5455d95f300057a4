// The asset generators, run as the build runs them.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "scene/bitmap.h"
#include "support/files.h"
#include "support/process.h"

namespace {

bool IsPowerOfTwo(int32_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

TEST(Assets, TexturesArePowerOfTwoSquaresOrRectanglesOfSensibleSize) {
    TempDir dir;
    const CommandResult texgen = RunCommand({VEXMONT_TEXGEN, dir.Path().string()});
    ASSERT_EQ(texgen.exitCode, 0) << texgen.output;
    for (const char* name :
         {"brick", "stone", "planks", "metal", "tiles", "marble", "sky", "leaves"}) {
        const auto image = LoadBitmap(dir.File(std::string(name) + ".bmp"));
        ASSERT_NE(image, nullptr) << name;
        EXPECT_TRUE(IsPowerOfTwo(image->width) && IsPowerOfTwo(image->height)) << name;
        EXPECT_GE(image->width, 64) << name;
        EXPECT_LE(image->width, 256) << name;
        // Not a flat colour: every texture has visible structure.
        uint32_t lo = 0xFFFFFF, hi = 0;
        for (int32_t i = 0; i < image->width * image->height; ++i) {
            const uint32_t g = (image->pixels[i] >> 8) & 0xFF;
            lo = std::min(lo, g);
            hi = std::max(hi, g);
        }
        EXPECT_GT(hi - lo, 40u) << name;
    }
}

TEST(Assets, FontHasEveryPrintableCharacterInsideItsCell) {
    TempDir dir;
    const std::string font = dir.File("Font.bmp");
    const CommandResult fontgen =
        RunCommand({VEXMONT_FONTGEN, "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", font});
    ASSERT_EQ(fontgen.exitCode, 0) << fontgen.output;
    const auto image = LoadBitmap(font);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 176);
    EXPECT_EQ(image->height, 78);
    for (int c = 32; c < 127; ++c) {
        const int32_t sx = (c % 16) * 11;
        const int32_t sy = (c - 32) / 16 * 13;
        int32_t ink = 0, left = 11, right = -1;
        for (int32_t y = 0; y < 13; ++y)
            for (int32_t x = 0; x < 11; ++x)
                if ((image->pixels[(sy + y) * 176 + sx + x] >> 16) > 0x80) {
                    ++ink;
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        if (c == ' ') {
            EXPECT_EQ(ink, 0);
            continue;
        }
        EXPECT_GT(ink, 0) << char(c);
        // Characters keep a gap to their neighbours, so counter text stays readable.
        if (c >= '0' && c <= '9') {
            EXPECT_TRUE(left >= 1 && right <= 9) << char(c);
        }
    }
}

} // namespace
