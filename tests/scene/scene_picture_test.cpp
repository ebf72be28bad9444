// The scene as it reaches the screen: frames drawn through the system's
// opengl32 as the driver library into a visible, depth-buffered window, read
// back and measured. The pictures of some frames are kept in the test
// output folder for review. Also: a frame allocates nothing and opens
// nothing.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "gl_driver.h"
#include "import_hook.h"
#include "messages.h"
#include "model.h"
#include "resource_counts.h"
#include "scene.h"
#include "scene_context.h"
#include "scene_frame.h"
#include "scene_lighting.h"
#include "test_paths.h"

namespace {

const int kWidth = 640;
const int kHeight = 480;

// The frame's projection: 45 degrees, 4:3, near and far planes.
const double kTanHalfView = tan(22.5 * 3.14159265358979323846 / 180.0);
const double kNear = 0.1f;
const double kFar = 100.0;

// One frame as read back: colour (rows bottom-up, red, green, blue), the
// distance in front of the eye of what each pixel shows, and the animation
// state it was drawn with.
struct Picture {
    std::vector<unsigned char> rgb;
    std::vector<double> distance;
    SceneState drawn;

    const unsigned char* At(int x, int y) const { return &rgb[(y * kWidth + x) * 3]; }
};

// Reads the back buffer's colour and depth.
Picture ReadBackBuffer()
{
    Picture picture;
    picture.rgb.resize(kWidth * kHeight * 3);
    std::vector<float> depth(kWidth * kHeight);
    ::glPixelStorei(GL_PACK_ALIGNMENT, 1);
    ::glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    ::glReadPixels(0, 0, kWidth, kHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    // Window depth back to the eye distance of the perspective projection.
    for (float d : depth) {
        const double ndc = 2.0 * d - 1.0;
        picture.distance.push_back(2.0 * kFar * kNear / ((kFar + kNear) - (kFar - kNear) * ndc));
    }
    return picture;
}

// Draws the next frame as the GL window does, reads it back and swaps.
Picture DrawAndRead(HDC dc)
{
    const SceneState drawn = sceneState;
    DrawSceneFrame();
    Picture picture = ReadBackBuffer();
    picture.drawn = drawn;
    DriverSwapBuffers(dc);
    return picture;
}

// Draws and swaps count frames without looking at them.
void SkipFrames(HDC dc, int count)
{
    for (int i = 0; i < count; ++i) {
        DrawSceneFrame();
        DriverSwapBuffers(dc);
        PumpMessages();
    }
}

// Writes a picture as a 24-bit BMP file.
bool WriteBmp(const Picture& picture, const std::string& path)
{
    const int rowSize = (kWidth * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowSize * kHeight;
    info.biSize = sizeof info;
    info.biWidth = kWidth;
    info.biHeight = kHeight;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    FILE* out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    std::vector<unsigned char> row(rowSize);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const unsigned char* rgb = picture.At(x, y);
            row[x * 3] = rgb[2];
            row[x * 3 + 1] = rgb[1];
            row[x * 3 + 2] = rgb[0];
        }
        fwrite(row.data(), rowSize, 1, out);
    }
    return fclose(out) == 0;
}

// Distance in front of the eye of the cloud layer's plane where the view
// ray through the centre of pixel x, y meets it. The layer's plane lies 32
// before its origin, which sits 50 in front of the eye, and is tilted about
// x, then y; its spin turns it in its own plane.
double CloudPlaneDistance(const Picture& picture, int x, int y)
{
    const double radian = 3.14159265358979323846 / 180.0;
    const double tx = picture.drawn.cloudTiltX * radian, ty = picture.drawn.cloudTiltY * radian;
    const double normal[3] = {sin(ty), -cos(ty) * sin(tx), cos(ty) * cos(tx)};
    const double point[3] = {-32.0 * normal[0], -32.0 * normal[1], -50.0 - 32.0 * normal[2]};
    const double ray[3] = {((x + 0.5) / kWidth * 2.0 - 1.0) * kTanHalfView * 4.0 / 3.0,
                           ((y + 0.5) / kHeight * 2.0 - 1.0) * kTanHalfView, -1.0};
    const double along = (normal[0] * point[0] + normal[1] * point[1] + normal[2] * point[2]) /
                         (normal[0] * ray[0] + normal[1] * ray[1] + normal[2] * ray[2]);
    return along;  // the ray's z runs at -1 per unit of distance
}

// The pixels that show the model: nearer than the nearest sky layer by
// more than the depth buffer's step there.
std::vector<bool> ModelPixels(const Picture& picture)
{
    std::vector<bool> model(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            model[y * kWidth + x] = picture.distance[y * kWidth + x] < CloudPlaneDistance(picture, x, y) - 2.0;
    return model;
}

// A rectangle of pixels, edges included; empty when left > right.
struct Box {
    int left = kWidth, bottom = kHeight, right = -1, top = -1;

    void Add(int x, int y)
    {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
    }
};

// The pixels that some pixels span.
Box BoxOf(const std::vector<bool>& pixels)
{
    Box box;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (pixels[y * kWidth + x])
                box.Add(x, y);
    return box;
}

// Turns v by angle degrees about one axis (0 x, 1 y, 2 z), counter-clockwise
// looking down the axis, as glRotatef does.
void Turn(double v[3], float angle, int axis)
{
    const double a = angle * 3.14159265358979323846 / 180.0;
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    const double vi = v[i] * cos(a) - v[j] * sin(a);
    const double vj = v[i] * sin(a) + v[j] * cos(a);
    v[i] = vi;
    v[j] = vj;
}

// The pixels spanned by the model's corners seen with the given angles: spin
// about z, yaw about y, pitch about x, moved 10 down and 65 away, then the
// 45 degree 4:3 perspective over the whole window. Clipped to the window.
Box ProjectedModel(const SceneState& angles)
{
    Box box;
    for (const ModelTriangle& row : ModelTriangles)
        for (const float* corner : {row.p0, row.p1, row.p2}) {
            double v[3] = {corner[0], corner[1], corner[2]};
            Turn(v, angles.modelSpin, 2);
            Turn(v, angles.modelYaw, 1);
            Turn(v, angles.modelPitch, 0);
            v[1] -= 10.0;
            v[2] -= 65.0;
            const double x = v[0] / -v[2] / kTanHalfView * 3.0 / 4.0;
            const double y = v[1] / -v[2] / kTanHalfView;
            const double px = (x + 1.0) / 2.0 * kWidth, py = (y + 1.0) / 2.0 * kHeight;
            box.Add(std::max(0, std::min(kWidth - 1, static_cast<int>(floor(px)))),
                    std::max(0, std::min(kHeight - 1, static_cast<int>(floor(py)))));
        }
    return box;
}

// The model's pixels span what its corners span, within a few pixels for
// the thin spikes whose tips cover no pixel centre.
::testing::AssertionResult SameSpan(const Box& expected, const Box& actual)
{
    const int slack = 2;
    if (abs(expected.left - actual.left) <= slack && abs(expected.right - actual.right) <= slack &&
        abs(expected.bottom - actual.bottom) <= slack && abs(expected.top - actual.top) <= slack)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixels x " << actual.left << ".." << actual.right << ", y " << actual.bottom << ".."
           << actual.top << "; corners x " << expected.left << ".." << expected.right << ", y "
           << expected.bottom << ".." << expected.top;
}

// Share of pixels whose colour differs between two pictures.
double ChangedShare(const Picture& a, const Picture& b)
{
    int changed = 0;
    for (int i = 0; i < kWidth * kHeight; ++i)
        if (memcmp(&a.rgb[i * 3], &b.rgb[i * 3], 3) != 0)
            ++changed;
    return changed / double(kWidth * kHeight);
}

// Every case draws into one visible 640 x 480 window, sized for the scene,
// with opengl32 loaded as the driver library and the scene's light on; the
// animation starts over and there are no textures unless a case makes them.
class ScenePictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(0, LoadDriverLibrary("opengl32.dll"));
        scene = new SceneContext(true, kWidth, kHeight);
        ASSERT_NE(nullptr, scene->context);
        ResizeScene(kWidth, kHeight);
        SetSceneLight();
    }

    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
        FreeDriverLibrary();
        glEntries = GlEntryTable();
    }

    void SetUp() override
    {
        ASSERT_NE(nullptr, scene);
        ASSERT_NE(nullptr, scene->context);
        ASSERT_GE(scene->depthBits, 16);
        sceneState = SceneState();
        sceneTextures = SceneTextures();
    }

    static SceneContext* scene;
};
SceneContext* ScenePictures::scene;

