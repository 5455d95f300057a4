#include "scene/texture.h"

#include <gtest/gtest.h>

#include "scene/load_error.h"
#include "scene/map.h"
#include "scene/map_writer.h"
#include "support/files.h"
#include "support/scene_bytes.h"

namespace {

bool WriteBitmap(const std::filesystem::path& path, int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i) * 0x10101u;
    return WriteFileBytes(path, BitmapBytes(width, height, pixels));
}

std::unique_ptr<Map> MapWithTextures(std::vector<std::string> names) {
    MapFileDescription description;
    description.textureNames = std::move(names);
    return LoadMapFromBytes(MapFileBytes(description));
}

TEST(LoadTexture, MasksAndShift) {
    struct Case {
        int32_t width, height, uMask, vMask, vShift;
    };
    const Case cases[] = {{64, 64, 63, 4032, 10},  {256, 256, 255, 65280, 8},
                          {128, 64, 127, 8064, 9}, {32, 128, 31, 4064, 11},
                          {1, 1, 0, 0, 16},        {2, 1, 1, 0, 15},
                          {32768, 1, 32767, 0, 1}};
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("t.bmp");
        ASSERT_TRUE(WriteBitmap(path, c.width, c.height));
        const std::unique_ptr<Texture> texture = LoadTexture(path);
        ASSERT_NE(texture, nullptr) << c.width << "x" << c.height;
        EXPECT_EQ(texture->width, c.width);
        EXPECT_EQ(texture->height, c.height);
        EXPECT_EQ(texture->uMask, c.uMask) << c.width << "x" << c.height;
        EXPECT_EQ(texture->vMask, c.vMask) << c.width << "x" << c.height;
        EXPECT_EQ(texture->vShift, c.vShift) << c.width << "x" << c.height;
        const size_t last = size_t(c.width) * size_t(c.height) - 1;
        EXPECT_EQ(texture->pixels[last], uint32_t(last * 0x10101u) & 0xFFFFFF);
    }
}

TEST(LoadTexture, OtherSizesLoadAndEmptyOnesFail) {
    TempDir dir;
    ASSERT_TRUE(WriteBitmap(dir.File("odd.bmp"), 3, 5));
    const std::unique_ptr<Texture> odd = LoadTexture(dir.File("odd.bmp"));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->uMask, 2);
    EXPECT_EQ(odd->vMask, 12);
    EXPECT_EQ(odd->vShift, 15); // truncated log2(3)

    for (auto [width, height] : {std::pair{0, 4}, std::pair{4, 0}}) {
        ASSERT_TRUE(WriteBitmap(dir.File("empty.bmp"), width, height));
        EXPECT_EQ(LoadTexture(dir.File("empty.bmp")), nullptr) << width << "x" << height;
        EXPECT_STREQ(LastLoadError.reason, LoadEmptyPicture);
    }
    EXPECT_EQ(LoadTexture(dir.File("absent.bmp")), nullptr);
    EXPECT_STREQ(LastLoadError.reason, LoadMissing);
}

TEST(LoadMapTextures, OpensDirectoryBackslashNameBmp) {
    TempDir dir;
    ASSERT_TRUE(WriteBitmap(dir.Path() / "Textures" / "wall.bmp", 2, 2));
    ScopedWorkingDirectory inside(dir.Path());
    for (const char* directory : {"Textures", "Textures\\"}) {
        const std::unique_ptr<Map> map = MapWithTextures({"wall"});
        ASSERT_NE(map, nullptr);
        EXPECT_TRUE(LoadMapTextures(*map, directory)) << directory;
        ASSERT_NE(map->textureSlots[0].texture, nullptr);
        EXPECT_EQ(map->textureSlots[0].texture->width, 2);
    }
    const std::unique_ptr<Map> map = MapWithTextures({"wall"});
    EXPECT_FALSE(LoadMapTextures(*map, "Texture"));
}

