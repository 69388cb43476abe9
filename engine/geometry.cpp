#include "geometry.h"

#include <cmath>

void faceNormals(int count, const float* vertices, const uint32_t* indices, float* normals)
{
    for (int t = 0; t < count; ++t) {
        const float* p = vertices + 3 * indices[3 * t];
        const float* q = vertices + 3 * indices[3 * t + 1];
        const float* r = vertices + 3 * indices[3 * t + 2];
        float ux = p[0] - q[0], uy = p[1] - q[1], uz = p[2] - q[2];
        float wx = q[0] - r[0], wy = q[1] - r[1], wz = q[2] - r[2];
        float nx = uy * wz - uz * wy;
        float ny = uz * wx - ux * wz;
        float nz = ux * wy - uy * wx;
        double length = std::sqrt(static_cast<double>(nx * nx + ny * ny + nz * nz));
        normals[3 * t] = static_cast<float>(nx / length);
        normals[3 * t + 1] = static_cast<float>(ny / length);
        normals[3 * t + 2] = static_cast<float>(nz / length);
    }
}
