#include "bmp_maker.h"

#include "test_paths.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const uint8_t kGapFiller = 0xA5;
const uint8_t kRowPadding = 0xCC;

uint32_t HeaderBytes(const BmpRecipe& recipe)
{
    if (recipe.headerSize) return recipe.headerSize;
    return recipe.coreHeader ? 12 : 40;
}

uint32_t MaskBytes(const BmpRecipe& recipe)
{
    return !recipe.coreHeader && recipe.compression == 3 ? 12 : 0;
}

uint32_t EntryBytes(const BmpRecipe& recipe)
{
    return recipe.coreHeader ? 3 : 4;
}

void Append16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value)
{
    Append16(out, value);
    Append16(out, value >> 16);
}

// Encodes the run-length steps as the BMP format stores them.
std::vector<uint8_t> EncodeRle(const BmpRecipe& recipe)
{
    std::vector<uint8_t> out;
    for (const RleOp& op : recipe.rle) {
        switch (op.kind) {
        case RleOp::Run:
            out.push_back(uint8_t(op.count));
            out.push_back(op.value);
            break;
        case RleOp::Literal: {
            out.push_back(0);
            out.push_back(uint8_t(op.indices.size()));
            size_t start = out.size();
            if (recipe.bitsPerPixel == 8) {
                out.insert(out.end(), op.indices.begin(), op.indices.end());
            } else {
                for (size_t i = 0; i < op.indices.size(); i += 2) {
                    uint8_t low = i + 1 < op.indices.size() ? op.indices[i + 1] : 0;
                    out.push_back(uint8_t(op.indices[i] << 4 | low));
                }
            }
            if ((out.size() - start) & 1) out.push_back(0);
            break;
        }
        case RleOp::EndOfLine:
            out.push_back(0);
            out.push_back(0);
            break;
        case RleOp::EndOfPicture:
            out.push_back(0);
            out.push_back(1);
            break;
        case RleOp::Delta:
            out.push_back(0);
            out.push_back(2);
            out.push_back(uint8_t(op.right));
            out.push_back(uint8_t(op.up));
            break;
        }
    }
    return out;
}

// Packs one row of pixel values at the recipe's depth, padded to 4 bytes.
void PackRow(const BmpRecipe& recipe, const uint32_t* row, std::vector<uint8_t>& out)
{
    size_t start = out.size();
    int bpp = recipe.bitsPerPixel;
    if (bpp < 8) {
        uint32_t accumulator = 0;
        int bits = 0;
        for (int x = 0; x < recipe.width; ++x) {
            accumulator = accumulator << bpp | (row[x] & ((1u << bpp) - 1));
            bits += bpp;
            if (bits == 8) {
                out.push_back(uint8_t(accumulator));
                accumulator = 0;
                bits = 0;
            }
        }
        if (bits) out.push_back(uint8_t(accumulator << (8 - bits)));
    } else {
        for (int x = 0; x < recipe.width; ++x)
            for (int b = 0; b < bpp / 8; ++b) out.push_back(uint8_t(row[x] >> (8 * b)));
    }
    while ((out.size() - start) % 4) out.push_back(kRowPadding);
}

// Widens a channel of `length` bits to 8 bits by repeating its bits.
uint8_t Widen(uint32_t value, int length)
{
    if (length >= 8) return uint8_t(value >> (length - 8));
    uint32_t top = value << (8 - length);
    uint32_t wide = top;
    for (int shift = length; shift < 8; shift += length) wide |= top >> shift;
    return uint8_t(wide);
}

// Extracts and widens the channel a mask selects.
uint8_t Channel(uint32_t value, uint32_t mask)
{
    if (!mask) return 0;
    int shift = 0;
    while (!(mask >> shift & 1)) ++shift;
    int length = 0;
    while (shift + length < 32 && (mask >> (shift + length) & 1)) ++length;
    return Widen((value & mask) >> shift, length);
}

// Colour of a palette index as the file defines it; black past the table.
uint32_t IndexColor(const BmpRecipe& recipe, uint32_t index)
{
    uint32_t visible = TableEntries(recipe);
    if (visible > (1u << recipe.bitsPerPixel)) visible = 1u << recipe.bitsPerPixel;
    if (index >= visible || index >= recipe.palette.size()) return 0;
    return recipe.palette[index];
}

