#pragma once
// The BMP file's checks in plain code: given the bytes of a file, whether the
// loader accepts it, and exactly what goes to the conversion. No platform
// headers, so that it builds and is fuzzed natively too.
#include <stdint.h>

// What the checks decide about a file.
enum BmpVerdict {
    kBmpAccepted,
    kBmpNoHeader,       // too short for the file header or the DIB header
    kBmpUnknownHeader,  // a header size other than 12 or 40
    kBmpTooLarge,       // no picture or one past the size limits
    kBmpUnconvertible,  // a depth or compression not handled, or data missing
};

// Compressions, as the header's field spells them.
const uint32_t kBmpRgb = 0;
const uint32_t kBmpRle8 = 1;
const uint32_t kBmpRle4 = 2;
const uint32_t kBmpBitfields = 3;

// An information header, laid out as the conversion reads it.
struct BmpInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};

// A colour-table entry, laid out as the conversion reads it.
struct BmpColor {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

// The file's header restated for the conversion: an information header
// followed by the full colour table of the depth (entries the file lacks are
// black) or by the three bit-field masks (red, green, blue).
struct BmpSource {
    BmpInfoHeader header;
    BmpColor colors[256];
};

// Where the accepted file's pixels lie: the rows or the run-length stream up
// to and including its end-of-picture escape.
struct BmpPixels {
    const uint8_t* start;
    uint32_t bytes;
    int32_t width;
    int32_t height;  // rows, whichever way they are stored
};

extern const char kBmpOutOfMemory[];
extern const char kBmpUnknownFormat[];
extern const char kBmpConversionError[];
// The start of the open-failure text; the path follows after a blank.
extern const char kBmpOpenFailed[];

// Checks the file's bytes; for an accepted file fills in the conversion's
// source description and the pixels' place. Reads nothing past size.
BmpVerdict DescribeBmp(const uint8_t* file, uint32_t size, BmpSource* source, BmpPixels* pixels);

// The message the user sees for a refusal.
const char* BmpRefusalText(BmpVerdict verdict);

// One run of a run-length stream, checked to lie inside the picture: count
// pixels from column x of row y, their colour indices one after another (a
// literal run) or in one repeated byte (an encoded run; of 4 bits, its two
// indices alternate, high half first).
struct RleRun {
    int32_t x;
    int32_t y;
    int32_t count;
    const uint8_t* indices;
    bool literal;
};

// What a walk does with each run it has checked.
typedef void (*RleRunAction)(const RleRun* run, void* context);

// Walks a run-length-encoded picture (bitsPerPixel 4 or 8) within the bytes
// present, hands each run to action (when there is one) once it is checked,
// and returns the length of the stream up to and including its
// end-of-picture escape; 0 when it runs past its rows or past those bytes
// first.
uint32_t WalkRleStream(const uint8_t* stream, uint32_t present, int32_t width, int32_t height,
                       uint16_t bitsPerPixel, RleRunAction action, void* context);

// Returns the number of colour-table entries of a DIB header (core or
// information header).
uint16_t CountDibColors(const void* header);

// Repacks bottom-up 24-bit rows (blue, green, red, padded to 4 bytes) into
// unpadded red, green, blue rows.
void RepackRgb(const uint8_t* surface, int32_t width, int32_t height, uint8_t* out);
