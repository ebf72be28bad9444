#include "model.h"
#include "gl_entry_table.h"
#include "scene.h"

// Draws the model: one triangle primitive per row, in table order.
void DrawModel()
{
    for (int row = 0; row < ModelTriangleCount; ++row) {
        const ModelTriangle& t = ModelTriangles[row];
        float n[3];
        ModelNormal(t, n);
        DriverGl::glBindTexture(GL_TEXTURE_2D, sceneTextures.modelTexture);
        DriverGl::glBegin(GL_TRIANGLES);
        ::glNormal3f(n[0], n[1], n[2]);
        DriverGl::glTexCoord2f(0.0f, 0.0f);
        DriverGl::glVertex3f(t.p0[0], t.p0[1], t.p0[2]);
        DriverGl::glTexCoord2f(1.0f, 0.0f);
        DriverGl::glVertex3f(t.p1[0], t.p1[1], t.p1[2]);
        DriverGl::glTexCoord2f(1.0f, 1.0f);
        DriverGl::glVertex3f(t.p2[0], t.p2[1], t.p2[2]);
        DriverGl::glEnd();
    }
}
