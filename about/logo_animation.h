// The logo's motion: plain single-precision arithmetic, free of GL, so tests can drive it.
#pragma once

// The animation variables. Floats throughout: the axis sums' rounding is part of the motion.
struct LogoAnimation {
    float spinAngle; // the background's turn about the line of sight, in degrees
    int spinRising;  // 1 while the spin angle rises, 0 while it falls
    float cubeAngle; // the cube's turn about the axis below, in degrees
    float axisX;     // running sums: the axis drifts slowly as rounding takes its toll
    float axisY;
    float axisZ;
};

// What one frame draws.
struct LogoPose {
    float spinAngle;
    float cubeAngle;
    float axisX;
    float axisY;
    float axisZ;
};

const LogoAnimation kLogoAnimationStart = {0.0f, 1, 0.0f, 0.0f, 0.0f, 0.0f};

// One frame: the axis moves on first and is drawn with its new sums, the two angles are
// drawn as they stand and move on after.
LogoPose StepLogoAnimation(LogoAnimation* animation);

// The process's one animation, which nothing resets: each new logo continues where the
// last one stopped. Only the thread drawing the logo may step it.
LogoPose StepProcessLogoAnimation();
