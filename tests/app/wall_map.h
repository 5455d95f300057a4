// The viewer tests' map: a textured wall in front of the start camera, its texture, and a
// font whose every pixel is one colour per character cell.
#pragma once

#include <cstdint>
#include <filesystem>

// Each font cell of character c is filled with FontCellColour(c).
uint32_t FontCellColour(int c);
// The texture's texel (x, y), a checker of two colours.
uint32_t WallTexel(int32_t x, int32_t y);

// Writes "Vuze.BSP", "Textures/wall.bmp" and (when withFont) "Font.bmp" into dir.
bool WriteWallMap(const std::filesystem::path& dir, bool withFont = true);
