#include "geometry/matrix.h"

#include <cmath>

void Matrix4Identity(Matrix4& m) {
    for (int i = 0; i < 16; ++i)
        m.m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void Matrix4Multiply(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    // Formed in a temporary so that out may be a or b.
    float t[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const double s = double(b.m[4 * r]) * a.m[c] + double(b.m[4 * r + 1]) * a.m[4 + c] +
                             double(b.m[4 * r + 2]) * a.m[8 + c] +
                             double(b.m[4 * r + 3]) * a.m[12 + c];
            t[4 * r + c] = float(s);
        }
    }
    for (int i = 0; i < 16; ++i)
        out.m[i] = t[i];
}

namespace {

struct SinCos {
    float s, c;
};

SinCos AngleSinCos(float angle) {
    return {float(std::sin(double(angle))), float(std::cos(double(angle)))};
}

} // namespace

void Matrix4RotateX(Matrix4& m, float angle) {
    const SinCos sc = AngleSinCos(angle);
    Matrix4 t;
    Matrix4Identity(t);
    t.m[5] = sc.c;
    t.m[6] = sc.s;
    t.m[9] = -sc.s;
    t.m[10] = sc.c;
    Matrix4Multiply(m, t, m);
}

void Matrix4RotateY(Matrix4& m, float angle) {
    const SinCos sc = AngleSinCos(angle);
    Matrix4 t;
    Matrix4Identity(t);
    t.m[0] = sc.c;
    t.m[2] = -sc.s;
    t.m[8] = sc.s;
    t.m[10] = sc.c;
    Matrix4Multiply(m, t, m);
}

void Matrix4RotateZ(Matrix4& m, float angle) {
    const SinCos sc = AngleSinCos(angle);
    Matrix4 t;
    Matrix4Identity(t);
    t.m[0] = sc.c;
    t.m[1] = sc.s;
    t.m[4] = -sc.s;
    t.m[5] = sc.c;
    Matrix4Multiply(m, t, m);
}

void Matrix4Translate(Matrix4& m, float x, float y, float z) {
    Matrix4 t;
    Matrix4Identity(t);
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    Matrix4Multiply(m, t, m);
}

void Matrix4InvertAffine(const Matrix4& src, Matrix4& dst) {
    const float* m = src.m;
    const auto p = [m](int i, int j) { return double(m[i]) * m[j]; };
    const auto p3 = [m](int i, int j, int k) { return double(m[i]) * m[j] * m[k]; };
    // det is stored as a float first; every element is then (double numerator) / det.
    const double det =
        float(p3(0, 5, 10) + p3(1, 6, 8) + p3(2, 4, 9) - p3(2, 5, 8) - p3(1, 4, 10) - p3(0, 6, 9));
    float* d = dst.m;
    d[0] = float((p(5, 10) - p(6, 9)) / det);
    d[1] = float((p(2, 9) - p(1, 10)) / det);
    d[2] = float((p(1, 6) - p(2, 5)) / det);
    d[4] = float((p(6, 8) - p(4, 10)) / det);
    d[5] = float((p(0, 10) - p(2, 8)) / det);
    d[6] = float((p(2, 4) - p(0, 6)) / det);
    d[8] = float((p(4, 9) - p(5, 8)) / det);
    d[9] = float((p(1, 8) - p(0, 9)) / det);
    d[10] = float((p(0, 5) - p(1, 4)) / det);
    d[12] = float((p3(6, 9, 12) + p3(4, 10, 13) + p3(5, 8, 14) - p3(6, 8, 13) - p3(4, 9, 14) -
                   p3(5, 10, 12)) /
                  det);
    d[13] = float((p3(0, 9, 14) + p3(2, 8, 13) + p3(1, 10, 12) - p3(2, 9, 12) - p3(1, 8, 14) -
                   p3(0, 10, 13)) /
                  det);
    d[14] = float(
        (p3(2, 5, 12) + p3(0, 6, 13) + p3(1, 4, 14) - p3(0, 5, 14) - p3(2, 4, 13) - p3(1, 6, 12)) /
        det);
    d[3] = d[7] = d[11] = 0.0f;
    d[15] = 1.0f;
}
