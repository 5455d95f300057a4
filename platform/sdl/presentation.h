// Where the picture goes on the screen: whole-multiple scaling with black bars.
#pragma once

#include <SDL.h>

// Where a frameWidth x frameHeight picture goes on an output of the given size: scaled by
// the largest whole multiple that fits, centred; an output smaller than the picture gets it
// shrunk to fit with its aspect kept.
SDL_Rect PresentationRect(int outputWidth, int outputHeight, int frameWidth, int frameHeight);
