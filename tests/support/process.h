// Other programs started by tests: with their own environment and working folder, waited
// for with a timeout, never left behind. POSIX only (fork and exec).
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
    // environment ("NAME=" removes NAME), in dir (empty: this folder), stdout and stderr
    // to outputFile. extraFd, if any, stays open in the child.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::filesystem::path& dir, const std::filesystem::path& outputFile,
                 int extraFd = -1);
    ~ChildProcess(); // kills it if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit code (128 + the signal when one ended it), or nothing when it still runs
    // after timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    bool Running();
    void Kill();

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct CommandResult {
    int exitCode = -1;  // -1 when it did not start, or not end within the timeout (then killed)
    std::string output; // all it wrote to stdout and stderr
};
// Runs a program to its end as ChildProcess starts it.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {},
                         const std::filesystem::path& dir = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(60));
