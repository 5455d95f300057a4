#include "scene/texture.h"

#include <gtest/gtest.h>

#include "scene/map.h"
#include "support/scene_bytes.h"
#include "support/temp_files.h"
