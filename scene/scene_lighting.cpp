#include "scene_lighting.h"

#include <stdlib.h>

#include "gl_entry_table.h"
#include "rgb_image.h"
#include "scene.h"
#include <GL/glu.h>

namespace {

const GLfloat kLightAmbient[] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat kLightDiffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat kLightPosition[] = {0.0f, 0.0f, 0.0f, 1.0f};

// Sets a bound texture's magnification and minification filters.
void SetTextureFilters(GLint magnification, GLint minification)
{
    ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnification);
    ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minification);
}

// Gives the bound texture a picture and its whole mipmap chain.
void BuildMipmaps(const RgbImage* image)
{
    ::gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB,
                        GL_UNSIGNED_BYTE, image->data);
}

// Releases a picture once its texture has it.
void FreeImage(RgbImage* image)
{
    free(image->data);
    free(image);
}

}  // namespace

void InitSceneLighting()
{
    ::glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    ::glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    ::glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    DriverGl::glEnable(GL_LIGHT0);
    DriverGl::glEnable(GL_LIGHTING);
    LoadSceneTextures();
}

void MakeSceneTextures(RgbImage* cloud, RgbImage* stars, RgbImage* model)
{
    GLuint names[3];
    ::glGenTextures(3, names);
    sceneTextures.cloudTexture = names[0];
    sceneTextures.starsTexture = names[1];
    sceneTextures.modelTexture = names[2];

    // The pictures hold packed rows of 3 x width bytes.
    DriverGl::glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    DriverGl::glBindTexture(GL_TEXTURE_2D, sceneTextures.cloudTexture);
    SetTextureFilters(GL_LINEAR, GL_LINEAR);
    BuildMipmaps(cloud);

    DriverGl::glBindTexture(GL_TEXTURE_2D, sceneTextures.starsTexture);
    SetTextureFilters(GL_LINEAR, GL_LINEAR);
    DriverGl::glTexImage2D(GL_TEXTURE_2D, 0, 3, stars->width, stars->height, 0, GL_RGB,
                           GL_UNSIGNED_BYTE, stars->data);

    DriverGl::glBindTexture(GL_TEXTURE_2D, sceneTextures.modelTexture);
    SetTextureFilters(GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST);
    BuildMipmaps(model);

    DriverGl::glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    FreeImage(cloud);
    FreeImage(stars);
    FreeImage(model);
}
