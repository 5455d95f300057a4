#include "display/font.h"

#include "scene/bitmap.h"
#include "scene/load_error.h"

std::unique_ptr<PixelImage> FontImage;
int32_t FontTargetWidth = 0;
int32_t FontTargetHeight = 0;

static_assert(FontMinWidth == 176 && FontMinHeight == 78);

int LoadFont(int32_t targetWidth, int32_t targetHeight) {
    FontImage = LoadBitmap(FontFileName);
    // Cells are read without bounds tests, so the picture must hold all of them.
    if (FontImage && (FontImage->width < FontMinWidth || FontImage->height < FontMinHeight)) {
        FontImage.reset();
        NoteLoadError(FontFileName, LoadFontTooSmall);
    }
    if (!FontImage) {
        LastLoadError.kind = "font";
        return 0;
    }
    FontTargetWidth = targetWidth;
    FontTargetHeight = targetHeight;
    return 1;
}

void FreeFont() {
    FontImage.reset();
}

void DrawGlyph(int32_t x, int32_t y, char c, uint32_t* target) {
    if (!FontImage) return;
    const int32_t code = static_cast<signed char>(c);
    if (code < FirstGlyph || code > LastGlyph) return;
    const int32_t sx = (code % GlyphsPerRow) * GlyphWidth;
    const int32_t sy = (code - FirstGlyph) / GlyphsPerRow * GlyphHeight;
    const uint32_t* font = FontImage->pixels.get();
    const int64_t fontPitch = FontImage->width;
    // 64-bit positions: a cell far off the target must not overflow on the way.
    for (int32_t i = 0; i < GlyphWidth; ++i) {
        const int64_t tx = int64_t(x) + i;
        if (tx <= 0 || tx >= FontTargetWidth) continue;
        for (int32_t k = 0; k < GlyphHeight; ++k) {
            const int64_t ty = int64_t(y) + k;
            if (ty <= 0 || ty >= FontTargetHeight) continue;
            target[ty * FontTargetWidth + tx] = font[(sy + k) * fontPitch + sx + i];
        }
    }
}

void DrawString(const char* text, int32_t x, int32_t y, uint32_t* target) {
    int64_t column = 0;
    int64_t line = y;
    for (; *text != '\0'; ++text) {
        if (*text == '\n') {
            line += LineAdvance;
            column = -1;
        } else {
            const int64_t cellX = x + GlyphWidth * column;
            // Cells beyond the 32-bit range lie wholly off any target.
            if (cellX >= INT32_MIN && cellX <= INT32_MAX && line >= INT32_MIN && line <= INT32_MAX)
                DrawGlyph(int32_t(cellX), int32_t(line), *text, target);
        }
        ++column;
    }
}
