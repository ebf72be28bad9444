// Runs the saver in this process, full screen or in a 152 x 112 preview
// area, reads back the frame it last drew and writes it as a BMP. Under
// Wine on Xvfb the GL child window's pixels never reach the X screen, so a
// screenshot shows black where the scene is; reading through the saver's
// own rendering context gets the picture itself. The back buffer is read:
// Mesa keeps the last frame drawn there after the swap, while the front
// buffer of the child window reads back black.
// Exits with 0 when the picture shows a scene, 1 when it is blank or could
// not be written.
//
// usage: saver_snapshot.exe full|preview NAME.bmp [MS]
//   NAME.bmp: written to the build's test-output folder (SAVER_TEST_OUTPUT)
//   MS: how long the saver runs before the frame is read (default 2500)
#include <windows.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "render_window.h"
#include "saver_state.h"
#include "saver_window.h"
#include "test_paths.h"

namespace {

const int kPreviewWidth = 152;
const int kPreviewHeight = 112;

std::string outputPath;
HWND settingsWindow;  // the display settings stand-in in preview mode
bool pictureShowsScene;

// Writes packed RGB rows (bottom-up, no padding) as a 24-bit BMP.
bool WriteBmp(const char* path, int width, int height, const std::vector<unsigned char>& rgb)
{
    int rowSize = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowSize * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = rowSize * height;
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::vector<unsigned char> row(rowSize, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* pixel = &rgb[(y * width + x) * 3];
            row[x * 3] = pixel[2];
            row[x * 3 + 1] = pixel[1];
            row[x * 3 + 2] = pixel[0];
        }
        std::fwrite(row.data(), rowSize, 1, out);
    }
    return std::fclose(out) == 0;
}

// A scene, not a blank: many colours and a fair share of lit pixels.
bool ShowsScene(const std::vector<unsigned char>& rgb)
{
    std::set<unsigned> colours;
    size_t lit = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        colours.insert(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
        if (rgb[i] + rgb[i + 1] + rgb[i + 2] > 60)
            ++lit;
    }
    std::printf("%u colours, %u of %u pixels lit\n", static_cast<unsigned>(colours.size()),
                static_cast<unsigned>(lit), static_cast<unsigned>(rgb.size() / 3));
    return colours.size() > 100 && lit * 20 > rgb.size() / 3;
}

// Reads the last frame of the GL child window, writes it, ends the saver.
void CALLBACK CaptureFrame(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    RECT client = {};
    GetClientRect(renderWindow.childWindow, &client);
    int width = client.right, height = client.bottom;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::printf("read %d x %d, GL error %u\n", width, height, glGetError());
    pictureShowsScene = width > 0 && ShowsScene(rgb) && WriteBmp(outputPath.c_str(), width, height, rgb);
    if (settingsWindow)
        DestroyWindow(settingsWindow);
    else
        PostMessageA(saverState.saverWindow, WM_CLOSE, 0, 0);
}

// The display settings stand-in with its preview area; returns the area.
HWND MakePreviewArea()
{
    settingsWindow = CreateWindowExA(0, "STATIC", "Display Properties",
                                     WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 400, 300, nullptr,
                                     nullptr, nullptr, nullptr);
    return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 120, 40,
                           kPreviewWidth, kPreviewHeight, settingsWindow, nullptr, nullptr,
                           nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    bool preview = std::strcmp(argv[1], "preview") == 0;
    outputPath = TestOutputPath(argv[2]);
    UINT runMs = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 2500;

    saverState.instance = GetModuleHandleA(nullptr);
    SetTimer(nullptr, 0, runMs, CaptureFrame);
    int exitCode = RunSaverWindow(preview ? MakePreviewArea() : nullptr);
    std::printf("saver ended with %d\n", exitCode);
    return pictureShowsScene ? 0 : 1;
}
