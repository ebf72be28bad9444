#include "bmp_portable.h"

#include "bmp_parse.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Only the first 4 GiB of a file are ever looked at, as on Windows.
const unsigned long long kMaxFileBytes = 0xFFFFFFFFull;

// A bit-field channel: the lowest bit of its mask and the length of the run
// of set bits from there.
struct Channel {
    int shift;
    int length;
};

// Finds a mask's channel; an empty mask gives a channel of no bits.
Channel ChannelOf(uint32_t mask)
{
    Channel channel = {0, 0};
    if (!mask)
        return channel;
    while (!(mask & 1)) {
        mask >>= 1;
        ++channel.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++channel.length;
    }
    return channel;
}

// Widens a channel to 8 bits as the 24-bit conversion does: its top bits
// (at most 8) followed by a single repeat of them.
uint8_t ChannelValue(uint32_t pixel, Channel channel)
{
    int shift = channel.shift - (8 - channel.length);
    uint32_t field = shift < 0 ? pixel << -shift : pixel >> shift;
    if (channel.length >= 8)
        return uint8_t(field);
    field &= 0xFF00u >> channel.length & 0xFF;
    field |= field >> channel.length;
    return uint8_t(field);
}

// Reads a little-endian value of 2 or 4 bytes.
uint32_t ReadPixelValue(const uint8_t* at, int bytes)
{
    uint32_t value = uint32_t(at[0]) | uint32_t(at[1]) << 8;
    if (bytes == 4)
        value |= uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    return value;
}

// Writes a colour-table entry as red, green, blue.
void PutColor(const BmpColor& color, uint8_t* out)
{
    out[0] = color.red;
    out[1] = color.green;
    out[2] = color.blue;
}

// Index of pixel `i` of a row, run or literal of 4-bit indices: high half first.
uint8_t NibbleAt(const uint8_t* bytes, int i)
{
    return i % 2 ? bytes[i / 2] & 15 : bytes[i / 2] >> 4;
}

// Converts one stored row of an uncompressed picture.
void ConvertRow(const BmpSource* source, const Channel* channels, const uint8_t* row, int32_t width,
                uint8_t* out)
{
    const int bits = source->header.bitCount;
    for (int32_t x = 0; x < width; ++x, out += 3) {
        switch (bits) {
        case 1:
            PutColor(source->colors[row[x / 8] >> (7 - x % 8) & 1], out);
            break;
        case 4:
            PutColor(source->colors[NibbleAt(row, x)], out);
            break;
        case 8:
            PutColor(source->colors[row[x]], out);
            break;
        case 24:
            out[0] = row[3 * x + 2];
            out[1] = row[3 * x + 1];
            out[2] = row[3 * x];
            break;
        default: {
            uint32_t value = ReadPixelValue(row + x * (bits / 8), bits / 8);
            out[0] = ChannelValue(value, channels[0]);
            out[1] = ChannelValue(value, channels[1]);
            out[2] = ChannelValue(value, channels[2]);
            break;
        }
        }
    }
}

