#pragma once
#include <stdint.h>

// A picture as packed red, green, blue bytes: rows bottom-up, each row
// exactly 3 * width bytes with no padding.
struct RgbImage {
    int32_t width;
    int32_t height;
    uint8_t* data;
};
