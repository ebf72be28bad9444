// Pictures that cannot be read end the process. Each case runs the set-up in
// a child program (lighting_child) with some of the pictures removed, reads
// the boxes it shows, its exit status and the report its exit handler
// writes: the GL and GLU calls made and the next texture name the context
// would hand out, which is 1 only while no name has been generated.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "child_process.h"
#include "lighting_support.h"
#include "test_paths.h"

namespace {

// What the child program did.
struct ChildRun {
    DWORD exitCode = 0;
    std::vector<SeenBox> boxes;
    std::vector<std::string> calls;
    std::string names;
    std::string nextName;
    bool returned = false;
    bool reported = false;
};

// Writes all three pictures, removes those named and gives the one named
// unreadable text in place of a picture; then runs the child program and
// reads its report.
ChildRun RunWithout(const std::string& tag, const std::vector<std::string>& removed,
                    const std::string& unreadable = "")
{
    ChildRun run;
    for (const char* name : {"cloud", "stars", "quad"})
        EXPECT_TRUE(WriteScenePicture(name, VariedPicture(8, 8, name[0])));
    for (const std::string& name : removed)
        EXPECT_TRUE(RemoveScenePicture(name)) << name;
    if (!unreadable.empty()) {
        std::ofstream text(ScenePicturePath(unreadable), std::ios::binary | std::ios::trunc);
        text << "This is a text file, not a picture; it is long enough to hold a header.\n";
    }
    std::string report = RunDirPath("lighting-child-" + tag + ".txt");
    DeleteFileA(report.c_str());

    ChildProcess child =
        StartChild("\"" + ProgramFolder() + "lighting_child.exe\" \"" + report + "\"");
    EXPECT_NE(nullptr, child.process);
    BoxWatch watch(child.processId);
    run.exitCode = WaitChild(child, 60000);
    run.boxes = watch.Stop();

    std::ifstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        run.reported = true;
        if (line.compare(0, 5, "call ") == 0)
            run.calls.push_back(line.substr(5));
        else if (line.compare(0, 6, "names ") == 0)
            run.names = line.substr(6);
        else if (line.compare(0, 10, "next-name ") == 0)
            run.nextName = line.substr(10);
        else if (line == "returned")
            run.returned = true;
    }
    return run;
}

// The message a missing picture gets.
std::string OpenFailure(const std::string& name)
{
    return "Failed to open DIB file c:\\zelvodata\\" + name + ".bmp.\n";
}

// Checks the boxes shown, in order: each captioned "Error" with only an OK
// button and no icon.
void ExpectBoxes(const std::vector<std::string>& texts, const std::vector<SeenBox>& boxes)
{
    std::vector<std::string> seen;
    for (const SeenBox& box : boxes) {
        seen.push_back(box.text);
        EXPECT_EQ("Error", box.caption) << box.text;
        EXPECT_EQ(1, box.buttonCount) << box.text;
        EXPECT_FALSE(box.hasIcon) << box.text;
    }
    EXPECT_EQ(texts, seen);
}

// Checks that the process ended inside the set-up with status 0 after the
// light, before any texture: no name generated, no texture call made.
void ExpectEndedBeforeAnyTexture(const ChildRun& run)
{
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_TRUE(run.reported) << "the child wrote no report";
    EXPECT_FALSE(run.returned) << "the set-up returned";
    std::vector<std::string> lightOnly = {
        "glLightfv(0x4000, 0x1200, [1, 1, 1, 1])",
        "glLightfv(0x4000, 0x1201, [1, 1, 1, 1])",
        "glLightfv(0x4000, 0x1203, [0, 0, 0, 1])",
        "glEnable(0x4000)",
        "glEnable(0x0B50)",
    };
    EXPECT_EQ(lightOnly, run.calls);
    EXPECT_EQ("0 0 0", run.names);
    EXPECT_EQ("1", run.nextName) << "a texture name was generated";
}

TEST(MissingPictures, AllThreeMissingShowThreeBoxesInOrderThenEndWithStatusZero)
{
    ChildRun run = RunWithout("all", {"cloud", "stars", "quad"});
    ExpectBoxes({OpenFailure("cloud"), OpenFailure("stars"), OpenFailure("quad")}, run.boxes);
    ExpectEndedBeforeAnyTexture(run);
}

TEST(MissingPictures, OnlyQuadMissingShowsOneBoxAndMakesNoTextureName)
{
    ChildRun run = RunWithout("quad", {"quad"});
    ExpectBoxes({OpenFailure("quad")}, run.boxes);
    ExpectEndedBeforeAnyTexture(run);
}

TEST(MissingPictures, OnlyCloudMissingShowsOneBox)
{
    ChildRun run = RunWithout("cloud", {"cloud"});
    ExpectBoxes({OpenFailure("cloud")}, run.boxes);
    ExpectEndedBeforeAnyTexture(run);
}

TEST(MissingPictures, OnlyStarsMissingShowsOneBox)
{
    ChildRun run = RunWithout("stars", {"stars"});
    ExpectBoxes({OpenFailure("stars")}, run.boxes);
    ExpectEndedBeforeAnyTexture(run);
}

TEST(MissingPictures, PictureThatIsNotABmpEndsTheSameWay)
{
    ChildRun run = RunWithout("not-bmp", {}, "stars");
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_EQ("Error", run.boxes[0].caption);
    EXPECT_NE(OpenFailure("stars"), run.boxes[0].text) << "the file is there";
    ExpectEndedBeforeAnyTexture(run);
}

TEST(MissingPictures, WithAllThreeTheSetUpReturnsAndNamesAreGenerated)
{
    // The same child and report with nothing missing: the observations the
    // cases above rely on do see a texture being made.
    ChildRun run = RunWithout("none", {});
    ExpectBoxes({}, run.boxes);
    EXPECT_EQ(7u, run.exitCode);
    ASSERT_TRUE(run.reported);
    EXPECT_TRUE(run.returned);
    EXPECT_EQ("4", run.nextName);
    ASSERT_GT(run.calls.size(), 6u);
    EXPECT_EQ(0u, run.calls[5].find("glGenTextures(3) -> ")) << run.calls[5];
    EXPECT_NE("0 0 0", run.names);
}

}  // namespace
