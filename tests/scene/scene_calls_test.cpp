// DrawSceneFrame, DrawModel and ResizeScene call by call, with a recording
// double as the driver library. The calls that go to the platform's own
// libraries (glNormal3f, gluPerspective) are caught in this program's import
// table and merged into the driver's log where they happened, so that one
// list holds the whole frame. The expected lists are built here from the
// description of the frame, not by running the scene's code.
#include <gtest/gtest.h>

#include <math.h>
#include <stdarg.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include <GL/glu.h>

#include "gl_driver.h"
#include "import_hook.h"
#include "model.h"
#include "recorder_api.h"
#include "scene.h"
#include "scene_context.h"
#include "scene_frame.h"

namespace {

// printf into a string.
std::string Line(const char* format, ...)
{
    char text[400];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// A call to the platform's libraries, with the number of driver calls logged
// before it.
struct PlatformCall {
    int position;
    std::string text;
};

// What the import hooks below see and where they pass the calls on.
struct PlatformCatch {
    const RecorderApi* recorder;
    std::vector<PlatformCall> calls;
    void(APIENTRY* normal)(GLfloat, GLfloat, GLfloat);
    void(APIENTRY* perspective)(GLdouble, GLdouble, GLdouble, GLdouble);
};
PlatformCatch caught;

void APIENTRY CatchNormal(GLfloat x, GLfloat y, GLfloat z)
{
    caught.calls.push_back({caught.recorder->count(), Line("glNormal3f(%.9g, %.9g, %.9g)", x, y, z)});
    caught.normal(x, y, z);
}

void APIENTRY CatchPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    caught.calls.push_back({caught.recorder->count(),
                            Line("gluPerspective(%.17g, %.17g, %.17g, %.17g)", fovy, aspect, zNear, zFar)});
    caught.perspective(fovy, aspect, zNear, zFar);
}

// The driver's log with the caught platform calls put in their places.
std::vector<std::string> MergedCalls(const std::vector<std::string>& driver,
                                     const std::vector<PlatformCall>& platform)
{
    std::vector<std::string> merged;
    size_t next = 0;
    for (size_t i = 0; i <= driver.size(); ++i) {
        while (next < platform.size() && platform[next].position == static_cast<int>(i))
            merged.push_back(platform[next++].text);
        if (i < driver.size())
            merged.push_back(driver[i]);
    }
    return merged;
}

// Equal call lists; otherwise the first difference with a few calls around it.
::testing::AssertionResult SameCalls(const std::vector<std::string>& expected,
                                     const std::vector<std::string>& actual)
{
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i])
        ++i;
    if (i == expected.size() && i == actual.size())
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << expected.size() << " calls expected, " << actual.size() << " made; first difference at "
            << i << "\n";
    for (size_t j = i >= 3 ? i - 3 : 0; j < i + 4 && (j < expected.size() || j < actual.size()); ++j)
        failure << (j == i ? "> " : "  ") << j << ": want "
                << (j < expected.size() ? expected[j] : "(nothing)") << "\n     got  "
                << (j < actual.size() ? actual[j] : "(nothing)") << "\n";
    return failure;
}

// The angles one frame draws with.
struct FrameAngles {
    float modelPitch, modelYaw, modelSpin;
    float skyTiltX, skyTiltY;
    float starsSpin, cloudSpin;
};

// The angles of the first frame: nothing has turned yet.
const FrameAngles kFirstFrame = {};

// The angles after one step of the animation, worked out from its rules:
// the phases advance by the float increments, the angles follow in double
// precision and are kept as floats.
FrameAngles AnglesAfterOneStep()
{
    const double modelPhase = 0.0f + 0.025f;
    const double skyPhase = 0.0f + 0.015f;
    FrameAngles angles;
    angles.modelPitch = static_cast<float>(-90.0 - 7.0 * cos(modelPhase));
    angles.modelYaw = static_cast<float>(-7.0 * sin(modelPhase));
    angles.modelSpin = 0.75f;
    angles.skyTiltX = static_cast<float>(8.0 * cos(skyPhase));
    angles.skyTiltY = static_cast<float>(8.0 * sin(skyPhase));
    angles.starsSpin = 0.05f;
    angles.cloudSpin = -0.1f;
    return angles;
}

