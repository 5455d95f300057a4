// Running the whole viewer on the in-memory platform, in a scratch directory.
#pragma once

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "support/files.h"

// A scratch working directory and a fresh platform for each test.
class ViewerRun {
  public:
    ViewerRun();
    const std::filesystem::path& Dir() const { return dir_.Path(); }
    // Runs WinMain and returns its exit code.
    int Run(int showCommand = SW_SHOWDEFAULT);
    std::vector<std::string> LogLines() const;

  private:
    TempDir dir_;
    ScopedWorkingDirectory cwd_;
};

// The counter text drawn into a frame with the demo font, read back cell by cell.
std::string ReadCounterText(const std::vector<uint32_t>& frame);