// Grey levels: the lit colour of a surface is 0.24 of its own colour when
// turned away from the light at the eye, all of it when turned to it.
const int kUnlitFloor = 55;  // 0.24 x 255, less a little for rounding
const int kWhite = 250;

TEST_F(ScenePictures, UntexturedModelIsLitAndHidesTheWhiteSky)
{
    Picture first = DrawAndRead(scene->window.dc);
    SkipFrames(scene->window.dc, 239);
    Picture later = DrawAndRead(scene->window.dc);
    EXPECT_TRUE(WriteBmp(first, TestOutputPath("scene_frame_000.bmp")));
    EXPECT_TRUE(WriteBmp(later, TestOutputPath("scene_frame_240.bmp")));

    for (const Picture* picture : {&first, &later}) {
        SCOPED_TRACE(picture == &first ? "frame 0" : "frame 240");
        // Without textures every surface is white, lit: the model in greys
        // from 0.24 up; the three sky layers, each lit to between about 0.5
        // (top) and 0.9 (bottom), add up to white wherever the model does
        // not hide them.
        std::vector<bool> model = ModelPixels(*picture);
        int sky = 0, skyWhite = 0, modelPixels = 0, modelGrey = 0, modelDim = 0, modelBright = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) {
            const unsigned char* rgb = &picture->rgb[i * 3];
            const int low = std::min(rgb[0], std::min(rgb[1], rgb[2]));
            if (model[i]) {
                ++modelPixels;
                modelGrey += rgb[0] == rgb[1] && rgb[1] == rgb[2] && low >= kUnlitFloor;
                modelDim += low < 200;
                modelBright += low >= kWhite;
            } else {
                ++sky;
                skyWhite += low >= kWhite;
            }
        }
        EXPECT_GT(modelPixels, kWidth * kHeight / 50);
        EXPECT_GT(skyWhite, sky * 0.97) << "sky not white: " << skyWhite << " of " << sky;
        EXPECT_EQ(modelPixels, modelGrey) << "model pixels darker than the light's floor, or tinted";
        // Had the sky been added onto the model, it would be white too.
        EXPECT_GT(modelDim, modelPixels / 5) << modelDim << " of " << modelPixels;
        EXPECT_GT(modelBright, 0) << "no face turned to the eye";
    }
    // A half turn of the model later, the picture has changed.
    EXPECT_GT(ChangedShare(first, later), 0.03);
}

