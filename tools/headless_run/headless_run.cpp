#include "tools/headless_run/headless_run.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/log.h"
#include "app/viewer.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "scene/map.h"
#include "scene/texture.h"

std::vector<std::string> SplitCommas(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

bool ParseCamera(std::string_view text, Matrix4& m) {
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 16) return false;
    for (size_t i = 0; i < 16; ++i) {
        const char* begin = parts[i].c_str();
        char* end = nullptr;
        errno = 0;
        const float value = std::strtof(begin, &end);
        if (end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return false;
        m.m[i] = value;
    }
    return true;
}

bool ParseWholeNumber(std::string_view text, long min, long max, long& value) {
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno == ERANGE || parsed < min || parsed > max) return false;
    value = parsed;
    return true;
}

namespace {

std::string LastLogLine() {
    std::ifstream log(LogFileName);
    std::string line, last;
    while (std::getline(log, line))
        last = line;
    return last;
}

// Why a file the viewer could not read is unreadable, as far as the file system tells.
std::string FileProblem(const std::string& hostName, const char* unreadable) {
    std::error_code error;
    if (!std::filesystem::exists(hostName, error)) return "no such file";
    if (!OpenFile(hostName, "rb")) return "cannot be opened";
    return unreadable;
}

// The first texture of the map that does not load, named as the viewer names it.
std::string TextureFailure() {
    const std::unique_ptr<Map> map = LoadMap(MapFileName);
    if (!map) return "a texture in \"Textures\" could not be loaded";
    for (int32_t i = 0; i < map->textureCount; ++i) {
        const std::string name =
            std::string(TextureDirectory) + "\\" + map->textureSlots[i].name + ".bmp";
        if (name.size() >= size_t(TexturePathSize))
            return "texture \"" + name + "\": the path is too long";
        if (LoadTexture(name)) continue;
        const std::string host = HostFileName(name);
        return "texture \"" + host + "\": " +
               FileProblem(host, "not a texture the viewer reads (an uncompressed 24-bit BMP)");
    }
    return "a texture in \"Textures\" could not be loaded";
}

} // namespace

std::string StartFailure() {
    if (HeadlessCallsOf("ShowWindow").empty()) return "the window could not be created";
    const std::string last = LastLogLine();
    if (last == "Loading tree ..")
        return "map \"" + std::string(MapFileName) + "\": " +
               FileProblem(MapFileName, "not a map the viewer reads (magic \"BSP\", version 50, "
                                        "complete and consistent)");
    if (last == "Loading textures ...") return TextureFailure();
    if (last == "    OK") return "the frame buffer could not be allocated";
    return "start-up stopped after \"" + last + "\" in BSP.log";
}
