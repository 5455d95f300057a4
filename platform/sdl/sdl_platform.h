// What the window and display halves of the SDL platform call of each other.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

// Window half -> display half.
SDL_Window* SdlWindowOf(HWND window);
// Display half: called before a window goes, so nothing keeps its renderer.
void SdlDisplayWindowGoing(HWND window);
// Display half: the renderer lost its textures (device: the renderer itself is gone).
void SdlDisplayLost(bool device);
// Display half: frees every DirectDraw object still held.
void SdlDisplayShutdown();
// Releases everything the platform still holds; after WinMain returns.
void SdlShutdown();
