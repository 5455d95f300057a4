// Child processes for the end-to-end tests: started with their own environment and working
// directory, waited for with a timeout, never left behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
  public:
    // Starts argv[0] (looked up in PATH) with extra "NAME=value" settings added to the
    // environment ("NAME=" removes NAME), in dir, stdout and stderr to outputFile.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::filesystem::path& dir, const std::filesystem::path& outputFile,
                 int extraFd = -1);
    ~ChildProcess(); // kills it if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit code once it has ended, or nothing when it still runs after timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    bool Running();
    void Kill();

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs a command to its end (at most timeout); its exit code, or -1.
int RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::filesystem::path& outputFile, std::chrono::milliseconds timeout);

// A virtual X server (Xvfb, 1024 x 768 x 24) on a display number it picks itself; stopped
// at scope end. Name() is empty when it did not start.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(const std::filesystem::path& logFile);
    const std::string& Name() const { return name_; }

  private:
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
};

struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first
};
// The root window of display as xwd dumps it (32-bit TrueColor); nothing on failure.
std::optional<Screenshot> TakeScreenshot(const std::string& display,
                                         const std::filesystem::path& scratchDir);
