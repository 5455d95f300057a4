// Every saved fuzz input, replayed through its target: the seed corpus (fuzz/corpus/<target>/)
// and the inputs that once crashed, hung or leaked (tests/fuzz/regressions/<target>/). A
// target aborts on a broken promise, and the sanitizer build catches the rest.
// Inputs that crash Debian's Assimp cannot run in-process; they are checked apart.
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

#include "fuzz/fuzz_targets.h"
#include "support/files.h"
#include "tools/bspc/scene_import.h"

namespace {

namespace fs = std::filesystem;

// An input may take a few seconds under the sanitizers, never as long as libFuzzer's limit.
constexpr double MaxSecondsPerInput = 10.0;

class Replay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(Replay, SavedInputsRunCleanly) {
    const FuzzTarget target = GetParam();
    size_t inputs = 0;
    for (const fs::path& root : {fs::path(VEXMONT_SOURCE_DIR) / "fuzz" / "corpus",
                                fs::path(VEXMONT_SOURCE_DIR) / "tests" / "fuzz" / "regressions"}) {
        const fs::path dir = root / target.name;
        if (!fs::is_directory(dir)) continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            const std::string bytes = ReadWholeFile(entry.path());
            const auto start = std::chrono::steady_clock::now();
            target.run(FuzzInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_LT(seconds, MaxSecondsPerInput) << entry.path();
            ++inputs;
        }
    }
    // Every target has seeds: an empty or misnamed folder would replay nothing.
    EXPECT_GT(inputs, 0u) << target.name;
}

// Inputs that crash Debian's Assimp itself (tests/fuzz/assimp_faults/, listed in the
// README): the compiler imports in a child process, so each is one error line, not a crash.
TEST(AssimpFaults, EachIsOneErrorLine) {
    const fs::path dir = fs::path(VEXMONT_SOURCE_DIR) / "tests" / "fuzz" / "assimp_faults";
    size_t inputs = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        const std::string bytes = ReadWholeFile(entry.path());
        const std::string path =
            WriteFuzzScene(FuzzInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        Scene scene;
        BspcMessages messages;
        EXPECT_FALSE(ImportSceneIsolated(path, 60, scene, messages)) << entry.path();
        // "crashed" (a signal), or "failed" where a sanitizer ends the child with an exit code.
        EXPECT_EQ(messages.error.rfind("the importer ", 0), 0u) << entry.path() << ": "
                                                                << messages.error;
        EXPECT_EQ(messages.error.find('\n'), std::string::npos) << messages.error;
        ++inputs;
    }
    EXPECT_GT(inputs, 0u);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, ::testing::ValuesIn(FuzzTargets),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
