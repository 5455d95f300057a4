#include "scene/bitmap.h"

#include <gtest/gtest.h>

#include "support/scene_bytes.h"
#include "support/temp_files.h"

namespace {

TEST(BitmapBytes, OneByOneIsFiftyEightBytesWithPaddedRow) {
    const uint32_t pixel = 0x302010;
    const std::vector<uint8_t> bytes = BitmapBytes(1, 1, {&pixel, 1});
    ASSERT_EQ(bytes.size(), 58u);
    EXPECT_EQ(bytes[0], 0x42);
    EXPECT_EQ(bytes[1], 0x4D);
    EXPECT_EQ(bytes[54], 0x10);
    EXPECT_EQ(bytes[55], 0x20);
    EXPECT_EQ(bytes[56], 0x30);
    EXPECT_EQ(bytes[57], 0x00);
}

}  // namespace
