// The memory floor of vexmont-bench: the least a frame could cost, a clear of the frame and
// then one write per pixel from a texture, u and v stepping by constant amounts along each
// row as between two of the renderer's divisions. The figure only means something if the
// floor is drawn as fast as the machine can draw it, so it uses the widest gathers the CPU
// offers, as the renderer's own runs do; the narrower kinds give the same pixels.
#pragma once

#include <cstdint>
#include <span>

struct Texture;

enum class FloorKind { Scalar, Avx2, Avx512 };

// The widest kind this CPU can run.
FloorKind FastestFloorKind();

// Draws the floor into `frame`, rows of `width` pixels (any width; the wide kinds finish a
// row's last pixels one by one), with `kind`, or scalar where the CPU lacks it. Returns the
// frame's middle pixel, which a caller keeps so that the work cannot be optimized away.
uint32_t DrawFloorFrame(std::span<uint32_t> frame, int32_t width, const Texture& texture,
                        FloorKind kind);
