// libFuzzer target for the BMP checks, built natively with AddressSanitizer
// and UndefinedBehaviorSanitizer (tools/fuzz.sh). The input is a whole file:
// it is accepted or refused; for an accepted file every byte of the range
// handed to the conversion is read, a stand-in converted surface of the
// stated size is repacked, and the portable conversion must give a picture
// of that size (or refuse empty bit-field masks as GDI does).
#include "bmp_parse.h"
#include "bmp_portable.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Pictures past this many pixels (a run-length stream of a few bytes can
// state 8192 x 8192) are checked and their range read, but neither repacked
// nor converted: writing their blocks would take most of the run's time,
// through the same code as smaller pictures.
const size_t kMaxConvertedPixels = size_t(1) << 16;

// Stops the run with a finding when a condition fails.
void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Reads every byte of the range the conversion would be handed.
void TouchRange(const uint8_t* start, uint32_t bytes)
{
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < bytes; ++i)
        sum = sum + start[i];
}

// Repacks a stand-in 24-bit surface of the picture's size (rows padded to 4
// bytes, as the conversion surface's are) and checks its last pixel.
void RepackStandIn(int32_t width, int32_t height)
{
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    uint8_t* surface = static_cast<uint8_t*>(malloc(stride * height));
    uint8_t* out = static_cast<uint8_t*>(malloc(size_t(width) * height * 3));
    Require(surface && out);
    for (size_t i = 0; i < stride * height; ++i)
        surface[i] = uint8_t(i * 7 + 1);
    RepackRgb(surface, width, height, out);
    const uint8_t* last = surface + stride * (height - 1) + size_t(width - 1) * 3;
    const uint8_t* packed = out + size_t(width) * height * 3 - 3;
    Require(packed[0] == last[2] && packed[1] == last[1] && packed[2] == last[0]);
    free(surface);
    free(out);
}

}  // namespace

// One input: a whole file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    BmpSource source;
    BmpPixels pixels;
    const BmpVerdict verdict = DescribeBmp(data, uint32_t(size), &source, &pixels);
    if (verdict != kBmpAccepted) {
        Require(BmpRefusalText(verdict)[0] != '\0');
        return 0;
    }
    Require(pixels.start >= data && pixels.bytes <= size - (pixels.start - data));
    Require(pixels.width > 0 && pixels.height > 0 && source.header.sizeImage == pixels.bytes);
    TouchRange(pixels.start, pixels.bytes);
    if (size_t(pixels.width) * size_t(pixels.height) > kMaxConvertedPixels)
        return 0;
    RepackStandIn(pixels.width, pixels.height);
    // Bit fields with an empty mask are refused, as GDI refuses to convert them.
    uint32_t masks[3];
    memcpy(masks, source.colors, sizeof masks);
    const bool emptyMask = source.header.compression == kBmpBitfields && (!masks[0] || !masks[1] || !masks[2]);
    std::string reason;
    RgbImage* image = ConvertBmpBytes(data, uint32_t(size), &reason);
    if (emptyMask) {
        Require(!image && reason == kBmpConversionError);
        return 0;
    }
    Require(image && image->width == pixels.width && image->height == pixels.height);
    free(image->data);
    free(image);
    return 0;
}