// The fake texture names the frame is drawn with, distinct so that each
// bind tells which texture it is.
const SceneTextures kTextures = {11, 12, 13};  // model, stars, cloud

std::string Rotate(float angle, int x, int y, int z)
{
    return Line("glRotatef(%.9g, %d, %d, %d)", angle, x, y, z);
}

std::string Vertex(const float p[3])
{
    return Line("glVertex3f(%.9g, %.9g, %.9g)", p[0], p[1], p[2]);
}

// The face normal of a row, (p2 - p0) x (p1 - p0); on the model's 1/64 grid
// every product is exact in single precision.
std::string FaceNormal(const ModelTriangle& row)
{
    const float* a = row.p0;
    const float* b = row.p1;
    const float* c = row.p2;
    const float u[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float v[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    return Line("glNormal3f(%.9g, %.9g, %.9g)", u[1] * v[2] - u[2] * v[1],
                u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
}

// The model: per row a bind, one triangle with its normal before the
// corners, and the texture coordinates (0, 0), (1, 0), (1, 1).
void AddModel(std::vector<std::string>& calls)
{
    for (const ModelTriangle& row : ModelTriangles) {
        calls.push_back(Line("glBindTexture(0x%04X, %u)", GL_TEXTURE_2D, kTextures.modelTexture));
        calls.push_back(Line("glBegin(0x%04X)", GL_TRIANGLES));
        calls.push_back(FaceNormal(row));
        calls.push_back("glTexCoord2f(0, 0)");
        calls.push_back(Vertex(row.p0));
        calls.push_back("glTexCoord2f(1, 0)");
        calls.push_back(Vertex(row.p1));
        calls.push_back("glTexCoord2f(1, 1)");
        calls.push_back(Vertex(row.p2));
        calls.push_back("glEnd()");
    }
}

// One sky quad: half size h, plane z, texture repeat r.
void AddSkyLayer(std::vector<std::string>& calls, float tiltX, float tiltY, float spin,
                 GLuint texture, int h, int z, int r)
{
    calls.push_back("glLoadIdentity()");
    calls.push_back("glTranslatef(0, 0, -50)");
    calls.push_back(Rotate(tiltX, 1, 0, 0));
    calls.push_back(Rotate(tiltY, 0, 1, 0));
    calls.push_back(Rotate(spin, 0, 0, 1));
    calls.push_back(Line("glBindTexture(0x%04X, %u)", GL_TEXTURE_2D, texture));
    calls.push_back(Line("glBegin(0x%04X)", GL_QUADS));
    calls.push_back("glNormal3f(0, 1, 1)");
    calls.push_back("glTexCoord2f(0, 0)");
    calls.push_back(Line("glVertex3f(%d, %d, %d)", -h, -h, z));
    calls.push_back(Line("glTexCoord2f(%d, 0)", r));
    calls.push_back(Line("glVertex3f(%d, %d, %d)", h, -h, z));
    calls.push_back(Line("glTexCoord2f(%d, %d)", r, r));
    calls.push_back(Line("glVertex3f(%d, %d, %d)", h, h, z));
    calls.push_back(Line("glTexCoord2f(0, %d)", r));
    calls.push_back(Line("glVertex3f(%d, %d, %d)", -h, h, z));
    calls.push_back("glEnd()");
}

// Every call of one frame drawn with the given angles.
std::vector<std::string> ExpectedFrame(const FrameAngles& a)
{
    std::vector<std::string> calls = {
        Line("glClear(0x%04X)", GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT),
        Line("glEnable(0x%04X)", GL_BLEND),
        Line("glEnable(0x%04X)", GL_DEPTH_TEST),
        Line("glEnable(0x%04X)", GL_TEXTURE_2D),
        "glClearColor(0, 0, 0, 0)",
        "glClearDepth(1)",
        Line("glDepthFunc(0x%04X)", GL_LESS),
        Line("glShadeModel(0x%04X)", GL_SMOOTH),
        Line("glMatrixMode(0x%04X)", GL_PROJECTION),
        "glLoadIdentity()",
        // 45 degrees, the double 4/3, the float 0.1 widened, 100.
        "gluPerspective(45, 1.3333333333333333, 0.10000000149011612, 100)",
        Line("glMatrixMode(0x%04X)", GL_MODELVIEW),
        Line("glEnable(0x%04X)", GL_NORMALIZE),
        "glLoadIdentity()",
        "glTranslatef(0, -10, -65)",
        Rotate(a.modelPitch, 1, 0, 0),
        Rotate(a.modelYaw, 0, 1, 0),
        Rotate(a.modelSpin, 0, 0, 1),
    };
    AddModel(calls);
    calls.push_back(Line("glBlendFunc(0x%04X, 0x%04X)", GL_SRC_ALPHA, GL_ONE));
    AddSkyLayer(calls, a.skyTiltX, a.skyTiltY, a.starsSpin, kTextures.starsTexture, 70, -40, 2);
    AddSkyLayer(calls, a.skyTiltX, a.skyTiltY, a.starsSpin, kTextures.starsTexture, 55, -35, 1);
    AddSkyLayer(calls, a.skyTiltX, a.skyTiltY, a.cloudSpin, kTextures.cloudTexture, 150, -32, 3);
    calls.push_back(Line("glBlendFunc(0x%04X, 0x%04X)", GL_SRC_ALPHA, GL_ZERO));
    return calls;
}

// Every call of ResizeScene for a window whose frustum half height is top.
std::vector<std::string> ExpectedResize(int width, int height, double top)
{
    return {
        Line("glViewport(0, 0, %d, %d)", width, height),
        Line("glMatrixMode(0x%04X)", GL_PROJECTION),
        "glLoadIdentity()",
        Line("glFrustum(-4, 4, %.17g, %.17g, 4, 4096)", -top, top),
        "glTranslatef(0, 0, -5)",
        Line("glMatrixMode(0x%04X)", GL_MODELVIEW),
        "glLoadIdentity()",
    };
}

// True when value printed with six significant digits reads as expected.
::testing::AssertionResult ReadsAs(const char* expected, float value)
{
    std::string printed = Line("%.6g", value);
    if (printed == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "reads " << printed << ", want " << expected;
}

typedef float Matrix[16];  // column by column, as OpenGL keeps it

// The perspective matrix of a vertical field of view in degrees, an aspect
// and near and far planes.
void PerspectiveMatrix(double fovy, double aspect, double zNear, double zFar, Matrix m)
{
    const double pi = 3.14159265358979323846;
    const double f = 1.0 / tan(fovy * pi / 360.0);
    for (int i = 0; i < 16; ++i)
        m[i] = 0.0f;
    m[0] = static_cast<float>(f / aspect);
    m[5] = static_cast<float>(f);
    m[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
    m[11] = -1.0f;
    m[14] = static_cast<float>(2.0 * zFar * zNear / (zNear - zFar));
}

// The frustum matrix of ResizeScene (x from -4 to 4, y from -top to top,
// planes 4 and 4096) followed by a move of 5 away from the eye.
void ResizeMatrix(double top, Matrix m)
{
    const double zNear = 4.0, zFar = 4096.0;
    const double c = (zFar + zNear) / (zNear - zFar);
    const double d = 2.0 * zFar * zNear / (zNear - zFar);
    for (int i = 0; i < 16; ++i)
        m[i] = 0.0f;
    m[0] = 1.0f;  // 2 * near / (right - left)
    m[5] = static_cast<float>(zNear / top);
    m[10] = static_cast<float>(c);
    m[11] = -1.0f;
    m[14] = static_cast<float>(d - 5.0 * c);
    m[15] = 5.0f;
}

// Elements equal within a relative tolerance.
::testing::AssertionResult SameMatrix(const Matrix expected, const Matrix actual)
{
    for (int i = 0; i < 16; ++i)
        if (fabs(expected[i] - actual[i]) > 1e-6 * (1.0 + fabs(expected[i])))
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual[i] << ", want " << expected[i];
    return ::testing::AssertionSuccess();
}

// Reads one GL state vector from the platform library (not logged).
std::vector<float> StateFloats(GLenum name, int count)
{
    std::vector<float> values(16, NAN);
    ::glGetFloatv(name, values.data());
    values.resize(count);
    return values;
}

std::vector<int> StateInts(GLenum name, int count)
{
    std::vector<int> values(16, -1);
    ::glGetIntegerv(name, values.data());
    values.resize(count);
    return values;
}

// Each case starts with the recording double loaded as the driver library,
// a current context in a hidden window, the fake texture names, the
// animation at its start and the platform calls caught.
class SceneCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, LoadDriverLibrary(DoublePath("gl-recorder", "3dfxgl.dll").c_str()));
        ASSERT_TRUE(BindRecorder(glEntries.driverLibrary, recorder));
        scene.reset(new SceneContext(false, 64, 64));
        ASSERT_NE(nullptr, scene->context);
        sceneState = SceneState();
        sceneTextures = kTextures;
        caught = PlatformCatch();
        caught.recorder = &recorder;
        normalHook.reset(new ImportHook("opengl32.dll", "glNormal3f",
                                        reinterpret_cast<void*>(CatchNormal)));
        perspectiveHook.reset(new ImportHook("glu32.dll", "gluPerspective",
                                             reinterpret_cast<void*>(CatchPerspective)));
        ASSERT_NE(nullptr, normalHook->original());
        ASSERT_NE(nullptr, perspectiveHook->original());
        caught.normal = reinterpret_cast<decltype(caught.normal)>(normalHook->original());
        caught.perspective = reinterpret_cast<decltype(caught.perspective)>(perspectiveHook->original());
        recorder.reset();
    }

    void TearDown() override
    {
        normalHook.reset();
        perspectiveHook.reset();
        scene.reset();
        if (glEntries.driverLibrary)
            FreeDriverLibrary();
        glEntries = GlEntryTable();
        sceneTextures = SceneTextures();
    }

    // Everything called since the last look, driver and platform merged;
    // starts a new log.
    std::vector<std::string> TakeCalls()
    {
        std::vector<std::string> calls = MergedCalls(RecordedCalls(recorder), caught.calls);
        recorder.reset();
        caught.calls.clear();
        return calls;
    }

    RecorderApi recorder = {};
    std::unique_ptr<SceneContext> scene;
    std::unique_ptr<ImportHook> normalHook, perspectiveHook;
};

// The frame, call by call.

TEST_F(SceneCalls, FirstFrameDrawsEverythingUnturned)
{
    DrawSceneFrame();
    std::vector<std::string> calls = TakeCalls();
    EXPECT_TRUE(SameCalls(ExpectedFrame(kFirstFrame), calls));
    // 18 set-up calls, 10 per triangle, 17 per sky layer, two blend functions.
    EXPECT_EQ(18u + 276 * 10 + 3 * 17 + 2, calls.size());
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), ::glGetError());
}

