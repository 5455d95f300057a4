// The benchmark map generator: its files never change from run to run, and the viewer
// draws them as closed interiors.
#include <gtest/gtest.h>

#include "obj_fixtures.h"
#include "support/files.h"
#include "tools/mapgen/interior_map.h"

namespace {

TEST(Mapgen, SameBytesEveryRunAndAClosedRoomFromTheStartCamera) {
    InteriorLayout layout;
    ASSERT_TRUE(InteriorLayoutFor("2k", layout));
    EXPECT_FALSE(InteriorLayoutFor("3k", layout));
    TempDir one, two;
    InteriorSummary summary;
    std::string error;
    ASSERT_TRUE(WriteInteriorMap(layout, one.Path().string(), summary, error)) << error;
    ASSERT_TRUE(WriteInteriorMap(layout, two.Path().string(), summary, error)) << error;
    EXPECT_GT(summary.tree.triangles, 2000);
    EXPECT_LT(summary.tree.triangles, 3000);

    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(one.Path())) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const auto relative = std::filesystem::relative(entry.path(), one.Path());
        EXPECT_EQ(ReadWholeFile(entry.path()), ReadWholeFile(two.Path() / relative)) << relative;
    }
    EXPECT_EQ(files, 1 + InteriorTextureCount);

    // Every pixel the renderer can write shows a face: no seam, gap or wrong winding lets
    // the black beyond the walls through. The font is not drawn here.
    const std::vector<uint32_t> frame = RenderStartView(one.Path());
    int black = 0;
    for (int32_t y = 3; y < 381; ++y)
        for (int32_t x = 3; x < 509; ++x)
            black += frame[size_t(y) * 512 + size_t(x)] == 0;
    EXPECT_EQ(black, 0);
}

} // namespace
