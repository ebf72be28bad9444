// Frame cost of the native saver against an empty GLX window driven the same
// way: one window and context at 1024 x 768, the saver's event handling and
// swap, frames back to back without the frame timer; blocks of scene frames
// and of clear-and-swap frames alternate and the medians are printed.
//   frame_cost_bench PICTURE_FOLDER [ROUNDS [FRAMES]]
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "gl_entry_table.h"
#include "scene_frame.h"
#include "scene_lighting.h"
#include "x11_gl.h"
#include "x11_pictures.h"
#include "x11_window.h"

namespace {

const int kWidth = 1024;
const int kHeight = 768;

// Seconds on the monotonic clock.
double Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Draws what the empty window shows: the cleared buffers.
void DrawEmptyFrame()
{
    DriverGl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Milliseconds per frame over a block of frames drawn by draw.
double TimeFrames(void (*draw)(), int frames)
{
    const double start = Now();
    for (int i = 0; i < frames && HandleSaverEvents(); ++i) {
        draw();
        FinishSaverFrame();
    }
    DriverGl::glFinish();
    return (Now() - start) * 1000.0 / frames;
}

// The middle value of a list.
double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

// Draws the rounds and prints each and the medians.
int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const int rounds = argc > 2 ? atoi(argv[2]) : 7;
    const int frames = argc > 3 ? atoi(argv[3]) : 100;
    SaverOptions options = {TargetOwnWindow, 0, false};
    if (ReadScenePictures(argv[1]) != 0 || LoadSystemGl() != 0 || OpenSaverWindow(options) != 0)
        return 1;
    printf("swaps paced at the display's refresh: %s\n", x11Saver.swapPaced ? "yes" : "no");
    XMoveResizeWindow(x11Saver.display, x11Saver.window, 0, 0, kWidth, kHeight);
    XSync(x11Saver.display, False);
    InitSceneLighting();
    ResizeScene(kWidth, kHeight);
    x11Saver.width = kWidth;
    x11Saver.height = kHeight;

    std::vector<double> scene, empty;
    TimeFrames(DrawSceneFrame, frames / 4);
    for (int round = 0; round < rounds; ++round) {
        empty.push_back(TimeFrames(DrawEmptyFrame, frames));
        scene.push_back(TimeFrames(DrawSceneFrame, frames));
        printf("round %d: scene %.2f ms, empty %.2f ms a frame\n", round + 1, scene.back(),
               empty.back());
    }
    const double sceneMs = Median(scene), emptyMs = Median(empty);
    printf("medians of %d rounds of %d frames, %dx%d: scene %.2f ms, empty window %.2f ms, "
           "scene adds %.2f ms, frames/s %.1f vs %.1f\n",
           rounds, frames, kWidth, kHeight, sceneMs, emptyMs, sceneMs - emptyMs,
           1000.0 / sceneMs, 1000.0 / emptyMs);
    CloseSaverWindow();
    return 0;
}
