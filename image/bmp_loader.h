#pragma once
#include <windows.h>

#include "rgb_image.h"

// Reads a BMP file (with or without the "BM" file header) into a new
// RgbImage. The record and its pixel block come from malloc and belong to
// the caller. On failure shows one message box and returns null.
RgbImage* LoadBmpImage(const char* path);
