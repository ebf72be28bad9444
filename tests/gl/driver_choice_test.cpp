// The driver library's choice by the libraries installed. The choice probes
// by bare file name, which finds a program's own folder first, so each case
// runs the probe program (gl_driver_probe) from a private folder holding
// just the doubles that the case installs.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "box_watcher.h"
#include "child_process.h"
#include "gl_doubles.h"

namespace {

// What the probe program reported, and the boxes it showed.
struct ProbeReport {
    DWORD exitCode = 0;
    std::map<std::string, std::string> values;  // name, load, useDriverWgl, probeKept, module
    std::vector<SeenBox> boxes;
    std::string folder;
};

// A double to install: its folder under bin/doubles and its file name.
typedef std::pair<std::string, std::string> Installed;

// Installs the probe program and the given doubles in a fresh folder, runs
// the probe there and reads its report.
ProbeReport RunProbe(const std::string& folderName, const std::vector<Installed>& doubles)
{
    ProbeReport report;
    report.folder = RunDirPath(folderName) + "\\";
    CreateDirectoryA(report.folder.c_str(), nullptr);
    std::string program = report.folder + "gl_driver_probe.exe";
    std::string built = ProgramFolder() + "gl_driver_probe.exe";
    EXPECT_TRUE(CopyFileA(built.c_str(), program.c_str(), FALSE));
    for (const Installed& installed : doubles)
        EXPECT_TRUE(CopyFileA(DoublePath(installed.first, installed.second).c_str(),
                              (report.folder + installed.second).c_str(), FALSE))
            << installed.second;

    ChildProcess child = StartChild("\"" + program + "\"", report.folder);
    EXPECT_NE(nullptr, child.process);
    BoxWatch watch(child.processId);
    report.exitCode = WaitChild(child, 60000);
    report.boxes = watch.Stop();

    std::ifstream lines(report.folder + "probe.txt");
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            report.values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

// Lower-case copy of a path, for comparing paths as Windows does.
std::string Lower(std::string text)
{
    CharLowerA(&text[0]);
    return text;
}

TEST(DriverChoice, ThreeDfxDriverWinsOverPvr)
{
    ProbeReport report = RunProbe("choice-3dfx-and-pvr", {{"gl-recorder", "3dfxgl.dll"},
                                                          {"pvrhal", "pvrhal32.dll"},
                                                          {"gl-recorder", "pvrgl.dll"}});
    ASSERT_EQ(0u, report.exitCode);
    EXPECT_EQ("3dfxgl.dll", report.values["name"]);
    EXPECT_EQ("0", report.values["load"]);
    EXPECT_EQ("1", report.values["useDriverWgl"]);
    EXPECT_EQ("0", report.values["probeKept"]) << "the probe kept a library loaded";
    EXPECT_EQ(Lower(report.folder + "3dfxgl.dll"), Lower(report.values["module"]));
    EXPECT_TRUE(report.boxes.empty());
}

TEST(DriverChoice, PvrHardwareLayerChoosesPvrDriver)
{
    ProbeReport report = RunProbe("choice-pvr", {{"pvrhal", "pvrhal32.dll"},
                                                 {"gl-recorder", "pvrgl.dll"}});
    ASSERT_EQ(0u, report.exitCode);
    EXPECT_EQ("pvrgl.dll", report.values["name"]);
    EXPECT_EQ("0", report.values["load"]);
    EXPECT_EQ("1", report.values["useDriverWgl"]);
    EXPECT_EQ("0", report.values["probeKept"]);
    EXPECT_EQ(Lower(report.folder + "pvrgl.dll"), Lower(report.values["module"]));
    EXPECT_TRUE(report.boxes.empty());
}

TEST(DriverChoice, PvrHardwareLayerWithoutPvrDriverFailsWithOneBox)
{
    ProbeReport report = RunProbe("choice-pvr-without-driver", {{"pvrhal", "pvrhal32.dll"}});
    ASSERT_EQ(0u, report.exitCode);
    EXPECT_EQ("pvrgl.dll", report.values["name"]);
    EXPECT_EQ("-1", report.values["load"]);
    EXPECT_EQ("0", report.values["useDriverWgl"]);
    EXPECT_EQ("-", report.values["module"]);
    ASSERT_EQ(1u, report.boxes.size());
    EXPECT_EQ("Error", report.boxes[0].caption);
    EXPECT_EQ("Could not open OpenGL Library", report.boxes[0].text);
    EXPECT_FALSE(report.boxes[0].hasIcon);
    EXPECT_EQ(1, report.boxes[0].buttonCount);
}

TEST(DriverChoice, NoCardDriverFallsBackToPlatformLibrary)
{
    ProbeReport report = RunProbe("choice-none", {});
    ASSERT_EQ(0u, report.exitCode);
    EXPECT_EQ("opengl32.dll", report.values["name"]);
    EXPECT_EQ("0", report.values["load"]);
    EXPECT_EQ("0", report.values["useDriverWgl"]);
    std::string module = Lower(report.values["module"]);
    EXPECT_EQ("\\opengl32.dll", module.substr(module.find_last_of('\\')));
    EXPECT_TRUE(report.boxes.empty());
}

TEST(DriverChoice, ThreeDfxFileThatIsNotALibraryIsPassedOver)
{
    ProbeReport report = RunProbe("choice-3dfx-not-a-dll", {{"not-a-dll", "3dfxgl.dll"},
                                                            {"pvrhal", "pvrhal32.dll"},
                                                            {"gl-recorder", "pvrgl.dll"}});
    ASSERT_EQ(0u, report.exitCode);
    EXPECT_EQ("pvrgl.dll", report.values["name"]);
    EXPECT_EQ("0", report.values["load"]);
    EXPECT_TRUE(report.boxes.empty());
}

TEST(DriverChoice, IncompleteThreeDfxDriverIsChosenThenRefusedSilently)
{
    ProbeReport report = RunProbe("choice-3dfx-incomplete", {{"gl-incomplete", "3dfxgl.dll"}});
    ASSERT_EQ(0u, report.exitCode);
    EXPECT_EQ("3dfxgl.dll", report.values["name"]);
    EXPECT_EQ("-1", report.values["load"]);
    EXPECT_EQ("0", report.values["useDriverWgl"]);
    EXPECT_EQ(Lower(report.folder + "3dfxgl.dll"), Lower(report.values["module"]));
    EXPECT_TRUE(report.boxes.empty());
}

}  // namespace
