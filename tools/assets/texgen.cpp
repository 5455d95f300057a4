// vexmont-texgen DIR: writes the demo scene's textures into DIR as 24-bit BMP files.
//
// Every texture is drawn from a fixed integer hash, so the output is the same on every
// run. Sizes are powers of two and every texture tiles seamlessly.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "scene/bitmap.h"

namespace {

struct Color {
    double r, g, b;
};

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// Uniform in [0, 1).
double Random(int32_t x, int32_t y, uint32_t seed) {
    return (Hash(x, y, seed) & 0xFFFFFF) / 16777216.0;
}

// Smooth value noise on the integer lattice, wrapping every periodX x periodY lattice cells
// so that the texture tiles.
double ValueNoise(double x, double y, int32_t periodX, int32_t periodY, uint32_t seed) {
    const int32_t x0 = int32_t(std::floor(x));
    const int32_t y0 = int32_t(std::floor(y));
    const double fx = x - x0;
    const double fy = y - y0;
    auto at = [&](int32_t i, int32_t j) {
        return Random(((i % periodX) + periodX) % periodX, ((j % periodY) + periodY) % periodY,
                      seed);
    };
    const double sx = fx * fx * (3 - 2 * fx);
    const double sy = fy * fy * (3 - 2 * fy);
    const double top = at(x0, y0) * (1 - sx) + at(x0 + 1, y0) * sx;
    const double bottom = at(x0, y0 + 1) * (1 - sx) + at(x0 + 1, y0 + 1) * sx;
    return top * (1 - sy) + bottom * sy;
}

// Fractal noise in [0, 1) at texel (x, y) of a w x h texture, base lattice `cells` wide.
double Fbm(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cells, int octaves, uint32_t seed) {
    double sum = 0.0;
    double amplitude = 0.5;
    double total = 0.0;
    for (int o = 0; o < octaves; ++o) {
        const int32_t c = cells << o;
        const int32_t cy = std::max(1, c * h / w);
        sum += amplitude * ValueNoise(double(x) * c / w, double(y) * cy / h, c, cy, seed + o);
        total += amplitude;
        amplitude *= 0.5;
    }
    return sum / total;
}

uint32_t Pack(Color c) {
    auto channel = [](double v) { return uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

Color Scale(Color c, double k) {
    return {c.r * k, c.g * k, c.b * k};
}
Color Mix(Color a, Color b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

PixelImage Make(int32_t w, int32_t h, const std::function<Color(int32_t, int32_t)>& texel) {
    PixelImage image{std::make_unique<uint32_t[]>(size_t(w) * size_t(h)), w, h};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            image.pixels[size_t(y) * size_t(w) + size_t(x)] = Pack(texel(x, y));
    return image;
}

// Red clay bricks, 32 x 16 texels, half-offset every other course, light mortar.
PixelImage Brick() {
    return Make(128, 128, [](int32_t x, int32_t y) {
        const int32_t course = y / 16;
        const int32_t shifted = (x + (course % 2) * 16) % 128;
        const int32_t brick = shifted / 32;
        const int32_t bx = shifted % 32;
        const int32_t by = y % 16;
        const double grain = Fbm(x, y, 128, 128, 16, 3, 11);
        if (bx < 2 || by < 2) {
            return Scale(Color{0.72, 0.70, 0.64}, 0.8 + 0.3 * grain);
        }
        const double tone = Random(brick, course, 3);
        Color base = Mix(Color{0.62, 0.22, 0.14}, Color{0.78, 0.38, 0.24}, tone);
        // Edges of a brick catch less light.
        const double edge = (bx == 2 || by == 2) ? 1.12 : (bx == 31 || by == 15) ? 0.8 : 1.0;
        return Scale(base, edge * (0.75 + 0.45 * grain));
    });
}

// Grey ashlar blocks for columns and arches, 64 x 32 texels.
PixelImage Stone() {
    return Make(128, 128, [](int32_t x, int32_t y) {
        const int32_t row = y / 32;
        const int32_t shifted = (x + (row % 2) * 32) % 128;
        const int32_t block = shifted / 64;
        const int32_t bx = shifted % 64;
        const int32_t by = y % 32;
        const double grain = Fbm(x, y, 128, 128, 8, 5, 21);
        const double speck = Random(x, y, 22);
        if (bx < 2 || by < 2) return Scale(Color{0.30, 0.29, 0.27}, 0.9 + 0.2 * grain);
        const double tone = Random(block, row, 23);
        Color base = Mix(Color{0.60, 0.58, 0.54}, Color{0.74, 0.71, 0.64}, tone);
        base = Scale(base, 0.7 + 0.5 * grain + (speck > 0.96 ? -0.12 : 0.0));
        if (bx == 2 || by == 2) base = Scale(base, 1.1);
        if (bx == 63 || by == 31) base = Scale(base, 0.8);
        return base;
    });
}

// Wooden planks running along u, 32 texels wide, with grain and staggered butt joints.
PixelImage Planks() {
    return Make(128, 128, [](int32_t x, int32_t y) {
        const int32_t board = y / 32;
        const int32_t by = y % 32;
        const int32_t joint = int32_t(Random(board, 0, 31) * 128);
        const int32_t bx = (x - joint + 128) % 128;
        const double tone = Random(board, 1, 32);
        if (by == 0 || bx == 0) return Color{0.12, 0.07, 0.04};
        const double noise = Fbm(x, y, 128, 128, 4, 3, 33 + board);
        const double grain = 0.5 + 0.5 * std::sin((y * 0.9 + noise * 14.0 + board * 7) * 1.3);
        Color base = Mix(Color{0.45, 0.27, 0.13}, Color{0.62, 0.40, 0.20}, tone);
        base = Mix(base, Scale(base, 0.7), grain * 0.6);
        if (by == 1) base = Scale(base, 0.75);
        if (by == 31) base = Scale(base, 1.1);
        return base;
    });
}

// Brushed steel panel with a raised border and rivets.
PixelImage Metal() {
    return Make(64, 64, [](int32_t x, int32_t y) {
        const double streak = Fbm(x, y * 8, 64, 512, 2, 4, 41);
        Color base = Scale(Color{0.58, 0.61, 0.66}, 0.8 + 0.35 * streak);
        if (x < 3 || y < 3) base = Scale(base, 1.25);
        if (x > 60 || y > 60) base = Scale(base, 0.6);
        for (int32_t cx : {8, 56})
            for (int32_t cy : {8, 56}) {
                const double d = std::hypot(x - cx, y - cy);
                if (d < 3.0)
                    base = Scale(Color{0.75, 0.77, 0.80}, 1.1 - 0.25 * (x - cx + y - cy) / 3.0);
                else if (d < 4.0)
                    base = Scale(base, 0.55);
            }
        return base;
    });
}

// Black and white marble checker floor tiles, 64 texels each, with grout.
PixelImage Tiles() {
    return Make(128, 128, [](int32_t x, int32_t y) {
        const int32_t tx = x / 64;
        const int32_t ty = y / 64;
        const int32_t gx = x % 64;
        const int32_t gy = y % 64;
        if (gx < 2 || gy < 2) return Color{0.45, 0.43, 0.40};
        const double vein = Fbm(x, y, 128, 128, 4, 5, 51 + tx + 2 * ty);
        const double line = std::fabs(std::sin((x + y) * 0.05 + vein * 9.0));
        if ((tx + ty) % 2 == 0) {
            Color c = Mix(Color{0.93, 0.92, 0.88}, Color{0.70, 0.70, 0.72}, std::pow(1 - line, 8));
            return Scale(c, 0.9 + 0.1 * vein);
        }
        Color c = Mix(Color{0.10, 0.10, 0.12}, Color{0.40, 0.38, 0.36}, std::pow(1 - line, 8));
        return Scale(c, 0.9 + 0.2 * vein);
    });
}

// Pale veined marble for steps and the dais.
PixelImage Marble() {
    return Make(128, 128, [](int32_t x, int32_t y) {
        const double turbulence = Fbm(x, y, 128, 128, 4, 5, 61);
        const double vein = std::fabs(std::sin(x * 2 * M_PI / 64 + turbulence * 10.0));
        Color base = Mix(Color{0.90, 0.86, 0.80}, Color{0.62, 0.58, 0.56}, std::pow(1 - vein, 6));
        return Scale(base, 0.92 + 0.1 * Fbm(x, y, 128, 128, 16, 2, 62));
    });
}

// Blue sky with soft clouds; tiles in both directions.
PixelImage Sky() {
    return Make(256, 256, [](int32_t x, int32_t y) {
        const double cloud = Fbm(x, y, 256, 256, 4, 6, 71);
        const double amount = std::clamp((cloud - 0.5) * 3.0, 0.0, 1.0);
        return Mix(Color{0.33, 0.55, 0.86}, Color{0.96, 0.97, 0.98}, amount);
    });
}

// Green hedge leaves for the courtyard's planters.
PixelImage Leaves() {
    return Make(64, 64, [](int32_t x, int32_t y) {
        const double n = Fbm(x, y, 64, 64, 8, 4, 81);
        const double spot = Random(x / 2, y / 2, 82);
        Color base = Mix(Color{0.10, 0.28, 0.08}, Color{0.30, 0.55, 0.18}, n);
        if (spot > 0.9) base = Scale(base, 1.3);
        if (spot < 0.1) base = Scale(base, 0.6);
        return base;
    });
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vexmont-texgen DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        const char* name;
        PixelImage (*make)();
    } textures[] = {{"brick", Brick}, {"stone", Stone},   {"planks", Planks}, {"metal", Metal},
                    {"tiles", Tiles}, {"marble", Marble}, {"sky", Sky},       {"leaves", Leaves}};
    for (const auto& t : textures) {
        const PixelImage image = t.make();
        const std::string path = dir + "/" + t.name + ".bmp";
        if (!WriteBitmap(path, image)) {
            std::fprintf(stderr, "vexmont-texgen: cannot write \"%s\"\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
