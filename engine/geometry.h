// Geometry helpers shared by the mesh effects.
#pragma once

#include <cstdint>

// For each of count triangles (consecutive index triples P, Q, R) writes the
// unit normal of (P - Q) x (Q - R) at the triangle's own position in normals
// (3 floats per triangle). A degenerate triangle yields NaN components.
void faceNormals(int count, const float* vertices, const uint32_t* indices, float* normals);

// An affine transform of points, composed the way OpenGL composes the
// model-view matrix: each call multiplies on the right, so the last one named
// acts first on a point. Used to place on the CPU the vertices that an effect
// hands over in one array instead of a matrix call per piece.
struct Affine {
    // Row r maps a point to coordinate r: m[r][0..2] . p + m[r][3].
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    Affine translated(double x, double y, double z) const;
    // A rotation as glRotate defines it: degrees about the axis (x, y, z),
    // which need not be of unit length.
    Affine rotated(double degrees, double x, double y, double z) const;
    Affine operator*(const Affine& right) const;
    // Writes the transformed point as 3 floats.
    void apply(double x, double y, double z, float* out) const;
};
