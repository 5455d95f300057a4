#include "support/process.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/files.h"

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::filesystem::path& dir,
                           const std::filesystem::path& outputFile, int extraFd) {
    const pid_t pid = fork();
    if (pid < 0) return;
    if (pid == 0) {
        for (const std::string& setting : env) {
            const size_t equals = setting.find('=');
            const std::string name = setting.substr(0, equals);
            const std::string value = setting.substr(equals + 1);
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
            close(out);
        }
        const int in = open("/dev/null", O_RDONLY);
        if (in >= 0) dup2(in, 0);
        for (int fd = 3; fd < 256; ++fd)
            if (fd != extraFd) close(fd);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    pid_ = pid;
}

ChildProcess::~ChildProcess() {
    Kill();
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (status_ || pid_ <= 0) return status_;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (done < 0 || std::chrono::steady_clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ChildProcess::Running() {
    return pid_ > 0 && !Wait(std::chrono::milliseconds(0));
}

void ChildProcess::Kill() {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    if (Wait(std::chrono::seconds(3))) return;
    kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(3));
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::filesystem::path& dir, std::chrono::milliseconds timeout) {
    const TempDir scratch;
    const std::filesystem::path outputFile = scratch.Path() / "output.txt";
    CommandResult result;
    {
        ChildProcess child(argv, env, dir, outputFile);
        result.exitCode = child.Wait(timeout).value_or(-1);
    }
    result.output = ReadWholeFile(outputFile);
    return result;
}
