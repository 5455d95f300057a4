// A virtual X display for tests that show real windows: an Xvfb server and screenshots of
// it taken with xwd. POSIX only, like the processes it starts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"

inline constexpr int32_t VirtualScreenWidth = 1024, VirtualScreenHeight = 768;

// A server of VirtualScreenWidth x VirtualScreenHeight x 24 on a display number it picks
// itself, its output in logFile; stopped at scope end. Name() is empty when it did not start.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(const std::filesystem::path& logFile);
    const std::string& Name() const { return name_; }

  private:
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
};

// The whole screen of display as 0x00RRGGBB pixels, top row first; empty when xwd fails
// (its output is then in scratchDir/xwd.txt) or the screen is not 32-bit TrueColor of
// VirtualScreenWidth x VirtualScreenHeight.
std::vector<uint32_t> TakeScreenshot(const std::string& display,
                                     const std::filesystem::path& scratchDir);
