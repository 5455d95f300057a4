#include "geometry/plane.h"

#include <cmath>

void PlaneFromPoints(Plane& out, const Point3& p0, const Point3& p1, const Point3& p2) {
    const Vector3d n = Cross(Difference(p1, p0), Difference(p2, p0));
    const double len = float(std::sqrt(Dot(n, n)));
    out.a = float(n.x / len);
    out.b = float(n.y / len);
    out.c = float(n.z / len);
    out.d = float(-NormalDot(out, p0));
}
