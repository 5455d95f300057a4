#include "process.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
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

int RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::filesystem::path& outputFile, std::chrono::milliseconds timeout) {
    ChildProcess child(argv, env, {}, outputFile);
    const std::optional<int> code = child.Wait(timeout);
    return code ? *code : -1;
}

VirtualDisplay::VirtualDisplay(const std::filesystem::path& logFile) {
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp", "-noreset"},
        std::vector<std::string>{}, std::filesystem::path{}, logFile, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll(&readable, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
}

namespace {

uint32_t BigEndian32(const std::string& data, size_t offset) {
    const auto* p = reinterpret_cast<const uint8_t*>(data.data() + offset);
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A 32-bit TrueColor XWD dump of the root window.
std::optional<Screenshot> ReadXwd(const std::filesystem::path& path) {
    const std::string data = ReadWholeFile(path);
    if (data.size() < 100) return std::nullopt;
    auto field = [&](int i) { return BigEndian32(data, size_t(i) * 4); };
    const uint32_t headerSize = field(0), width = field(4), height = field(5);
    const uint32_t byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12);
    const uint32_t redMask = field(14), greenMask = field(15), blueMask = field(16);
    const uint32_t colours = field(19);
    const size_t start = size_t(headerSize) + size_t(colours) * 12;
    if (bitsPerPixel != 32 || redMask != 0xFF0000 || greenMask != 0xFF00 || blueMask != 0xFF ||
        data.size() < start + size_t(bytesPerLine) * height)
        return std::nullopt;
    Screenshot shot{int(width), int(height), std::vector<uint32_t>(size_t(width) * height)};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(data.data() + start +
                                                             size_t(y) * bytesPerLine + x * 4);
            const uint32_t value = byteOrder ? uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
                                             : uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
            shot.pixels[size_t(y) * width + x] = value & 0xFFFFFF;
        }
    return shot;
}

} // namespace

std::optional<Screenshot> TakeScreenshot(const std::string& display,
                                         const std::filesystem::path& scratchDir) {
    const std::filesystem::path xwd = scratchDir / "screen.xwd";
    if (RunCommand({"xwd", "-root", "-silent", "-display", display, "-out", xwd.string()}, {},
                   scratchDir / "xwd.txt", std::chrono::seconds(20)) != 0)
        return std::nullopt;
    return ReadXwd(xwd);
}
