#include "geometry/projection.h"

#include <cmath>

int32_t ViewWidth = 0;
int32_t ViewHeight = 0;
float FocalLength = 0.0f;
Plane FrustumPlanes[4] = {};

namespace {
constexpr double QuarterPi = 0.7853981633974483;
} // namespace

int SetupProjection(int32_t width, int32_t height) {
    ViewWidth = width;
    ViewHeight = height;
    FocalLength = float(std::fabs(double(float(width)) / (2.0 * std::tan(QuarterPi))));
    BuildFrustumPlanes(float(width) - FrustumMargin, float(height) - FrustumMargin, FocalLength,
                       FrustumPlanes);
    return 1;
}

void BuildFrustumPlanes(float w, float h, float focal, Plane planes[4]) {
    const float k = float(2.0 * focal);
    const float e = float(double(w) / k);
    const float f = float(double(h) / k);
    const Point3 origin{0.0f, 0.0f, 0.0f};
    PlaneFromPoints(planes[0], origin, {e, 0.0f, 1.0f}, {e, 1.0f, 1.0f});
    PlaneFromPoints(planes[1], origin, {-e, 1.0f, 1.0f}, {-e, 0.0f, 1.0f});
    PlaneFromPoints(planes[2], origin, {0.0f, -f, 1.0f}, {1.0f, -f, 1.0f});
    PlaneFromPoints(planes[3], origin, {1.0f, f, 1.0f}, {0.0f, f, 1.0f});
}
