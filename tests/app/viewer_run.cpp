#include "viewer_run.h"

#include <sstream>

#include "app/viewer.h"
#include "wall_map.h"

ViewerRun::ViewerRun() : cwd_(dir_.Path()) {
    HeadlessReset();
}

int ViewerRun::Run(int showCommand) {
    static char instance;
    return WinMain(reinterpret_cast<HINSTANCE>(&instance), nullptr, nullptr, showCommand);
}

std::vector<std::string> ViewerRun::LogLines() const {
    std::istringstream log(ReadWholeFile(dir_.Path() / "BSP.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

std::string ReadCounterText(const std::vector<uint32_t>& frame) {
    std::string text;
    for (int32_t x = 10 + 5; x < ScreenWidth; x += 11) {
        const uint32_t pixel = frame[size_t(16) * ScreenWidth + x];
        const int c = int(pixel & 0xFF);
        if (c < 32 || c > 127 || pixel != FontCellColour(c)) break;
        text += char(c);
    }
    return text;
}
