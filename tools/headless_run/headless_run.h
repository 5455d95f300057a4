// What the tools that run the viewer on the in-memory platform share (vexmont-shot,
// vexmont-bench): reading their camera and count arguments, and saying why the viewer's
// start-up stopped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "geometry/matrix.h"

// "a,b,c" -> {"a", "b", "c"}; an empty text gives one empty part.
std::vector<std::string> SplitCommas(std::string_view text);
// 16 comma-separated finite floats, row-major; false (m unchanged in part) otherwise.
bool ParseCamera(std::string_view text, Matrix4& m);
// A decimal whole number from min to max, nothing else in the text.
bool ParseWholeNumber(std::string_view text, long min, long max, long& value);

// After WinMain returned without reaching its message loop: one line naming what stopped
// start-up (the map or texture file and why, as LastLoadError has it; the window; the frame
// buffer), as far as it can be told.
std::string StartFailure();
