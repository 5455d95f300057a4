// The camera the viewer starts from: half a turn about the z axis, then 40 units up and 40
// back, so that it stands at map (0, 40, -40) looking along +z.
#pragma once

#include "geometry/matrix.h"

// One unit in the last place short of single-precision pi.
inline constexpr float CameraStartTurn = -3.1415925f;

// Camera to world, as CameraMatrix holds it at start-up.
Matrix4 StartCamera();
