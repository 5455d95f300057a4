// The golden map rendered in-process from each of its cameras must match the committed
// expected images pixel for pixel. To regenerate them after an intended change, run
//   build/tests/render/render-fixture goldens
// and review the new images before committing them; this test never writes them.
#include <gtest/gtest.h>

#include "golden_map.h"
#include "scene/map.h"
#include "support/image.h"

namespace {

using namespace rendertest;

TEST(Golden, EveryCameraMatchesItsExpectedImage) {
    const auto map = LoadGoldenMap();
    ASSERT_TRUE(map);
    for (const NamedCamera& camera : GoldenMapCameras()) {
        const std::filesystem::path golden = GoldenDirectory() / (camera.name + ".ppm");
        const std::vector<uint32_t> expected = ReadPpm(golden, 512, 384);
        ASSERT_FALSE(expected.empty())
            << "cannot read " << golden << " (render-fixture goldens writes it)";
        EXPECT_EQ(CompareImages(expected, RenderTestFrame(*map, camera.matrix), 512), "")
            << "camera " << camera.name;
    }
}

} // namespace