TEST_F(ScenePictures, ModelAndSkyShowTheirOwnTexturesWhereTheyBelong)
{
    // Plain colours: red for the model, blue for the stars, green for the
    // cloud; sampled without mipmaps.
    GLuint names[3];
    ::glGenTextures(3, names);
    const unsigned char colours[3][3] = {{255, 0, 0}, {0, 0, 100}, {0, 100, 0}};
    for (int i = 0; i < 3; ++i) {
        std::vector<unsigned char> image;
        for (int pixel = 0; pixel < 16; ++pixel)
            image.insert(image.end(), colours[i], colours[i] + 3);
        ::glBindTexture(GL_TEXTURE_2D, names[i]);
        ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        ::glTexImage2D(GL_TEXTURE_2D, 0, 3, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
    }
    sceneTextures.modelTexture = names[0];
    sceneTextures.starsTexture = names[1];
    sceneTextures.cloudTexture = names[2];

    // The first frame sees the model unturned, from above its own z axis;
    // later frames stand it up, here turned half round.
    Picture first = DrawAndRead(scene->window.dc);
    SkipFrames(scene->window.dc, 239);
    Picture later = DrawAndRead(scene->window.dc);
    ::glDeleteTextures(3, names);

    for (const Picture* picture : {&first, &later}) {
        SCOPED_TRACE(picture == &first ? "frame 0" : "frame 240");
        // The sky only adds, so the model's red stays wherever the model is.
        std::vector<bool> red(kWidth * kHeight);
        std::vector<bool> model = ModelPixels(*picture);
        int modelPixels = 0, modelRedOnly = 0, sky = 0, skyStarsAndCloud = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) {
            const unsigned char* rgb = &picture->rgb[i * 3];
            red[i] = rgb[0] > 0;
            if (model[i]) {
                // In front of every sky layer: the lit model alone.
                ++modelPixels;
                modelRedOnly += rgb[0] >= kUnlitFloor && rgb[1] == 0 && rgb[2] == 0;
            } else if (!red[i]) {
                // Two star layers of blue, one cloud layer of green.
                ++sky;
                skyStarsAndCloud += rgb[2] > rgb[1] && rgb[1] > 0;
            }
        }
        EXPECT_GT(modelPixels, kWidth * kHeight / 50);
        EXPECT_EQ(modelPixels, modelRedOnly) << "the sky reached the model, or the model is not red";
        EXPECT_EQ(sky, skyStarsAndCloud) << "sky pixels without both textures";
        EXPECT_TRUE(SameSpan(ProjectedModel(picture->drawn), BoxOf(red)));
    }
}

