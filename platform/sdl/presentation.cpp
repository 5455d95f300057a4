#include "platform/sdl/presentation.h"

#include <algorithm>
#include <cstdint>

SDL_Rect PresentationRect(int outputWidth, int outputHeight, int frameWidth, int frameHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return {0, 0, 0, 0};
    const int scale = std::min(outputWidth / frameWidth, outputHeight / frameHeight);
    int width, height;
    if (scale >= 1) {
        width = frameWidth * scale;
        height = frameHeight * scale;
    } else if (int64_t(outputWidth) * frameHeight <= int64_t(outputHeight) * frameWidth) {
        width = outputWidth;
        height = int(int64_t(outputWidth) * frameHeight / frameWidth);
    } else {
        height = outputHeight;
        width = int(int64_t(outputHeight) * frameWidth / frameHeight);
    }
    return {(outputWidth - width) / 2, (outputHeight - height) / 2, width, height};
}
