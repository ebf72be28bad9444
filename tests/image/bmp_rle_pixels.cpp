// The portable reader's run-length rules, pixel by pixel: small RLE8 and
// RLE4 pictures written out as bytes, converted by ReadBmpFile's conversion
// and compared with the pixels the format gives them, written out by hand.
#include "bmp_portable.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

namespace {

// A pixel the stream skips (delta, end of line or of picture): black.
const int kSkipped = -1;
// Colour-table entries each file holds.
const int kColors = 16;

// A run-length picture: the stream, and the colour index of each pixel,
// bottom row first, as the format defines them.
struct RleCase {
    const char* name;
    uint16_t bitsPerPixel;
    int32_t width;
    int32_t height;
    std::vector<uint8_t> stream;
    std::vector<int> indices;
};

const int _ = kSkipped;
const RleCase kCases[] = {
    {"RLE8: run, odd literal with its pad byte, end of line, delta, end of picture", 8, 8, 3,
     {3, 1,                // three of index 1
      0, 3, 2, 3, 4, 0,    // literal 2 3 4 and its pad byte
      0, 0,                // end of line: the rest of the row is skipped
      2, 5,                // two of index 5
      0, 2, 2, 1,          // delta: 2 right, 1 up
      2, 6,                // two of index 6
      0, 1},               // end of picture
     {1, 1, 1, 2, 3, 4, _, _,
      5, 5, _, _, _, _, _, _,
      _, _, _, _, 6, 6, _, _}},
    {"RLE4: runs of two colours, odd literal with its pad byte, delta, end of picture", 4, 10, 3,
     {5, 0x12,                    // five pixels of 1 and 2 in turn, high half first
      0, 5, 0x34, 0x56, 0x70, 0,  // literal 3 4 5 6 7: three bytes and a pad byte
      0, 0,                       // end of line
      3, 0x89,                    // 8 9 8
      0, 2, 4, 1,                 // delta: 4 right, 1 up
      3, 0xAB,                    // 10 11 10
      0, 1},
     {1, 2, 1, 2, 1, 3, 4, 5, 6, 7,
      8, 9, 8, _, _, _, _, _, _, _,
      _, _, _, _, _, _, _, 10, 11, 10}},
};

// Colour-table entry `index` as red, green, blue: distinct, none black.
void ColorOf(int index, uint8_t* rgb)
{
    rgb[0] = uint8_t(16 * index + 8);
    rgb[1] = uint8_t(250 - 15 * index);
    rgb[2] = uint8_t(100 + index);
}

// Appends a little-endian value of `bytes` bytes.
void Append(std::vector<uint8_t>* out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->push_back(uint8_t(value >> 8 * i));
}

// The file: an information header, the colour table, the stream.
std::vector<uint8_t> FileOf(const RleCase& picture)
{
    std::vector<uint8_t> file;
    Append(&file, 40, 4);
    Append(&file, uint32_t(picture.width), 4);
    Append(&file, uint32_t(picture.height), 4);
    Append(&file, 1, 2);
    Append(&file, picture.bitsPerPixel, 2);
    Append(&file, picture.bitsPerPixel == 8 ? 1 : 2, 4);  // BI_RLE8, BI_RLE4
    Append(&file, uint32_t(picture.stream.size()), 4);
    Append(&file, 0, 8);
    Append(&file, kColors, 4);
    Append(&file, 0, 4);
    for (int i = 0; i < kColors; ++i) {
        uint8_t rgb[3];
        ColorOf(i, rgb);
        file.insert(file.end(), {rgb[2], rgb[1], rgb[0], 0});
    }
    file.insert(file.end(), picture.stream.begin(), picture.stream.end());
    return file;
}

// Converts one case and compares every pixel; prints the first difference.
bool ConvertsAsTheFormatSays(const RleCase& picture)
{
    const std::vector<uint8_t> file = FileOf(picture);
    std::string reason;
    RgbImage* image = ConvertBmpBytes(file.data(), uint32_t(file.size()), &reason);
    if (!image) {
        printf("FAIL %s: refused: %s\n", picture.name, reason.c_str());
        return false;
    }
    bool same = image->width == picture.width && image->height == picture.height;
    if (!same)
        printf("FAIL %s: %dx%d, not %dx%d\n", picture.name, image->width, image->height, picture.width,
               picture.height);
    for (int32_t i = 0; same && i < picture.width * picture.height; ++i) {
        uint8_t want[3] = {0, 0, 0};
        if (picture.indices[i] != kSkipped)
            ColorOf(picture.indices[i], want);
        const uint8_t* got = image->data + 3 * i;
        if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2]) {
            printf("FAIL %s: pixel %d of row %d (from the bottom) is %d,%d,%d, not %d,%d,%d\n", picture.name,
                   i % picture.width, i / picture.width, got[0], got[1], got[2], want[0], want[1], want[2]);
            same = false;
        }
    }
    free(image->data);
    free(image);
    return same;
}

}  // namespace

int main()
{
    int failed = 0;
    for (const RleCase& picture : kCases) {
        if (ConvertsAsTheFormatSays(picture))
            printf("ok %s\n", picture.name);
        else
            ++failed;
    }
    return failed ? 1 : 0;
}
