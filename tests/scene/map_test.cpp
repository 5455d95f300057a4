#include "scene/map.h"

#include <gtest/gtest.h>

#include "support/scene_bytes.h"
#include "support/temp_files.h"

namespace {

TEST(MapFileBytes, SmallestMapIsThirtyOneBytes) {
    const std::vector<uint8_t> bytes = MapFileBytes({});
    const std::vector<uint8_t> expected = {0x42, 0x53, 0x50, 0x32, 0, 0, 0, 0, 0, 0, 0,
                                           0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0,
                                           0,    0,    0,    0,    0, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected);
}

}  // namespace
