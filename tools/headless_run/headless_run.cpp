#include "tools/headless_run/headless_run.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "app/log.h"
#include "app/viewer.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "scene/load_error.h"

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

} // namespace

std::string StartFailure() {
    if (HeadlessCallCount<ShowWindowCall>() == 0) return "the window could not be created";
    const std::string last = LastLogLine();
    // The map and the textures say themselves what failed; the font never stops start-up.
    if ((last == LogLoadingTree || last == LogLoadingTextures) && LastLoadError.reason)
        return DescribeLoadError();
    // The step after the engine's "OK" allocates the frame buffer.
    if (last == LogStepOk) return "the frame buffer could not be allocated";
    return "start-up stopped after \"" + last + "\" in " + LogFileName;
}
