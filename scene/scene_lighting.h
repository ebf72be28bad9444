#pragma once
// The scene's light and its three textures, set up once per GL context.

struct RgbImage;

// Gives light 0 its colours and position at the eye, turns lighting on and
// makes the three textures. Needs a current context with the identity
// model-view matrix. Ends the process when a picture cannot be read.
void InitSceneLighting();

// Makes one texture from each of the three pictures; returns only when all
// three exist. Each platform has its own: on Windows it reads the pictures
// here, the X11 program hands over those it read before making its window.
void LoadSceneTextures();

// Makes the cloud, stars and model textures from their pictures, then
// releases the pictures.
void MakeSceneTextures(RgbImage* cloud, RgbImage* stars, RgbImage* model);
