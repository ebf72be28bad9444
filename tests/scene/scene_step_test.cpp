// The animation step: values after the first steps and after thousands, how
// the sky and model angles relate over a long run, and that the steps keep
// their size however long the saver runs.
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

// True when value is expected or a neighbouring float: values taken from
// cos and sin may differ that far between the two builds' libraries.
::testing::AssertionResult WithinOneFloat(float expected, float value)
{
    if (value == expected || value == nextafterf(expected, -INFINITY) ||
        value == nextafterf(expected, INFINITY))
        return ::testing::AssertionSuccess();
    char printed[64];
    snprintf(printed, sizeof printed, "%.9g (%a) is more than one float from %.9g", value, value,
             expected);
    return ::testing::AssertionFailure() << printed;
}

// How far one step moved a value that stays within one period.
double StepTaken(float before, float after, double period)
{
    double moved = static_cast<double>(after) - before;
    if (moved > period / 2)
        moved -= period;
    else if (moved < -period / 2)
        moved += period;
    return moved;
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
    // The spins stay within a turn at the angle of 20000 steps.
    EXPECT_EQ(240.0f, sceneState.modelSpin);    // 15000 degrees
    EXPECT_NEAR(280.0f, sceneState.starsSpin, 1.0f);    // 1000 degrees
    EXPECT_NEAR(-200.0f, sceneState.cloudSpin, 1.0f);   // -2000 degrees
}

// The same values in both builds: the kept values exactly, those taken from
// cos and sin to the float. Computed apart from this code with the same
// float rounding.
TEST_F(SceneStep, AfterFiveThousandSteps)
{
    for (int i = 0; i < 5000; ++i)
        StepSceneAnimation();
    const SceneState& s = sceneState;
    EXPECT_EQ(5.61977148f, s.modelPhase);
    EXPECT_EQ(5.88486958f, s.skyPhase);
    EXPECT_EQ(150.0f, s.modelSpin);
    EXPECT_EQ(250.010651f, s.starsSpin);
    EXPECT_EQ(-140.012115f, s.cloudSpin);
    EXPECT_TRUE(WithinOneFloat(-95.5152588f, s.modelPitch));
    EXPECT_TRUE(WithinOneFloat(4.31067133f, s.modelYaw));
    EXPECT_TRUE(WithinOneFloat(7.37372446f, s.starsTiltX));
    EXPECT_TRUE(WithinOneFloat(-3.10293174f, s.starsTiltY));
}

// Days of frames later each value still moves by its whole step (to a
// thousandth of it) and stays within its cycle or turn.
TEST_F(SceneStep, StepsKeepTheirSizeAfterTwentyMillionFrames)
{
    for (int i = 0; i < 20000000; ++i)
        StepSceneAnimation();
    const SceneState before = sceneState;
    StepSceneAnimation();
    const SceneState& after = sceneState;
    const double cycle = 6.283185307179586;
    EXPECT_NEAR(0.025, StepTaken(before.modelPhase, after.modelPhase, cycle), 0.025e-3);
    EXPECT_NEAR(0.015, StepTaken(before.skyPhase, after.skyPhase, cycle), 0.015e-3);
    EXPECT_NEAR(0.75, StepTaken(before.modelSpin, after.modelSpin, 360.0), 0.75e-3);
    EXPECT_NEAR(0.05, StepTaken(before.starsSpin, after.starsSpin, 360.0), 0.05e-3);
    EXPECT_NEAR(-0.1, StepTaken(before.cloudSpin, after.cloudSpin, 360.0), 0.1e-3);
    EXPECT_GE(after.modelPhase, 0.0f);
    EXPECT_LT(after.modelPhase, cycle);
    EXPECT_GE(after.skyPhase, 0.0f);
    EXPECT_LT(after.skyPhase, cycle);
    EXPECT_GE(after.modelSpin, 0.0f);
    EXPECT_LT(after.modelSpin, 360.0f);
    EXPECT_GE(after.starsSpin, 0.0f);
    EXPECT_LT(after.starsSpin, 360.0f);
    EXPECT_LE(after.cloudSpin, 0.0f);
    EXPECT_GT(after.cloudSpin, -360.0f);
}
