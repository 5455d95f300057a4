// SDL key codes as the window system's virtual-key codes.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

// The virtual-key code of a key, or 0 for keys the program has no code for.
WPARAM VirtualKeyFor(SDL_Keycode key);
