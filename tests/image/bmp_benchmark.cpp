// Load time of a 4096 x 4096 24-bit BMP against a plain copy of the same
// file's mapped bytes, measured in the same run, with the time of the first
// write to every page of a fresh block of the file's size beside them (the
// load fills two such blocks, the 24-bit surface and the picture; the copy
// one). Not a test: it prints the times and their ratio.
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

// Writes once to every page of a new block of size bytes.
void TouchFreshBlock(size_t size)
{
    unsigned char* volatile block = static_cast<unsigned char*>(malloc(size));
    if (!block) return;
    for (size_t i = 0; i < size; i += 4096) block[i] = 1;
    sampled = sampled + block[size / 2];
    free(block);
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
    const size_t fileSize = bytes.size();
    std::printf("file %s, %zu bytes\n", path.c_str(), fileSize);
    bytes.clear();
    bytes.shrink_to_fit();

    if (!CopyMappedFile(path.c_str()) || !LoadAndFree(path.c_str())) {
        std::printf("the file could not be read\n");
        return 1;
    }
    std::vector<double> loads, copies, touches;
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        LoadAndFree(path.c_str());
        QueryPerformanceCounter(&t1);
        CopyMappedFile(path.c_str());
        QueryPerformanceCounter(&t2);
        TouchFreshBlock(fileSize);
        QueryPerformanceCounter(&t3);
        loads.push_back(Seconds(t0, t1));
        copies.push_back(Seconds(t1, t2));
        touches.push_back(Seconds(t2, t3));
    }
    double load = Median(loads), copy = Median(copies);
    std::printf("%d rounds, medians: load %.1f ms, plain copy %.1f ms, ratio %.2f\n", kRounds, load * 1000,
                copy * 1000, load / copy);
    std::printf("best: load %.1f ms, plain copy %.1f ms\n",
                *std::min_element(loads.begin(), loads.end()) * 1000,
                *std::min_element(copies.begin(), copies.end()) * 1000);
    std::printf("first write to every page of a fresh block of the file's size: %.1f ms\n",
                Median(touches) * 1000);
    DeleteFileA(path.c_str());
    return 0;
}
