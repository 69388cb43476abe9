#include "geometry.h"
#include "gl_context.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

TEST(FaceNormals, UnitNormalOfEachTriangleAtItsOwnPosition)
{
    const float vertices[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 5};
    const uint32_t indices[] = {0, 1, 2, 0, 3, 1};
    float normals[6] = {};
    faceNormals(2, vertices, indices, normals);
    // (P - Q) x (Q - R) for P=0, Q=x, R=y: (-1,0,0) x (1,-1,0) = (0,0,1).
    EXPECT_FLOAT_EQ(normals[0], 0);
    EXPECT_FLOAT_EQ(normals[1], 0);
    EXPECT_FLOAT_EQ(normals[2], 1);
    // P=0, Q=5z, R=x: (0,0,-5) x (-1,0,5) = (0,5,0), normalised.
    EXPECT_FLOAT_EQ(normals[3], 0);
    EXPECT_FLOAT_EQ(normals[4], 1);
    EXPECT_FLOAT_EQ(normals[5], 0);
}

TEST(FaceNormals, DegenerateTriangleGivesNotANumberWithoutTrapping)
{
    const float vertices[] = {1, 1, 1, 2, 2, 2, 3, 3, 3};
    const uint32_t indices[] = {0, 1, 2};
    float normals[3] = {};
    faceNormals(1, vertices, indices, normals);
    EXPECT_TRUE(std::isnan(normals[0]));
}

// OpenGL's own matrix stack is the reference: the same calls in the same
// order place a point where Affine places it.
TEST(Affine, PlacesPointsAsTheModelViewMatrixDoes)
{
    ensureGlContext();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(3, -2, 5);
    glRotatef(37, 1, 1, 1);
    glTranslatef(0, 0, -6);
    glRotatef(-90, 0, 1, 0);
    glRotatef(250, 0.5f, -2, 0.25f);
    glRotatef(45, 0, 0, 0); // no axis: OpenGL leaves the matrix alone
    GLdouble gl[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, gl);
    glPopMatrix();
    Affine a = Affine{}
                   .translated(3, -2, 5)
                   .rotated(37, 1, 1, 1)
                   .translated(0, 0, -6)
                   .rotated(-90, 0, 1, 0)
                   .rotated(250, 0.5, -2, 0.25)
                   .rotated(45, 0, 0, 0);
    for (const auto& p : {std::array<double, 3>{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-4, 2.5, 7}}) {
        float placed[3];
        a.apply(p[0], p[1], p[2], placed);
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(placed[r], gl[r] * p[0] + gl[4 + r] * p[1] + gl[8 + r] * p[2] + gl[12 + r], 1e-5) << r;
    }
}
