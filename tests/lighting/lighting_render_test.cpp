// What the light does to a textured face: drawn with the scene's light and
// the model texture left bound, a face turned to the eye shows the texture
// colour unchanged, a face turned away or edge-on 0.24 of it, and one turned
// 60 degrees away 0.24 + 0.8 * cos 60 of it.
#include <gtest/gtest.h>

#include <math.h>

#include "lighting_fixture.h"
#include "test_paths.h"

namespace {

const int kQuadrant = 64;
const float kDistance = 5.0f;
const float kHalfSide = 0.4f;
const unsigned char kModelColour[3] = {200, 120, 60};

struct Vector {
    float x, y, z;
};

Vector Scaled(Vector v, float factor)
{
    return {v.x * factor, v.y * factor, v.z * factor};
}

Vector Sum(Vector a, Vector b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vector Unit(Vector v)
{
    return Scaled(v, 1.0f / sqrtf(v.x * v.x + v.y * v.y + v.z * v.z));
}

// How a case turns a vertex's normal, given the unit direction from the
// vertex to the eye (where the light is).
enum class Turn { ToTheEye, Away, EdgeOn, Sixty };

Vector NormalFor(Turn turn, Vector toEye)
{
    // A unit vector square to the direction to the eye.
    Vector across = Unit({0, toEye.z, -toEye.y});
    switch (turn) {
    case Turn::ToTheEye: return {0, 0, 1};
    case Turn::Away: return {0, 0, -1};
    case Turn::EdgeOn: return across;
    case Turn::Sixty: return Sum(Scaled(toEye, 0.5f), Scaled(across, sqrtf(3.0f) / 2));
    }
    return {0, 0, 0};
}

// Draws a square facing the viewer kDistance ahead of the eye, filling the
// middle of one quadrant of the window, with the normals of a case.
void DrawFace(int quadrant, Turn turn)
{
    glViewport((quadrant % 2) * kQuadrant, (quadrant / 2) * kQuadrant, kQuadrant, kQuadrant);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    glBegin(GL_QUADS);
    for (const float* corner : corners) {
        Vector vertex = {corner[0] * kHalfSide, corner[1] * kHalfSide, -kDistance};
        Vector normal = NormalFor(turn, Unit(Scaled(vertex, -1)));
        glNormal3f(normal.x, normal.y, normal.z);
        glTexCoord2f(0.5f + corner[0] / 4, 0.5f + corner[1] / 4);
        glVertex3f(vertex.x, vertex.y, vertex.z);
    }
    glEnd();
}

// The pixel in the middle of a quadrant.
void ExpectQuadrantColour(const Picture& frame, int quadrant, float brightness, const char* what)
{
    int x = (quadrant % 2) * kQuadrant + kQuadrant / 2;
    int y = (quadrant / 2) * kQuadrant + kQuadrant / 2;
    const unsigned char* pixel = &frame.rgb[(y * frame.width + x) * 3];
    for (int channel = 0; channel < 3; ++channel)
        EXPECT_NEAR(brightness * kModelColour[channel], pixel[channel], 3.0)
            << what << ", channel " << channel;
}

typedef SceneContextTest SceneLightingRender;

TEST_F(SceneLightingRender, FacesShowTheTextureAsLitByTheLightAtTheEye)
{
    ASSERT_NO_FATAL_FAILURE(StartContext("opengl32.dll", true, 2 * kQuadrant, 2 * kQuadrant));
    ASSERT_NO_FATAL_FAILURE(WritePictures(SolidPicture(8, 8, 0, 0, 255),
                                          SolidPicture(8, 8, 255, 255, 255),
                                          SolidPicture(8, 8, kModelColour[0], kModelColour[1],
                                                       kModelColour[2])));
    InitSceneLightingQuietly();

    // The model-view matrix stays the identity the light was placed with;
    // the texture drawn with is the one the set-up left bound.
    glMatrixMode(GL_PROJECTION);
    glFrustum(-0.1, 0.1, -0.1, 0.1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    DrawFace(0, Turn::ToTheEye);
    DrawFace(1, Turn::Away);
    DrawFace(2, Turn::EdgeOn);
    DrawFace(3, Turn::Sixty);
    glFinish();

    Picture frame;
    frame.width = frame.height = 2 * kQuadrant;
    frame.rgb.resize(frame.width * frame.height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    WritePictureFile(TestOutputPath("lighting_faces.bmp"), frame);

    ExpectQuadrantColour(frame, 0, 1.0f, "face turned to the eye");
    ExpectQuadrantColour(frame, 1, 0.24f, "face turned away");
    ExpectQuadrantColour(frame, 2, 0.24f, "face edge-on");
    ExpectQuadrantColour(frame, 3, 0.64f, "face turned 60 degrees away");
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

}  // namespace