TEST_F(SceneCalls, SecondFrameDrawsTheAnglesOfTheFirstStep)
{
    const FrameAngles step = AnglesAfterOneStep();
    EXPECT_TRUE(ReadsAs("-96.9978", step.modelPitch));
    EXPECT_TRUE(ReadsAs("-0.174982", step.modelYaw));
    EXPECT_TRUE(ReadsAs("7.9991", step.skyTiltX));
    EXPECT_TRUE(ReadsAs("0.119995", step.skyTiltY));

    DrawSceneFrame();
    TakeCalls();
    DrawSceneFrame();
    EXPECT_TRUE(SameCalls(ExpectedFrame(step), TakeCalls()));

    // The second frame has stepped again, for the third.
    EXPECT_TRUE(ReadsAs("-96.9912", sceneState.modelPitch));
    EXPECT_TRUE(ReadsAs("-0.349854", sceneState.modelYaw));
    EXPECT_EQ(1.5f, sceneState.modelSpin);
    EXPECT_EQ(0.1f, sceneState.starsSpin);
    EXPECT_EQ(-0.2f, sceneState.cloudSpin);
}

TEST_F(SceneCalls, FrameDrawsWhateverTheStateHolds)
{
    // Angles far from the start, each one different: every rotation takes
    // its own field.
    sceneState.modelPitch = -93.5f;
    sceneState.modelYaw = 4.25f;
    sceneState.modelSpin = 1234.5f;
    sceneState.starsTiltX = -7.75f;
    sceneState.starsTiltY = 2.5f;
    sceneState.starsSpin = 321.25f;
    sceneState.cloudTiltX = -7.75f;
    sceneState.cloudTiltY = 2.5f;
    sceneState.cloudSpin = -642.5f;
    DrawSceneFrame();
    const FrameAngles drawn = {-93.5f, 4.25f, 1234.5f, -7.75f, 2.5f, 321.25f, -642.5f};
    EXPECT_TRUE(SameCalls(ExpectedFrame(drawn), TakeCalls()));
}

