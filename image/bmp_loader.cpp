#include "bmp_loader.h"

#include <stdlib.h>
#include <string.h>

namespace {

const char kCaption[] = "Error";
const char kOpenFailedFormat[] = "Failed to open DIB file %s.\n";
const char kOutOfMemory[] = "Out of memory.";
const char kUnknownFormat[] = "Unknown DIB file format.";
const char kConversionError[] = "Image file conversion error.";

// The open-failure text is formatted into 256 bytes: its own 26 characters
// and as much of the path as still fits.
const int kMessageSize = 256;
const int kMaxPathShown = kMessageSize - 1 - (int(sizeof kOpenFailedFormat) - 1 - 2);

const DWORD kFileHeaderSize = 14;
const DWORD kFileOffsetField = 10;
const DWORD kCoreHeaderSize = 12;
const DWORD kInfoHeaderSize = 40;
const DWORD kMaskBytes = 3 * sizeof(DWORD);

// Largest picture accepted: 8192 x 8192 pixels. Its 24-bit conversion
// surface and its output block take 192 MiB each, which a 32-bit process
// still finds room for beside the mapped file. No side may pass 65536
// pixels, so that the row sizes GDI computes from width and depth stay far
// inside 32 bits.
const unsigned long long kMaxPixels = 8192ull * 8192ull;
const long long kMaxSide = 65536;

// The file's header restated for the conversion: an information header
// followed by the full colour table of the depth (entries the file lacks are
// black) or by the three bit-field masks.
struct SourceDescription {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

// The 24-bit conversion surface's description: a header and one spare entry.
struct TargetDescription {
    BITMAPINFOHEADER header;
    RGBQUAD spare;
};

// Everything one call acquires, released together in LoadBmpImage.
struct LoadCall {
    HANDLE file;
    HANDLE mapping;
    const BYTE* view;
    DWORD fileSize;
    SourceDescription* source;
    TargetDescription* target;
    HDC context;
    HBITMAP surface;
};

// Where the parts of the file lie in the view, once checked.
struct DibLayout {
    const BYTE* header;
    DWORD headerSize;
    bool fileHeader;
    DWORD pixelOffset;   // from the file header, when there is one
    WORD colorCount;
    DWORD entrySize;     // bytes per colour-table entry in the file
    const BYTE* pixels;
    DWORD pixelBytes;    // bytes of pixel data handed to the conversion
};

// Reads a little-endian 16-bit field.
WORD ReadWord(const BYTE* field)
{
    return WORD(field[0] | field[1] << 8);
}

// Reads a little-endian 32-bit field.
DWORD ReadDword(const BYTE* field)
{
    return DWORD(field[0]) | DWORD(field[1]) << 8 | DWORD(field[2]) << 16 | DWORD(field[3]) << 24;
}

// Shows one error box owned by the window that has the keyboard focus.
void ShowError(const char* text)
{
    MessageBoxA(GetFocus(), text, kCaption, MB_OK);
}

// Shows the open failure with as much of the path as fits, cut between
// characters of the system code page.
void ShowOpenFailure(const char* path)
{
    char shown[kMaxPathShown + 1];
    int length = 0;
    if (path) {
        const char* end = path;
        while (*end) {
            const char* next = CharNextA(end);
            if (next - path > kMaxPathShown)
                break;
            end = next;
        }
        length = int(end - path);
        memcpy(shown, path, length);
    }
    shown[length] = '\0';
    char text[kMessageSize];
    wsprintfA(text, kOpenFailedFormat, shown);
    ShowError(text);
}

// Opens the file and maps all of it read-only; false if any step fails.
bool MapWholeFile(LoadCall* call, const char* path)
{
    call->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (call->file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    call->fileSize = GetFileSize(call->file, &high);
    if (call->fileSize == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    if (high)
        call->fileSize = 0xFFFFFFFF;  // only the first 4 GiB are ever looked at
    call->mapping = CreateFileMappingA(call->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!call->mapping)
        return false;
    call->view = static_cast<const BYTE*>(MapViewOfFile(call->mapping, FILE_MAP_READ, 0, 0, 0));
    return call->view != nullptr;
}

// Releases what the call acquired: the context (letting go of the surface),
// the surface, the descriptions, then the view, the mapping and the file.
void ReleaseLoadCall(LoadCall* call)
{
    if (call->context) DeleteDC(call->context);
    if (call->surface) DeleteObject(call->surface);
    if (call->target) LocalFree(call->target);
    if (call->source) LocalFree(call->source);
    if (call->view) UnmapViewOfFile(call->view);
    if (call->mapping) CloseHandle(call->mapping);
    if (call->file != INVALID_HANDLE_VALUE) CloseHandle(call->file);
}

// Finds the DIB header; false when the file is too short to hold the file
// header, the header's size field, or the header that field names.
bool FindDibHeader(const LoadCall* call, DibLayout* layout)
{
    DWORD start = 0;
    layout->fileHeader = call->fileSize >= 2 && call->view[0] == 'B' && call->view[1] == 'M';
    if (layout->fileHeader) {
        if (call->fileSize < kFileHeaderSize)
            return false;
        layout->pixelOffset = ReadDword(call->view + kFileOffsetField);
        start = kFileHeaderSize;
    }
    if (call->fileSize - start < sizeof(DWORD))
        return false;
    layout->header = call->view + start;
    layout->headerSize = ReadDword(layout->header);
    DWORD needed = layout->headerSize == kCoreHeaderSize ? kCoreHeaderSize : kInfoHeaderSize;
    return call->fileSize - start >= needed;
}

// Restates the file's header as an information header.
void DescribeSource(const DibLayout* layout, BITMAPINFOHEADER* info)
{
    const BYTE* header = layout->header;
    info->biSize = kInfoHeaderSize;
    if (layout->headerSize == kCoreHeaderSize) {
        info->biWidth = ReadWord(header + 4);
        info->biHeight = ReadWord(header + 6);
        info->biPlanes = ReadWord(header + 8);
        info->biBitCount = ReadWord(header + 10);
        info->biCompression = BI_RGB;
        info->biClrUsed = layout->colorCount;
        return;
    }
    info->biWidth = LONG(ReadDword(header + 4));
    info->biHeight = LONG(ReadDword(header + 8));
    info->biPlanes = ReadWord(header + 12);
    info->biBitCount = ReadWord(header + 14);
    info->biCompression = ReadDword(header + 16);
    info->biSizeImage = ReadDword(header + 20);
    info->biXPelsPerMeter = LONG(ReadDword(header + 24));
    info->biYPelsPerMeter = LONG(ReadDword(header + 28));
    info->biClrUsed = ReadDword(header + 32);
    info->biClrImportant = ReadDword(header + 36);
}

// True when a picture of these dimensions can be converted and returned.
bool HasUsableSize(const BITMAPINFOHEADER* info)
{
    long long width = info->biWidth;
    long long height = info->biHeight < 0 ? -(long long)info->biHeight : info->biHeight;
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           (unsigned long long)(width * height) <= kMaxPixels;
}

// True for the depths and compressions the conversion handles.
bool IsConvertibleKind(const BITMAPINFOHEADER* info)
{
    if (info->biPlanes != 1 || info->biClrUsed > 0xFFFF)
        return false;
    switch (info->biCompression) {
    case BI_RGB:
        return info->biBitCount == 1 || info->biBitCount == 4 || info->biBitCount == 8 ||
               info->biBitCount == 16 || info->biBitCount == 24 || info->biBitCount == 32;
    case BI_RLE8:
        return info->biBitCount == 8 && info->biHeight > 0;
    case BI_RLE4:
        return info->biBitCount == 4 && info->biHeight > 0;
    case BI_BITFIELDS:
        return info->biBitCount == 16 || info->biBitCount == 32;
    default:
        return false;
    }
}

// Walks a run-length-encoded picture within the bytes present and returns
// the length of the stream up to and including its end-of-picture escape;
// 0 when it runs past its rows or past those bytes first.
DWORD MeasureRleStream(const BYTE* stream, DWORD present, LONG width, LONG height, WORD bitsPerPixel)
{
    DWORD at = 0;
    LONG x = 0, y = 0;
    while (present - at >= 2) {
        BYTE count = stream[at];
        BYTE code = stream[at + 1];
        at += 2;
        if (count) {
            if (y >= height || count > width - x)
                return 0;
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
            BYTE right = stream[at];
            BYTE up = stream[at + 1];
            at += 2;
            if (right > width - x || up > height - y)
                return 0;
            x += right;
            y += up;
        } else {
            DWORD bytes = ((code * bitsPerPixel + 7) / 8 + 1) & ~1u;
            if (y >= height || code > width - x || bytes > present - at)
                return 0;
            x += code;
            at += bytes;
        }
    }
    return 0;
}

// Checks that the colour table and the pixel data the header declares lie
// inside the file, and finds the pixels and their length.
bool LocatePixels(const LoadCall* call, DibLayout* layout, const BITMAPINFOHEADER* info)
{
    unsigned long long fileSize = call->fileSize;
    unsigned long long tableStart = (layout->header - call->view) + (unsigned long long)layout->headerSize;
    if (info->biCompression == BI_BITFIELDS)
        tableStart += kMaskBytes;
    unsigned long long tableEnd = tableStart + (unsigned long long)layout->entrySize * layout->colorCount;
    if (tableEnd > fileSize)
        return false;
    unsigned long long pixelStart = layout->fileHeader ? layout->pixelOffset : tableEnd;
    if (pixelStart > fileSize)
        return false;
    unsigned long long present = fileSize - pixelStart;
    layout->pixels = call->view + pixelStart;
    if (info->biCompression == BI_RLE8 || info->biCompression == BI_RLE4) {
        if (info->biSizeImage && info->biSizeImage < present)
            present = info->biSizeImage;
        layout->pixelBytes = MeasureRleStream(layout->pixels, DWORD(present), info->biWidth,
                                              info->biHeight, info->biBitCount);
        return layout->pixelBytes != 0;
    }
    unsigned long long stride = ((unsigned long long)info->biWidth * info->biBitCount + 31) / 32 * 4;
    unsigned long long height = info->biHeight < 0 ? -(long long)info->biHeight : info->biHeight;
    if (stride * height > present)
        return false;
    layout->pixelBytes = DWORD(stride * height);
    return true;
}

// Completes the source description: the colour table of an indexed depth,
// padded with black to the depth's full size, or the bit-field masks.
void FillSourceColors(const DibLayout* layout, SourceDescription* source)
{
    BITMAPINFOHEADER* info = &source->header;
    const BYTE* entry = layout->header + layout->headerSize;
    info->biSizeImage = layout->pixelBytes;
    if (info->biCompression == BI_BITFIELDS) {
        memcpy(source->colors, entry, kMaskBytes);
        info->biClrUsed = 0;
        return;
    }
    if (info->biBitCount > 8) {
        info->biClrUsed = 0;
        return;
    }
    DWORD full = 1u << info->biBitCount;
    DWORD count = layout->colorCount < full ? layout->colorCount : full;
    for (DWORD i = 0; i < count; ++i, entry += layout->entrySize) {
        source->colors[i].rgbBlue = entry[0];
        source->colors[i].rgbGreen = entry[1];
        source->colors[i].rgbRed = entry[2];
    }
    info->biClrUsed = full;
    info->biClrImportant = 0;
}

// Converts the file's pixels into a new 24-bit surface; returns the
// surface's pixels, or null after reporting the failure.
const BYTE* ConvertToSurface(LoadCall* call, const DibLayout* layout)
{
    const BITMAPINFOHEADER* source = &call->source->header;
    LONG height = source->biHeight < 0 ? -source->biHeight : source->biHeight;
    call->context = CreateCompatibleDC(nullptr);
    if (!call->context) {
        ShowError(kOutOfMemory);
        return nullptr;
    }
    call->target = static_cast<TargetDescription*>(LocalAlloc(LMEM_ZEROINIT, sizeof(TargetDescription)));
    if (!call->target) {
        ShowError(kOutOfMemory);
        return nullptr;
    }
    BITMAPINFOHEADER* target = &call->target->header;
    target->biSize = kInfoHeaderSize;
    target->biWidth = source->biWidth;
    target->biHeight = height;
    target->biPlanes = 1;
    target->biBitCount = 24;
    target->biCompression = BI_RGB;
    target->biSizeImage = DWORD(height) * DWORD(source->biWidth) * 3;
    void* bits = nullptr;
    call->surface = CreateDIBSection(call->context, reinterpret_cast<BITMAPINFO*>(call->target),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!call->surface || !bits || !SelectObject(call->context, call->surface)) {
        ShowError(kOutOfMemory);
        return nullptr;
    }
    if (!SetDIBits(call->context, call->surface, 0, UINT(height), layout->pixels,
                   reinterpret_cast<BITMAPINFO*>(call->source), DIB_RGB_COLORS)) {
        ShowError(kConversionError);
        return nullptr;
    }
    GdiFlush();
    return static_cast<const BYTE*>(bits);
}

// Repacks bottom-up 24-bit surface rows (blue, green, red, padded to 4
// bytes) into unpadded red, green, blue rows.
void RepackRgb(const BYTE* surface, LONG width, LONG height, BYTE* out)
{
    for (LONG row = 0; row < height; ++row) {
        for (LONG column = 0; column < width; ++column) {
            out[0] = surface[2];
            out[1] = surface[1];
            out[2] = surface[0];
            out += 3;
            surface += 3;
        }
        surface += width & 3;
    }
}

// Checks the mapped file, converts it and returns the new picture, or
// reports the failure and returns null.
RgbImage* ConvertMappedFile(LoadCall* call)
{
    DibLayout layout = {};
    if (!FindDibHeader(call, &layout)) {
        ShowError(kUnknownFormat);
        return nullptr;
    }
    layout.colorCount = CountDibColors(layout.header);
    call->source = static_cast<SourceDescription*>(LocalAlloc(LMEM_ZEROINIT, sizeof(SourceDescription)));
    if (!call->source) {
        ShowError(kOutOfMemory);
        return nullptr;
    }
    if (layout.headerSize != kCoreHeaderSize && layout.headerSize != kInfoHeaderSize) {
        ShowError(kUnknownFormat);
        return nullptr;
    }
    layout.entrySize = layout.headerSize == kCoreHeaderSize ? 3 : 4;
    BITMAPINFOHEADER* info = &call->source->header;
    DescribeSource(&layout, info);
    if (!HasUsableSize(info)) {
        ShowError(kOutOfMemory);
        return nullptr;
    }
    if (!IsConvertibleKind(info) || !LocatePixels(call, &layout, info)) {
        ShowError(kConversionError);
        return nullptr;
    }
    FillSourceColors(&layout, call->source);

    const BYTE* surface = ConvertToSurface(call, &layout);
    if (!surface)
        return nullptr;
    LONG width = info->biWidth;
    LONG height = info->biHeight < 0 ? -info->biHeight : info->biHeight;
    BYTE* pixels = static_cast<BYTE*>(malloc(size_t(width) * size_t(height) * 3));
    if (!pixels) {
        ShowError(kOutOfMemory);
        return nullptr;
    }
    RepackRgb(surface, width, height, pixels);
    RgbImage* image = static_cast<RgbImage*>(malloc(sizeof(RgbImage)));
    if (!image) {
        free(pixels);
        ShowError(kOutOfMemory);
        return nullptr;
    }
    image->width = width;
    image->height = height;
    image->data = pixels;
    return image;
}

}  // namespace

// Colour-table entries of a core or information header: colours used, else
// the full table of a depth of 1, 4 or 8 bits, else none.
WORD CountDibColors(const void* header)
{
    const BYTE* fields = static_cast<const BYTE*>(header);
    WORD bitsPerPixel;
    if (ReadDword(fields) == kCoreHeaderSize) {
        bitsPerPixel = ReadWord(fields + 10);
    } else {
        DWORD used = ReadDword(fields + 32);
        if (used)
            return WORD(used);
        bitsPerPixel = ReadWord(fields + 14);
    }
    switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

// Maps the file, converts it and releases everything; the open failure is
// reported last, after the clean-up.
RgbImage* LoadBmpImage(const char* path)
{
    LoadCall call = {};
    call.file = INVALID_HANDLE_VALUE;
    RgbImage* image = nullptr;
    bool mapped = MapWholeFile(&call, path);
    if (mapped)
        image = ConvertMappedFile(&call);
    ReleaseLoadCall(&call);
    if (!mapped)
        ShowOpenFailure(path);
    return image;
}
