// Load time of a 4096 x 4096 24-bit BMP against a plain copy of the same
// file's mapped bytes, measured in the same run. Not a test: it prints the
// times and their ratio.
#include "bmp_loader.h"
#include "bmp_maker.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int kSide = 4096;
const int kRounds = 7;

// Bytes sampled from each copy, so that the compiler cannot drop the copy.
volatile unsigned sampled;

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

// Maps the file and copies all of its bytes into a new block.
bool CopyMappedFile(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(file, nullptr);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    void* copy = view ? malloc(size) : nullptr;
    if (copy) {
        memcpy(copy, view, size);
        for (DWORD i = 0; i < size; i += 4096) sampled = sampled + static_cast<unsigned char*>(copy)[i];
    }
    bool copied = copy != nullptr;
    free(copy);
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    CloseHandle(file);
    return copied;
}

bool LoadAndFree(const char* path)
{
    RgbImage* image = LoadBmpImage(path);
    if (!image) return false;
    free(image->data);
    free(image);
    return true;
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main()
{
    BmpRecipe recipe;
    recipe.width = kSide;
    recipe.height = kSide;
    recipe.rawPixels.resize(size_t(kSide) * kSide * 3);
    uint32_t state = 1;
    for (uint8_t& byte : recipe.rawPixels) {
        state = state * 1664525u + 1013904223u;
        byte = uint8_t(state >> 24);
    }
    std::vector<uint8_t> bytes = MakeBmp(recipe);
    recipe.rawPixels.clear();
    recipe.rawPixels.shrink_to_fit();
    std::string path = WriteRunFile("benchmark.bmp", bytes);
    std::printf("file %s, %zu bytes\n", path.c_str(), bytes.size());
    bytes.clear();
    bytes.shrink_to_fit();

    if (!CopyMappedFile(path.c_str()) || !LoadAndFree(path.c_str())) {
        std::printf("the file could not be read\n");
        return 1;
    }
    std::vector<double> loads, copies;
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER t0, t1, t2;
        QueryPerformanceCounter(&t0);
        LoadAndFree(path.c_str());
        QueryPerformanceCounter(&t1);
        CopyMappedFile(path.c_str());
        QueryPerformanceCounter(&t2);
        loads.push_back(Seconds(t0, t1));
        copies.push_back(Seconds(t1, t2));
    }
    double load = Median(loads), copy = Median(copies);
    std::printf("%d rounds, medians: load %.1f ms, plain copy %.1f ms, ratio %.2f\n", kRounds, load * 1000,
                copy * 1000, load / copy);
    std::printf("best: load %.1f ms, plain copy %.1f ms\n",
                *std::min_element(loads.begin(), loads.end()) * 1000,
                *std::min_element(copies.begin(), copies.end()) * 1000);
    DeleteFileA(path.c_str());
    return 0;
}
