#include "scene/texture.h"

#include "scene/map.h"

std::unique_ptr<Texture> LoadTexture(std::string_view) { return nullptr; }
bool LoadMapTextures(Map&, std::string_view) { return false; }
