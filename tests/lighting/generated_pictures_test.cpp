// The pictures that the build generates, installed in c:\zelvodata\ by the
// test run (wine-run.sh --pictures), become textures of their own sizes
// holding their own pixels.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "bmp_loader.h"
#include "lighting_fixture.h"

namespace {

// Width and height from a BMP file's information header, read directly.
bool ReadBmpSize(const std::string& path, int* width, int* height)
{
    unsigned char header[26] = {};
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool read = fread(header, 1, sizeof header, file) == sizeof header;
    fclose(file);
    if (!read || header[0] != 'B' || header[1] != 'M')
        return false;
    auto dword = [&](int at) {
        return int(header[at] | header[at + 1] << 8 | header[at + 2] << 16 | header[at + 3] << 24);
    };
    *width = dword(18);
    *height = dword(22);
    return true;
}

// The picture as the loader reads it.
Picture LoadedPicture(const std::string& path)
{
    Picture picture;
    RgbImage* image = LoadBmpImage(path.c_str());
    if (!image)
        return picture;
    picture.width = image->width;
    picture.height = image->height;
    picture.rgb.assign(image->data, image->data + image->width * image->height * 3);
    free(image->data);
    free(image);
    return picture;
}

typedef SceneContextTest GeneratedPictures;

TEST_F(GeneratedPictures, MakeTexturesOfTheirSizesAndPixels)
{
    struct Texture {
        const char* file;
        GLuint name;
        bool mipmapped;
    };
    int sizes[3][2] = {};
    const char* files[] = {"cloud", "stars", "quad"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ReadBmpSize(ScenePicturePath(files[i]), &sizes[i][0], &sizes[i][1]))
            << files[i] << ": not installed (run with --pictures)";
        // Sides of powers of two: GLU keeps them, and the stars need them on
        // OpenGL 1.1.
        EXPECT_TRUE(IsPowerOfTwo(sizes[i][0]) && IsPowerOfTwo(sizes[i][1]))
            << files[i] << ": " << sizes[i][0] << " x " << sizes[i][1];
    }

    ASSERT_NO_FATAL_FAILURE(StartContext("opengl32.dll"));
    InitSceneLightingQuietly();
    Texture textures[] = {
        {"cloud", sceneTextures.cloudTexture, true},
        {"stars", sceneTextures.starsTexture, false},
        {"quad", sceneTextures.modelTexture, true},
    };
    for (int i = 0; i < 3; ++i) {
        const Texture& texture = textures[i];
        SCOPED_TRACE(texture.file);
        if (texture.mipmapped)
            ExpectLevels(texture.name, FullChain(sizes[i][0], sizes[i][1]));
        else
            ExpectLevels(texture.name, {{sizes[i][0], sizes[i][1]}});
        ExpectSamePicture(LoadedPicture(ScenePicturePath(texture.file)),
                          ReadTextureLevel(texture.name, 0), texture.file);
    }
}

}  // namespace
