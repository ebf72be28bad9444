// The loader on good files: every accepted depth, compression and header
// kind against the generator's own model of the picture, the layouts and
// messages worth pinning down by hand, and what a call leaves behind.
#include "bmp_parse.h"
#include "load_check.h"
#include "resource_counts.h"
#include "test_paths.h"

#include <string>

namespace {

const int kWidths[] = {1, 2, 3, 4, 5, 7, 8, 9, 17, 33};

std::string KindName(const BmpRecipe& recipe)
{
    return std::to_string(recipe.width) + " x " + std::to_string(recipe.height) + ", " +
           std::to_string(recipe.bitsPerPixel) + " bits, compression " + std::to_string(recipe.compression) +
           (recipe.coreHeader ? ", core header" : ", information header") +
           (recipe.fileHeader ? ", BM file" : ", bare DIB");
}

BmpRecipe IndexedRecipe(int bits, int width, bool core, bool fileHeader)
{
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = 3;
    recipe.bitsPerPixel = bits;
    recipe.coreHeader = core;
    recipe.fileHeader = fileHeader;
    recipe.palette = MakePalette(1u << bits, bits * 100 + width);
    FillPicture(recipe, 1u << bits, width * 7 + bits);
    return recipe;
}

BmpRecipe DirectRecipe(int bits, int width, bool fileHeader)
{
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = 3;
    recipe.bitsPerPixel = bits;
    recipe.fileHeader = fileHeader;
    FillPicture(recipe, bits == 32 ? 0 : 1u << bits, width * 11 + bits);
    return recipe;
}

BmpRecipe BitFieldRecipe(int bits, uint32_t red, uint32_t green, uint32_t blue, int width, bool fileHeader)
{
    BmpRecipe recipe = DirectRecipe(bits, width, fileHeader);
    recipe.compression = 3;
    recipe.masks[0] = red;
    recipe.masks[1] = green;
    recipe.masks[2] = blue;
    return recipe;
}

// A 7 x 5 picture drawn with every RLE8 escape; its last row ends early.
BmpRecipe Rle8Recipe()
{
    BmpRecipe recipe;
    recipe.width = 7;
    recipe.height = 5;
    recipe.bitsPerPixel = 8;
    recipe.compression = 1;
    recipe.colorsUsed = 20;
    recipe.palette = MakePalette(20, 8);
    recipe.rle = {RunOf(3, 5), LiteralOf({1, 2, 3}), RunOf(1, 19), EndOfLine(),
                  LiteralOf({10, 11, 12, 13}), DeltaOf(2, 1), RunOf(1, 7), EndOfLine(),
                  RunOf(7, 4), EndOfLine(),
                  DeltaOf(3, 0), LiteralOf({4, 5, 6}), EndOfPicture()};
    return recipe;
}

// A 9 x 4 picture drawn with every RLE4 escape, runs and literals of odd
// length and starting at odd columns.
BmpRecipe Rle4Recipe()
{
    BmpRecipe recipe;
    recipe.width = 9;
    recipe.height = 4;
    recipe.bitsPerPixel = 4;
    recipe.compression = 2;
    recipe.palette = MakePalette(16, 4);
    recipe.rle = {RunOf(5, 0x12), LiteralOf({3, 4, 5}), RunOf(1, 0xF0), EndOfLine(),
                  DeltaOf(1, 0), LiteralOf({6, 7, 8, 9, 10}), RunOf(2, 0xAB), EndOfLine(),
                  LiteralOf({15, 14, 13, 12}), DeltaOf(3, 1), RunOf(2, 0x9C), EndOfLine(),
                  EndOfPicture()};
    return recipe;
}

}  // namespace

TEST(BmpKinds, IndexedDepthsWithBothHeaderKinds)
{
    for (int bits : {1, 4, 8})
        for (bool core : {false, true})
            for (bool fileHeader : {true, false})
                for (int width : kWidths) {
                    BmpRecipe recipe = IndexedRecipe(bits, width, core, fileHeader);
                    EXPECT_TRUE(LoadsAsModelled(recipe)) << KindName(recipe);
                }
}

