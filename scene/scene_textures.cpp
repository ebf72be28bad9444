#include "scene.h"

// The scene's texture names, zero until the textures are made.
SceneTextures sceneTextures;
