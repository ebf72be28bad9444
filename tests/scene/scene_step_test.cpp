// The animation step: values after the first steps, and how the sky and
// model angles relate over a long run.
#include <gtest/gtest.h>

#include <math.h>

#include "scene_frame.h"

namespace {

// Starts every case from the state at process start.
class SceneStep : public ::testing::Test {
protected:
    void SetUp() override { sceneState = SceneState(); }
};

// True when value printed with six significant digits reads as expected.
::testing::AssertionResult ReadsAs(const char* expected, float value)
{
    char printed[32];
    snprintf(printed, sizeof printed, "%.6g", value);
    if (strcmp(printed, expected) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "reads " << printed << ", want " << expected;
}

}  // namespace

TEST_F(SceneStep, FirstStep)
{
    StepSceneAnimation();
    const SceneState& s = sceneState;
    EXPECT_EQ(0.025f, s.modelPhase);
    EXPECT_EQ(0.015f, s.skyPhase);
    EXPECT_TRUE(ReadsAs("-96.9978", s.modelPitch));
    EXPECT_TRUE(ReadsAs("-0.174982", s.modelYaw));
    EXPECT_EQ(0.75f, s.modelSpin);
    EXPECT_TRUE(ReadsAs("7.9991", s.starsTiltX));
    EXPECT_TRUE(ReadsAs("0.119995", s.starsTiltY));
    EXPECT_EQ(0.05f, s.starsSpin);
    EXPECT_EQ(-0.1f, s.cloudSpin);
}

TEST_F(SceneStep, SecondStep)
{
    StepSceneAnimation();
    StepSceneAnimation();
    const SceneState& s = sceneState;
    EXPECT_TRUE(ReadsAs("-96.9912", s.modelPitch));
    EXPECT_TRUE(ReadsAs("-0.349854", s.modelYaw));
    EXPECT_EQ(1.5f, s.modelSpin);
    EXPECT_EQ(0.1f, s.starsSpin);
    EXPECT_EQ(-0.2f, s.cloudSpin);
}

TEST_F(SceneStep, SkyLayersStayParallelAndModelWobblesAboutMinus90)
{
    for (int i = 0; i < 20000; ++i) {
        StepSceneAnimation();
        const SceneState& s = sceneState;
        ASSERT_EQ(s.starsTiltX, s.cloudTiltX);
        ASSERT_EQ(s.starsTiltY, s.cloudTiltY);
        ASSERT_LE(fabs(s.modelPitch + 90.0f), 7.0001f);
        ASSERT_LE(fabs(s.modelYaw), 7.0001f);
        ASSERT_LE(hypot(s.starsTiltX, s.starsTiltY), 8.0001);
    }
    // Nothing wraps: the spins only grow (or fall, for the cloud).
    EXPECT_NEAR(15000.0f, sceneState.modelSpin, 1.0f);
    EXPECT_NEAR(1000.0f, sceneState.starsSpin, 1.0f);
    EXPECT_NEAR(-2000.0f, sceneState.cloudSpin, 1.0f);
}
