#pragma once
// A fresh GL context for each test, made through a driver library loaded into
// the entry table, as the GL window makes it before it sets up the scene.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "box_watcher.h"
#include "gl_doubles.h"
#include "gl_driver.h"
#include "lighting_support.h"
#include "scene.h"

// Runs the scene's set-up, which must return without showing a message box
// (a box left up would hold the test until it times out).
inline void InitSceneLightingQuietly()
{
    BoxWatch watch;
    InitSceneLightingOrFail();
    for (const SeenBox& box : watch.Stop())
        ADD_FAILURE() << "message box \"" << box.caption << "\": " << box.text;
}

class SceneContextTest : public testing::Test {
protected:
    void TearDown() override
    {
        context.End();
        window.reset();
        if (glEntries.driverLibrary)
            FreeDriverLibrary();
        glEntries = GlEntryTable();
        sceneTextures = SceneTextures();
    }

    // Loads the driver library and makes a context current on a new window.
    void StartContext(const std::string& driver, bool visible = false, int width = 64,
                      int height = 64)
    {
        sceneTextures = SceneTextures();
        ASSERT_EQ(0, LoadDriverLibrary(driver.c_str())) << driver;
        window.reset(new TestGlWindow(visible, width, height));
        ASSERT_TRUE(context.Start(window->dc));
    }

    // Writes the three pictures where the scene reads them.
    void WritePictures(const Picture& cloud, const Picture& stars, const Picture& model)
    {
        ASSERT_TRUE(WriteScenePicture("cloud", cloud));
        ASSERT_TRUE(WriteScenePicture("stars", stars));
        ASSERT_TRUE(WriteScenePicture("quad", model));
    }

    std::unique_ptr<TestGlWindow> window;
    TestContext context;
};

// The sizes of a full mipmap chain for a base of width x height, down to 1 x 1.
inline std::vector<std::pair<GLint, GLint>> FullChain(GLint width, GLint height)
{
    std::vector<std::pair<GLint, GLint>> levels;
    while (true) {
        levels.push_back({width, height});
        if (width == 1 && height == 1)
            return levels;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

// Checks that a texture has exactly the chain of levels given: each level's
// size, and no image on the level after the last.
inline void ExpectLevels(GLuint texture, const std::vector<std::pair<GLint, GLint>>& levels)
{
    for (size_t level = 0; level <= levels.size(); ++level) {
        GLint width, height;
        TextureLevelSize(texture, static_cast<int>(level), &width, &height);
        std::pair<GLint, GLint> expected = level < levels.size() ? levels[level] : std::make_pair(0, 0);
        EXPECT_EQ(expected.first, width) << "texture " << texture << " level " << level;
        EXPECT_EQ(expected.second, height) << "texture " << texture << " level " << level;
    }
}

// Checks a texture level against a picture, row for row.
inline void ExpectSamePicture(const Picture& expected, const Picture& actual, const char* what)
{
    ASSERT_EQ(expected.width, actual.width) << what;
    ASSERT_EQ(expected.height, actual.height) << what;
    for (int row = 0; row < expected.height; ++row)
        EXPECT_EQ(expected.Row(row), actual.Row(row)) << what << ": row " << row;
}
