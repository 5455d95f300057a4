// Plane and Point3, and the two computations every plane comes from: the cross product of
// two edges and the signed distance of a point.
//
// The signed distance of p from Plane (a, b, c, d) is a·p.x + b·p.y + c·p.z + d, taken in
// double in that term order; it is positive on the side the normal (a, b, c) points to.
#pragma once

struct Plane {
    float a, b, c, d;
};

struct Point3 {
    float x, y, z;
};

// An edge or a normal in double precision.
struct Vector3d {
    double x, y, z;
};

// to - from for any record with float x, y, z; each coordinate is widened before the
// subtraction.
template <typename P> Vector3d Difference(const P& to, const P& from) {
    return {double(to.x) - from.x, double(to.y) - from.y, double(to.z) - from.z};
}

inline Vector3d Cross(const Vector3d& e1, const Vector3d& e2) {
    return {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
}

inline double Dot(const Vector3d& a, const Vector3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// a·p.x + b·p.y + c·p.z for any record with float x, y, z (Point3, MapVertex, ClipVertex).
template <typename P> double NormalDot(const Plane& plane, const P& p) {
    return double(plane.a) * p.x + double(plane.b) * p.y + double(plane.c) * p.z;
}

// Signed distance of any record with float x, y, z.
template <typename P> double PlaneDistance(const Plane& plane, const P& p) {
    return NormalDot(plane, p) + plane.d;
}
inline double PlaneDistance(const Plane& plane, const Point3& p) {
    return PlaneDistance<Point3>(plane, p);
}

// Unit-normal plane through three points, normal by the right-hand rule over
// p0 -> p1 -> p2. The length of the normal is rounded to float before the division: the
// frustum planes, and so every frame, depend on that rounding. Collinear points give
// non-finite values.
void PlaneFromPoints(Plane& out, const Point3& p0, const Point3& p1, const Point3& p2);
