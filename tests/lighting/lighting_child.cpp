// Sets up the light and textures as the GL window does, in a context of the
// recording driver, for a test that expects the set-up to end the process.
// Whatever ends it, an exit handler writes to the report file (the one
// argument) every GL and GLU call the set-up made, the scene's texture names
// and the next texture name the context hands out (1 when none has been
// generated). Should the set-up return, the program says so and ends with
// status 7.
//
//   lighting_child.exe REPORT
#include <windows.h>
#include <GL/gl.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "gl_doubles.h"
#include "gl_driver.h"
#include "lighting_support.h"
#include "platform_calls.h"
#include "recorder_api.h"
#include "scene.h"
#include "scene_lighting.h"

namespace {

struct ChildState {
    const char* reportPath;
    RecorderApi recorder;
    bool returned;
};
ChildState child;

// Writes the report; runs at exit.
void WriteReport()
{
    FILE* report = fopen(child.reportPath, "w");
    if (!report)
        return;
    for (const std::string& call : CallsInOrder())
        fprintf(report, "call %s\n", call.c_str());
    fprintf(report, "names %u %u %u\n", sceneTextures.cloudTexture, sceneTextures.starsTexture,
            sceneTextures.modelTexture);
    GLuint next = 0;
    glGenTextures(1, &next);
    fprintf(report, "next-name %u\n", next);
    if (child.returned)
        fprintf(report, "returned\n");
    fclose(report);
}

}  // namespace

// Runs the set-up; the status is 2 when the context cannot be made.
int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    child.reportPath = argv[1];
    std::string driver = DoublePath("gl-recorder", "3dfxgl.dll");
    if (LoadDriverLibrary(driver.c_str()) != 0 || !BindRecorder(glEntries.driverLibrary, child.recorder))
        return 2;
    TestGlWindow window;
    TestContext context;
    if (!context.Start(window.dc))
        return 2;
    child.recorder.reset();
    if (!StartPlatformCallLog(&child.recorder))
        return 2;
    atexit(WriteReport);
    InitSceneLighting();
    child.returned = true;
    exit(7);
}
