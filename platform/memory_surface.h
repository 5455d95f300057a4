// What a lock reports for a surface held in our own memory: 0x00RRGGBB pixels, rows
// exactly width x 4 bytes apart. Shared by the in-memory and the SDL implementations.
#pragma once

#include "platform/ddraw.h"

inline void DescribeLockedSurface(DDSURFACEDESC& desc, int width, int height, void* pixels,
                                  DWORD bitCount) {
    desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    desc.dwHeight = DWORD(height);
    desc.dwWidth = DWORD(width);
    desc.lPitch = width * 4;
    desc.lpSurface = pixels;
    desc.ddpfPixelFormat = {};
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = bitCount;
    desc.ddpfPixelFormat.dwRBitMask = 0x00FF0000;
    desc.ddpfPixelFormat.dwGBitMask = 0x0000FF00;
    desc.ddpfPixelFormat.dwBBitMask = 0x000000FF;
}
