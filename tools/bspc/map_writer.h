// Lays out the map file: header, texture names, shared vertex table, pre-order tree.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/bspc/bspc.h"

// The format's limits on texture names: how many, and how long a name may be for the
// viewer's texture path to fit. False with messages.error naming the limit.
bool CheckTextureNames(std::span<const std::string> textureNames, BspcMessages& messages);
// Checks every limit of the format; false with messages.error naming the limit.
bool EncodeMap(const BspNode& root, std::span<const std::string> textureNames,
               std::vector<uint8_t>& bytes, int32_t& vertexCount, BspcMessages& messages);
