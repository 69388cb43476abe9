#include "geometry.h"

#include <cmath>
#include <numbers>

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

Affine Affine::operator*(const Affine& right) const
{
    Affine product;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = c == 3 ? m[r][3] : 0;
            for (int k = 0; k < 3; ++k)
                sum += m[r][k] * right.m[k][c];
            product.m[r][c] = sum;
        }
    }
    return product;
}

Affine Affine::translated(double x, double y, double z) const
{
    Affine move;
    move.m[0][3] = x;
    move.m[1][3] = y;
    move.m[2][3] = z;
    return *this * move;
}

Affine Affine::rotated(double degrees, double x, double y, double z) const
{
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0)
        return *this;
    x /= length, y /= length, z /= length;
    double radians = degrees * std::numbers::pi / 180;
    double s = std::sin(radians), c = std::cos(radians), k = 1 - c;
    Affine turn;
    turn.m[0][0] = x * x * k + c, turn.m[0][1] = x * y * k - z * s, turn.m[0][2] = x * z * k + y * s;
    turn.m[1][0] = y * x * k + z * s, turn.m[1][1] = y * y * k + c, turn.m[1][2] = y * z * k - x * s;
    turn.m[2][0] = z * x * k - y * s, turn.m[2][1] = z * y * k + x * s, turn.m[2][2] = z * z * k + c;
    return *this * turn;
}

void Affine::apply(double x, double y, double z, float* out) const
{
    for (int r = 0; r < 3; ++r)
        out[r] = static_cast<float>(m[r][0] * x + m[r][1] * y + m[r][2] * z + m[r][3]);
}