// Several monitors: one clear, then each monitor's viewport with the whole
// scene seen at that monitor's shape, and one step for all of them.
TEST_F(SceneCalls, ViewsShareOneClearAndOneStep)
{
    const SceneView views[] = {{0, 168, 800, 600}, {800, 0, 1280, 768}};
    DrawSceneFrameInViews(views, 2);
    const std::vector<std::string> frame = ExpectedFrame(kFirstFrame);
    // The frame's first eight calls clear and set up; the rest draw.
    std::vector<std::string> expected(frame.begin(), frame.begin() + 8);
    for (const SceneView& view : views) {
        expected.push_back(Line("glViewport(%d, %d, %d, %d)", view.x, view.y, view.width, view.height));
        expected.insert(expected.end(), frame.begin() + 8, frame.end());
    }
    expected[8 + 3] = "gluPerspective(45, 1.3333333333333333, 0.10000000149011612, 100)";
    const size_t second = 8 + (frame.size() - 8 + 1);
    expected[second + 3] = "gluPerspective(45, 1.6666666666666667, 0.10000000149011612, 100)";
    EXPECT_TRUE(SameCalls(expected, TakeCalls()));
    EXPECT_EQ(0.75f, sceneState.modelSpin) << "the animation did not step exactly once";
}

TEST_F(SceneCalls, ModelAloneLeavesItsTextureAndLastCorner)
{
    DriverGl::glLoadIdentity();
    TakeCalls();
    DrawModel();
    std::vector<std::string> expected;
    AddModel(expected);
    EXPECT_TRUE(SameCalls(expected, TakeCalls()));

    // Row 276: normal (0, -14.74365234375, 1.47216796875), last corner at
    // (1, 1) of the texture.
    const std::vector<float> normal = {0.0f, -14.74365234375f, 1.47216796875f};
    EXPECT_EQ(normal, StateFloats(GL_CURRENT_NORMAL, 3));
    EXPECT_EQ((std::vector<float>{1.0f, 1.0f, 0.0f, 1.0f}), StateFloats(GL_CURRENT_TEXTURE_COORDS, 4));
    EXPECT_EQ(static_cast<int>(kTextures.modelTexture), StateInts(GL_TEXTURE_BINDING_2D, 1)[0]);
}