TEST(BmpKinds, ShortColourTablesLeaveLaterIndicesBlack)
{
    struct Case { int bits; uint32_t colorsUsed; bool fileHeader; };
    for (Case c : {Case{1, 1, false}, Case{4, 5, false}, Case{4, 5, true}, Case{8, 16, false}, Case{8, 3, true}}) {
        BmpRecipe recipe = IndexedRecipe(c.bits, 13, false, c.fileHeader);
        recipe.colorsUsed = c.colorsUsed;
        recipe.palette.resize(c.colorsUsed);
        EXPECT_TRUE(LoadsAsModelled(recipe)) << KindName(recipe) << ", " << c.colorsUsed << " colours";
    }
}

TEST(BmpKinds, DirectColourDepths)
{
    for (int bits : {16, 24, 32})
        for (bool fileHeader : {true, false})
            for (int width : kWidths) {
                BmpRecipe recipe = DirectRecipe(bits, width, fileHeader);
                EXPECT_TRUE(LoadsAsModelled(recipe)) << KindName(recipe);
            }
}

TEST(BmpKinds, BitFieldMasksAreHonoured)
{
    struct Masks { int bits; uint32_t red, green, blue; };
    const Masks cases[] = {{16, 0xF800, 0x07E0, 0x001F},
                           {16, 0x7C00, 0x03E0, 0x001F},
                           {32, 0xFF0000, 0x00FF00, 0x0000FF},
                           {32, 0x0000FF, 0x00FF00, 0xFF0000}};
    for (const Masks& m : cases)
        for (bool fileHeader : {true, false})
            for (int width : {1, 2, 3, 5, 33}) {
                BmpRecipe recipe = BitFieldRecipe(m.bits, m.red, m.green, m.blue, width, fileHeader);
                EXPECT_TRUE(LoadsAsModelled(recipe)) << KindName(recipe) << std::hex << ", masks " << m.red
                                                     << " " << m.green << " " << m.blue;
            }
}

TEST(BmpKinds, BitFieldsWithAColourTableInABareDib)
{
    // The table follows the masks; the pixels follow the table.
    BmpRecipe recipe = BitFieldRecipe(16, 0xF800, 0x07E0, 0x001F, 5, false);
    recipe.colorsUsed = 3;
    recipe.palette = MakePalette(3, 1);
    EXPECT_TRUE(LoadsAsModelled(recipe));
}

TEST(BmpKinds, Rle8WithEveryEscape)
{
    BmpRecipe recipe = Rle8Recipe();
    EXPECT_TRUE(LoadsAsModelled(recipe)) << "image size 0";
    recipe.imageSize = uint32_t(EncodePixels(recipe).size());
    EXPECT_TRUE(LoadsAsModelled(recipe)) << "exact image size";
    recipe.fileHeader = false;
    EXPECT_TRUE(LoadsAsModelled(recipe)) << "bare DIB";
}

TEST(BmpKinds, Rle8EndOfLineAfterTheLastRow)
{
    BmpRecipe recipe = Rle8Recipe();
    recipe.height = 2;
    recipe.rle = {RunOf(7, 1), EndOfLine(), LiteralOf({1, 2, 3, 4, 5, 6, 7}), EndOfLine(), EndOfPicture()};
    EXPECT_TRUE(LoadsAsModelled(recipe));
}

TEST(BmpKinds, Rle4WithEveryEscape)
{
    BmpRecipe recipe = Rle4Recipe();
    EXPECT_TRUE(LoadsAsModelled(recipe)) << "image size 0";
    recipe.imageSize = uint32_t(EncodePixels(recipe).size()) + 6;  // larger than the stream
    EXPECT_TRUE(LoadsAsModelled(recipe)) << "image size past the stream";
    recipe.fileHeader = false;
    recipe.colorsUsed = 10;  // indices 10 to 15 are past the table
    recipe.palette.resize(10);
    EXPECT_TRUE(LoadsAsModelled(recipe)) << "bare DIB, 10 colours";
}

TEST(BmpKinds, TopDownRowsComeBackBottomUp)
{
    std::vector<BmpRecipe> recipes = {IndexedRecipe(1, 9, false, true), IndexedRecipe(4, 5, false, false),
                                      IndexedRecipe(8, 3, false, true), DirectRecipe(16, 3, true),
                                      DirectRecipe(24, 5, false), DirectRecipe(32, 2, true),
                                      BitFieldRecipe(32, 0xFF, 0xFF00, 0xFF0000, 3, true)};
    for (BmpRecipe& recipe : recipes) {
        recipe.height = -4;
        FillPicture(recipe, recipe.bitsPerPixel <= 16 ? 1u << recipe.bitsPerPixel : 0, 99);
        EXPECT_TRUE(LoadsAsModelled(recipe)) << KindName(recipe);
    }
}

