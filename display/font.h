// The bitmap font: "Font.bmp" holds the characters 32 to 127 as 11 x 13 cells, 16 to a
// row, and texts are drawn cell by cell into 32-bit pixel memory (the frame counter).
#pragma once

#include <cstdint>
#include <memory>

// The font picture, as the BMP reader gives it (scene/bitmap.h).
struct PixelImage;

inline constexpr const char* FontFileName = "Font.bmp";
inline constexpr int32_t GlyphWidth = 11;
inline constexpr int32_t GlyphHeight = 13;
inline constexpr int32_t GlyphsPerRow = 16;
inline constexpr int32_t FirstGlyph = 32;
inline constexpr int32_t LastGlyph = 127;
inline constexpr int32_t LineAdvance = 14;
// A picture smaller than the full grid of cells is refused.
inline constexpr int32_t FontMinWidth = GlyphsPerRow * GlyphWidth;
inline constexpr int32_t FontMinHeight = (LastGlyph + 1 - FirstGlyph) / GlyphsPerRow * GlyphHeight;

extern std::unique_ptr<PixelImage> FontImage;
extern int32_t FontTargetWidth;
extern int32_t FontTargetHeight;

// 1 when "Font.bmp" was loaded; 0 (no font, target size not recorded) otherwise, with the
// reason in LastLoadError (scene/load_error.h).
int LoadFont(int32_t targetWidth, int32_t targetHeight);
void FreeFont();
// Draws the cell of c with its top-left pixel at (x, y). Pixels outside the target are
// skipped; column 0 and row 0 of the target are never written.
void DrawGlyph(int32_t x, int32_t y, char c, uint32_t* target);
// Draws text from (x, y); a line feed moves 14 pixels down and back to x.
void DrawString(const char* text, int32_t x, int32_t y, uint32_t* target);
