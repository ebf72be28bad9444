#include "bmp_parse.h"

#include <string.h>

const char kBmpOutOfMemory[] = "Out of memory.";
const char kBmpUnknownFormat[] = "Unknown DIB file format.";
const char kBmpConversionError[] = "Image file conversion error.";
const char kBmpOpenFailed[] = "Failed to open DIB file";

namespace {

const uint32_t kFileHeaderSize = 14;
const uint32_t kFileOffsetField = 10;
const uint32_t kCoreHeaderSize = 12;
const uint32_t kInfoHeaderSize = 40;
const uint32_t kMaskBytes = 3 * sizeof(uint32_t);

// Largest picture accepted: 8192 x 8192 pixels. Its 24-bit conversion
// surface and its output block take 192 MiB each, which a 32-bit process
// still finds room for beside the mapped file. No side may pass 65536
// pixels, so that the row sizes GDI computes from width and depth stay far
// inside 32 bits.
const unsigned long long kMaxPixels = 8192ull * 8192ull;
const long long kMaxSide = 65536;

// Where the parts of the file lie, once checked.
struct DibLayout {
    const uint8_t* header;
    uint32_t headerSize;
    bool fileHeader;
    uint32_t pixelOffset;  // from the file header, when there is one
    uint16_t colorCount;
    uint32_t entrySize;    // bytes per colour-table entry in the file
};

// Reads a little-endian 16-bit field.
uint16_t ReadWord(const uint8_t* field)
{
    return uint16_t(field[0] | field[1] << 8);
}

// Reads a little-endian 32-bit field.
uint32_t ReadDword(const uint8_t* field)
{
    return uint32_t(field[0]) | uint32_t(field[1]) << 8 | uint32_t(field[2]) << 16 | uint32_t(field[3]) << 24;
}

// Finds the DIB header; false when the file is too short to hold the file
// header, the header's size field, or the header that field names.
bool FindDibHeader(const uint8_t* file, uint32_t size, DibLayout* layout)
{
    uint32_t start = 0;
    layout->fileHeader = size >= 2 && file[0] == 'B' && file[1] == 'M';
    if (layout->fileHeader) {
        if (size < kFileHeaderSize)
            return false;
        layout->pixelOffset = ReadDword(file + kFileOffsetField);
        start = kFileHeaderSize;
    }
    if (size - start < sizeof(uint32_t))
        return false;
    layout->header = file + start;
    layout->headerSize = ReadDword(layout->header);
    uint32_t needed = layout->headerSize == kCoreHeaderSize ? kCoreHeaderSize : kInfoHeaderSize;
    return size - start >= needed;
}

// Restates the file's header as an information header.
void DescribeHeader(const DibLayout* layout, BmpInfoHeader* info)
{
    const uint8_t* header = layout->header;
    info->size = kInfoHeaderSize;
    if (layout->headerSize == kCoreHeaderSize) {
        info->width = ReadWord(header + 4);
        info->height = ReadWord(header + 6);
        info->planes = ReadWord(header + 8);
        info->bitCount = ReadWord(header + 10);
        info->compression = kBmpRgb;
        info->clrUsed = layout->colorCount;
        return;
    }
    info->width = int32_t(ReadDword(header + 4));
    info->height = int32_t(ReadDword(header + 8));
    info->planes = ReadWord(header + 12);
    info->bitCount = ReadWord(header + 14);
    info->compression = ReadDword(header + 16);
    info->sizeImage = ReadDword(header + 20);
    info->xPelsPerMeter = int32_t(ReadDword(header + 24));
    info->yPelsPerMeter = int32_t(ReadDword(header + 28));
    info->clrUsed = ReadDword(header + 32);
    info->clrImportant = ReadDword(header + 36);
}

// True when a picture of these dimensions can be converted and returned.
bool HasUsableSize(const BmpInfoHeader* info)
{
    long long width = info->width;
    long long height = info->height < 0 ? -(long long)info->height : info->height;
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           (unsigned long long)(width * height) <= kMaxPixels;
}

// True for the depths and compressions the conversion handles.
bool IsConvertibleKind(const BmpInfoHeader* info)
{
    if (info->planes != 1 || info->clrUsed > 0xFFFF)
        return false;
    switch (info->compression) {
    case kBmpRgb:
        return info->bitCount == 1 || info->bitCount == 4 || info->bitCount == 8 ||
               info->bitCount == 16 || info->bitCount == 24 || info->bitCount == 32;
    case kBmpRle8:
        return info->bitCount == 8 && info->height > 0;
    case kBmpRle4:
        return info->bitCount == 4 && info->height > 0;
    case kBmpBitfields:
        return info->bitCount == 16 || info->bitCount == 32;
    default:
        return false;
    }
}

// Checks that the colour table and the pixel data the header declares lie
// inside the file, and finds the pixels and their length.
bool LocatePixels(const uint8_t* file, uint32_t size, const DibLayout* layout, const BmpInfoHeader* info,
                  BmpPixels* pixels)
{
    unsigned long long fileSize = size;
    unsigned long long tableStart = (layout->header - file) + (unsigned long long)layout->headerSize;
    if (info->compression == kBmpBitfields)
        tableStart += kMaskBytes;
    unsigned long long tableEnd = tableStart + (unsigned long long)layout->entrySize * layout->colorCount;
    if (tableEnd > fileSize)
        return false;
    unsigned long long pixelStart = layout->fileHeader ? layout->pixelOffset : tableEnd;
    if (pixelStart > fileSize)
        return false;
    unsigned long long present = fileSize - pixelStart;
    pixels->start = file + pixelStart;
    if (info->compression == kBmpRle8 || info->compression == kBmpRle4) {
        if (info->sizeImage && info->sizeImage < present)
            present = info->sizeImage;
        pixels->bytes = WalkRleStream(pixels->start, uint32_t(present), info->width, info->height,
                                      info->bitCount, nullptr, nullptr);
        return pixels->bytes != 0;
    }
    unsigned long long stride = ((unsigned long long)info->width * info->bitCount + 31) / 32 * 4;
    unsigned long long height = info->height < 0 ? -(long long)info->height : info->height;
    if (stride * height > present)
        return false;
    pixels->bytes = uint32_t(stride * height);
    return true;
}

// Completes the source description: the colour table of an indexed depth,
// padded with black to the depth's full size, or the bit-field masks.
void FillSourceColors(const DibLayout* layout, uint32_t pixelBytes, BmpSource* source)
{
    BmpInfoHeader* info = &source->header;
    const uint8_t* entry = layout->header + layout->headerSize;
    info->sizeImage = pixelBytes;
    if (info->compression == kBmpBitfields) {
        memcpy(source->colors, entry, kMaskBytes);
        info->clrUsed = 0;
        return;
    }
    if (info->bitCount > 8) {
        info->clrUsed = 0;
        return;
    }
    uint32_t full = 1u << info->bitCount;
    uint32_t count = layout->colorCount < full ? layout->colorCount : full;
    for (uint32_t i = 0; i < count; ++i, entry += layout->entrySize) {
        source->colors[i].blue = entry[0];
        source->colors[i].green = entry[1];
        source->colors[i].red = entry[2];
    }
    info->clrUsed = full;
    info->clrImportant = 0;
}

}  // namespace