TEST(BmpKinds, LargerPicture)
{
    BmpRecipe recipe = DirectRecipe(24, 301, true);
    recipe.height = 67;
    FillPicture(recipe, 1u << 24, 5);
    EXPECT_TRUE(LoadsAsModelled(recipe));
    BmpRecipe indexed = IndexedRecipe(4, 123, true, false);
    indexed.height = 45;
    FillPicture(indexed, 16, 6);
    EXPECT_TRUE(LoadsAsModelled(indexed));
}

// Files written out byte by byte, with the picture worked out by hand, so
// that the generator and its model are checked too.
TEST(BmpByHand, TwoByTwoTwentyFourBits)
{
    std::vector<uint8_t> file = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
        16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // bottom row: blue-green-red triples, then two bytes of padding
        0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xEE, 0xEE,
        // top row
        0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0xEE, 0xEE};
    LoadOutcome outcome = LoadWatched(WriteRunFile("2x2.bmp", file));
    ASSERT_TRUE(outcome.image);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(2, outcome.image->width);
    EXPECT_EQ(2, outcome.image->height);
    std::vector<uint8_t> want = {0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x13, 0x12, 0x11, 0x16, 0x15, 0x14};
    EXPECT_EQ(want, PixelsOf(*outcome.image));
}

TEST(BmpByHand, OnePixelWideRowsOfFourBytes)
{
    std::vector<uint8_t> file = {40, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 10, 20, 30, 99, 40, 50, 60, 99, 70, 80, 90, 99};
    LoadOutcome outcome = LoadWatched(WriteRunFile("1x3.bmp", file));
    ASSERT_TRUE(outcome.image);
    std::vector<uint8_t> want = {30, 20, 10, 60, 50, 40, 90, 80, 70};
    EXPECT_EQ(want, PixelsOf(*outcome.image));
}

TEST(BmpByHand, EightBitsWithSixteenColoursInABareDib)
{
    // Colours used 16: the pixels start right after sixteen entries.
    std::vector<uint8_t> file = {40, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) {
        uint8_t entry[4] = {uint8_t(i), uint8_t(i * 2), uint8_t(i * 3), 0};
        file.insert(file.end(), entry, entry + 4);
    }
    file.insert(file.end(), {15, 1, 200, 0});  // index 200 is past the table
    LoadOutcome outcome = LoadWatched(WriteRunFile("8bit16.bmp", file));
    ASSERT_TRUE(outcome.image);
    std::vector<uint8_t> want = {45, 30, 15, 3, 2, 1, 0, 0, 0};
    EXPECT_EQ(want, PixelsOf(*outcome.image));
}

TEST(BmpByHand, OneBitCoreHeader)
{
    std::vector<uint8_t> file = {12, 0, 0, 0, 10, 0, 2, 0, 1, 0, 1, 0,
                                 0x10, 0x20, 0x30, 0xF0, 0xE0, 0xD0,   // table: blue, green, red
                                 0xA5, 0x40, 0x00, 0x00,               // bottom row 1010010101
                                 0x00, 0xC0, 0x00, 0x00};              // top row    0000000011
    LoadOutcome outcome = LoadWatched(WriteRunFile("core1.bmp", file));
    ASSERT_TRUE(outcome.image);
    const char* rows[] = {"1010010101", "0000000011"};
    std::vector<uint8_t> want;
    for (const char* row : rows)
        for (const char* bit = row; *bit; ++bit)
            want.insert(want.end(), *bit == '1' ? std::initializer_list<uint8_t>{0xD0, 0xE0, 0xF0}
                                                : std::initializer_list<uint8_t>{0x30, 0x20, 0x10});
    EXPECT_EQ(want, PixelsOf(*outcome.image));
}

