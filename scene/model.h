#pragma once
// The model at the centre of the scene: a constant table of triangles in the
// model's own coordinates, drawn every frame by DrawModel.

// One row of the model: three corners, wound clockwise seen from outside
// the piece of the model they belong to.
struct ModelTriangle {
    float p0[3], p1[3], p2[3];
};

const int ModelTriangleCount = 276;
extern const ModelTriangle ModelTriangles[ModelTriangleCount];

// Face normal of a row, (p2 - p0) x (p1 - p0) in single precision, not
// normalised; it points out of the row's piece.
inline void ModelNormal(const ModelTriangle& row, float n[3])
{
    const float a[3] = { row.p2[0] - row.p0[0], row.p2[1] - row.p0[1], row.p2[2] - row.p0[2] };
    const float b[3] = { row.p1[0] - row.p0[0], row.p1[1] - row.p0[1], row.p1[2] - row.p0[2] };
    n[0] = a[1] * b[2] - a[2] * b[1];
    n[1] = a[2] * b[0] - a[0] * b[2];
    n[2] = a[0] * b[1] - a[1] * b[0];
}

// Draws every row with the model texture bound, its face normal and the
// texture coordinates (0, 0), (1, 0), (1, 1) at p0, p1, p2. Needs a current
// GL context with the model's placement on the model-view matrix.
void DrawModel();
