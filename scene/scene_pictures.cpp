#include "scene_lighting.h"

#include <stdlib.h>

#include "bmp_loader.h"

namespace {

const char kCloudPath[] = "c:\\zelvodata\\cloud.bmp";
const char kStarsPath[] = "c:\\zelvodata\\stars.bmp";
const char kModelPath[] = "c:\\zelvodata\\quad.bmp";

}  // namespace

void LoadSceneTextures()
{
    // All three are read before any is tested, so each missing file gets
    // its own message.
    RgbImage* cloud = LoadBmpImage(kCloudPath);
    RgbImage* stars = LoadBmpImage(kStarsPath);
    RgbImage* model = LoadBmpImage(kModelPath);
    if (!cloud || !stars || !model)
        exit(0);
    MakeSceneTextures(cloud, stars, model);
}
