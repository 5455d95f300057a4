// Child processes for the end-to-end tests: started with their own environment and working
// directory, waited for with a timeout, never left behind.
#pragma once

#include <chrono>
#include <filesystem>
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

std::string ReadWholeFile(const std::filesystem::path& path);