TEST(BmpByHand, Rle8WithDeltaAndOddLiteral)
{
    std::vector<uint8_t> file = {40, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0, 1, 0, 8, 0, 1, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 255, 0,  0, 255, 0, 0,    // index 0 red, 1 green
                                 3, 1, 0, 0,                     // row 0: three greens, end of line
                                 0, 2, 1, 1,                     // move right 1, up 1 (to x 1, row 2)
                                 0, 3, 1, 0, 1, 0,               // literal green red green, padded
                                 0, 1};                          // end of picture
    LoadOutcome outcome = LoadWatched(WriteRunFile("rle8.bmp", file));
    ASSERT_TRUE(outcome.image);
    const uint8_t k = 0, g = 255;
    std::vector<uint8_t> want = {k, g, k, k, g, k, k, g, k, k, k, k,   // row 0
                                 k, k, k, k, k, k, k, k, k, k, k, k,   // row 1: skipped
                                 k, k, k, k, g, k, g, k, k, k, g, k};  // row 2
    EXPECT_EQ(want, PixelsOf(*outcome.image));
}

TEST(BmpEdges, CoreAndInformationHeadersGiveTheSameOutput)
{
    for (int bits : {1, 4, 8, 24}) {
        BmpRecipe info = bits == 24 ? DirectRecipe(24, 6, true) : IndexedRecipe(bits, 6, false, true);
        BmpRecipe core = info;
        core.coreHeader = true;
        LoadOutcome a = LoadWatched(WriteRunFile("info.bmp", MakeBmp(info)));
        LoadOutcome b = LoadWatched(WriteRunFile("core.bmp", MakeBmp(core)));
        ASSERT_TRUE(a.image && b.image) << bits << " bits";
        EXPECT_EQ(PixelsOf(*a.image), PixelsOf(*b.image)) << bits << " bits";
    }
}

TEST(BmpEdges, GapBeforeThePixelsIsSkipped)
{
    BmpRecipe plain = IndexedRecipe(8, 5, false, true);
    BmpRecipe gapped = plain;
    gapped.gap = 37;
    LoadOutcome a = LoadWatched(WriteRunFile("plain.bmp", MakeBmp(plain)));
    LoadOutcome b = LoadWatched(WriteRunFile("gapped.bmp", MakeBmp(gapped)));
    ASSERT_TRUE(a.image && b.image);
    EXPECT_EQ(PixelsOf(*a.image), PixelsOf(*b.image));
    EXPECT_TRUE(LoadsAsModelled(gapped));
}

TEST(BmpEdges, ColourTableOfATwentyFourBitDibIsSkipped)
{
    BmpRecipe plain = DirectRecipe(24, 5, false);
    BmpRecipe withTable = plain;
    withTable.colorsUsed = 7;
    withTable.palette = MakePalette(7, 3);
    LoadOutcome a = LoadWatched(WriteRunFile("plain.bmp", MakeBmp(plain)));
    LoadOutcome b = LoadWatched(WriteRunFile("table.bmp", MakeBmp(withTable)));
    ASSERT_TRUE(a.image && b.image);
    EXPECT_EQ(PixelsOf(*a.image), PixelsOf(*b.image));
}

