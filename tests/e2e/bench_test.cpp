// vexmont-bench run as a program: its exit codes and one-line messages, and its figures on
// a generated map with the OpenGL peer drawing the same frame.
#include <algorithm>
#include <gtest/gtest.h>

#include "support/files.h"
#include "support/process.h"

namespace {

using Arguments = std::vector<std::string>;

CommandResult Bench(Arguments arguments) {
    arguments.insert(arguments.begin(), VEXMONT_BENCH);
    return RunCommand(
        arguments, {"LSAN_OPTIONS=suppressions=" VEXMONT_LSAN_SUPPRESSIONS ":print_suppressions=0"},
        {}, std::chrono::seconds(120));
}

int Lines(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

TEST(Bench, BadArgumentsGiveTwoAndAFailedStartUpOneWithOneLine) {
    TempDir scratch;
    const std::string dir = scratch.Path().string();
    const Arguments badArguments[] = {{},
                                      {"--frames", "5"},
                                      {"--dir", dir, "--frames", "0"},
                                      {"--dir", dir, "--frames", "3x"},
                                      {"--dir", dir, "--path", "loop"},
                                      {"--dir", dir, "--camera", "1,0,0"},
                                      {"--dir", dir, "--cameras", "0"},
                                      {"--dir", dir, "--frames", "2", "--cameras", "3"},
                                      {"--dir", dir, "--bogus"},
                                      {"--dir"}};
    for (const Arguments& arguments : badArguments) {
        const CommandResult result = Bench(arguments);
        EXPECT_EQ(result.exitCode, 2) << result.output;
        EXPECT_EQ(Lines(result.output), 1) << result.output;
    }
    const CommandResult result = Bench({"--dir", dir});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.output), 1) << result.output;
    EXPECT_NE(result.output.find("map \"Vuze.BSP\": missing"), std::string::npos)
        << result.output;
}

TEST(Bench, MeasuresAGeneratedMapAndThePeerDrawsTheSameFrame) {
    const CommandResult result =
        Bench({"--dir", VEXMONT_BENCH_MAP, "--frames", "3", "--cameras", "3", "--json", "--peer"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* key : {"\"frame_ms\"", "\"render_ms\"", "\"floor_ms\"", "\"polygons_visited\"",
                            "\"polygons_culled\"", "\"polygons_drawn\"", "\"pixels_written\"",
                            "\"camera_frame_ms\"", "\"worst_camera\""})
        EXPECT_NE(result.output.find(key), std::string::npos) << key;
#if VEXMONT_BENCH_PEER
    // The peer's picture differs only where the two sample a texel boundary differently.
    const std::string key = "\"identical_pixels_percent\": ";
    const size_t at = result.output.find(key);
    ASSERT_NE(at, std::string::npos) << result.output;
    EXPECT_GT(std::stod(result.output.substr(at + key.size())), 90.0) << result.output;
    // From cameras, each camera's peer frames too, and the one where we lead least.
    const std::string lowest = "\"lowest_ratio_camera\": ";
    const size_t camera = result.output.find(lowest);
    ASSERT_NE(camera, std::string::npos) << result.output;
    EXPECT_LT(std::stoi(result.output.substr(camera + lowest.size())), 3) << result.output;
#else
    EXPECT_NE(result.output.find("\"status\": \"skipped\""), std::string::npos) << result.output;
#endif
}

} // namespace
