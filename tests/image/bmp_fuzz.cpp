// Loads mutated BMP files for a given time: valid files of every kind the
// generator writes, with bits flipped, bytes overwritten, header fields set
// to odd values or the file cut short, all from a seeded generator. Every
// load must give one box and no picture, or a picture and no box, and the
// portable reader must give the same picture or refusal. A file
// that breaks the rule, crashes the loader or takes longer than the hang
// limit is copied to the failure folder.
//   bmp_fuzz SECONDS SEED FAILURE_FOLDER     (run by tools/fuzz.sh)
// Prints the number of files, outcomes by box text, and failures; exit
// status 0 when nothing failed.
#include "fuzz_check.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

const DWORD kHangMs = 20000;

// The run's record, read by the crash filter and the hang watch.
struct FuzzState {
    uint32_t random;
    std::string failureFolder;
    std::string currentPath;    // the file being loaded
    long long current;          // its number
    volatile LONG loading;      // 1 while a load runs
    volatile DWORD loadStart;
    int failures;
};
FuzzState fuzz;

uint32_t Next()
{
    fuzz.random ^= fuzz.random << 13;
    fuzz.random ^= fuzz.random >> 17;
    fuzz.random ^= fuzz.random << 5;
    return fuzz.random;
}

uint32_t Below(uint32_t limit)
{
    return Next() % limit;
}

// Copies the file being loaded to the failure folder under a name that
// says why.
void KeepFailure(const char* why)
{
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%s\\%s-%08lx-%lld.bmp", fuzz.failureFolder.c_str(), why,
             static_cast<unsigned long>(fuzz.random), fuzz.current);
    CopyFileA(fuzz.currentPath.c_str(), name, FALSE);
    printf("FAILURE %s: kept as %s\n", why, name);
    fflush(stdout);
    ++fuzz.failures;
}

