// The loader on bad files: each must give exactly one box with the right
// text and a null result, read nothing past the end of the file, and leave
// no GDI object, handle, view or open file behind.
#include "load_check.h"
#include "test_paths.h"

#include <string>

namespace {

// Offsets of the information header's fields, from the header's start.
const size_t kWidthField = 4;
const size_t kHeightField = 8;
const size_t kPlanesField = 12;
const size_t kBitsField = 14;
const size_t kCompressionField = 16;
const size_t kImageSizeField = 20;
const size_t kColorsUsedField = 32;
const size_t kPixelOffsetField = 10;  // in the file header

BmpRecipe Small24()
{
    BmpRecipe recipe;
    recipe.width = 3;
    recipe.height = 2;
    FillPicture(recipe, 1u << 24, 3);
    return recipe;
}

BmpRecipe SmallCore1()
{
    BmpRecipe recipe;
    recipe.width = 5;
    recipe.height = 2;
    recipe.bitsPerPixel = 1;
    recipe.coreHeader = true;
    recipe.fileHeader = false;
    recipe.palette = MakePalette(2, 1);
    FillPicture(recipe, 2, 4);
    return recipe;
}

BmpRecipe Small8WithFourColours()
{
    BmpRecipe recipe;
    recipe.width = 2;
    recipe.height = 2;
    recipe.bitsPerPixel = 8;
    recipe.fileHeader = false;
    recipe.colorsUsed = 4;
    recipe.palette = MakePalette(4, 2);
    FillPicture(recipe, 4, 5);
    return recipe;
}

BmpRecipe SmallRle8()
{
    BmpRecipe recipe;
    recipe.width = 4;
    recipe.height = 2;
    recipe.bitsPerPixel = 8;
    recipe.compression = 1;
    recipe.fileHeader = false;
    recipe.colorsUsed = 2;
    recipe.palette = MakePalette(2, 3);
    recipe.rle = {RunOf(1, 1), LiteralOf({0, 1, 1}), EndOfLine(), DeltaOf(1, 0), LiteralOf({1, 0, 1}),
                  EndOfPicture()};
    return recipe;
}

BmpRecipe SmallRle4()
{
    BmpRecipe recipe;
    recipe.width = 5;
    recipe.height = 2;
    recipe.bitsPerPixel = 4;
    recipe.compression = 2;
    recipe.fileHeader = false;
    recipe.colorsUsed = 3;
    recipe.palette = MakePalette(3, 4);
    recipe.rle = {RunOf(3, 0x12), RunOf(2, 0x21), EndOfLine(), LiteralOf({0, 1, 2}), EndOfPicture()};
    return recipe;
}

BmpRecipe Small16BitFields()
{
    BmpRecipe recipe;
    recipe.width = 2;
    recipe.height = 1;
    recipe.bitsPerPixel = 16;
    recipe.compression = 3;
    recipe.masks[0] = 0xF800;
    recipe.masks[1] = 0x07E0;
    recipe.masks[2] = 0x001F;
    FillPicture(recipe, 1u << 16, 6);
    return recipe;
}

// The bytes of an RLE8 picture of the given size whose stream is given raw.
std::vector<uint8_t> Rle8File(int width, int height, std::vector<uint8_t> stream, uint32_t imageSize = 0)
{
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitsPerPixel = 8;
    recipe.compression = 1;
    recipe.colorsUsed = 2;
    recipe.palette = MakePalette(2, 9);
    recipe.imageSize = imageSize;
    recipe.rawPixels = stream;
    return MakeBmp(recipe);
}

std::vector<uint8_t> Rle4File(int width, int height, std::vector<uint8_t> stream)
{
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitsPerPixel = 4;
    recipe.compression = 2;
    recipe.fileHeader = false;
    recipe.palette = MakePalette(16, 9);
    recipe.rawPixels = stream;
    return MakeBmp(recipe);
}

// A 24-bit "BM" file with its header's width and height replaced.
std::vector<uint8_t> Small24Sized(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> file = MakeBmp(Small24());
    PutDword(file, 14 + kWidthField, width);
    PutDword(file, 14 + kHeightField, height);
    return file;
}

}  // namespace

TEST(BmpBadFiles, TruncatedAtEveryByte)
{
    const BmpRecipe recipes[] = {Small24(), SmallCore1(), SmallRle8(), SmallRle4(), Small16BitFields()};
    for (const BmpRecipe& recipe : recipes) {
        std::vector<uint8_t> whole = MakeBmp(recipe);
        size_t headerEnd = HeaderOffset(recipe) + (recipe.coreHeader ? 12 : 40);
        ASSERT_TRUE(LoadsAsModelled(recipe, "whole.bmp")) << "the untruncated file must load";
        std::string emptyPath = RunDirPath("cut.bmp");
        for (size_t length = 0; length < whole.size(); ++length) {
            std::string text = length == 0 ? OpenFailureText(emptyPath)
                             : length < headerEnd ? kUnknownFormatText
                                                  : kConversionErrorText;
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
            EXPECT_TRUE(IsRefusedWith(cut, text, "cut.bmp"))
                << recipe.bitsPerPixel << " bits, compression " << recipe.compression << ", cut to " << length
                << " of " << whole.size() << " bytes";
        }
    }
}

