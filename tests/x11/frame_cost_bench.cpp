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

// Seconds on the given clock.
double Now(clockid_t clock)
{
    timespec now;
    clock_gettime(clock, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Milliseconds a frame of one block: wall time, and CPU time of the whole
// process (the renderer's threads too), which the machine's load moves less.
struct BlockCost {
    double wallMs;
    double cpuMs;
};

// Draws what the empty window shows: the cleared buffers.
void DrawEmptyFrame()
{
    DriverGl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Cost a frame over a block of frames drawn by draw.
BlockCost TimeFrames(void (*draw)(), int frames)
{
    const double wall = Now(CLOCK_MONOTONIC);
    const double cpu = Now(CLOCK_PROCESS_CPUTIME_ID);
    for (int i = 0; i < frames && HandleSaverEvents(); ++i) {
        draw();
        FinishSaverFrame();
    }
    DriverGl::glFinish();
    return {(Now(CLOCK_MONOTONIC) - wall) * 1000.0 / frames,
            (Now(CLOCK_PROCESS_CPUTIME_ID) - cpu) * 1000.0 / frames};
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
    SaverOptions options = {TargetOwnWindow, 0, false, nullptr, 0};
    if (ReadScenePictures(argv[1]) != 0 || LoadSystemGl() != 0 || OpenSaverWindow(options) != 0)
        return 1;
    printf("renderer %s, %s context; swaps paced at the display's refresh: %s\n",
           DriverGl::glGetString(GL_RENDERER),
           glXIsDirect(x11Saver.display, x11Saver.context) ? "direct" : "indirect",
           x11Saver.swapPaced ? "yes" : "no");
    XMoveResizeWindow(x11Saver.display, x11Saver.window, 0, 0, kWidth, kHeight);
    XSync(x11Saver.display, False);
    InitSceneLighting();
    ResizeScene(kWidth, kHeight);
    x11Saver.width = kWidth;
    x11Saver.height = kHeight;

    std::vector<double> sceneWall, emptyWall, sceneCpu, emptyCpu;
    TimeFrames(DrawSceneFrame, frames / 4);
    for (int round = 0; round < rounds; ++round) {
        const BlockCost empty = TimeFrames(DrawEmptyFrame, frames);
        const BlockCost scene = TimeFrames(DrawSceneFrame, frames);
        emptyWall.push_back(empty.wallMs);
        emptyCpu.push_back(empty.cpuMs);
        sceneWall.push_back(scene.wallMs);
        sceneCpu.push_back(scene.cpuMs);
        printf("round %d: scene %.2f ms (CPU %.2f), empty %.2f ms (CPU %.2f) a frame\n",
               round + 1, scene.wallMs, scene.cpuMs, empty.wallMs, empty.cpuMs);
    }
    const double sceneMs = Median(sceneWall), emptyMs = Median(emptyWall);
    printf("medians of %d rounds of %d frames, %dx%d: scene %.2f ms, empty window %.2f ms, "
           "scene adds %.2f ms; frames/s %.1f vs %.1f; process CPU ms a frame %.2f vs %.2f\n",
           rounds, frames, kWidth, kHeight, sceneMs, emptyMs, sceneMs - emptyMs,
           1000.0 / sceneMs, 1000.0 / emptyMs, Median(sceneCpu), Median(emptyCpu));
    CloseSaverWindow();
    return 0;
}
