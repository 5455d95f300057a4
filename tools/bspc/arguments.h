// vexmont-bspc's command line: SCENE --out DIR [options], read into BspcOptions.
//
// Any argv is safe: unknown options, missing values, numbers that do not parse or lie out
// of range all end in BspcArgumentsBad with the one line to show.
#pragma once

#include <string>

#include "tools/bspc/bspc.h"

enum class BspcCommand { Compile, Help, Formats, Bad };

extern const char BspcUsage[];

// Reads argv[1..argc-1] into options (font and isolation are left as they were). On Bad,
// problem holds the line to print (without "vexmont-bspc: "); empty when only the usage
// text is to be shown.
BspcCommand ParseBspcArguments(int argc, const char* const* argv, BspcOptions& options,
                               std::string& problem);