TEST_F(ScenePictures, PicturesFromTheDataFolder)
{
    if (GetFileAttributesA("c:\\zelvodata\\quad.bmp") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no pictures in c:\\zelvodata";
    // The program's own set-up, on the identity model-view matrix of a
    // fresh context.
    DriverGl::glLoadIdentity();
    InitSceneLighting();
    const SceneTextures& t = sceneTextures;
    ASSERT_NE(0u, t.modelTexture);
    EXPECT_NE(t.modelTexture, t.starsTexture);
    EXPECT_NE(t.modelTexture, t.cloudTexture);
    EXPECT_NE(t.starsTexture, t.cloudTexture);

    Picture first = DrawAndRead(scene->window.dc);
    SkipFrames(scene->window.dc, 239);
    Picture later = DrawAndRead(scene->window.dc);
    EXPECT_TRUE(WriteBmp(first, TestOutputPath("scene_textured_000.bmp")));
    EXPECT_TRUE(WriteBmp(later, TestOutputPath("scene_textured_240.bmp")));

    for (const Picture* picture : {&first, &later}) {
        SCOPED_TRACE(picture == &first ? "frame 0" : "frame 240");
        // A dark sky, not black, with points of light, behind a lit skin
        // that is lighter on the whole.
        std::vector<bool> model = ModelPixels(*picture);
        int modelPixels = 0, sky = 0, skyBrightest = 0;
        double modelSum = 0, skySum = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) {
            const unsigned char* rgb = &picture->rgb[i * 3];
            const int sum = rgb[0] + rgb[1] + rgb[2];
            if (model[i]) {
                ++modelPixels;
                modelSum += sum;
            } else {
                ++sky;
                skySum += sum;
                skyBrightest = std::max(skyBrightest, sum);
            }
        }
        ASSERT_GT(modelPixels, kWidth * kHeight / 50);
        const double skyMean = skySum / sky;
        EXPECT_GT(skyMean, 3.0);
        EXPECT_LT(skyMean, 3 * 60.0);
        EXPECT_GT(skyBrightest, 4 * skyMean);
        EXPECT_GT(modelSum / modelPixels, 2 * skyMean);
    }
    EXPECT_GT(ChangedShare(first, later), 0.03);
}

// Calls of this program's allocation and file functions, counted while
// the stand-ins below hold their import slots.
int countedCalls;