// What a frame leaves in GL.

TEST_F(SceneCalls, FrameLeavesItsStateForTheNext)
{
    DrawSceneFrame();
    EXPECT_EQ(GL_SRC_ALPHA, StateInts(GL_BLEND_SRC, 1)[0]);
    EXPECT_EQ(GL_ZERO, StateInts(GL_BLEND_DST, 1)[0]);
    for (GLenum capability : {GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_NORMALIZE})
        EXPECT_TRUE(::glIsEnabled(capability)) << std::hex << capability;
    EXPECT_EQ(GL_LESS, StateInts(GL_DEPTH_FUNC, 1)[0]);
    EXPECT_EQ(GL_SMOOTH, StateInts(GL_SHADE_MODEL, 1)[0]);
    EXPECT_EQ(GL_MODELVIEW, StateInts(GL_MATRIX_MODE, 1)[0]);
    EXPECT_EQ(static_cast<int>(kTextures.cloudTexture), StateInts(GL_TEXTURE_BINDING_2D, 1)[0]);
    // The sky's normal as given, and the cloud's last corner (0, r) with r = 3.
    EXPECT_EQ((std::vector<float>{0.0f, 1.0f, 1.0f}), StateFloats(GL_CURRENT_NORMAL, 3));
    EXPECT_EQ((std::vector<float>{0.0f, 3.0f, 0.0f, 1.0f}), StateFloats(GL_CURRENT_TEXTURE_COORDS, 4));
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), ::glGetError());
}

