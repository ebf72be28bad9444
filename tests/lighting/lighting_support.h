#pragma once
// For the light and texture tests: pictures written where the scene reads
// them, a GL context made as the GL window makes it, and texture read-back.
#include <windows.h>
#include <GL/gl.h>

#include <string>
#include <vector>

// A picture as the loader hands it over: packed red, green, blue bytes,
// bottom row first, no row padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    // The packed bytes of one row.
    std::vector<unsigned char> Row(int row) const;
};

// A picture of one colour.
Picture SolidPicture(int width, int height, unsigned char red, unsigned char green,
                     unsigned char blue);
// A picture whose every byte differs from its neighbours', from a seed.
Picture VariedPicture(int width, int height, unsigned seed);
// A picture whose left half is one colour and right half another.
Picture SplitPicture(int width, int height, const unsigned char left[3],
                     const unsigned char right[3]);

// Writes a picture as a 24-bit BMP file.
bool WritePictureFile(const std::string& path, const Picture& picture);
// Writes a picture as the 24-bit BMP file c:\zelvodata\<name>.bmp.
bool WriteScenePicture(const std::string& name, const Picture& picture);
// Deletes c:\zelvodata\<name>.bmp; true when it is gone.
bool RemoveScenePicture(const std::string& name);
// The full path the scene reads a picture from.
std::string ScenePicturePath(const std::string& name);

// Calls InitSceneLighting; should it end the process instead of returning,
// the process ends with status 3 and a note, so a test program cannot pass
// by being cut short with status 0.
void InitSceneLightingOrFail();

// A current GL context on a window's device context, made through the WGL
// operations of the loaded driver library as the GL window makes it.
struct TestContext {
    HGLRC context = nullptr;
    // Sets the pixel format and makes a new context current; false on failure.
    bool Start(HDC dc);
    // Releases and deletes the context.
    void End();
};

// One texture level read back with the platform's GL, packed as a Picture;
// width 0 when the level has no image.
Picture ReadTextureLevel(GLuint texture, int level);
// An integer parameter of a texture (glGetTexParameteriv).
GLint TextureParameter(GLuint texture, GLenum name);
// The width and height of one level of a texture (0 when it has no image).
void TextureLevelSize(GLuint texture, int level, GLint* width, GLint* height);
// True for 1, 2, 4, 8, ...
bool IsPowerOfTwo(GLint value);
