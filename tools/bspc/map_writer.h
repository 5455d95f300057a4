// Lays out the map file: header, texture names, shared vertex table, pre-order tree.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/bspc/bspc.h"

// Checks every limit of the format (the vertex limit lowered to maxVertices); false with
// messages.error naming the limit. vertexCount: the vertices the map needs, even when too many.
bool EncodeMap(const BspNode& root, std::span<const std::string> textureNames,
               int32_t maxVertices, std::vector<uint8_t>& bytes, int64_t& vertexCount,
               BspcMessages& messages);
