// Geometry helpers shared by the mesh effects.
#pragma once

#include <cstdint>

// For each of count triangles (consecutive index triples P, Q, R) writes the
// unit normal of (P - Q) x (Q - R) at the triangle's own position in normals
// (3 floats per triangle). A degenerate triangle yields NaN components.
void faceNormals(int count, const float* vertices, const uint32_t* indices, float* normals);