// A stand-in for an import: counts the call and passes it on.
#define COUNTED(convention, result, name, params, args)     \
    result(convention* real##name) params;                  \
    result convention Counted##name params                  \
    {                                                       \
        ++countedCalls;                                     \
        return real##name args;                             \
    }

COUNTED(__cdecl, void*, malloc, (size_t size), (size))
COUNTED(__cdecl, void*, calloc, (size_t count, size_t size), (count, size))
COUNTED(__cdecl, void*, realloc, (void* block, size_t size), (block, size))
COUNTED(__cdecl, FILE*, fopen, (const char* path, const char* mode), (path, mode))
COUNTED(WINAPI, LPVOID, HeapAlloc, (HANDLE heap, DWORD flags, SIZE_T size), (heap, flags, size))
COUNTED(WINAPI, LPVOID, HeapReAlloc, (HANDLE heap, DWORD flags, LPVOID block, SIZE_T size),
        (heap, flags, block, size))
COUNTED(WINAPI, HLOCAL, LocalAlloc, (UINT flags, SIZE_T size), (flags, size))
COUNTED(WINAPI, HGLOBAL, GlobalAlloc, (UINT flags, SIZE_T size), (flags, size))
COUNTED(WINAPI, LPVOID, VirtualAlloc, (LPVOID address, SIZE_T size, DWORD type, DWORD protect),
        (address, size, type, protect))
COUNTED(WINAPI, HANDLE, CreateFileA,
        (LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
         DWORD flags, HANDLE model),
        (name, access, share, security, creation, flags, model))
COUNTED(WINAPI, HANDLE, CreateFileW,
        (LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
         DWORD flags, HANDLE model),
        (name, access, share, security, creation, flags, model))
COUNTED(WINAPI, HFILE, OpenFile, (LPCSTR name, LPOFSTRUCT info, UINT style), (name, info, style))
COUNTED(WINAPI, HMODULE, LoadLibraryA, (LPCSTR name), (name))
#undef COUNTED

// One import to count: where it comes from, its stand-in and where the
// stand-in finds the real function.
struct CountedImport {
    const char* library;
    const char* function;
    void* standIn;
    void** real;
};

#define IMPORT(library, name) \
    {library, #name, reinterpret_cast<void*>(Counted##name), reinterpret_cast<void**>(&real##name)}
const CountedImport kCountedImports[] = {
    IMPORT("msvcrt.dll", malloc),        IMPORT("msvcrt.dll", calloc),
    IMPORT("msvcrt.dll", realloc),       IMPORT("msvcrt.dll", fopen),
    IMPORT("kernel32.dll", HeapAlloc),   IMPORT("kernel32.dll", HeapReAlloc),
    IMPORT("kernel32.dll", LocalAlloc),  IMPORT("kernel32.dll", GlobalAlloc),
    IMPORT("kernel32.dll", VirtualAlloc), IMPORT("kernel32.dll", CreateFileA),
    IMPORT("kernel32.dll", CreateFileW), IMPORT("kernel32.dll", OpenFile),
    IMPORT("kernel32.dll", LoadLibraryA),
};
#undef IMPORT

// The stand-ins hold the slots of the functions this program imports for
// as long as this lives.
class ImportCount {
public:
    ImportCount()
    {
        // The real functions first: putting the stand-ins in allocates.
        hooks.reserve(sizeof kCountedImports / sizeof *kCountedImports);
        for (const CountedImport& import : kCountedImports)
            *import.real = reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleA(import.library), import.function));
        for (const CountedImport& import : kCountedImports)
            hooks.emplace_back(new ImportHook(import.library, import.function, import.standIn));
        countedCalls = 0;
    }
    bool Counts(const char* function) const
    {
        for (size_t i = 0; i < hooks.size(); ++i)
            if (strcmp(kCountedImports[i].function, function) == 0)
                return hooks[i]->original() != nullptr;
        return false;
    }

private:
    std::vector<std::unique_ptr<ImportHook>> hooks;
};

TEST_F(ScenePictures, FramesAllocateNothingAndOpenNothing)
{
    SkipFrames(scene->window.dc, 2);  // the driver's own first-use work
    {
        ImportCount count;
        ASSERT_TRUE(count.Counts("malloc"));
        ASSERT_TRUE(count.Counts("CreateFileA"));
        // The count sees what this program allocates and opens.
        void* volatile block = malloc(16);
        free(block);
        HANDLE file = CreateFileA("nul", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        CloseHandle(file);
        ASSERT_EQ(2, countedCalls);

        const ResourceCounts before = CountResources();
        countedCalls = 0;
        for (int i = 0; i < 100; ++i) {
            DrawSceneFrame();
            DriverSwapBuffers(scene->window.dc);
        }
        const int frameCalls = countedCalls;
        const ResourceCounts after = CountResources();
        EXPECT_EQ(0, frameCalls);
        EXPECT_EQ(before.handles, after.handles);
        EXPECT_EQ(before.gdiObjects, after.gdiObjects);
        EXPECT_EQ(before.mappedViews, after.mappedViews);
    }
    PumpMessages();
}

}  // namespace
