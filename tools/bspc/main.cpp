// vexmont-bspc SCENE --out DIR [options]: exit 0 on success, 1 when the scene cannot be
// compiled (one line saying what and where), 2 on bad arguments.
#include <cstdio>
#include <string>

#include "tools/bspc/arguments.h"
#include "tools/bspc/bspc.h"
#include "tools/bspc/bundled_font.h"
#include "tools/bspc/scene_import.h"

int main(int argc, char** argv) {
    BspcOptions options;
    options.font = std::span(BundledFont, BundledFontSize);
    std::string problem;
    switch (ParseBspcArguments(argc, argv, options, problem)) {
    case BspcCommand::Help:
        std::fputs(BspcUsage, stdout);
        return 0;
    case BspcCommand::Formats:
        std::printf("%s\n", SceneExtensions().c_str());
        return 0;
    case BspcCommand::Bad:
        if (problem.empty())
            std::fputs(BspcUsage, stderr);
        else
            std::fprintf(stderr, "vexmont-bspc: %s%s", problem.c_str(),
                         problem.ends_with('\n') ? "" : "\n");
        return 2;
    case BspcCommand::Compile:
        break;
    }
    BspcSummary summary;
    BspcMessages messages;
    const bool ok = CompileMap(options, summary, messages);
    for (const std::string& w : messages.warnings)
        std::fprintf(stderr, "vexmont-bspc: warning: %s\n", w.c_str());
    if (!ok) {
        std::fprintf(stderr, "vexmont-bspc: error: %s\n", messages.error.c_str());
        return 1;
    }
    std::printf("%s\n", FormatSummary(summary).c_str());
    return 0;
}
