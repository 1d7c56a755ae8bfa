// The logo's motion, stepped without GL: the two angle cycles and the axis sums' rounding.
#include <vector>

#include <gtest/gtest.h>

#include "about/logo_animation.h"
#include "support/logo_test_support.h"

namespace {

// The spin angle drawn on frame f (counting from 1): up by halves from 0 to 360, down
// again, each end drawn twice.
float ExpectedSpin(long frame) {
    long g = (frame - 1) % 1442;
    return g <= 720 ? g * 0.5f : 360.0f - (g - 721) * 0.5f;
}

TEST(LogoAnimation, FirstFrameDrawsStartAnglesAndOnceAdvancedAxis) {
    LogoAnimation animation = kLogoAnimationStart;
    LogoPose pose = StepLogoAnimation(&animation);
    EXPECT_EQ(0.0f, pose.spinAngle);
    EXPECT_EQ(0.0f, pose.cubeAngle);
    EXPECT_EQ(0.2f, pose.axisX);
    EXPECT_EQ(0.9f, pose.axisY);
    EXPECT_EQ(0.4f, pose.axisZ);
    EXPECT_EQ(0.5f, animation.spinAngle);
    EXPECT_EQ(1, animation.spinRising);
    EXPECT_EQ(1.0f, animation.cubeAngle);
}

TEST(LogoAnimation, SpinAngleRunsA1442FrameCycleDrawingEachEndTwice) {
    LogoAnimation animation = kLogoAnimationStart;
    std::vector<float> drawn(1, -1.0f); // frames count from 1
    for (long frame = 1; frame <= 3 * 1442 + 5; ++frame) {
        drawn.push_back(StepLogoAnimation(&animation).spinAngle);
        ASSERT_EQ(ExpectedSpin(frame), drawn[frame]) << "frame " << frame;
    }
    // The ends, spelled out.
    EXPECT_EQ(359.5f, drawn[720]);
    EXPECT_EQ(360.0f, drawn[721]);
    EXPECT_EQ(360.0f, drawn[722]);
    EXPECT_EQ(359.5f, drawn[723]);
    EXPECT_EQ(0.5f, drawn[1441]);
    EXPECT_EQ(0.0f, drawn[1442]);
    EXPECT_EQ(0.0f, drawn[1443]);
    EXPECT_EQ(0.5f, drawn[1444]);
    EXPECT_EQ(0.0f, drawn[2884]);
    EXPECT_EQ(0.0f, drawn[2885]);
}

TEST(LogoAnimation, SpinDirectionTurnsOnTheRepeatedEndFrames) {
    LogoAnimation animation = kLogoAnimationStart;
    for (long frame = 1; frame <= 721; ++frame) {
        ASSERT_EQ(1, animation.spinRising) << "before frame " << frame;
        StepLogoAnimation(&animation);
    }
    // 360 is drawn again on frame 722, already falling.
    EXPECT_EQ(0, animation.spinRising);
    EXPECT_EQ(360.0f, animation.spinAngle);
    for (long frame = 722; frame <= 1442; ++frame) {
        ASSERT_EQ(0, animation.spinRising) << "before frame " << frame;
        StepLogoAnimation(&animation);
    }
    EXPECT_EQ(1, animation.spinRising);
    EXPECT_EQ(0.0f, animation.spinAngle);
}

TEST(LogoAnimation, CubeAngleRunsA361FrameCycleFrom360StraightTo0) {
    LogoAnimation animation = kLogoAnimationStart;
    std::vector<float> drawn(1, -1.0f);
    for (long frame = 1; frame <= 3 * 361 + 3; ++frame) {
        drawn.push_back(StepLogoAnimation(&animation).cubeAngle);
        ASSERT_EQ((float)((frame - 1) % 361), drawn[frame]) << "frame " << frame;
    }
    EXPECT_EQ(359.0f, drawn[360]);
    EXPECT_EQ(360.0f, drawn[361]);
    EXPECT_EQ(0.0f, drawn[362]);
    EXPECT_EQ(1.0f, drawn[363]);
}

TEST(LogoAnimation, AxisSumsStopWhereTheirStepIsLostInRounding) {
    const long yLastChange = 17057331;
    const long xzLastChange = 18073720;
    const long lastFrame = 18100000;
    LogoAnimation animation = kLogoAnimationStart;
    LogoPose previous = StepLogoAnimation(&animation);
    long lastChangeX = 1, lastChangeY = 1, lastChangeZ = 1;
    LogoPose atYStop = {}, atXZStop = {}, beforeYStop = {}, beforeXZStop = {};
    for (long frame = 2; frame <= lastFrame; ++frame) {
        LogoPose pose = StepLogoAnimation(&animation);
        // Sums only grow until they stop.
        ASSERT_GE(pose.axisX, previous.axisX);
        ASSERT_GE(pose.axisY, previous.axisY);
        ASSERT_GE(pose.axisZ, previous.axisZ);
        lastChangeX = pose.axisX != previous.axisX ? frame : lastChangeX;
        lastChangeY = pose.axisY != previous.axisY ? frame : lastChangeY;
        lastChangeZ = pose.axisZ != previous.axisZ ? frame : lastChangeZ;
        if (frame == yLastChange - 1) {
            beforeYStop = pose;
        } else if (frame == yLastChange) {
            atYStop = pose;
        } else if (frame == xzLastChange - 1) {
            beforeXZStop = pose;
        } else if (frame == xzLastChange) {
            atXZStop = pose;
        }
        previous = pose;
    }
    EXPECT_EQ(yLastChange, lastChangeY);
    EXPECT_EQ(xzLastChange, lastChangeX);
    EXPECT_EQ(xzLastChange, lastChangeZ);
    EXPECT_LT(beforeYStop.axisY, 16777216.0f);
    EXPECT_EQ(16777216.0f, atYStop.axisY);
    EXPECT_LT(beforeXZStop.axisX, 4194304.0f);
    EXPECT_LT(beforeXZStop.axisZ, 8388608.0f);
    EXPECT_EQ(4194304.0f, atXZStop.axisX);
    EXPECT_EQ(8388608.0f, atXZStop.axisZ);
    // From then on the axis is exactly (1, 4, 2) scaled.
    EXPECT_EQ(4194304.0f, previous.axisX);
    EXPECT_EQ(16777216.0f, previous.axisY);
    EXPECT_EQ(8388608.0f, previous.axisZ);
}

TEST(LogoAnimation, ProcessAnimationStartsFreshAndKeepsItsPlace) {
    LogoAnimation start = processLogoAnimation;
    EXPECT_EQ(0.0f, start.spinAngle);
    EXPECT_EQ(1, start.spinRising);
    EXPECT_EQ(0.0f, start.cubeAngle);
    EXPECT_EQ(0.0f, start.axisY);

    LogoAnimation shadow = kLogoAnimationStart;
    for (int frame = 1; frame <= 1000; ++frame) {
        LogoPose expected = StepLogoAnimation(&shadow);
        LogoPose pose = StepProcessLogoAnimation();
        ASSERT_EQ(expected.spinAngle, pose.spinAngle);
        ASSERT_EQ(expected.cubeAngle, pose.cubeAngle);
        ASSERT_EQ(expected.axisY, pose.axisY);
    }
    LogoAnimation now = processLogoAnimation;
    EXPECT_EQ(shadow.spinAngle, now.spinAngle);
    EXPECT_EQ(shadow.cubeAngle, now.cubeAngle);
    EXPECT_EQ(shadow.axisX, now.axisX);
    EXPECT_EQ(shadow.axisY, now.axisY);
    EXPECT_EQ(shadow.axisZ, now.axisZ);
}

} // namespace
