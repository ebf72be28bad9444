#pragma once
// Writes BMP files of every kind the loader accepts, and works out from the
// same description what picture the file holds, independently of the loader.
#include <cstdint>
#include <string>
#include <vector>

// One step of a run-length-encoded picture.
struct RleOp {
    enum Kind { Run, Literal, EndOfLine, EndOfPicture, Delta };
    Kind kind;
    int count;                     // Run: pixels
    uint8_t value;                 // Run: index byte (4 bits: two indices, high first)
    std::vector<uint8_t> indices;  // Literal: one index per pixel
    int right, up;                 // Delta
};
RleOp RunOf(int count, uint8_t value);
RleOp LiteralOf(std::vector<uint8_t> indices);
RleOp EndOfLine();
RleOp EndOfPicture();
RleOp DeltaOf(int right, int up);

// A BMP file as a test describes it: the picture and how it is stored.
struct BmpRecipe {
    int width = 1;
    int height = 1;                  // negative: rows stored top-down
    int bitsPerPixel = 24;
    uint32_t compression = 0;        // 0 none, 1 RLE8, 2 RLE4, 3 bit-field masks
    bool coreHeader = false;
    bool fileHeader = true;          // starts with the 14-byte "BM" header
    uint32_t headerSize = 0;         // 0: 12 or 40; else an information header this long
    uint16_t planes = 1;
    uint32_t colorsUsed = 0;
    uint32_t imageSize = 0;
    std::vector<uint32_t> palette;   // 0xRRGGBB; as many entries as the header declares are written
    uint32_t masks[3] = {0, 0, 0};   // red, green, blue (compression 3)
    uint32_t gap = 0;                // filler bytes between table and pixels ("BM" files)
    std::vector<uint32_t> pixels;    // bottom row first: index, or the stored 16/24/32-bit value
    std::vector<RleOp> rle;          // compression 1 and 2
    std::vector<uint8_t> rawPixels;  // when not empty: the pixel bytes, written as they are
};

// Number of colour-table entries the file holds for this recipe.
uint32_t TableEntries(const BmpRecipe& recipe);
// Offset of the DIB header in the file.
size_t HeaderOffset(const BmpRecipe& recipe);
// Offset of the first pixel byte in the file.
size_t PixelOffset(const BmpRecipe& recipe);

// The file's bytes.
std::vector<uint8_t> MakeBmp(const BmpRecipe& recipe);
// The pixel bytes alone (rows or run-length stream) as the file stores them.
std::vector<uint8_t> EncodePixels(const BmpRecipe& recipe);
// The picture the file holds as packed red, green, blue bytes, bottom row
// first; pixels a run-length stream skips and indices past the table are black.
std::vector<uint8_t> ExpectedRgb(const BmpRecipe& recipe);

// Fills recipe.pixels with a varied picture of values below `limit`
// (0: any 32-bit value), from a fixed seed.
void FillPicture(BmpRecipe& recipe, uint32_t limit, uint32_t seed);
// A palette of n distinct colours.
std::vector<uint32_t> MakePalette(uint32_t n, uint32_t seed);

// Writes bytes to a file in the run folder and returns its Windows path
// (with BMP_SEED_FOLDER set, a copy goes there too, as a fuzzing seed).
std::string WriteRunFile(const std::string& name, const std::vector<uint8_t>& bytes);
// Stores a 32-bit little-endian value at an offset of a byte vector.
void PutDword(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
// Stores a 16-bit little-endian value at an offset of a byte vector.
void PutWord(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