// Applies the run-length steps to a grid of indices; -1 marks skipped pixels.
std::vector<int> DecodeRle(const BmpRecipe& recipe)
{
    int width = recipe.width, height = recipe.height;
    std::vector<int> grid(size_t(width) * height, -1);
    int x = 0, y = 0;
    for (const RleOp& op : recipe.rle) {
        if (op.kind == RleOp::EndOfPicture) break;
        switch (op.kind) {
        case RleOp::Run:
            for (int i = 0; i < op.count; ++i) {
                int index = recipe.bitsPerPixel == 8 ? op.value : (i % 2 ? op.value & 15 : op.value >> 4);
                grid[size_t(y) * width + x + i] = index;
            }
            x += op.count;
            break;
        case RleOp::Literal:
            for (size_t i = 0; i < op.indices.size(); ++i) grid[size_t(y) * width + x + i] = op.indices[i];
            x += int(op.indices.size());
            break;
        case RleOp::EndOfLine:
            x = 0;
            ++y;
            break;
        case RleOp::Delta:
            x += op.right;
            y += op.up;
            break;
        case RleOp::EndOfPicture:
            break;
        }
    }
    return grid;
}

void AppendRgb(std::vector<uint8_t>& out, uint32_t color)
{
    out.push_back(uint8_t(color >> 16));
    out.push_back(uint8_t(color >> 8));
    out.push_back(uint8_t(color));
}

}  // namespace

RleOp RunOf(int count, uint8_t value) { return RleOp{RleOp::Run, count, value, {}, 0, 0}; }
RleOp LiteralOf(std::vector<uint8_t> indices) { return RleOp{RleOp::Literal, 0, 0, indices, 0, 0}; }
RleOp EndOfLine() { return RleOp{RleOp::EndOfLine, 0, 0, {}, 0, 0}; }
RleOp EndOfPicture() { return RleOp{RleOp::EndOfPicture, 0, 0, {}, 0, 0}; }
RleOp DeltaOf(int right, int up) { return RleOp{RleOp::Delta, 0, 0, {}, right, up}; }

uint32_t TableEntries(const BmpRecipe& recipe)
{
    if (!recipe.coreHeader && recipe.colorsUsed) return recipe.colorsUsed;
    return recipe.bitsPerPixel <= 8 ? 1u << recipe.bitsPerPixel : 0;
}

size_t HeaderOffset(const BmpRecipe& recipe)
{
    return recipe.fileHeader ? 14 : 0;
}

size_t PixelOffset(const BmpRecipe& recipe)
{
    return HeaderOffset(recipe) + HeaderBytes(recipe) + MaskBytes(recipe) +
           size_t(TableEntries(recipe)) * EntryBytes(recipe) + (recipe.fileHeader ? recipe.gap : 0);
}

std::vector<uint8_t> EncodePixels(const BmpRecipe& recipe)
{
    if (!recipe.rawPixels.empty()) return recipe.rawPixels;
    if (recipe.compression == 1 || recipe.compression == 2) return EncodeRle(recipe);
    std::vector<uint8_t> out;
    int rows = recipe.height < 0 ? -recipe.height : recipe.height;
    for (int fileRow = 0; fileRow < rows; ++fileRow) {
        int row = recipe.height > 0 ? fileRow : rows - 1 - fileRow;
        PackRow(recipe, recipe.pixels.data() + size_t(row) * recipe.width, out);
    }
    return out;
}