LONG WINAPI KeepCrash(EXCEPTION_POINTERS* exception)
{
    printf("crash, code %08lx\n", static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    KeepFailure("crash");
    ExitProcess(3);
}

DWORD WINAPI WatchForHang(void*)
{
    for (;;) {
        Sleep(500);
        if (fuzz.loading && GetTickCount() - fuzz.loadStart > kHangMs) {
            KeepFailure("hang");
            ExitProcess(4);
        }
    }
}

// A valid file of one of the kinds the loader reads, small enough to load
// hundreds per second.
BmpRecipe ValidRecipe()
{
    static const int kBits[] = {1, 4, 8, 16, 24, 32};
    BmpRecipe recipe;
    recipe.width = 1 + Below(9);
    recipe.height = 1 + Below(7);
    if (Below(5) == 0) recipe.height = -recipe.height;
    const uint32_t seed = Next();
    switch (Below(4)) {
    case 0:  // run-length encoded
        recipe.height = recipe.height < 0 ? -recipe.height : recipe.height;
        recipe.bitsPerPixel = Below(2) ? 8 : 4;
        recipe.compression = recipe.bitsPerPixel == 8 ? 1 : 2;
        recipe.palette = MakePalette(1u << recipe.bitsPerPixel, seed);
        for (int row = 0; row < recipe.height; ++row) {
            recipe.rle.push_back(RunOf(recipe.width, uint8_t(Next())));
            recipe.rle.push_back(EndOfLine());
        }
        recipe.rle.push_back(EndOfPicture());
        break;
    case 1:  // bit-field masks
        recipe.bitsPerPixel = Below(2) ? 16 : 32;
        recipe.compression = 3;
        if (recipe.bitsPerPixel == 16) {
            recipe.masks[0] = 0xF800, recipe.masks[1] = 0x07E0, recipe.masks[2] = 0x001F;
        } else {
            recipe.masks[0] = 0xFF0000, recipe.masks[1] = 0xFF00, recipe.masks[2] = 0xFF;
        }
        FillPicture(recipe, recipe.bitsPerPixel == 16 ? 1u << 16 : 0, seed);
        break;
    default:
        recipe.bitsPerPixel = kBits[Below(6)];
        recipe.coreHeader = recipe.bitsPerPixel <= 24 && Below(4) == 0;
        if (recipe.bitsPerPixel <= 8) {
            recipe.palette = MakePalette(1u << recipe.bitsPerPixel, seed);
            FillPicture(recipe, 1u << recipe.bitsPerPixel, seed);
        } else {
            FillPicture(recipe, recipe.bitsPerPixel == 16 ? 1u << 15 : 1u << 24, seed);
        }
        break;
    }
    recipe.fileHeader = Below(4) != 0;
    return recipe;
}

// Values that header fields go wrong with.
uint32_t OddValue()
{
    static const uint32_t kValues[] = {0, 1, 2, 3, 4, 8, 12, 15, 16, 24, 32, 40, 64, 108, 124, 255,
                                       0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000,
                                       0xFFFFFFFF, 0xFFFFFFFE};
    return Below(3) == 0 ? Next() : kValues[Below(sizeof kValues / sizeof kValues[0])];
}

// One to three mutations of the bytes.
void Mutate(std::vector<uint8_t>& bytes, size_t header)
{
    const int count = 1 + Below(3);
    for (int i = 0; i < count && !bytes.empty(); ++i) {
        switch (Below(5)) {
        case 0:  // bit flips anywhere
            for (uint32_t flips = 1 + Below(4); flips; --flips)
                bytes[Below(bytes.size())] ^= uint8_t(1u << Below(8));
            break;
        case 1:  // cut short
            bytes.resize(Below(bytes.size()));
            break;
        case 2: {  // a 32-bit field of the headers
            const size_t end = header + 40 < bytes.size() ? header + 40 : bytes.size();
            if (end >= 4) PutDword(bytes, Below(end - 3), OddValue());
            break;
        }
        case 3: {  // a 16-bit field of the headers
            const size_t end = header + 16 < bytes.size() ? header + 16 : bytes.size();
            if (end >= 2) PutWord(bytes, Below(end - 1), uint16_t(OddValue()));
            break;
        }
        default:  // a random byte
            bytes[Below(bytes.size())] = uint8_t(Next());
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        printf("usage: bmp_fuzz SECONDS SEED FAILURE_FOLDER\n");
        return 2;
    }
    const DWORD runMs = DWORD(atof(argv[1]) * 1000);
    fuzz.random = strtoul(argv[2], nullptr, 0) | 1;
    fuzz.failureFolder = argv[3];
    CreateDirectoryA(fuzz.failureFolder.c_str(), nullptr);
    SetUnhandledExceptionFilter(KeepCrash);
    CloseHandle(CreateThread(nullptr, 0, WatchForHang, nullptr, 0, nullptr));

    std::map<std::string, long long> outcomes;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < runMs) {
        const BmpRecipe recipe = ValidRecipe();
        std::vector<uint8_t> bytes = MakeBmp(recipe);
        Mutate(bytes, HeaderOffset(recipe));
        ++fuzz.current;
        fuzz.currentPath = WriteRunFile("fuzz.bmp", bytes);
        fuzz.loadStart = GetTickCount();
        fuzz.loading = 1;
        const LoadOutcome outcome = LoadWatched(fuzz.currentPath);
        fuzz.loading = 0;
        std::string fault = OutcomeFault(outcome);
        if (fault.empty()) fault = PortableDifference(fuzz.currentPath, outcome);
        if (!fault.empty()) {
            printf("file %lld: %s\n", fuzz.current, fault.c_str());
            KeepFailure("rule");
        }
        std::string key = outcome.image ? "picture" : "box";
        if (!outcome.boxes.empty()) key += ": " + outcome.boxes[0].text.substr(0, 40);
        ++outcomes[key];
    }
    printf("%lld files in %.0f s, seed %s\n", fuzz.current, (GetTickCount() - start) / 1000.0, argv[2]);
    for (const auto& outcome : outcomes) printf("  %8lld  %s\n", outcome.second, outcome.first.c_str());
    printf("failures: %d\n", fuzz.failures);
    return fuzz.failures ? 1 : 0;
}