// The bit-field masks a depth of 16 or 32 bits is converted with: the
// file's own, or the fixed 5-5-5 and 8-8-8 layouts of uncompressed pixels.
void FindChannels(const BmpSource* source, Channel* channels)
{
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (source->header.compression == kBmpBitfields) {
        memcpy(masks, source->colors, sizeof masks);
    } else if (source->header.bitCount == 32) {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
    for (int i = 0; i < 3; ++i)
        channels[i] = ChannelOf(masks[i]);
}

// True for bit fields with a mask of no bits, which GDI refuses to convert.
bool HasEmptyMask(const BmpSource* source)
{
    uint32_t masks[3];
    memcpy(masks, source->colors, sizeof masks);
    return source->header.compression == kBmpBitfields && (!masks[0] || !masks[1] || !masks[2]);
}

// Converts stored rows, bottom-up or top-down, into bottom-up output.
void ConvertRows(const BmpSource* source, const BmpPixels* pixels, uint8_t* out)
{
    Channel channels[3];
    FindChannels(source, channels);
    const size_t stride = (size_t(pixels->width) * source->header.bitCount + 31) / 32 * 4;
    const size_t outRow = size_t(pixels->width) * 3;
    for (int32_t stored = 0; stored < pixels->height; ++stored) {
        int32_t row = source->header.height > 0 ? stored : pixels->height - 1 - stored;
        ConvertRow(source, channels, pixels->start + stride * stored, pixels->width, out + outRow * row);
    }
}

// A black picture that the runs of a stream are drawn onto.
struct RlePicture {
    const BmpSource* source;
    uint8_t* out;
    size_t outRow;
};

// Draws one checked run in the colours of its indices.
void DrawRun(const RleRun* run, void* context)
{
    const RlePicture* picture = static_cast<const RlePicture*>(context);
    const bool fourBits = picture->source->header.bitCount == 4;
    uint8_t* out = picture->out + picture->outRow * run->y + 3 * size_t(run->x);
    for (int32_t i = 0; i < run->count; ++i, out += 3) {
        int32_t at = run->literal ? i : fourBits ? i % 2 : 0;
        uint8_t index = fourBits ? NibbleAt(run->indices, at) : run->indices[at];
        PutColor(picture->source->colors[index], out);
    }
}

// Draws a checked run-length stream onto a black picture, walking it with
// the same checks that measured it; pixels it skips stay black.
void ConvertRle(const BmpSource* source, const BmpPixels* pixels, uint8_t* out)
{
    RlePicture picture = {source, out, size_t(pixels->width) * 3};
    WalkRleStream(pixels->start, pixels->bytes, pixels->width, pixels->height, source->header.bitCount, DrawRun,
                  &picture);
}

// Reads up to the first 4 GiB of a file into a new malloc block; false with
// the reason when it cannot or when the file is empty.
bool ReadWholeFile(const char* path, uint8_t** bytes, uint32_t* size, std::string* reason)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        *reason = std::string(kBmpOpenFailed) + " " + path + ": " + strerror(errno);
        return false;
    }
    uint8_t* data = nullptr;
    size_t length = 0, capacity = 0;
    for (;;) {
        if (length == capacity) {
            if (capacity == kMaxFileBytes)
                break;
            size_t more = capacity < 65536 ? 65536 : capacity;
            if (more > kMaxFileBytes - capacity)
                more = size_t(kMaxFileBytes - capacity);
            uint8_t* grown = static_cast<uint8_t*>(realloc(data, capacity + more));
            if (!grown) {
                free(data);
                fclose(file);
                *reason = kBmpOutOfMemory;
                return false;
            }
            data = grown;
            capacity += more;
        }
        size_t chunk = fread(data + length, 1, capacity - length, file);
        if (!chunk)
            break;
        length += chunk;
    }
    const bool failed = ferror(file);
    const int error = errno;
    fclose(file);
    if (failed || !length) {
        free(data);
        // An empty file cannot be mapped, so the Windows loader cannot open it either.
        *reason = std::string(failed ? "Failed to read DIB file" : kBmpOpenFailed) + " " + path + ": " +
                  (failed ? strerror(error) : "the file is empty");
        return false;
    }
    *bytes = data;
    *size = uint32_t(length);
    return true;
}

}  // namespace

// Checks the bytes and converts an accepted file onto a black picture.
RgbImage* ConvertBmpBytes(const uint8_t* bytes, uint32_t size, std::string* reason)
{
    BmpSource source;
    BmpPixels pixels;
    BmpVerdict verdict = DescribeBmp(bytes, size, &source, &pixels);
    if (verdict != kBmpAccepted) {
        *reason = BmpRefusalText(verdict);
        return nullptr;
    }
    if (HasEmptyMask(&source)) {
        *reason = kBmpConversionError;
        return nullptr;
    }
    const size_t length = size_t(pixels.width) * size_t(pixels.height) * 3;
    uint8_t* data = static_cast<uint8_t*>(calloc(length, 1));
    RgbImage* image = static_cast<RgbImage*>(malloc(sizeof(RgbImage)));
    if (!data || !image) {
        free(data);
        free(image);
        *reason = kBmpOutOfMemory;
        return nullptr;
    }
    if (source.header.compression == kBmpRle8 || source.header.compression == kBmpRle4)
        ConvertRle(&source, &pixels, data);
    else
        ConvertRows(&source, &pixels, data);
    image->width = pixels.width;
    image->height = pixels.height;
    image->data = data;
    return image;
}

// Reads the file, then checks and converts its bytes.
RgbImage* ReadBmpFile(const char* path, std::string* reason)
{
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!ReadWholeFile(path, &bytes, &size, reason))
        return nullptr;
    RgbImage* image = ConvertBmpBytes(bytes, size, reason);
    free(bytes);
    return image;
}
