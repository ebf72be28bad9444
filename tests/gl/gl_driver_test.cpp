// The GL driver layer within one process: loading a driver library into the
// entry table, calls forwarded through the table, and the WGL operations'
// choice between GDI and the driver library's own exports.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "gl_doubles.h"
#include "gl_driver.h"
#include "recorder_api.h"

namespace {

// One slot of the entry table with the name it is resolved by.
struct NamedSlot {
    std::string name;
    void* value;
};

// The table's slots in lookup order.
std::vector<NamedSlot> TableSlots()
{
    std::vector<NamedSlot> slots;
#define GL_ENTRY(result, name, params, args) \
    slots.push_back({#name, reinterpret_cast<void*>(glEntries.name)});
#include "gl_entries.inc"
#undef GL_ENTRY
    return slots;
}

// A library's export as a plain address.
void* Export(HMODULE library, const std::string& name)
{
    return reinterpret_cast<void*>(GetProcAddress(library, name.c_str()));
}

// The name part of a logged call: "wglSwapBuffers(0x1A)" gives "wglSwapBuffers".
std::vector<std::string> CallNames(const std::vector<std::string>& calls)
{
    std::vector<std::string> names;
    for (const std::string& call : calls)
        names.push_back(call.substr(0, call.find('(')));
    return names;
}

// Checks that exactly one box said the driver library could not be opened.
void ExpectOneOpenFailureBox(const std::vector<SeenBox>& boxes, HWND owner)
{
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Error", boxes[0].caption);
    EXPECT_EQ("Could not open OpenGL Library", boxes[0].text);
    EXPECT_FALSE(boxes[0].hasIcon);
    EXPECT_EQ(1, boxes[0].buttonCount);
    EXPECT_EQ(owner, boxes[0].owner);
}

const char kDesiredFormatText[] =
    "{flags 0x00000025, type 0, color 24, alpha 0, depth 16, stencil 0}";

// Each test starts with the table empty and leaves it so: no library, no
// current context.
class GlDriver : public testing::Test {
protected:
    void TearDown() override
    {
        if (context) {
            wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(context);
        }
        if (glEntries.driverLibrary)
            FreeDriverLibrary();
        glEntries = GlEntryTable();
    }

    // Loads a recording driver double by its full path and binds its log.
    void LoadRecorder(const char* file = "3dfxgl.dll")
    {
        ASSERT_EQ(0, LoadDriverLibrary(DoublePath("gl-recorder", file).c_str()));
        ASSERT_TRUE(BindRecorder(glEntries.driverLibrary, recorder));
    }

    // Sets the pixel format and makes a context current through the WGL
    // operations, as the GL window does at creation.
    void StartContext(HDC dc)
    {
        PIXELFORMATDESCRIPTOR desired = DesiredFormat();
        int format = DriverChoosePixelFormat(dc, &desired);
        ASSERT_NE(0, format);
        ASSERT_TRUE(DriverSetPixelFormat(dc, format, &desired));
        PIXELFORMATDESCRIPTOR description = {};
        ASSERT_NE(0, DriverDescribePixelFormat(dc, format, sizeof description, &description));
        context = DriverCreateContext(dc);
        ASSERT_NE(nullptr, context);
        ASSERT_TRUE(DriverMakeCurrent(dc, context));
    }

    // Ends the context through the WGL operations, as the GL window does.
    void EndContext()
    {
        EXPECT_TRUE(DriverMakeCurrent(nullptr, nullptr));
        EXPECT_TRUE(DriverDeleteContext(context));
        context = nullptr;
    }

    RecorderApi recorder = {};
    HGLRC context = nullptr;
    PIXELFORMATDESCRIPTOR desired = DesiredFormat();
};

// Loading: the table, the flag and the failures.

TEST_F(GlDriver, PlatformLibraryFillsEverySlotAndLeavesGdiInCharge)
{
    ASSERT_EQ(0, LoadDriverLibrary("opengl32.dll"));
    HMODULE platform = GetModuleHandleA("opengl32.dll");
    EXPECT_EQ(platform, glEntries.driverLibrary);
    EXPECT_EQ(0, glEntries.useDriverWgl);
    std::vector<NamedSlot> slots = TableSlots();
    ASSERT_EQ(51u, slots.size());
    for (const NamedSlot& slot : slots) {
        EXPECT_NE(nullptr, slot.value) << slot.name;
        EXPECT_EQ(Export(platform, slot.name), slot.value) << slot.name;
    }
}

TEST_F(GlDriver, StandaloneDriverFillsEverySlotAndTakesOverWgl)
{
    LoadRecorder();
    EXPECT_EQ(1, glEntries.useDriverWgl);
    HMODULE platform = GetModuleHandleA("opengl32.dll");
    for (const NamedSlot& slot : TableSlots()) {
        EXPECT_EQ(Export(glEntries.driverLibrary, slot.name), slot.value) << slot.name;
        EXPECT_NE(Export(platform, slot.name), slot.value) << slot.name;
    }
    EXPECT_EQ(0, recorder.count()) << "loading called an entry";
}

TEST_F(GlDriver, OnlyTheExactPlatformNameLeavesGdiInCharge)
{
    // The same library under another spelling counts as a standalone driver.
    ASSERT_EQ(0, LoadDriverLibrary("OPENGL32.DLL"));
    EXPECT_EQ(GetModuleHandleA("opengl32.dll"), glEntries.driverLibrary);
    EXPECT_EQ(1, glEntries.useDriverWgl);
}

TEST_F(GlDriver, LibraryThatCannotBeFoundShowsOneBoxOwnedByTheFocus)
{
    TestGlWindow focus(true);
    SetForegroundWindow(focus.window);
    SetFocus(focus.window);
    ASSERT_EQ(focus.window, GetFocus());
    BoxWatch watch;
    EXPECT_EQ(-1, LoadDriverLibrary("pvrgl.dll"));
    ExpectOneOpenFailureBox(watch.Stop(), focus.window);
    EXPECT_EQ(nullptr, glEntries.driverLibrary);
    EXPECT_EQ(0, glEntries.useDriverWgl);
    for (const NamedSlot& slot : TableSlots())
        EXPECT_EQ(nullptr, slot.value) << slot.name;
}

TEST_F(GlDriver, FileThatIsNotALibraryShowsOneBox)
{
    BoxWatch watch;
    EXPECT_EQ(-1, LoadDriverLibrary(DoublePath("not-a-dll", "3dfxgl.dll").c_str()));
    ExpectOneOpenFailureBox(watch.Stop(), GetFocus());
    EXPECT_EQ(nullptr, glEntries.driverLibrary);
    EXPECT_EQ(0, glEntries.useDriverWgl);
}

TEST_F(GlDriver, LibraryMissingOneEntryIsRefusedSilentlyAndStaysLoaded)
{
    std::string path = DoublePath("gl-incomplete", "3dfxgl.dll");
    BoxWatch watch;
    EXPECT_EQ(-1, LoadDriverLibrary(path.c_str()));
    EXPECT_TRUE(watch.Stop().empty());
    HMODULE driver = GetModuleHandleA(path.c_str());
    ASSERT_NE(nullptr, driver);
    EXPECT_EQ(driver, glEntries.driverLibrary);
    EXPECT_EQ(0, glEntries.useDriverWgl) << "set for a refused standalone driver";

    // The slots before the missing entry are resolved, the rest are null.
    std::vector<NamedSlot> slots = TableSlots();
    size_t missing = 0;
    while (missing < slots.size() && slots[missing].name != "glPolygonOffset")
        ++missing;
    ASSERT_EQ(32u, missing);
    for (size_t i = 0; i < slots.size(); ++i) {
        if (i < missing)
            EXPECT_EQ(Export(driver, slots[i].name), slots[i].value) << slots[i].name;
        else
            EXPECT_EQ(nullptr, slots[i].value) << slots[i].name;
    }
    ASSERT_TRUE(BindRecorder(driver, recorder));
    EXPECT_EQ(0, recorder.count()) << "an entry was called";

    EXPECT_TRUE(FreeDriverLibrary());
    EXPECT_EQ(nullptr, GetModuleHandleA(path.c_str()));
}

TEST_F(GlDriver, LibraryWithoutGlEntriesIsRefusedSilently)
{
    BoxWatch watch;
    EXPECT_EQ(-1, LoadDriverLibrary(DoublePath("pvrhal", "pvrhal32.dll").c_str()));
    EXPECT_TRUE(watch.Stop().empty());
    EXPECT_NE(nullptr, glEntries.driverLibrary);
    EXPECT_EQ(0, glEntries.useDriverWgl);
    for (const NamedSlot& slot : TableSlots())
        EXPECT_EQ(nullptr, slot.value) << slot.name;
}

TEST_F(GlDriver, FreeReleasesTheLibraryAndKeepsTheRest)
{
    EXPECT_FALSE(FreeDriverLibrary());
    EXPECT_EQ(nullptr, glEntries.driverLibrary);

    std::string path = DoublePath("gl-recorder", "3dfxgl.dll");
    LoadRecorder();
    std::vector<NamedSlot> loaded = TableSlots();
    EXPECT_TRUE(FreeDriverLibrary());
    EXPECT_EQ(nullptr, glEntries.driverLibrary);
    EXPECT_EQ(nullptr, GetModuleHandleA(path.c_str()));
    EXPECT_EQ(1, glEntries.useDriverWgl);
    std::vector<NamedSlot> freed = TableSlots();
    for (size_t i = 0; i < loaded.size(); ++i)
        EXPECT_EQ(loaded[i].value, freed[i].value) << loaded[i].name;
    EXPECT_FALSE(FreeDriverLibrary());
}

// Forwarding: each GL entry reaches its own export with its arguments.

TEST_F(GlDriver, EveryEntryPassesItsArgumentsAndResultThrough)
{
    LoadRecorder();
    TestGlWindow window;
    ASSERT_NO_FATAL_FAILURE(StartContext(window.dc));
    recorder.reset();

    const GLfloat rgb[] = {0.25f, 0.5f, 0.75f};
    const GLfloat rgba[] = {0.75f, 0.5f, 0.25f, 1};
    const GLfloat coord2[] = {0.5f, 1};
    const GLfloat coord3[] = {1, 0.5f, 0};
    const GLfloat point[] = {-1, -1, 0};
    const GLfloat matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    const unsigned char texels[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7};
    GLint viewport[4] = {};
    GLfloat clearColor[4] = {};

    EXPECT_STREQ(reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
                 reinterpret_cast<const char*>(DriverGl::glGetString(GL_VENDOR)));
    DriverGl::glViewport(1, 2, 30, 40);
    DriverGl::glGetIntegerv(GL_VIEWPORT, viewport);
    DriverGl::glClearColor(0.25f, 0.5f, 0.75f, 1);
    DriverGl::glClearDepth(0.5);
    DriverGl::glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    DriverGl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DriverGl::glEnable(GL_CULL_FACE);
    EXPECT_EQ(GL_TRUE, DriverGl::glIsEnabled(GL_CULL_FACE));
    DriverGl::glDisable(GL_CULL_FACE);
    DriverGl::glCullFace(GL_FRONT);
    DriverGl::glFrontFace(GL_CW);
    DriverGl::glDepthFunc(GL_LEQUAL);
    DriverGl::glAlphaFunc(GL_GREATER, 0.5f);
    DriverGl::glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    DriverGl::glShadeModel(GL_FLAT);
    DriverGl::glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    DriverGl::glPolygonOffset(1.5f, 2);
    DriverGl::glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    DriverGl::glBindTexture(GL_TEXTURE_2D, 7);
    DriverGl::glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    DriverGl::glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    DriverGl::glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    DriverGl::glMatrixMode(GL_PROJECTION);
    DriverGl::glLoadIdentity();
    DriverGl::glFrustum(-1, 1, -0.75, 0.75, 1.5, 100);
    DriverGl::glOrtho(-2, 2, -1.5, 1.5, -1, 1);
    DriverGl::glMatrixMode(GL_MODELVIEW);
    DriverGl::glLoadMatrixf(matrix);
    DriverGl::glMultMatrixf(matrix);
    DriverGl::glPushMatrix();
    DriverGl::glTranslatef(1, 2, 3);
    DriverGl::glRotatef(30, 0, 1, 0);
    DriverGl::glScalef(2, 2, 2);
    DriverGl::glPopMatrix();
    DriverGl::glBegin(GL_TRIANGLES);
    DriverGl::glColor3f(1, 0, 0);
    DriverGl::glColor3fv(rgb);
    DriverGl::glColor4f(0, 1, 0, 0.5f);
    DriverGl::glColor4fv(rgba);
    DriverGl::glTexCoord2f(0.1f, 0.2f);
    DriverGl::glTexCoord2fv(coord2);
    DriverGl::glTexCoord3f(0, 1, 0.5f);
    DriverGl::glTexCoord3fv(coord3);
    DriverGl::glVertex2f(0, 1);
    DriverGl::glVertex3f(1, -1, 0);
    DriverGl::glVertex3fv(point);
    DriverGl::glVertex4f(0, 0, 0, 1);
    DriverGl::glEnd();
    DriverGl::glFlush();
    DriverGl::glFinish();
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), DriverGl::glGetError());

    // Results that came back through the table from the platform's GL.
    EXPECT_EQ(1, viewport[0]);
    EXPECT_EQ(2, viewport[1]);
    EXPECT_EQ(30, viewport[2]);
    EXPECT_EQ(40, viewport[3]);
    EXPECT_EQ(0.25f, clearColor[0]);
    EXPECT_EQ(0.5f, clearColor[1]);
    EXPECT_EQ(0.75f, clearColor[2]);
    EXPECT_EQ(1.0f, clearColor[3]);

    char texelHash[12];
    snprintf(texelHash, sizeof texelHash, "#%08X", PixelHash(texels, sizeof texels));
    std::vector<std::string> expected = {
        "glGetString(0x1F00)",
        "glViewport(1, 2, 30, 40)",
        "glGetIntegerv(0x0BA2)",
        "glClearColor(0.25, 0.5, 0.75, 1)",
        "glClearDepth(0.5)",
        "glGetFloatv(0x0C22)",
        "glClear(0x4100)",
        "glEnable(0x0B44)",
        "glIsEnabled(0x0B44)",
        "glDisable(0x0B44)",
        "glCullFace(0x0404)",
        "glFrontFace(0x0900)",
        "glDepthFunc(0x0203)",
        "glAlphaFunc(0x0204, 0.5)",
        "glBlendFunc(0x0302, 0x0001)",
        "glShadeModel(0x1D00)",
        "glHint(0x0C50, 0x1102)",
        "glPolygonOffset(1.5, 2)",
        "glPixelStorei(0x0CF5, 1)",
        "glBindTexture(0x0DE1, 7)",
        "glTexParameterf(0x0DE1, 0x2801, 9729)",
        "glTexEnvf(0x2300, 0x2200, 8448)",
        std::string("glTexImage2D(0x0DE1, 0, 3, 2, 2, 0, 0x1907, 0x1401, ") + texelHash + ")",
        "glMatrixMode(0x1701)",
        "glLoadIdentity()",
        "glFrustum(-1, 1, -0.75, 0.75, 1.5, 100)",
        "glOrtho(-2, 2, -1.5, 1.5, -1, 1)",
        "glMatrixMode(0x1700)",
        "glLoadMatrixf([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1])",
        "glMultMatrixf([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1])",
        "glPushMatrix()",
        "glTranslatef(1, 2, 3)",
        "glRotatef(30, 0, 1, 0)",
        "glScalef(2, 2, 2)",
        "glPopMatrix()",
        "glBegin(0x0004)",
        "glColor3f(1, 0, 0)",
        "glColor3fv([0.25, 0.5, 0.75])",
        "glColor4f(0, 1, 0, 0.5)",
        "glColor4fv([0.75, 0.5, 0.25, 1])",
        "glTexCoord2f(0.100000001, 0.200000003)",
        "glTexCoord2fv([0.5, 1])",
        "glTexCoord3f(0, 1, 0.5)",
        "glTexCoord3fv([1, 0.5, 0])",
        "glVertex2f(0, 1)",
        "glVertex3f(1, -1, 0)",
        "glVertex3fv([-1, -1, 0])",
        "glVertex4f(0, 0, 0, 1)",
        "glEnd()",
        "glFlush()",
        "glFinish()",
        "glGetError()",
    };
    std::vector<std::string> calls = RecordedCalls(recorder);
    EXPECT_EQ(expected, calls);

    // The sequence above reaches every one of the 51 entries.
    std::set<std::string> called;
    for (const std::string& name : CallNames(calls))
        called.insert(name);
    for (const NamedSlot& slot : TableSlots())
        EXPECT_EQ(1u, called.count(slot.name)) << slot.name << " not called";
    EXPECT_EQ(51u, called.size());
}

// WGL operations: GDI first, the driver's export after.

TEST_F(GlDriver, WithoutLibraryOnlyGdiAnswers)
{
    TestGlWindow window;
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_EQ(nullptr, DriverCreateContext(window.dc));
    EXPECT_FALSE(DriverDeleteContext(reinterpret_cast<HGLRC>(1)));
    EXPECT_FALSE(DriverMakeCurrent(window.dc, nullptr));

    int format = DriverChoosePixelFormat(window.dc, &desired);
    EXPECT_NE(0, format);
    EXPECT_EQ(ChoosePixelFormat(window.dc, &desired), format);
    EXPECT_EQ(0, DriverChoosePixelFormat(memory, &desired));
    PIXELFORMATDESCRIPTOR description = {};
    EXPECT_NE(0, DriverDescribePixelFormat(window.dc, format, sizeof description, &description));
    EXPECT_EQ(0, DriverDescribePixelFormat(window.dc, 0, sizeof description, &description));
    EXPECT_FALSE(DriverSwapBuffers(window.dc)) << "GDI swapped without a pixel format";
    EXPECT_TRUE(DriverSetPixelFormat(window.dc, format, &desired));
    EXPECT_EQ(format, GetPixelFormat(window.dc));
    EXPECT_FALSE(DriverSetPixelFormat(window.dc, format + 1, &desired));
    EXPECT_TRUE(DriverSwapBuffers(window.dc));
    EXPECT_EQ(0, glEntries.useDriverWgl) << "set with no driver to hand over to";
    DeleteDC(memory);
}

TEST_F(GlDriver, GdiServesWhileItSucceeds)
{
    LoadRecorder();
    glEntries.useDriverWgl = 0;  // as after loading "opengl32.dll"
    TestGlWindow window;
    int format = DriverChoosePixelFormat(window.dc, &desired);
    EXPECT_NE(0, format);
    EXPECT_EQ(ChoosePixelFormat(window.dc, &desired), format);
    EXPECT_TRUE(DriverSetPixelFormat(window.dc, format, &desired));
    EXPECT_EQ(format, GetPixelFormat(window.dc));
    PIXELFORMATDESCRIPTOR description = {};
    EXPECT_EQ(DescribePixelFormat(window.dc, format, sizeof description, &description),
              DriverDescribePixelFormat(window.dc, format, sizeof description, &description));
    EXPECT_TRUE(DriverSwapBuffers(window.dc));
    EXPECT_EQ(std::vector<std::string>(), RecordedCalls(recorder));
    EXPECT_EQ(0, glEntries.useDriverWgl);
}

TEST_F(GlDriver, FailedGdiChoiceHandsPixelFormatsAndSwapsToTheDriver)
{
    LoadRecorder();
    glEntries.useDriverWgl = 0;  // as after loading "opengl32.dll"
    recorder.forceResult("wglChoosePixelFormat", 5);
    recorder.forceResult("wglSetPixelFormat", TRUE);
    recorder.forceResult("wglSwapBuffers", TRUE);
    HDC memory = CreateCompatibleDC(nullptr);  // GDI finds no OpenGL format for it
    ASSERT_EQ(0, ChoosePixelFormat(memory, &desired));

    EXPECT_EQ(5, DriverChoosePixelFormat(memory, &desired));
    EXPECT_EQ(1, glEntries.useDriverWgl);

    // From now on GDI is not asked, though it would have served this window.
    TestGlWindow window;
    int gdiFormat = ChoosePixelFormat(window.dc, &desired);
    ASSERT_NE(0, gdiFormat);
    EXPECT_TRUE(DriverSetPixelFormat(window.dc, gdiFormat, &desired));
    EXPECT_EQ(0, GetPixelFormat(window.dc)) << "GDI's SetPixelFormat was called";
    EXPECT_TRUE(DriverSwapBuffers(window.dc));

    std::vector<std::string> expected = {
        "wglChoosePixelFormat(" + HandleText(memory) + ", " + kDesiredFormatText + ")",
        "wglSetPixelFormat(" + HandleText(window.dc) + ", " + std::to_string(gdiFormat) + ", " +
            kDesiredFormatText + ")",
        "wglSwapBuffers(" + HandleText(window.dc) + ")",
    };
    EXPECT_EQ(expected, RecordedCalls(recorder));
    DeleteDC(memory);
}

TEST_F(GlDriver, FailedGdiDescriptionOrSettingHandsOverToo)
{
    LoadRecorder();
    TestGlWindow window;
    int format = ChoosePixelFormat(window.dc, &desired);
    ASSERT_TRUE(SetPixelFormat(window.dc, format, &desired));
    recorder.forceResult("wglDescribePixelFormat", 9);
    recorder.forceResult("wglSetPixelFormat", TRUE);
    PIXELFORMATDESCRIPTOR description = {};

    glEntries.useDriverWgl = 0;
    EXPECT_EQ(9, DriverDescribePixelFormat(window.dc, 0, sizeof description, &description));
    EXPECT_EQ(1, glEntries.useDriverWgl);

    // GDI refuses to change a window's pixel format once set.
    glEntries.useDriverWgl = 0;
    EXPECT_TRUE(DriverSetPixelFormat(window.dc, format + 1, &desired));
    EXPECT_EQ(1, glEntries.useDriverWgl);
    EXPECT_EQ(format, GetPixelFormat(window.dc));

    std::vector<std::string> expected = {
        "wglDescribePixelFormat(" + HandleText(window.dc) + ", 0, " +
            std::to_string(sizeof description) + ")",
        "wglSetPixelFormat(" + HandleText(window.dc) + ", " + std::to_string(format + 1) + ", " +
            kDesiredFormatText + ")",
    };
    EXPECT_EQ(expected, RecordedCalls(recorder));
}

TEST_F(GlDriver, FailingGdiSwapFallsBackOnEveryFrame)
{
    LoadRecorder();
    glEntries.useDriverWgl = 0;  // as after loading "opengl32.dll"
    recorder.forceResult("wglSwapBuffers", TRUE);
    TestGlWindow window;  // no pixel format set: GDI's SwapBuffers fails on it
    ASSERT_FALSE(SwapBuffers(window.dc));
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_TRUE(DriverSwapBuffers(window.dc)) << "frame " << frame;
    std::string swap = "wglSwapBuffers(" + HandleText(window.dc) + ")";
    EXPECT_EQ(std::vector<std::string>(3, swap), RecordedCalls(recorder));
    EXPECT_EQ(0, glEntries.useDriverWgl);
}

TEST_F(GlDriver, StandaloneDriverIsNeverPassedOverForGdi)
{
    LoadRecorder();
    recorder.forceResult("wglChoosePixelFormat", 5);
    recorder.forceResult("wglSetPixelFormat", TRUE);
    recorder.forceResult("wglDescribePixelFormat", 9);
    recorder.forceResult("wglSwapBuffers", TRUE);
    TestGlWindow window;  // GDI would serve all four on it
    int gdiFormat = ChoosePixelFormat(window.dc, &desired);
    ASSERT_NE(0, gdiFormat);
    PIXELFORMATDESCRIPTOR description = {};

    EXPECT_EQ(5, DriverChoosePixelFormat(window.dc, &desired));
    EXPECT_TRUE(DriverSetPixelFormat(window.dc, gdiFormat, &desired));
    EXPECT_EQ(0, GetPixelFormat(window.dc)) << "GDI's SetPixelFormat was called";
    EXPECT_EQ(9, DriverDescribePixelFormat(window.dc, gdiFormat, sizeof description, &description));
    EXPECT_TRUE(DriverSwapBuffers(window.dc));
    std::vector<std::string> expected = {"wglChoosePixelFormat", "wglSetPixelFormat",
                                         "wglDescribePixelFormat", "wglSwapBuffers"};
    EXPECT_EQ(expected, CallNames(RecordedCalls(recorder)));
}

TEST_F(GlDriver, ContextOperationsAlwaysGoToTheDriver)
{
    LoadRecorder();
    glEntries.useDriverWgl = 0;  // as after loading "opengl32.dll"
    HGLRC forced = reinterpret_cast<HGLRC>(0x77);
    recorder.forceResult("wglCreateContext", 0x77);
    recorder.forceResult("wglMakeCurrent", TRUE);
    recorder.forceResult("wglDeleteContext", TRUE);
    TestGlWindow window;
    EXPECT_EQ(forced, DriverCreateContext(window.dc));
    EXPECT_TRUE(DriverMakeCurrent(window.dc, forced));
    EXPECT_TRUE(DriverDeleteContext(forced));
    std::vector<std::string> expected = {
        "wglCreateContext(" + HandleText(window.dc) + ")",
        "wglMakeCurrent(" + HandleText(window.dc) + ", 0x77)",
        "wglDeleteContext(0x77)",
    };
    EXPECT_EQ(expected, RecordedCalls(recorder));
    EXPECT_EQ(0, glEntries.useDriverWgl);
}

TEST_F(GlDriver, ExportsAreLookedUpInTheLibraryLoadedNow)
{
    LoadRecorder("3dfxgl.dll");
    recorder.forceResult("wglMakeCurrent", TRUE);
    EXPECT_TRUE(DriverMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(1, recorder.count());

    // Freed: nothing answers, and GDI is not asked while the flag is set.
    std::string first = DoublePath("gl-recorder", "3dfxgl.dll");
    ASSERT_TRUE(FreeDriverLibrary());
    ASSERT_EQ(nullptr, GetModuleHandleA(first.c_str()));
    TestGlWindow window;
    int gdiFormat = ChoosePixelFormat(window.dc, &desired);
    EXPECT_FALSE(DriverMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(nullptr, DriverCreateContext(window.dc));
    EXPECT_EQ(0, DriverChoosePixelFormat(window.dc, &desired));
    EXPECT_FALSE(DriverSetPixelFormat(window.dc, gdiFormat, &desired));
    EXPECT_EQ(0, GetPixelFormat(window.dc));

    LoadRecorder("pvrgl.dll");
    recorder.forceResult("wglMakeCurrent", TRUE);
    EXPECT_TRUE(DriverMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(std::vector<std::string>{"wglMakeCurrent(0x0, 0x0)"}, RecordedCalls(recorder));
}

TEST_F(GlDriver, LibraryWithoutWglExportsAnswersZero)
{
    EXPECT_EQ(-1, LoadDriverLibrary(DoublePath("pvrhal", "pvrhal32.dll").c_str()));
    ASSERT_NE(nullptr, glEntries.driverLibrary);
    TestGlWindow window;
    HDC memory = CreateCompatibleDC(nullptr);
    PIXELFORMATDESCRIPTOR description = {};
    EXPECT_EQ(nullptr, DriverCreateContext(window.dc));
    EXPECT_FALSE(DriverDeleteContext(reinterpret_cast<HGLRC>(1)));
    EXPECT_FALSE(DriverMakeCurrent(window.dc, nullptr));
    EXPECT_EQ(0, DriverChoosePixelFormat(memory, &desired));
    EXPECT_EQ(0, DriverDescribePixelFormat(window.dc, 0, sizeof description, &description));
    EXPECT_FALSE(DriverSwapBuffers(window.dc));
    EXPECT_EQ(0, glEntries.useDriverWgl) << "set though no export was found";
    DeleteDC(memory);
}

// End to end: a real context, cleared through the table and read back.

// Reads one pixel of the back buffer with the platform's GL.
void ReadPixel(int x, int y, unsigned char rgb[3])
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

// Clears the window to one colour through the table and checks a pixel.
void ExpectClearedTo(float red, float green, float blue)
{
    DriverGl::glClearColor(red, green, blue, 1);
    DriverGl::glClear(GL_COLOR_BUFFER_BIT);
    DriverGl::glFinish();
    unsigned char rgb[3] = {1, 2, 3};
    ReadPixel(32, 32, rgb);
    EXPECT_NEAR(red * 255, rgb[0], 1.0);
    EXPECT_NEAR(green * 255, rgb[1], 1.0);
    EXPECT_NEAR(blue * 255, rgb[2], 1.0);
}

TEST_F(GlDriver, PlatformLibraryDrawsThroughTheTable)
{
    ASSERT_EQ(0, LoadDriverLibrary("opengl32.dll"));
    TestGlWindow window(true);
    ASSERT_NO_FATAL_FAILURE(StartContext(window.dc));
    DriverGl::glViewport(0, 0, 64, 64);
    ExpectClearedTo(1, 0.5f, 0.25f);
    ExpectClearedTo(0, 1, 0);
    EXPECT_TRUE(DriverSwapBuffers(window.dc));
    EXPECT_EQ(0, glEntries.useDriverWgl);
    EndContext();
}

TEST_F(GlDriver, StandaloneDriverDrawsThroughItsOwnExports)
{
    LoadRecorder();
    TestGlWindow window(true);
    ASSERT_NO_FATAL_FAILURE(StartContext(window.dc));
    DriverGl::glViewport(0, 0, 64, 64);
    ExpectClearedTo(0.25f, 0.5f, 1);
    EXPECT_TRUE(DriverSwapBuffers(window.dc));
    EndContext();
    std::vector<std::string> expected = {
        "wglChoosePixelFormat", "wglSetPixelFormat", "wglDescribePixelFormat",
        "wglCreateContext",     "wglMakeCurrent",    "glViewport",
        "glClearColor",         "glClear",           "glFinish",
        "wglSwapBuffers",       "wglMakeCurrent",    "wglDeleteContext",
    };
    EXPECT_EQ(expected, CallNames(RecordedCalls(recorder)));
}

}  // namespace
