// Matrix4 and Plane: the two geometric records every stage shares.
//
// Matrix4 is row-major with row vectors multiplied from the left, translation in
// elements 12..14. Apply operations pre-multiply (m := Op x m) so that they act in
// the local frame of m: that is how the camera turns about its own axes.
//
// Every intermediate is a double; a result element is rounded to float once, at the
// store. Sine and cosine are taken in double and rounded to float before use.
#pragma once

#include <cstdint>

struct Matrix4 {
    float m[16];
};

struct Plane {
    float a, b, c, d;
};

struct Point3 {
    float x, y, z;
};

void Matrix4Identity(Matrix4& m);
// out := b x a (b acts first with row vectors). out may alias a or b.
void Matrix4Multiply(const Matrix4& a, const Matrix4& b, Matrix4& out);
void Matrix4RotateX(Matrix4& m, float angle);
void Matrix4RotateY(Matrix4& m, float angle);
void Matrix4RotateZ(Matrix4& m, float angle);
void Matrix4Translate(Matrix4& m, float x, float y, float z);
// dst := affine inverse of src; src and dst must differ. A singular block gives
// non-finite elements: the system only ever inverts rotations and translations.
void Matrix4InvertAffine(const Matrix4& src, Matrix4& dst);

// Unit-normal plane through three points, normal by the right-hand rule over
// p0 -> p1 -> p2. Collinear points give non-finite values.
void PlaneFromPoints(Plane& out, const Point3& p0, const Point3& p1, const Point3& p2);
double PlaneDistance(const Plane& plane, const Point3& p);
