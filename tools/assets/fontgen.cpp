// vexmont-fontgen FONT.ttf OUT.bmp: renders the characters 32 to 127 into the viewer's font
// picture: 11 x 13 cells, 16 to a row, 6 rows (176 x 78), pale yellow on black. The cell
// layout is the one display/font.h reads.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ft2build.h>
#include <memory>
#include <string>
#include FT_FREETYPE_H

#include "display/font.h"
#include "scene/bitmap.h"

namespace {

// Pixel size and baseline chosen so that capitals and digits are 9 rows tall, descenders
// keep 2 rows and the hinted glyphs sit on whole pixels.
constexpr int32_t PixelSize = 13;
constexpr int32_t Baseline = 10; // rows from the top of the cell
// Text colour at full coverage; the counter is drawn over the scene, so it must stand out.
constexpr double Ink[3] = {1.0, 0.95, 0.55};

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    ~FreeTypeLibrary() {
        if (library) FT_Done_FreeType(library);
    }
};

struct FreeTypeFace {
    FT_Face face = nullptr;
    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexmont-fontgen FONT.ttf OUT.bmp\n");
        return 2;
    }
    FreeTypeLibrary ft;
    FreeTypeFace face;
    if (FT_Init_FreeType(&ft.library) != 0 ||
        FT_New_Face(ft.library, argv[1], 0, &face.face) != 0 ||
        FT_Set_Pixel_Sizes(face.face, 0, PixelSize) != 0) {
        std::fprintf(stderr, "vexmont-fontgen: cannot load font \"%s\"\n", argv[1]);
        return 1;
    }
    PixelImage font{std::make_unique<uint32_t[]>(size_t(FontMinWidth) * FontMinHeight),
                    FontMinWidth, FontMinHeight};
    for (int32_t c = FirstGlyph; c < LastGlyph; ++c) {
        if (FT_Load_Char(face.face, FT_ULong(c), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
            std::fprintf(stderr, "vexmont-fontgen: no glyph for character %d\n", int(c));
            return 1;
        }
        const FT_GlyphSlot glyph = face.face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int32_t cellX = (c % GlyphsPerRow) * GlyphWidth;
        const int32_t cellY = ((c - FirstGlyph) / GlyphsPerRow) * GlyphHeight;
        // Centre the advance in the cell; the monospaced advance is narrower than 11.
        const int32_t advance = int32_t(glyph->advance.x >> 6);
        const int32_t left = cellX + (GlyphWidth - advance) / 2 + glyph->bitmap_left;
        const int32_t top = cellY + Baseline - glyph->bitmap_top;
        for (uint32_t row = 0; row < bitmap.rows; ++row) {
            for (uint32_t col = 0; col < bitmap.width; ++col) {
                const int32_t x = left + int32_t(col);
                const int32_t y = top + int32_t(row);
                // Clip to the cell: nothing may bleed into a neighbour.
                if (x < cellX || x >= cellX + GlyphWidth || y < cellY || y >= cellY + GlyphHeight)
                    continue;
                const double coverage = bitmap.buffer[row * uint32_t(bitmap.pitch) + col] / 255.0;
                uint32_t value = 0;
                for (double ink : Ink)
                    value =
                        value << 8 | uint32_t(std::lround(std::pow(coverage, 0.8) * ink * 255.0));
                font.pixels[size_t(y) * FontMinWidth + size_t(x)] = value;
            }
        }
    }
    if (!WriteBitmap(argv[2], font)) {
        std::fprintf(stderr, "vexmont-fontgen: cannot write \"%s\"\n", argv[2]);
        return 1;
    }
    return 0;
}
