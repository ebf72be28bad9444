#pragma once
// Records shared by the scene's drawing code.
#include "gl_entry_table.h"

// The scene's three OpenGL texture names, made once before the first frame
// and only bound afterwards.
struct SceneTextures {
    GLuint modelTexture, starsTexture, cloudTexture;
};
extern SceneTextures sceneTextures;
