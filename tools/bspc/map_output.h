// Puts a compiled map into its directory without ever leaving half a map behind.
//
// Everything is written into a fresh temporary directory inside outDir first; only when all
// of it is on disk does it move in: the new Textures/ replaces the old one wholly, then
// Vuze.BSP replaces the old map in one rename. Other files in outDir stay. When outDir has no
// Font.bmp, `font` is written there, so that the directory runs as it is.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tools/bspc/bspc.h"
#include "tools/bspc/texture_convert.h"

bool WriteMapDirectory(const std::string& outDir, std::span<const uint8_t> mapBytes,
                       const TextureSet& textures, std::span<const uint8_t> font,
                       BspcMessages& messages);