TEST_F(SceneCalls, FrameProjectsWithTheFixedPerspectiveWhateverTheWindow)
{
    // A wide window's frustum is loaded, and the frame replaces it.
    ResizeScene(800, 200);
    DrawSceneFrame();
    Matrix expected, projection;
    PerspectiveMatrix(45.0, 4.0 / 3.0, 0.1f, 100.0, expected);
    ::glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_TRUE(SameMatrix(expected, projection));
    EXPECT_EQ((std::vector<int>{0, 0, 800, 200}), StateInts(GL_VIEWPORT, 4));
}

// The size handler.

TEST_F(SceneCalls, ResizeSetsViewportAndFrustumOfTheWindowShape)
{
    struct Shape {
        int width, height;
        float aspect;
    };
    for (Shape shape : {Shape{640, 480, 1.33333337f}, Shape{1024, 768, 1.33333337f},
                        Shape{300, 600, 0.5f}, Shape{64, 64, 1.0f}}) {
        SCOPED_TRACE(Line("%d x %d", shape.width, shape.height));
        ResizeScene(shape.width, shape.height);
        // The half height is the float 2.605 times the float aspect, exactly.
        const double top = static_cast<double>(2.605f) * static_cast<double>(shape.aspect);
        EXPECT_TRUE(SameCalls(ExpectedResize(shape.width, shape.height, top), TakeCalls()));
        EXPECT_EQ((std::vector<int>{0, 0, shape.width, shape.height}), StateInts(GL_VIEWPORT, 4));
        Matrix expected, projection;
        ResizeMatrix(top, expected);
        ::glGetFloatv(GL_PROJECTION_MATRIX, projection);
        EXPECT_TRUE(SameMatrix(expected, projection));
        EXPECT_EQ(GL_MODELVIEW, StateInts(GL_MATRIX_MODE, 1)[0]);
        EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), ::glGetError());
    }
    // 2.60500002 x 1.33333337, not rounded to a float.
    ResizeScene(640, 480);
    EXPECT_EQ("glFrustum(-4, 4, -3.473333462278049, 3.473333462278049, 4, 4096)", TakeCalls().at(3));
}

TEST_F(SceneCalls, ResizeToZeroHeightStillSetsTheViewportAndAFiniteFrustum)
{
    ResizeScene(640, 0);
    // Taken as a height of 1: 2.60500002 x 640.
    EXPECT_TRUE(SameCalls(ExpectedResize(640, 0, 1667.2000122070312), TakeCalls()));
    EXPECT_EQ((std::vector<int>{0, 0, 640, 0}), StateInts(GL_VIEWPORT, 4));
    Matrix projection;
    ::glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(isfinite(projection[i])) << "element " << i;
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), ::glGetError());

    // No width either: the frustum is flat (GL refuses it), but nothing is
    // divided by zero and the next frame draws as ever.
    ResizeScene(0, 0);
    EXPECT_TRUE(SameCalls(ExpectedResize(0, 0, 0.0f), TakeCalls()));
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), StateInts(GL_VIEWPORT, 4));
    ::glGetError();
    DrawSceneFrame();
    EXPECT_TRUE(SameCalls(ExpectedFrame(kFirstFrame), TakeCalls()));
    Matrix expected;
    PerspectiveMatrix(45.0, 4.0 / 3.0, 0.1f, 100.0, expected);
    ::glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_TRUE(SameMatrix(expected, projection));
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), ::glGetError());
}

}  // namespace
