#include "bmp_loader.h"

#include "bmp_parse.h"

#include <stdlib.h>
#include <string.h>

namespace {

const char kCaption[] = "Error";
const char kOpenFailedFormat[] = "%s %s.\n";

// The open-failure text is formatted into 256 bytes: its own 26 characters
// and as much of the path as still fits.
const int kMessageSize = 256;

// The checked description goes to SetDIBits as it is.
static_assert(sizeof(BmpInfoHeader) == sizeof(BITMAPINFOHEADER), "header layout");
static_assert(sizeof(BmpColor) == sizeof(RGBQUAD), "colour layout");

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
    BmpSource* source;
    TargetDescription* target;
    HDC context;
    HBITMAP surface;
};

// Shows one error box owned by the window that has the keyboard focus.
void ShowError(const char* text)
{
    MessageBoxA(GetFocus(), text, kCaption, MB_OK);
}

// Shows the open failure with as much of the path as fits, cut between
// characters of the system code page.
void ShowOpenFailure(const char* path)
{
    // Of the text's own characters, three follow the opening: blank, full stop, line break.
    const int maxPathShown = kMessageSize - 1 - (int(strlen(kBmpOpenFailed)) + 3);
    char shown[kMessageSize];
    int length = 0;
    if (path) {
        const char* end = path;
        while (*end) {
            const char* next = CharNextA(end);
            if (next - path > maxPathShown)
                break;
            end = next;
        }
        length = int(end - path);
        memcpy(shown, path, length);
    }
    shown[length] = '\0';
    char text[kMessageSize];
    wsprintfA(text, kOpenFailedFormat, kBmpOpenFailed, shown);
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

// Converts the file's pixels into a new 24-bit surface; returns the
// surface's pixels, or null after reporting the failure.
const BYTE* ConvertToSurface(LoadCall* call, const BmpPixels* pixels)
{
    LONG height = pixels->height;
    call->context = CreateCompatibleDC(nullptr);
    if (!call->context) {
        ShowError(kBmpOutOfMemory);
        return nullptr;
    }
    call->target = static_cast<TargetDescription*>(LocalAlloc(LMEM_ZEROINIT, sizeof(TargetDescription)));
    if (!call->target) {
        ShowError(kBmpOutOfMemory);
        return nullptr;
    }
    BITMAPINFOHEADER* target = &call->target->header;
    target->biSize = sizeof(BITMAPINFOHEADER);
    target->biWidth = pixels->width;
    target->biHeight = height;
    target->biPlanes = 1;
    target->biBitCount = 24;
    target->biCompression = BI_RGB;
    target->biSizeImage = DWORD(height) * DWORD(pixels->width) * 3;
    void* bits = nullptr;
    call->surface = CreateDIBSection(call->context, reinterpret_cast<BITMAPINFO*>(call->target),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!call->surface || !bits || !SelectObject(call->context, call->surface)) {
        ShowError(kBmpOutOfMemory);
        return nullptr;
    }
    if (!SetDIBits(call->context, call->surface, 0, UINT(height), pixels->start,
                   reinterpret_cast<BITMAPINFO*>(call->source), DIB_RGB_COLORS)) {
        ShowError(kBmpConversionError);
        return nullptr;
    }
    GdiFlush();
    return static_cast<const BYTE*>(bits);
}

// Checks the mapped file, converts it and returns the new picture, or
// reports the failure and returns null.
RgbImage* ConvertMappedFile(LoadCall* call)
{
    BmpSource described;
    BmpPixels pixels;
    BmpVerdict verdict = DescribeBmp(call->view, call->fileSize, &described, &pixels);
    if (verdict == kBmpNoHeader) {
        ShowError(kBmpUnknownFormat);
        return nullptr;
    }
    call->source = static_cast<BmpSource*>(LocalAlloc(LMEM_ZEROINIT, sizeof(BmpSource)));
    if (!call->source) {
        ShowError(kBmpOutOfMemory);
        return nullptr;
    }
    if (verdict != kBmpAccepted) {
        ShowError(BmpRefusalText(verdict));
        return nullptr;
    }
    *call->source = described;

    const BYTE* surface = ConvertToSurface(call, &pixels);
    if (!surface)
        return nullptr;
    LONG width = pixels.width;
    LONG height = pixels.height;
    BYTE* picture = static_cast<BYTE*>(malloc(size_t(width) * size_t(height) * 3));
    if (!picture) {
        ShowError(kBmpOutOfMemory);
        return nullptr;
    }
    RepackRgb(surface, width, height, picture);
    RgbImage* image = static_cast<RgbImage*>(malloc(sizeof(RgbImage)));
    if (!image) {
        free(picture);
        ShowError(kBmpOutOfMemory);
        return nullptr;
    }
    image->width = width;
    image->height = height;
    image->data = picture;
    return image;
}

}  // namespace

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
