// opengl-saver: the scene as an XScreenSaver module for X11.
#include "scene_frame.h"
#include "scene_lighting.h"
#include "x11_gl.h"
#include "x11_pictures.h"
#include "x11_window.h"

// Reads the pictures, opens the window and draws frames until told to stop:
// 0 then, 1 when it cannot start.
int main(int argc, char** argv)
{
    SaverOptions options;
    if (ParseSaverOptions(argc, argv, &options) != 0)
        return 1;
    if (ReadScenePictures(ProgramDataFolder()) != 0)
        return 1;
    CatchStopSignals();
    if (LoadSystemGl() != 0 || OpenSaverWindow(options) != 0)
        return 1;
    InitSceneLighting();
    ResizeScene(x11Saver.width, x11Saver.height);
    while (HandleSaverEvents()) {
        DrawSceneFrame();
        FinishSaverFrame();
        WaitForFrameTimer();
    }
    CloseSaverWindow();
    return 0;
}
