// Every file kept in tests/image/regressions (files that once broke the
// loader under the fuzz run) must load as one box and no picture, or as a
// picture and no box, without a crash, and the portable reader must agree.
#include "fuzz_check.h"
#include "test_paths.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

// Windows paths of the BMP files in the regressions folder.
std::vector<std::string> RegressionFiles()
{
    const std::string folder = WindowsPathOf(BMP_REGRESSIONS_DIR);
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.bmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do files.push_back(folder + "\\" + found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

TEST(BmpRegressions, EachKeptFileGivesOneBoxOrOnePicture)
{
    const std::vector<std::string> files = RegressionFiles();
    if (files.empty()) GTEST_SKIP() << "no kept files in " << BMP_REGRESSIONS_DIR;
    for (const std::string& file : files) {
        const LoadOutcome outcome = LoadWatched(file);
        EXPECT_EQ("", OutcomeFault(outcome)) << file;
        EXPECT_EQ("", PortableDifference(file, outcome)) << file;
    }
}

}  // namespace