TEST(BmpBadFiles, SizesWithNoPictureAreOutOfMemory)
{
    struct Size { uint32_t width, height; };
    const Size sizes[] = {{0x7FFFFFFF, 1}, {1, 0x7FFFFFFF}, {0x7FFFFFFF, 0x7FFFFFFF}, {2, 0x80000000},
                          {2, 0x80000001}, {0xFFFFFFFE, 2}, {0x80000000, 2}, {0, 2}, {2, 0},
                          {65537, 1}, {1, 65537}, {8193, 8192}, {8192, 0xFFFFDFFF}, {0x08000001, 1}};
    for (Size s : sizes)
        EXPECT_TRUE(IsRefusedWith(Small24Sized(s.width, s.height), kOutOfMemoryText))
            << std::hex << s.width << " x " << s.height;
}

TEST(BmpBadFiles, WidthTimesDepthPastThirtyTwoBits)
{
    // 0x08000001 x 32 bits does not fit 32 bits; 0x02000001 x 32 does, but
    // its pixels do not fit the size limit.
    for (uint32_t width : {0x08000001u, 0x02000001u}) {
        BmpRecipe recipe = Small24();
        recipe.bitsPerPixel = 32;
        FillPicture(recipe, 0, 1);
        std::vector<uint8_t> file = MakeBmp(recipe);
        PutDword(file, 14 + kWidthField, width);
        EXPECT_TRUE(IsRefusedWith(file, kOutOfMemoryText)) << std::hex << width;
    }
}

TEST(BmpBadFiles, CoreHeaderOfTheLargestSize)
{
    BmpRecipe recipe = SmallCore1();
    std::vector<uint8_t> file = MakeBmp(recipe);
    PutWord(file, 4, 0xFFFF);
    PutWord(file, 6, 0xFFFF);
    EXPECT_TRUE(IsRefusedWith(file, kOutOfMemoryText));
}

TEST(BmpBadFiles, SizesWithinTheLimitStillNeedTheirPixels)
{
    // The largest accepted sizes pass the size check and fail on the
    // missing pixel data instead, without any large allocation.
    EXPECT_TRUE(IsRefusedWith(Small24Sized(8192, 8192), kConversionErrorText));
    EXPECT_TRUE(IsRefusedWith(Small24Sized(65536, 1), kConversionErrorText));
    EXPECT_TRUE(IsRefusedWith(Small24Sized(1, 65536), kConversionErrorText));
    EXPECT_TRUE(IsRefusedWith(Small24Sized(4, 0xFFFFFFF0), kConversionErrorText)) << "top-down";
}

