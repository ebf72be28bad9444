#pragma once
// TEMPORARY stand-in until image/bmp_portable.h lands on main; removed then.
#include <string>
#include "rgb_image.h"
RgbImage* ReadBmpFile(const char* path, std::string* reason);
