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
    for (const char* file : {"cloud", "stars", "quad"})
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ScenePicturePath(file).c_str()))
            << file << ": not installed (run with --pictures)";
    ASSERT_NO_FATAL_FAILURE(StartContext("opengl32.dll"));
    InitSceneLightingQuietly();
    struct Texture {
        const char* file;
        GLuint name;
        bool mipmapped;
    } textures[] = {
        {"cloud", sceneTextures.cloudTexture, true},
        {"stars", sceneTextures.starsTexture, false},
        {"quad", sceneTextures.modelTexture, true},
    };
    for (const Texture& texture : textures) {
        SCOPED_TRACE(texture.file);
        int width = 0, height = 0;
        ASSERT_TRUE(ReadBmpSize(ScenePicturePath(texture.file), &width, &height));
        // Sides of powers of two: GLU keeps them, and the stars need them on
        // OpenGL 1.1.
        EXPECT_TRUE(IsPowerOfTwo(width) && IsPowerOfTwo(height)) << width << " x " << height;
        if (texture.mipmapped)
            ExpectLevels(texture.name, FullChain(width, height));
        else
            ExpectLevels(texture.name, {{width, height}});
        ExpectSamePicture(LoadedPicture(ScenePicturePath(texture.file)),
                          ReadTextureLevel(texture.name, 0), texture.file);
    }
}

}  // namespace