// Runs the checks in the loader's order and describes an accepted file.
BmpVerdict DescribeBmp(const uint8_t* file, uint32_t size, BmpSource* source, BmpPixels* pixels)
{
    memset(source, 0, sizeof *source);
    memset(pixels, 0, sizeof *pixels);
    DibLayout layout = {};
    if (!FindDibHeader(file, size, &layout))
        return kBmpNoHeader;
    layout.colorCount = CountDibColors(layout.header);
    if (layout.headerSize != kCoreHeaderSize && layout.headerSize != kInfoHeaderSize)
        return kBmpUnknownHeader;
    layout.entrySize = layout.headerSize == kCoreHeaderSize ? 3 : 4;
    BmpInfoHeader* info = &source->header;
    DescribeHeader(&layout, info);
    if (!HasUsableSize(info))
        return kBmpTooLarge;
    if (!IsConvertibleKind(info) || !LocatePixels(file, size, &layout, info, pixels))
        return kBmpUnconvertible;
    FillSourceColors(&layout, pixels->bytes, source);
    pixels->width = info->width;
    pixels->height = info->height < 0 ? -info->height : info->height;
    return kBmpAccepted;
}

// The message of each refusal: sizes past the limits read as a lack of memory.
const char* BmpRefusalText(BmpVerdict verdict)
{
    switch (verdict) {
    case kBmpTooLarge: return kBmpOutOfMemory;
    case kBmpUnconvertible: return kBmpConversionError;
    default: return kBmpUnknownFormat;
    }
}

// Walks the stream's escapes and runs, checking each against the bytes
// present and the picture's rows and columns before handing it on.
uint32_t WalkRleStream(const uint8_t* stream, uint32_t present, int32_t width, int32_t height,
                       uint16_t bitsPerPixel, RleRunAction action, void* context)
{
    uint32_t at = 0;
    int32_t x = 0, y = 0;
    while (present - at >= 2) {
        uint8_t count = stream[at];
        uint8_t code = stream[at + 1];
        at += 2;
        if (count) {
            if (y >= height || count > width - x)
                return 0;
            RleRun run = {x, y, count, stream + at - 1, false};
            if (action)
                action(&run, context);
            x += count;
        } else if (code == 0) {
            if (y >= height)
                return 0;
            x = 0;
            ++y;
        } else if (code == 1) {
            return at;
        } else if (code == 2) {
            if (present - at < 2)
                return 0;
            uint8_t right = stream[at];
            uint8_t up = stream[at + 1];
            at += 2;
            if (right > width - x || up > height - y)
                return 0;
            x += right;
            y += up;
        } else {
            uint32_t bytes = ((code * bitsPerPixel + 7) / 8 + 1) & ~1u;
            if (y >= height || code > width - x || bytes > present - at)
                return 0;
            RleRun run = {x, y, code, stream + at, true};
            if (action)
                action(&run, context);
            x += code;
            at += bytes;
        }
    }
    return 0;
}

// Colour-table entries of a core or information header: colours used, else
// the full table of a depth of 1, 4 or 8 bits, else none.
uint16_t CountDibColors(const void* header)
{
    const uint8_t* fields = static_cast<const uint8_t*>(header);
    uint16_t bitsPerPixel;
    if (ReadDword(fields) == kCoreHeaderSize) {
        bitsPerPixel = ReadWord(fields + 10);
    } else {
        uint32_t used = ReadDword(fields + 32);
        if (used)
            return uint16_t(used);
        bitsPerPixel = ReadWord(fields + 14);
    }
    switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

// Reverses each pixel's bytes and drops each row's padding.
void RepackRgb(const uint8_t* surface, int32_t width, int32_t height, uint8_t* out)
{
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t column = 0; column < width; ++column) {
            out[0] = surface[2];
            out[1] = surface[1];
            out[2] = surface[0];
            out += 3;
            surface += 3;
        }
        surface += width & 3;
    }
}
