// The screen the viewer draws: its size in pixels, handed by value to the display, the
// projection and the font. Its depth is the display's (DisplayBitsPerPixel).
#pragma once

#include <cstdint>

inline constexpr int32_t ScreenWidth = 512;
inline constexpr int32_t ScreenHeight = 384;
