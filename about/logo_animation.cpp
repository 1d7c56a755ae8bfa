#include "about/logo_animation.h"

// Not in the header, which gives the program only the step; tests read it to count frames.
LogoAnimation processLogoAnimation = kLogoAnimationStart;

static void AdvanceSpin(LogoAnimation* animation) {
    // Each end value is drawn twice: once on arrival, once when the turn is noticed.
    if (animation->spinRising == 1) {
        animation->spinAngle = animation->spinAngle + 0.5f;
        if (animation->spinAngle > 360.0f) {
            animation->spinAngle = 360.0f;
            animation->spinRising = 0;
        }
    } else {
        animation->spinAngle = animation->spinAngle - 0.5f;
        if (animation->spinAngle < 0.0f) {
            animation->spinAngle = 0.0f;
            animation->spinRising = 1;
        }
    }
}

static void AdvanceCubeAngle(LogoAnimation* animation) {
    animation->cubeAngle = animation->cubeAngle + 1.0f;
    if (animation->cubeAngle > 360.0f) {
        animation->cubeAngle = 0.0f;
    }
}

LogoPose StepLogoAnimation(LogoAnimation* animation) {
    // Each sum is stored back as a float; once its step falls below half an ulp it stops.
    animation->axisX = animation->axisX + 0.2f;
    animation->axisY = animation->axisY + 0.9f;
    animation->axisZ = animation->axisZ + 0.4f;
    LogoPose pose = {animation->spinAngle, animation->cubeAngle, animation->axisX, animation->axisY,
                     animation->axisZ};
    AdvanceSpin(animation);
    AdvanceCubeAngle(animation);
    return pose;
}

LogoPose StepProcessLogoAnimation() {
    return StepLogoAnimation(&processLogoAnimation);
}
