// The counter font (Font.bmp) that vexmont-fontgen renders at build time, linked into the
// vexmont-bspc program only.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint8_t BundledFont[];
extern const size_t BundledFontSize;
