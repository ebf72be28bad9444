#pragma once
// TEMPORARY stand-in until image/rgb_image.h lands on main; removed then.
#ifdef _WIN32
#include "bmp_loader.h"
#else
#include <stdint.h>
struct RgbImage {
    int32_t width;
    int32_t height;
    uint8_t* data;
};
#endif