TEST(BmpBadFiles, ColourTablePastTheEnd)
{
    // A bare DIB's pixels follow the table, so its pixels move past the end
    // too; in a "BM" file the table alone runs past it.
    for (uint32_t colors : {5u, 0xFFFFu, 0x10000u, 0x10004u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> file = MakeBmp(Small8WithFourColours());
        PutDword(file, kColorsUsedField, colors);
        EXPECT_TRUE(IsRefusedWith(file, kConversionErrorText)) << std::hex << colors << " colours, 8 bits";
    }
    for (uint32_t colors : {7u, 0xFFFFu, 0x10000u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> file = MakeBmp(Small24());
        PutDword(file, 14 + kColorsUsedField, colors);
        EXPECT_TRUE(IsRefusedWith(file, kConversionErrorText)) << std::hex << colors << " colours, 24 bits";
    }
}

TEST(BmpBadFiles, PixelOffsetPastTheEnd)
{
    BmpRecipe recipe = Small24();
    std::vector<uint8_t> file = MakeBmp(recipe);
    uint32_t size = uint32_t(file.size());
    uint32_t offset = uint32_t(PixelOffset(recipe));
    for (uint32_t bad : {offset + 1, size, size + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        PutDword(file, kPixelOffsetField, bad);
        EXPECT_TRUE(IsRefusedWith(file, kConversionErrorText)) << "offset " << bad << " of " << size;
    }
}

TEST(BmpBadFiles, PixelOffsetInsideTheHeaderStaysInsideTheFile)
{
    // Whatever lies at the offset is taken as pixels, here the headers.
    BmpRecipe recipe = Small24();
    recipe.gap = 40;
    std::vector<uint8_t> file = MakeBmp(recipe);
    PutDword(file, kPixelOffsetField, 0);
    LoadOutcome outcome = LoadWatched(WriteRunFile("offset0.bmp", file));
    ASSERT_TRUE(outcome.image);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(file[2], outcome.image->data[0]) << "red of the first pixel is file byte 2";
    EXPECT_EQ('B', outcome.image->data[2]);
}

TEST(BmpBadFiles, RleStreamsThatRunPastTheirRows)
{
    struct Stream { const char* what; int width, height; std::vector<uint8_t> bytes; };
    const Stream streams[] = {
        {"run longer than the row", 4, 2, {5, 1, 0, 1}},
        {"run after a full row", 4, 2, {4, 1, 1, 0, 0, 1}},
        {"literal longer than the row", 4, 2, {0, 5, 1, 0, 1, 0, 1, 0, 0, 1}},
        {"literal after a delta", 4, 2, {0, 2, 2, 0, 0, 3, 1, 1, 1, 0, 0, 1}},
        {"end of line past the last row", 4, 2, {0, 0, 0, 0, 0, 0, 0, 1}},
        {"delta past the right edge", 4, 2, {0, 2, 5, 0, 0, 1}},
        {"delta past the top", 4, 2, {0, 2, 0, 3, 0, 1}},
        {"run above the top after a delta", 4, 2, {0, 2, 0, 2, 1, 1, 0, 1}},
    };
    for (const Stream& s : streams)
        EXPECT_TRUE(IsRefusedWith(Rle8File(s.width, s.height, s.bytes), kConversionErrorText)) << s.what;
}

TEST(BmpBadFiles, RleStreamsThatRunPastTheEnd)
{
    struct Stream { const char* what; std::vector<uint8_t> bytes; uint32_t imageSize; };
    const Stream streams[] = {
        {"no end of picture", {2, 1, 0, 0, 2, 1, 0, 0}, 0},
        {"literal cut short", {0, 4, 1, 1}, 0},
        {"literal padding missing", {0, 3, 1, 1, 1}, 0},
        {"delta cut short", {0, 2, 1}, 0},
        {"lone count byte", {2}, 0},
        {"end of picture past the image size", {2, 1, 0, 1}, 2},
        {"literal past the image size", {0, 4, 1, 1, 1, 1, 0, 1}, 4},
    };
    for (const Stream& s : streams)
        EXPECT_TRUE(IsRefusedWith(Rle8File(4, 2, s.bytes, s.imageSize), kConversionErrorText)) << s.what;
    // Four-bit literals: 5 indices take 3 bytes and a padding byte.
    EXPECT_TRUE(IsRefusedWith(Rle4File(6, 1, {0, 5, 0x12, 0x34, 0x50}), kConversionErrorText));
    EXPECT_TRUE(IsRefusedWith(Rle4File(4, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}), kConversionErrorText))
        << "literal of 5 in a row of 4";
}

TEST(BmpBadFiles, DepthsAndCompressionsWithoutConversion)
{
    struct Kind { uint16_t bits; uint32_t compression; };
    const Kind kinds[] = {{2, 0}, {0, 0}, {7, 0}, {64, 0}, {8, 2}, {4, 1}, {24, 1}, {24, 3}, {8, 3},
                          {24, 4}, {24, 5}, {24, 6}, {16, 1}};
    for (Kind k : kinds) {
        std::vector<uint8_t> file = MakeBmp(Small24());
        PutWord(file, 14 + kBitsField, k.bits);
        PutDword(file, 14 + kCompressionField, k.compression);
        EXPECT_TRUE(IsRefusedWith(file, kConversionErrorText)) << k.bits << " bits, compression " << k.compression;
    }
}

TEST(BmpBadFiles, TopDownRunLengthPictures)
{
    std::vector<uint8_t> file = MakeBmp(SmallRle8());
    PutDword(file, kHeightField, uint32_t(-2));
    EXPECT_TRUE(IsRefusedWith(file, kConversionErrorText));
}

TEST(BmpBadFiles, PlanesOtherThanOne)
{
    for (uint16_t planes : {0, 2, 0xFFFF}) {
        std::vector<uint8_t> file = MakeBmp(Small24());
        PutWord(file, 14 + kPlanesField, planes);
        EXPECT_TRUE(IsRefusedWith(file, kConversionErrorText)) << planes << " planes";
    }
}

TEST(BmpBadFiles, ConversionRefusedByGdiReleasesEverything)
{
    // Zero masks pass every check of the loader's own; GDI converts no rows
    // after the context and the surface have been made.
    BmpRecipe recipe = Small16BitFields();
    recipe.masks[1] = 0;
    EXPECT_TRUE(IsRefusedWith(MakeBmp(recipe), kConversionErrorText));
}

TEST(BmpBadFiles, HeaderSizesOtherThanTwelveAndForty)
{
    for (uint32_t size : {0u, 4u, 13u, 39u, 41u, 52u, 56u, 64u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> file = MakeBmp(Small24());
        PutDword(file, 14, size);
        EXPECT_TRUE(IsRefusedWith(file, kUnknownFormatText)) << size;
    }
}

TEST(BmpBadFiles, FilesTooShortForTheirHeader)
{
    EXPECT_TRUE(IsRefusedWith({'B'}, kUnknownFormatText));
    EXPECT_TRUE(IsRefusedWith({'B', 'M', 0, 0}, kUnknownFormatText));
    EXPECT_TRUE(IsRefusedWith({12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 24}, kUnknownFormatText)) << "core, 11 bytes";
    EXPECT_TRUE(IsRefusedWith({108, 0, 0, 0, 1, 0, 0, 0}, kUnknownFormatText)) << "108, 8 bytes";
}
