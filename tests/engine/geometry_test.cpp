#include "geometry.h"

#include <gtest/gtest.h>

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