TEST(BmpEdges, SuccessfulLoadLeavesNothingBehind)
{
    BmpRecipe recipe = Rle8Recipe();
    std::string path = WriteRunFile("kept.bmp", MakeBmp(recipe));
    ResourceCounts before = CountResources();
    RgbImage* image = LoadBmpImage(path.c_str());
    ResourceCounts after = CountResources();
    ASSERT_NE(nullptr, image);
    FreeRgbImage()(image);
    EXPECT_EQ(before.gdiObjects, after.gdiObjects);
    EXPECT_EQ(before.handles, after.handles);
    EXPECT_EQ(before.mappedViews, after.mappedViews);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(BmpEdges, TheRecordAndThePixelsAreTheCallersToFree)
{
    BmpRecipe recipe = DirectRecipe(24, 4, true);
    LoadOutcome a = LoadWatched(WriteRunFile("one.bmp", MakeBmp(recipe)));
    LoadOutcome b = LoadWatched(WriteRunFile("one.bmp", MakeBmp(recipe)));
    ASSERT_TRUE(a.image && b.image);
    EXPECT_NE(a.image.get(), b.image.get());
    EXPECT_NE(a.image->data, b.image->data);
    a.image->data[0] ^= 0xFF;  // each call's block is its own
    EXPECT_NE(a.image->data[0], b.image->data[0]);
}

TEST(BmpMessages, MissingFileNamesThePathInABoxOwnedByTheFocus)
{
    HWND owner = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    SetForegroundWindow(owner);
    SetFocus(owner);
    HWND focus = GetFocus();
    std::string path = RunDirPath("missing.bmp");
    LoadOutcome outcome = LoadWatched(path);
    DestroyWindow(owner);
    EXPECT_FALSE(outcome.image);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ("Error", outcome.boxes[0].caption);
    EXPECT_EQ(OpenFailureText(path), outcome.boxes[0].text);
    EXPECT_EQ(1, outcome.boxes[0].buttonCount);
    EXPECT_FALSE(outcome.boxes[0].hasIcon);
    EXPECT_EQ(owner, focus) << "the test window did not get the focus";
    EXPECT_EQ(focus, outcome.boxes[0].owner);
}

TEST(BmpMessages, LongPathIsCutToFitTheMessage)
{
    std::string path = "C:\\" + std::string(400, 'p') + ".bmp";
    LoadOutcome outcome = LoadWatched(path);
    EXPECT_FALSE(outcome.image);
    ASSERT_EQ(1u, outcome.boxes.size());
    std::string want = OpenFailureText(path.substr(0, 229));
    EXPECT_EQ(255u, want.size());
    EXPECT_EQ(want, outcome.boxes[0].text);
}

TEST(BmpMessages, PathThatJustFitsIsShownWhole)
{
    std::string path = "C:\\" + std::string(226, 'q');
    ASSERT_EQ(229u, path.size());
    LoadOutcome outcome = LoadWatched(path);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ(OpenFailureText(path), outcome.boxes[0].text);
}

TEST(BmpMessages, EmptyFileCannotBeOpened)
{
    std::string path = WriteRunFile("empty.bmp", {});
    EXPECT_TRUE(IsRefusedWith({}, OpenFailureText(path), "empty.bmp"));
}

TEST(BmpMessages, LaterHeaderVersionsAreUnknown)
{
    for (uint32_t size : {108u, 124u}) {
        BmpRecipe recipe = DirectRecipe(24, 3, true);
        recipe.headerSize = size;
        EXPECT_TRUE(IsRefusedWith(MakeBmp(recipe), kUnknownFormatText)) << size;
        recipe.fileHeader = false;
        EXPECT_TRUE(IsRefusedWith(MakeBmp(recipe), kUnknownFormatText)) << size << ", bare";
    }
}

TEST(ResourceCounts, SeeWhatALoadCouldLeave)
{
    ResourceCounts before = CountResources();
    ASSERT_GE(before.gdiObjects, 0);
    ASSERT_GE(before.handles, 0);
    ASSERT_GE(before.mappedViews, 0);
    HDC context = CreateCompatibleDC(nullptr);
    std::string path = WriteRunFile("held.bmp", {1, 2, 3});
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ResourceCounts held = CountResources();
    EXPECT_FALSE(DeleteFileA(path.c_str())) << "an open file must not be deletable";
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    DeleteDC(context);
    EXPECT_EQ(before.gdiObjects + 1, held.gdiObjects);
    EXPECT_EQ(before.handles + 2, held.handles);
    EXPECT_EQ(before.mappedViews + 1, held.mappedViews);
    EXPECT_TRUE(CountResources() == before);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(CountDibColors, FollowsTheHeaderKindAndDepth)
{
    uint8_t core[12] = {12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 0};
    uint8_t info[40] = {40};
    struct Depth { int bits; WORD count; };
    for (Depth d : {Depth{1, 2}, Depth{4, 16}, Depth{8, 256}, Depth{16, 0}, Depth{24, 0}, Depth{32, 0}, Depth{2, 0}}) {
        core[10] = uint8_t(d.bits);
        info[14] = uint8_t(d.bits);
        EXPECT_EQ(d.count, CountDibColors(core)) << d.bits;
        EXPECT_EQ(d.count, CountDibColors(info)) << d.bits;
    }
    info[32] = 7;  // colours used wins, whatever the depth
    EXPECT_EQ(7, CountDibColors(info));
    info[0] = 108;  // any size but 12 reads as an information header
    EXPECT_EQ(7, CountDibColors(info));
}
