#include "scene_frame.h"

#include <math.h>

#include "gl_entry_table.h"
#include "model.h"
#include "scene.h"
#include <GL/glu.h>

SceneState sceneState;

namespace {

// Per-frame increments, single precision as the animation has always used.
const float kModelPhaseStep = 0.025f;
const float kSkyPhaseStep = 0.015f;
const float kStarsSpinStep = 0.05f;
const float kCloudSpinStep = 0.1f;

// One cycle of a phase (radians) and one turn of an angle (degrees).
const double kPhaseCycle = 6.283185307179586;
const double kFullTurn = 360.0;

// Rounds a value to a float, the one way every value the scene keeps is
// rounded. The 32-bit build computes on the x87 unit, which holds values in
// extended precision and would otherwise go on with unrounded ones; passing
// through a float in memory makes both builds keep the same value.
float RoundToFloat(double value)
{
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// The value one step further, kept within one period: [0, period) for a
// value that grows, (-period, 0] for one that falls. Every sum here is exact
// before the rounding, so both builds keep the same value.
float StepWithinPeriod(float value, double step, double period)
{
    float next = RoundToFloat(value + step);
    if (next >= period)
        next = RoundToFloat(next - period);
    else if (next <= -period)
        next = RoundToFloat(next + period);
    return next;
}

// One square sky quad: its texture, half size, plane, texture repeat and
// the three angles that turn it.
struct SkyLayer {
    const GLuint* texture;
    float halfSize;
    float plane;
    float repeat;
    const float* tiltX;
    const float* tiltY;
    const float* spin;
};

// Far stars, near stars, cloud, in drawing order.
const SkyLayer kSkyLayers[] = {
    {&sceneTextures.starsTexture, 70.0f, -40.0f, 2.0f,
     &sceneState.starsTiltX, &sceneState.starsTiltY, &sceneState.starsSpin},
    {&sceneTextures.starsTexture, 55.0f, -35.0f, 1.0f,
     &sceneState.starsTiltX, &sceneState.starsTiltY, &sceneState.starsSpin},
    {&sceneTextures.cloudTexture, 150.0f, -32.0f, 3.0f,
     &sceneState.cloudTiltX, &sceneState.cloudTiltY, &sceneState.cloudSpin},
};

// Draws one sky layer, its transform rebuilt from the identity.
void DrawSkyLayer(const SkyLayer& layer)
{
    const float h = layer.halfSize;
    const float z = layer.plane;
    const float r = layer.repeat;
    DriverGl::glLoadIdentity();
    DriverGl::glTranslatef(0.0f, 0.0f, -50.0f);
    DriverGl::glRotatef(*layer.tiltX, 1.0f, 0.0f, 0.0f);
    DriverGl::glRotatef(*layer.tiltY, 0.0f, 1.0f, 0.0f);
    DriverGl::glRotatef(*layer.spin, 0.0f, 0.0f, 1.0f);
    DriverGl::glBindTexture(GL_TEXTURE_2D, *layer.texture);
    DriverGl::glBegin(GL_QUADS);
    ::glNormal3f(0.0f, 1.0f, 1.0f);
    DriverGl::glTexCoord2f(0.0f, 0.0f);
    DriverGl::glVertex3f(-h, -h, z);
    DriverGl::glTexCoord2f(r, 0.0f);
    DriverGl::glVertex3f(h, -h, z);
    DriverGl::glTexCoord2f(r, r);
    DriverGl::glVertex3f(h, h, z);
    DriverGl::glTexCoord2f(0.0f, r);
    DriverGl::glVertex3f(-h, h, z);
    DriverGl::glEnd();
}

// Clears the window and sets the state every frame starts from; the values
// set after the clear are the OpenGL defaults, so the first clear is the same.
void BeginFrame()
{
    DriverGl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DriverGl::glEnable(GL_BLEND);
    DriverGl::glEnable(GL_DEPTH_TEST);
    DriverGl::glEnable(GL_TEXTURE_2D);
    DriverGl::glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    DriverGl::glClearDepth(1.0);
    DriverGl::glDepthFunc(GL_LESS);
    DriverGl::glShadeModel(GL_SMOOTH);
}

// Draws the model and the three sky layers added onto it, seen through a
// 45-degree perspective of the given aspect.
void DrawScene(double aspect)
{
    DriverGl::glMatrixMode(GL_PROJECTION);
    DriverGl::glLoadIdentity();
    ::gluPerspective(45.0, aspect, 0.1f, 100.0);
    DriverGl::glMatrixMode(GL_MODELVIEW);

    DriverGl::glEnable(GL_NORMALIZE);
    DriverGl::glLoadIdentity();
    DriverGl::glTranslatef(0.0f, -10.0f, -65.0f);
    DriverGl::glRotatef(sceneState.modelPitch, 1.0f, 0.0f, 0.0f);
    DriverGl::glRotatef(sceneState.modelYaw, 0.0f, 1.0f, 0.0f);
    DriverGl::glRotatef(sceneState.modelSpin, 0.0f, 0.0f, 1.0f);
    DrawModel();

    DriverGl::glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (const SkyLayer& layer : kSkyLayers)
        DrawSkyLayer(layer);
    DriverGl::glBlendFunc(GL_SRC_ALPHA, GL_ZERO);
}

// The aspect of a window, rounded to a float. A zero height (a minimised
// window) counts as a height of 1.
float WindowAspect(int width, int height)
{
    return RoundToFloat(static_cast<double>(width) / (height > 0 ? height : 1));
}

}  // namespace

void StepSceneAnimation()
{
    SceneState& s = sceneState;
    // Each value is computed in double precision and kept as a float; the
    // phases and spins stay within one cycle or turn.
    s.modelPhase = StepWithinPeriod(s.modelPhase, kModelPhaseStep, kPhaseCycle);
    s.skyPhase = StepWithinPeriod(s.skyPhase, kSkyPhaseStep, kPhaseCycle);
    s.starsTiltX = RoundToFloat(8.0 * cos(static_cast<double>(s.skyPhase)));
    s.starsTiltY = RoundToFloat(8.0 * sin(static_cast<double>(s.skyPhase)));
    s.starsSpin = StepWithinPeriod(s.starsSpin, kStarsSpinStep, kFullTurn);
    s.cloudTiltX = RoundToFloat(8.0 * cos(static_cast<double>(s.skyPhase)));
    s.cloudTiltY = RoundToFloat(8.0 * sin(static_cast<double>(s.skyPhase)));
    s.cloudSpin = StepWithinPeriod(s.cloudSpin, -kCloudSpinStep, kFullTurn);
    s.modelPitch = RoundToFloat(-7.0 * cos(static_cast<double>(s.modelPhase)) - 90.0);
    s.modelYaw = RoundToFloat(-7.0 * sin(static_cast<double>(s.modelPhase)));
    s.modelSpin = StepWithinPeriod(s.modelSpin, 0.75, kFullTurn);
}

void DrawSceneFrame()
{
    BeginFrame();
    DrawScene(4.0 / 3.0);
    StepSceneAnimation();
}

void DrawSceneFrameInViews(const SceneView* views, int count)
{
    BeginFrame();
    for (int i = 0; i < count; ++i) {
        const SceneView& view = views[i];
        DriverGl::glViewport(view.x, view.y, view.width, view.height);
        DrawScene(static_cast<double>(view.width) / (view.height > 0 ? view.height : 1));
    }
    StepSceneAnimation();
}

void ResizeScene(int width, int height)
{
    DriverGl::glViewport(0, 0, width, height);
    DriverGl::glMatrixMode(GL_PROJECTION);
    DriverGl::glLoadIdentity();
    // The exact product of the two floats: it fits a double, so every build
    // passes the same value whatever precision it computes in.
    const double halfHeight = static_cast<double>(2.605f) * static_cast<double>(WindowAspect(width, height));
    DriverGl::glFrustum(-4.0, 4.0, -halfHeight, halfHeight, 4.0, 4096.0);
    DriverGl::glTranslatef(0.0f, 0.0f, -5.0f);
    DriverGl::glMatrixMode(GL_MODELVIEW);
    DriverGl::glLoadIdentity();
}