std::vector<uint8_t> MakeBmp(const BmpRecipe& recipe)
{
    std::vector<uint8_t> pixels = EncodePixels(recipe);
    size_t pixelOffset = PixelOffset(recipe);
    std::vector<uint8_t> out;
    if (recipe.fileHeader) {
        out.push_back('B');
        out.push_back('M');
        Append32(out, uint32_t(pixelOffset + pixels.size()));
        Append32(out, 0);
        Append32(out, uint32_t(pixelOffset));
    }
    if (recipe.coreHeader) {
        Append32(out, 12);
        Append16(out, uint32_t(recipe.width));
        Append16(out, uint32_t(recipe.height));
        Append16(out, recipe.planes);
        Append16(out, uint32_t(recipe.bitsPerPixel));
    } else {
        size_t start = out.size();
        Append32(out, HeaderBytes(recipe));
        Append32(out, uint32_t(recipe.width));
        Append32(out, uint32_t(recipe.height));
        Append16(out, recipe.planes);
        Append16(out, uint32_t(recipe.bitsPerPixel));
        Append32(out, recipe.compression);
        Append32(out, recipe.imageSize);
        Append32(out, 2835);
        Append32(out, 2835);
        Append32(out, recipe.colorsUsed);
        Append32(out, 0);
        out.resize(start + HeaderBytes(recipe), 0);
    }
    if (MaskBytes(recipe))
        for (uint32_t mask : recipe.masks) Append32(out, mask);
    for (uint32_t i = 0; i < TableEntries(recipe); ++i) {
        uint32_t color = i < recipe.palette.size() ? recipe.palette[i] : 0;
        out.push_back(uint8_t(color));
        out.push_back(uint8_t(color >> 8));
        out.push_back(uint8_t(color >> 16));
        if (!recipe.coreHeader) out.push_back(0);
    }
    out.resize(pixelOffset, kGapFiller);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

std::vector<uint8_t> ExpectedRgb(const BmpRecipe& recipe)
{
    std::vector<uint8_t> out;
    int rows = recipe.height < 0 ? -recipe.height : recipe.height;
    if (recipe.compression == 1 || recipe.compression == 2) {
        for (int index : DecodeRle(recipe)) AppendRgb(out, index < 0 ? 0 : IndexColor(recipe, uint32_t(index)));
        return out;
    }
    uint32_t masks[3] = {recipe.masks[0], recipe.masks[1], recipe.masks[2]};
    if (recipe.compression != 3) {
        if (recipe.bitsPerPixel == 16) {
            masks[0] = 0x7C00; masks[1] = 0x03E0; masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000; masks[1] = 0x00FF00; masks[2] = 0x0000FF;
        }
    }
    for (size_t i = 0; i < size_t(rows) * recipe.width; ++i) {
        uint32_t value = recipe.pixels[i];
        if (recipe.bitsPerPixel <= 8) {
            AppendRgb(out, IndexColor(recipe, value));
        } else {
            out.push_back(Channel(value, masks[0]));
            out.push_back(Channel(value, masks[1]));
            out.push_back(Channel(value, masks[2]));
        }
    }
    return out;
}

void FillPicture(BmpRecipe& recipe, uint32_t limit, uint32_t seed)
{
    int rows = recipe.height < 0 ? -recipe.height : recipe.height;
    recipe.pixels.resize(size_t(rows) * recipe.width);
    uint32_t state = seed * 2654435761u + 12345;
    for (uint32_t& value : recipe.pixels) {
        state = state * 1664525u + 1013904223u;
        uint32_t mixed = state ^ (state >> 15);
        value = limit ? mixed % limit : mixed;
    }
}

std::vector<uint32_t> MakePalette(uint32_t n, uint32_t seed)
{
    std::vector<uint32_t> palette(n);
    uint32_t state = seed * 40503u + 7;
    for (uint32_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        palette[i] = (state >> 8 & 0xFFFF00) | ((i * 37 + seed) & 0xFF);
    }
    return palette;
}

namespace {

// Writes bytes to a file, replacing it.
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// With BMP_SEED_FOLDER set (tools/fuzz.sh --seeds), keeps a copy of every
// file a test writes there, named by its contents, as fuzzing seeds.
void KeepSeed(const std::vector<uint8_t>& bytes)
{
    const char* folder = getenv("BMP_SEED_FOLDER");
    if (!folder) return;
    uint32_t hash = 2166136261u;
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 16777619u;
    char name[32];
    snprintf(name, sizeof name, "\\seed-%08x.bmp", static_cast<unsigned>(hash));
    WriteBytes(WindowsPathOf(folder) + name, bytes);
}

}  // namespace

std::string WriteRunFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    KeepSeed(bytes);
    std::string path = RunDirPath(name);
    WriteBytes(path, bytes);
    return path;
}

void PutDword(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

void PutWord(std::vector<uint8_t>& bytes, size_t offset, uint16_t value)
{
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}
