#include "lighting_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "gl_doubles.h"
#include "gl_driver.h"
#include "scene_lighting.h"

namespace {

const char kPictureFolder[] = "c:\\zelvodata";

// Stores a 16- or 32-bit little-endian value.
void PutLittle(std::vector<unsigned char>& bytes, size_t offset, unsigned value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

// The bytes of a 24-bit uncompressed BMP file holding a picture.
std::vector<unsigned char> BmpBytes(const Picture& picture)
{
    const size_t headers = 14 + 40;
    size_t stride = (static_cast<size_t>(picture.width) * 3 + 3) / 4 * 4;
    std::vector<unsigned char> bytes(headers + stride * picture.height, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLittle(bytes, 2, static_cast<unsigned>(bytes.size()), 4);
    PutLittle(bytes, 10, headers, 4);
    PutLittle(bytes, 14, 40, 4);
    PutLittle(bytes, 18, picture.width, 4);
    PutLittle(bytes, 22, picture.height, 4);
    PutLittle(bytes, 26, 1, 2);
    PutLittle(bytes, 28, 24, 2);
    for (int row = 0; row < picture.height; ++row)
        for (int column = 0; column < picture.width; ++column) {
            const unsigned char* rgb = &picture.rgb[(row * picture.width + column) * 3];
            unsigned char* bgr = &bytes[headers + row * stride + column * 3];
            bgr[0] = rgb[2];
            bgr[1] = rgb[1];
            bgr[2] = rgb[0];
        }
    return bytes;
}

bool initRunning = false;

// Ends a process that InitSceneLighting ended, with a status no test passes on.
void ReportEndedInsideInit()
{
    if (!initRunning)
        return;
    fprintf(stderr, "InitSceneLighting ended the process\n");
    fflush(stderr);
    _exit(3);
}

// Texture binding kept across a query, so queries leave the scene's state alone.
struct KeepBinding {
    GLint saved = 0;
    KeepBinding() { glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved); }
    ~KeepBinding() { glBindTexture(GL_TEXTURE_2D, saved); }
};

}  // namespace

std::vector<unsigned char> Picture::Row(int row) const
{
    auto first = rgb.begin() + static_cast<size_t>(row) * width * 3;
    return std::vector<unsigned char>(first, first + width * 3);
}

Picture SolidPicture(int width, int height, unsigned char red, unsigned char green,
                     unsigned char blue)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    for (int i = 0; i < width * height; ++i)
        picture.rgb.insert(picture.rgb.end(), {red, green, blue});
    return picture;
}

Picture VariedPicture(int width, int height, unsigned seed)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    unsigned state = seed * 2654435761u + 1;
    for (int i = 0; i < width * height * 3; ++i) {
        state = state * 1103515245u + 12345u;
        picture.rgb.push_back(static_cast<unsigned char>(state >> 16));
    }
    return picture;
}

Picture SplitPicture(int width, int height, const unsigned char left[3],
                     const unsigned char right[3])
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned char* colour = column < width / 2 ? left : right;
            picture.rgb.insert(picture.rgb.end(), colour, colour + 3);
        }
    return picture;
}

std::string ScenePicturePath(const std::string& name)
{
    return std::string(kPictureFolder) + "\\" + name + ".bmp";
}

bool WriteScenePicture(const std::string& name, const Picture& picture)
{
    CreateDirectoryA(kPictureFolder, nullptr);
    return WritePictureFile(ScenePicturePath(name), picture);
}

bool WritePictureFile(const std::string& path, const Picture& picture)
{
    std::vector<unsigned char> bytes = BmpBytes(picture);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

bool RemoveScenePicture(const std::string& name)
{
    std::string path = ScenePicturePath(name);
    DeleteFileA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

void InitSceneLightingOrFail()
{
    static bool registered = atexit(ReportEndedInsideInit) == 0;
    (void)registered;
    initRunning = true;
    InitSceneLighting();
    initRunning = false;
}

bool TestContext::Start(HDC dc)
{
    PIXELFORMATDESCRIPTOR desired = DesiredFormat();
    int format = DriverChoosePixelFormat(dc, &desired);
    if (!format || !DriverSetPixelFormat(dc, format, &desired))
        return false;
    PIXELFORMATDESCRIPTOR description = {};
    DriverDescribePixelFormat(dc, format, sizeof description, &description);
    context = DriverCreateContext(dc);
    return context && DriverMakeCurrent(dc, context);
}

void TestContext::End()
{
    if (!context)
        return;
    DriverMakeCurrent(nullptr, nullptr);
    DriverDeleteContext(context);
    context = nullptr;
}

Picture ReadTextureLevel(GLuint texture, int level)
{
    KeepBinding keep;
    Picture picture;
    TextureLevelSize(texture, level, &picture.width, &picture.height);
    if (picture.width <= 0 || picture.height <= 0) {
        picture.width = picture.height = 0;
        return picture;
    }
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    return picture;
}

GLint TextureParameter(GLuint texture, GLenum name)
{
    KeepBinding keep;
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

void TextureLevelSize(GLuint texture, int level, GLint* width, GLint* height)
{
    KeepBinding keep;
    *width = *height = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, height);
}

bool IsPowerOfTwo(GLint value)
{
    return value > 0 && (value & (value - 1)) == 0;
}
