#include "x11_pictures.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "bmp_portable.h"
#include "scene_lighting.h"

namespace {

// The pictures read at start, held until the textures take them.
RgbImage* pictures[3];
const char* const kPictureFiles[3] = {"cloud.bmp", "stars.bmp", "quad.bmp"};

// Releases a picture read before a later one failed.
void FreePicture(RgbImage* image)
{
    free(image->data);
    free(image);
}

}  // namespace

// The data folder beside the running program, resolved where it exists.
std::string ProgramDataFolder()
{
    char program[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0)
        return SAVER_DATA_FROM_PROGRAM;
    std::string path(program, static_cast<size_t>(length));
    path = path.substr(0, path.rfind('/') + 1) + SAVER_DATA_FROM_PROGRAM;
    char folder[PATH_MAX];
    return realpath(path.c_str(), folder) ? folder : path;
}

// Reads the three pictures; the first failure is reported and ends the reading.
int ReadScenePictures(const std::string& folder)
{
    for (int i = 0; i < 3; ++i) {
        const std::string path = folder + "/" + kPictureFiles[i];
        std::string reason;
        pictures[i] = ReadBmpFile(path.c_str(), &reason);
        if (!pictures[i]) {
            // An open failure's reason names the file already.
            if (reason.find(path) == std::string::npos)
                reason = path + ": " + reason;
            fprintf(stderr, "opengl-saver: %s\n", reason.c_str());
            for (int j = 0; j < i; ++j)
                FreePicture(pictures[j]);
            return -1;
        }
    }
    return 0;
}

// Makes the textures from the pictures read at start; they are released.
void LoadSceneTextures()
{
    MakeSceneTextures(pictures[0], pictures[1], pictures[2]);
    pictures[0] = pictures[1] = pictures[2] = nullptr;
}
