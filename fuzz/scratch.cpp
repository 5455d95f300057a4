#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "fuzz/fuzz_targets.h"

const std::string& FuzzScratchDir() {
    // Never destroyed: the removal at exit runs after static objects have gone.
    static const std::string& dir = *new std::string([] {
        const char* tmp = std::getenv("TMPDIR");
        std::filesystem::path path = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                                     ("vexmont-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(FuzzScratchDir(), ignored);
        });
        return path.string();
    }());
    return dir;
}

std::string FuzzScratchFile(std::string_view name, FuzzInput bytes) {
    const std::string path = FuzzScratchDir() + "/" + std::string(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FuzzCheck(file != nullptr, "the scratch file cannot be written");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

void FuzzCheck(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
