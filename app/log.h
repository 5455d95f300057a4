// The progress log "BSP.log": a banner and one line per start-up step. Each call
// opens, writes and closes, so every line is on disk when the call returns.
#pragma once

#include <string_view>

inline constexpr const char* LogFileName = "BSP.log";
inline constexpr const char* LogBanner = "__________BSP - Log__________\n";

// The step lines, in the order start-up writes them; the last line in the file tells how
// far start-up got (vexmont-shot reads it back).
inline constexpr const char* LogDisplayRunning = "DDraw is running..";
inline constexpr const char* LogLoadingTree = "Loading tree ..";
inline constexpr const char* LogStepOk = "    OK"; // after the tree, the engine and the textures
inline constexpr const char* LogInitEngine = "Init engine ...";
inline constexpr const char* LogLoadingTextures = "Loading textures ...";
inline constexpr const char* LogRendering = "Rendering !";

void CreateLog();
void WriteLog(const char* message);
