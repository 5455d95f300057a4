#include "scene/bitmap.h"

std::unique_ptr<PixelImage> LoadBitmap(std::string_view) { return nullptr; }