TEST(LoadMapTextures, PathMustFitTwoHundredFiftySixBytes) {
    TempDir dir;
    ASSERT_TRUE(WriteBitmap(dir.Path() / "Textures" / "wall.bmp", 1, 1));
    // "<dir>///...///Textures": extra slashes set the length without changing the file.
    auto directoryOfLength = [&](size_t length, std::string_view tail) {
        const std::string base = dir.Path().string();
        const size_t fixed = base.size() + std::string_view("Textures").size() + tail.size();
        return base + std::string(length - fixed, '/') + "Textures" + std::string(tail);
    };
    auto loads = [](const std::string& directory) {
        const std::unique_ptr<Map> map = MapWithTextures({"wall"});
        const bool loaded = LoadMapTextures(*map, directory);
        EXPECT_EQ(loaded, map->textureSlots[0].texture != nullptr);
        return loaded;
    };
    const size_t nameAndSuffix = std::string_view("\\wall.bmp").size();
    EXPECT_TRUE(loads(directoryOfLength(255 - nameAndSuffix, "")));
    EXPECT_FALSE(loads(directoryOfLength(256 - nameAndSuffix, "")));
    // Two trailing backslashes: exactly one is dropped, so the path holds "\\\\wall.bmp".
    EXPECT_TRUE(loads(directoryOfLength(255 - nameAndSuffix + 1, "\\\\")));
    EXPECT_FALSE(loads(directoryOfLength(256 - nameAndSuffix + 1, "\\\\")));
}

TEST(LoadMapTextures, StopsAtFirstFailure) {
    TempDir dir;
    for (const char* name : {"a", "b", "d", "e"})
        ASSERT_TRUE(WriteBitmap(dir.Path() / (std::string(name) + ".bmp"), 4, 4));
    const std::unique_ptr<Map> map = MapWithTextures({"a", "b", "c", "d", "e"});
    ASSERT_NE(map, nullptr);
    EXPECT_FALSE(LoadMapTextures(*map, dir.Path().string()));
    EXPECT_NE(map->textureSlots[0].texture, nullptr);
    EXPECT_NE(map->textureSlots[1].texture, nullptr);
    for (int slot = 2; slot < 5; ++slot)
        EXPECT_EQ(map->textureSlots[slot].texture, nullptr) << slot;
}

TEST(TextureNameSafe, NamesThatLeaveTheFolderAreRefused) {
    for (const char* name :
         {"", "..", "../x", "..\\x", "a/../../x", "a\\..\\..\\x", "x/..", "/x", "\\x", "C:x",
          "a:b", "x\ty", "x\x7F", "\x01", "NUL", "nul", "Con", "prn.bmp", "AUX.tar.gz", "COM1",
          "lpt9.txt", "walls/con", "NUL .txt", "... ", ". ."})
        EXPECT_FALSE(TextureNameSafe(name)) << name;
    for (const char* name : {"wall", "walls\\brick", "walls/brick", "a..b", ".x", "x.", "COM0",
                             "LPT10", "CONSOLE", "nul_", "_CON", "a b", "\xC3\xA9t\xC3\xA9"})
        EXPECT_TRUE(TextureNameSafe(name)) << name;
    // The map writer (the compiler, vexmont-mapgen) never writes a name the loader refuses.
    std::string error;
    EXPECT_FALSE(CheckTextureNames(std::vector<std::string>{"wall", "../x"}, error));
    EXPECT_NE(error.find("\"../x\""), std::string::npos) << error;
}

// Each refused name fails as a missing texture would, although the file it points to is
// there; the reason names the texture file. A subfolder inside the folder still loads.
TEST(LoadMapTextures, UnsafeNamesFailEvenWhenTheFileExists) {
    TempDir dir;
    const std::filesystem::path textures = dir.Path() / "map" / "Textures";
    for (const auto& file : {dir.Path() / "x.bmp", dir.Path() / "map" / "x.bmp",
                             textures / "x.bmp", textures / "C:x.bmp", textures / "NUL.bmp",
                             textures / "walls" / "brick.bmp"})
        ASSERT_TRUE(WriteBitmap(file, 2, 2));
    std::filesystem::create_directories(textures / "a");
    ScopedWorkingDirectory inside(dir.Path() / "map");
    for (const char* name : {"../x", "..\\x", "/x", "\\x", "C:x", "a/../../x", "NUL", "..\\..\\x"}) {
        const std::unique_ptr<Map> map = MapWithTextures({"walls\\brick", name});
        ASSERT_NE(map, nullptr);
        EXPECT_FALSE(LoadMapTextures(*map, "Textures")) << name;
        EXPECT_NE(map->textureSlots[0].texture, nullptr);
        EXPECT_EQ(map->textureSlots[1].texture, nullptr) << name;
        EXPECT_STREQ(LastLoadError.reason, LoadUnsafeName) << name;
        // The folder and the name are joined with the platform's own separator.
        const std::string described = DescribeLoadError();
        EXPECT_EQ(described.rfind("texture \"Textures", 0), 0u) << described;
        EXPECT_NE(described.find(".bmp\": "), std::string::npos) << described;
    }
}

TEST(LoadMapTextures, NoSlotsSucceedWithoutFiles) {
    const std::unique_ptr<Map> map = MapWithTextures({});
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(LoadMapTextures(*map, "no such directory"));
}

} // namespace
