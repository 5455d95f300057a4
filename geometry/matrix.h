// Matrix4: the 4x4 transform of the camera, the view and the map.
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
