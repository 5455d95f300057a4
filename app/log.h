// The progress log "BSP.log": a banner and one line per start-up step. Each call
// opens, writes and closes, so every line is on disk when the call returns.
#pragma once

#include <string_view>

inline constexpr const char* LogFileName = "BSP.log";
inline constexpr const char* LogBanner = "__________BSP - Log__________\n";

void CreateLog();
void WriteLog(const char* message);
