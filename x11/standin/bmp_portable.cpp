// TEMPORARY stand-in: uncompressed 24-bit files only.
#include "bmp_portable.h"
#include <stdio.h>
#include <stdlib.h>
#include <errno.h>
#include <string.h>
RgbImage* ReadBmpFile(const char* path, std::string* reason)
{
    FILE* f = fopen(path, "rb");
    if (!f) { *reason = strerror(errno); return nullptr; }
    unsigned char h[54];
    if (fread(h, 1, 54, f) != 54 || h[0] != 'B' || h[1] != 'M' || h[28] != 24) {
        fclose(f); *reason = "not a 24-bit BMP file"; return nullptr;
    }
    int32_t w, hh; uint32_t off;
    memcpy(&w, h + 18, 4); memcpy(&hh, h + 22, 4); memcpy(&off, h + 10, 4);
    RgbImage* img = (RgbImage*)malloc(sizeof(RgbImage));
    img->width = w; img->height = hh; img->data = (uint8_t*)malloc(3 * w * hh);
    int stride = (3 * w + 3) & ~3;
    unsigned char* row = (unsigned char*)malloc(stride);
    fseek(f, off, SEEK_SET);
    for (int y = 0; y < hh; ++y) {
        if (fread(row, 1, stride, f) != (size_t)stride) { *reason = "file too short"; fclose(f); free(row); free(img->data); free(img); return nullptr; }
        for (int x = 0; x < w; ++x) {
            uint8_t* p = img->data + 3 * (y * w + x);
            p[0] = row[3 * x + 2]; p[1] = row[3 * x + 1]; p[2] = row[3 * x];
        }
    }
    free(row); fclose(f);
    return img;
}
