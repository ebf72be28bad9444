#pragma once
// The scene's three pictures on Linux: read from the program's data folder
// at start, before any window exists, and made into textures later by
// LoadSceneTextures.
#include <string>

// The installed data folder, found from the program's own location.
std::string ProgramDataFolder();

// Reads cloud.bmp, stars.bmp and quad.bmp from folder: 0, or -1 after one
// line on stderr naming the first file that failed and why.
int ReadScenePictures(const std::string& folder);
