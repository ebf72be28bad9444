// The calls the scene's set-up makes, in order: the entry-table calls as the
// recording driver logged them, with the calls on the platform's own GL and
// GLU libraries placed among them.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "lighting_fixture.h"
#include "platform_calls.h"
#include "recorder_api.h"

namespace {

// The hash the recording driver logs for a packed picture.
std::string HashText(const Picture& picture)
{
    char text[12];
    snprintf(text, sizeof text, "#%08X", PixelHash(picture.rgb.data(), picture.rgb.size()));
    return text;
}

// "glBindTexture(0x0DE1, name)".
std::string BindLine(GLuint name)
{
    return "glBindTexture(0x0DE1, " + std::to_string(name) + ")";
}

// The texture names in a logged "glGenTextures(n) -> [a, b, c]" line.
std::set<GLuint> GeneratedNames(const std::string& line)
{
    std::set<GLuint> names;
    size_t at = line.find('[');
    while (at != std::string::npos && at + 1 < line.size()) {
        names.insert(static_cast<GLuint>(strtoul(line.c_str() + at + 1, nullptr, 10)));
        at = line.find(',', at + 1);
    }
    return names;
}

class SceneLightingCalls : public SceneContextTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartContext(DoublePath("gl-recorder", "3dfxgl.dll")));
        ASSERT_TRUE(BindRecorder(glEntries.driverLibrary, recorder));
        recorder.reset();
        ASSERT_TRUE(StartPlatformCallLog(&recorder)) << "imports not found";
    }

    void TearDown() override
    {
        StopPlatformCallLog();
        SceneContextTest::TearDown();
    }

    RecorderApi recorder = {};
};

TEST_F(SceneLightingCalls, LightThenEnablesThenOneNameCallThenEachTextureInTurn)
{
    // Rows of 90 and 54 bytes: the hashes match only if GL and GLU were told
    // that the rows are packed.
    Picture cloud = VariedPicture(30, 16, 11);
    Picture stars = VariedPicture(16, 8, 12);
    Picture model = VariedPicture(18, 10, 13);
    ASSERT_NO_FATAL_FAILURE(WritePictures(cloud, stars, model));
    InitSceneLightingQuietly();
    std::vector<std::string> calls = CallsInOrder();

    // The names come from the one glGenTextures call: three, all different.
    std::vector<std::string> generations;
    for (std::string& call : calls)
        if (call.compare(0, 14, "glGenTextures(") == 0) {
            generations.push_back(call);
            call = "glGenTextures(3) -> names";
        }
    ASSERT_EQ(1u, generations.size()) << "glGenTextures calls";
    std::set<GLuint> names = GeneratedNames(generations[0]);
    EXPECT_EQ(std::set<GLuint>({sceneTextures.cloudTexture, sceneTextures.starsTexture,
                                sceneTextures.modelTexture}),
              names)
        << generations[0];
    EXPECT_EQ(3u, names.size());
    EXPECT_EQ(0u, names.count(0));

    std::vector<std::string> expected = {
        "glLightfv(0x4000, 0x1200, [1, 1, 1, 1])",
        "glLightfv(0x4000, 0x1201, [1, 1, 1, 1])",
        "glLightfv(0x4000, 0x1203, [0, 0, 0, 1])",
        "glEnable(0x4000)",
        "glEnable(0x0B50)",
        "glGenTextures(3) -> names",
        "glPixelStorei(0x0CF5, 1)",
        BindLine(sceneTextures.cloudTexture),
        "glTexParameteri(0x0DE1, 0x2800, 0x2601)",
        "glTexParameteri(0x0DE1, 0x2801, 0x2601)",
        "gluBuild2DMipmaps(0x0DE1, 3, 30, 16, 0x1907, 0x1401, " + HashText(cloud) + ")",
        BindLine(sceneTextures.starsTexture),
        "glTexParameteri(0x0DE1, 0x2800, 0x2601)",
        "glTexParameteri(0x0DE1, 0x2801, 0x2601)",
        "glTexImage2D(0x0DE1, 0, 3, 16, 8, 0, 0x1907, 0x1401, " + HashText(stars) + ")",
        BindLine(sceneTextures.modelTexture),
        "glTexParameteri(0x0DE1, 0x2800, 0x2601)",
        "glTexParameteri(0x0DE1, 0x2801, 0x2701)",
        "gluBuild2DMipmaps(0x0DE1, 3, 18, 10, 0x1907, 0x1401, " + HashText(model) + ")",
        "glPixelStorei(0x0CF5, 4)",
    };
    EXPECT_EQ(expected, calls);
}

}  // namespace
