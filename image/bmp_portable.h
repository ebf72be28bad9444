#pragma once
// Reading a BMP file without the platform's graphics calls: the loader's
// checks, then a conversion in plain code that gives the same picture as the
// Windows loader's 24-bit conversion.
#include "rgb_image.h"

#include <stdint.h>
#include <string>

// Reads a whole BMP file (with or without the "BM" file header) into a new
// RgbImage. The record and its pixel block come from malloc and belong to
// the caller. On failure returns null and sets *reason: the open error, or
// the message the Windows loader shows for the file.
RgbImage* ReadBmpFile(const char* path, std::string* reason);

// Checks and converts the bytes of a whole BMP file as ReadBmpFile does.
RgbImage* ConvertBmpBytes(const uint8_t* bytes, uint32_t size, std::string* reason);
