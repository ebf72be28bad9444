#pragma once
#include <string>

// Windows path of a file in the build's test-output folder (screenshots and
// other artifacts kept for review); the folder comes from SAVER_TEST_OUTPUT.
std::string TestOutputPath(const std::string& name);

// Windows path of a file in the private folder of this test run
// (SAVER_RUN_DIR), or of the current folder when run by hand.
std::string RunDirPath(const std::string& name);

// Folder holding this test program, with a trailing backslash.
std::string ProgramFolder();

// Converts a Unix path as Wine sees it (drive Z:) into a Windows path.
std::string WindowsPathOf(const std::string& unixPath);
