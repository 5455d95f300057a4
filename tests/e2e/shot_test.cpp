// vexmont-shot run as a program: its arguments, its exit codes and its images.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

#include "demo_scene.h"
#include "support/temp_files.h"
#include "viewer_run.h"

namespace {

struct Result {
    int exitCode = -1;
    std::string err;
};

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs vexmont-shot with the arguments (already quoted as the shell needs) in dir.
Result Shot(const TempDir& dir, const std::string& arguments) {
    const std::string command = "cd '" + dir.Path().string() + "' && '" VEXMONT_SHOT "' " +
                                arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    Result result;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.err = ReadText(dir.Path() / "stderr.txt");
    return result;
}

int Lines(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

TEST(Shot, BadArgumentsGiveTwoWithTheUsage) {
    TempDir dir;
    for (const char* arguments :
         {"", "--frames 2", "--out x.bmp", "--out x.png --frames 0", "--out x.png --frames -3",
          "--out x.png --frames 2x", "--out x.png --camera 1,2,3",
          "--out x.png --camera 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,nan", "--out x.png --keys left,jump",
          "--out x.png --keys ''", "--out x.png --bogus 1", "--out"}) {
        const Result result = Shot(dir, arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments;
        EXPECT_NE(result.err.find("usage: vexmont-shot"), std::string::npos) << arguments;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "BSP.log"));
}

TEST(Shot, FailedStartUpGivesOneWithOneLine) {
    TempDir dir;
    Result result = Shot(dir, "--out x.png");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.err), 1);
    EXPECT_NE(result.err.find("Vuze.BSP"), std::string::npos);
    EXPECT_EQ(ReadText(dir.Path() / "BSP.log"),
              "__________BSP - Log__________\nDDraw is running..\nLoading tree ..\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "x.png"));

    result = Shot(dir, "--dir does-not-exist --out x.png");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.err), 1);

    if (!SceneLoadersReady()) GTEST_SKIP() << "the scene loaders are placeholders still";
    ASSERT_TRUE(WriteDemoScene(dir.Path() / "scene"));
    std::filesystem::remove(dir.Path() / "scene" / "Textures" / "wall.bmp");
    result = Shot(dir, "--dir scene --out x.png");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.err), 1);
    EXPECT_NE(result.err.find("texture \"Textures/wall.bmp\": no such file"), std::string::npos)
        << result.err;
}

// The P6 image as 0x00RRGGBB pixels; empty when it is not 512 x 384.
std::vector<uint32_t> ReadPpm(const std::filesystem::path& path) {
    const std::string data = ReadText(path);
    const std::string header = "P6\n512 384\n255\n";
    if (data.size() != header.size() + 512 * 384 * 3 || data.compare(0, header.size(), header))
        return {};
    std::vector<uint32_t> pixels(512 * 384);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(data.data() + header.size() + 3 * i);
        pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    return pixels;
}

TEST(Shot, WritesTheLastFrameWithItsCounter) {
    if (!SceneLoadersReady()) GTEST_SKIP() << "the scene loaders are placeholders still";
    TempDir dir;
    ASSERT_TRUE(WriteDemoScene(dir.Path() / "scene"));
    Result result = Shot(dir, "--dir scene --frames 3 --out three.ppm");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(ReadText(dir.Path() / "scene" / "BSP.log").substr(0, 30),
              "__________BSP - Log__________\n");
    const std::vector<uint32_t> three = ReadPpm(dir.Path() / "three.ppm");
    ASSERT_FALSE(three.empty());
    EXPECT_EQ(ReadCounterText(three), "2.nd Frame");

    ASSERT_EQ(Shot(dir, "--dir scene --out one.PNG").exitCode, 0);
    const std::string png = ReadText(dir.Path() / "one.PNG");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");

    // Keys after the camera, in order: a turn and its opposite give the same image.
    const std::string camera = "--camera -1,0,0,0,0,-1,0,0,0,0,1,0,0,40,-40,1";
    ASSERT_EQ(Shot(dir, "--dir scene " + camera + " --keys LEFT,right --out keys.ppm").exitCode, 0);
    ASSERT_EQ(Shot(dir, "--dir scene " + camera + " --out plain.ppm").exitCode, 0);
    const std::vector<uint32_t> keys = ReadPpm(dir.Path() / "keys.ppm");
    const std::vector<uint32_t> plain = ReadPpm(dir.Path() / "plain.ppm");
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(ReadCounterText(plain), "0.th Frame");
    size_t differing = 0;
    for (size_t i = 0; i < plain.size(); ++i)
        differing += plain[i] != keys[i];
    EXPECT_LT(differing, plain.size() / 100);
}

} // namespace
