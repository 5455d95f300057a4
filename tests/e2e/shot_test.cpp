// vexmont-shot run as a program: its arguments, its exit codes and its images.
#include <gtest/gtest.h>

#include "golden_map.h"
#include "support/files.h"
#include "support/image.h"
#include "support/process.h"
#include "viewer_run.h"
#include "wall_map.h"

namespace {

using Arguments = std::vector<std::string>;

// Runs vexmont-shot with the arguments in dir.
CommandResult Shot(const TempDir& dir, Arguments arguments) {
    arguments.insert(arguments.begin(), VEXMONT_SHOT);
    return RunCommand(arguments, {}, dir.Path());
}

int Lines(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

TEST(Shot, BadArgumentsGiveTwoWithTheUsage) {
    TempDir dir;
    const Arguments badArguments[] = {
        {},
        {"--frames", "2"},
        {"--out", "x.bmp"},
        {"--out", "x.png", "--frames", "0"},
        {"--out", "x.png", "--frames", "-3"},
        {"--out", "x.png", "--frames", "2x"},
        {"--out", "x.png", "--camera", "1,2,3"},
        {"--out", "x.png", "--camera", "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,nan"},
        {"--out", "x.png", "--keys", "left,jump"},
        {"--out", "x.png", "--keys", ""},
        {"--out", "x.png", "--bogus", "1"},
        {"--out"}};
    for (const Arguments& arguments : badArguments) {
        const CommandResult result = Shot(dir, arguments);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(arguments);
        EXPECT_NE(result.output.find("usage: vexmont-shot"), std::string::npos)
            << testing::PrintToString(arguments);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "BSP.log"));
}

TEST(Shot, FailedStartUpGivesOneWithOneLine) {
    TempDir dir;
    CommandResult result = Shot(dir, {"--out", "x.png"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.output), 1);
    EXPECT_NE(result.output.find("Vuze.BSP"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(dir.Path() / "BSP.log"),
              "__________BSP - Log__________\nDDraw is running..\nLoading tree ..\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "x.png"));

    result = Shot(dir, {"--dir", "does-not-exist", "--out", "x.png"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.output), 1);

    ASSERT_TRUE(WriteWallMap(dir.Path() / "scene"));
    std::filesystem::remove(dir.Path() / "scene" / "Textures" / "wall.bmp");
    result = Shot(dir, {"--dir", "scene", "--out", "x.png"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.output), 1);
    EXPECT_NE(result.output.find("texture \"Textures/wall.bmp\": missing"), std::string::npos)
        << result.output;

    // A texture name leaving the folder fails as a missing file does, although the file it
    // reaches is there: "wall" becomes "../x", and scene/x.bmp holds a texture.
    ASSERT_TRUE(WriteWallMap(dir.Path() / "scene"));
    std::filesystem::copy_file(dir.Path() / "scene" / "Textures" / "wall.bmp",
                               dir.Path() / "scene" / "x.bmp");
    std::string map = ReadWholeFile(dir.Path() / "scene" / "Vuze.BSP");
    map.replace(map.find("wall"), 4, "../x");
    ASSERT_TRUE(WriteFileBytes(dir.Path() / "scene" / "Vuze.BSP",
                               std::vector<uint8_t>(map.begin(), map.end())));
    result = Shot(dir, {"--dir", "scene", "--out", "x.png"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Vexmont: texture \"Textures/../x.bmp\": unsafe name (it would leave "
                             "the texture folder)\n");
    EXPECT_EQ(ReadWholeFile(dir.Path() / "scene" / "BSP.log"),
              "__________BSP - Log__________\nDDraw is running..\nLoading tree ..\n    OK\n"
              "Init engine ...\n    OK\nLoading textures ...\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "x.png"));

    // Without a font the frame is still written, and one line says why there is no counter.
    ASSERT_TRUE(WriteWallMap(dir.Path() / "scene", false));
    std::filesystem::remove(dir.Path() / "scene" / "Font.bmp");
    result = Shot(dir, {"--dir", "scene", "--out", "x.png"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "Vexmont: font \"Font.bmp\": missing\n");
}

TEST(Shot, WritesTheLastFrameWithItsCounter) {
    TempDir dir;
    ASSERT_TRUE(WriteWallMap(dir.Path() / "scene"));
    const CommandResult result =
        Shot(dir, {"--dir", "scene", "--frames", "3", "--out", "three.ppm"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(ReadWholeFile(dir.Path() / "scene" / "BSP.log").substr(0, 30),
              "__________BSP - Log__________\n");
    const std::vector<uint32_t> three = ReadPpm(dir.Path() / "three.ppm", 512, 384);
    ASSERT_FALSE(three.empty());
    EXPECT_EQ(ReadCounterText(three), "2.nd Frame");

    ASSERT_EQ(Shot(dir, {"--dir", "scene", "--out", "one.PNG"}).exitCode, 0);
    const std::string png = ReadWholeFile(dir.Path() / "one.PNG");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");

    // Keys after the camera, in order: a turn and its opposite give the same image.
    const std::string camera = "-1,0,0,0,0,-1,0,0,0,0,1,0,0,40,-40,1";
    ASSERT_EQ(Shot(dir, {"--dir", "scene", "--camera", camera, "--keys", "LEFT,right", "--out",
                         "keys.ppm"})
                  .exitCode,
              0);
    ASSERT_EQ(Shot(dir, {"--dir", "scene", "--camera", camera, "--out", "plain.ppm"}).exitCode, 0);
    const std::vector<uint32_t> keys = ReadPpm(dir.Path() / "keys.ppm", 512, 384);
    const std::vector<uint32_t> plain = ReadPpm(dir.Path() / "plain.ppm", 512, 384);
    ASSERT_FALSE(plain.empty());
    ASSERT_EQ(keys.size(), plain.size());
    EXPECT_EQ(ReadCounterText(plain), "0.th Frame");
    size_t differing = 0;
    for (size_t i = 0; i < plain.size(); ++i)
        differing += plain[i] != keys[i];
    EXPECT_LT(differing, plain.size() / 100);
}

// The golden map captured through the whole viewer (no font in its folder, so no counter
// text) is the renderer's expected image from every camera. The captures stay in shots/
// of the test's build folder for a look when they differ.
TEST(Shot, CapturesTheGoldenMapAsTheRendererDrawsIt) {
    using namespace rendertest;
    TempDir dir;
    ASSERT_TRUE(WriteGoldenMap(dir.Path()));
    for (const NamedCamera& camera : GoldenMapCameras()) {
        const std::filesystem::path shot =
            std::filesystem::absolute("shots") / (camera.name + ".ppm");
        std::filesystem::remove(shot);
        std::filesystem::create_directories(shot.parent_path());
        const CommandResult result = Shot(
            dir, {"--dir", ".", "--camera", CameraArgument(camera.matrix), "--out", shot.string()});
        ASSERT_EQ(result.exitCode, 0) << camera.name << ": " << result.output;
        const std::vector<uint32_t> expected =
            ReadPpm(GoldenDirectory() / (camera.name + ".ppm"), 512, 384);
        ASSERT_FALSE(expected.empty()) << camera.name;
        EXPECT_EQ(CompareImages(expected, ReadPpm(shot, 512, 384), 512), "") << camera.name;
    }
}

} // namespace
