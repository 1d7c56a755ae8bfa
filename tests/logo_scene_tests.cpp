// The logo scene drawn in a GL window of the test's own and read back with glReadPixels:
// under Wine a child window's GL image never reaches a screen capture.
#include <windows.h>

#include <math.h>

// The Windows SDK's gl.h needs windows.h first (WINGDIAPI, APIENTRY).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "about/logo_animation.h"
#include "about/logo_scene.h"
#include "support/logo_test_support.h"

using namespace logo_test;

namespace {

// Half the front face's height in device coordinates on the first frame: the face stands
// at distance 5 under a 45 degree field of view.
const double kFaceReach = 1.0 / (5.0 * 0.41421356237309503);

// Beyond this radius in device coordinates (scaled by the aspect along x) no image of the
// cube ever falls: a corner at most sqrt(3) from its centre, at distance 6.
const double kCubeReach = 0.75;

struct FaceErrors {
    double upright, flipped, mirrored, turned;
    int pixels, textureColoured;
};

// Compares the front face as drawn with the picture placed upright, upside down, mirrored
// and turned half round; mean absolute difference of the tints.
FaceErrors CompareFrontFace(const std::vector<Rgb>& image, int width, int height,
                            const std::vector<unsigned char>& texture) {
    FaceErrors e = {};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double nx, ny;
            PixelToDevice(x, y, width, height, &nx, &ny);
            double s = (nx / kFaceReach + 1.0) / 2.0;
            double t = (1.0 - ny / kFaceReach) / 2.0;
            // Keep clear of the face's edges and of the texture's wrap-around.
            if (s < 0.04 || s > 0.96 || t < 0.04 || t > 0.96) {
                continue;
            }
            Rgb c = PixelAt(image, width, x, y);
            e.pixels++;
            e.textureColoured += IsTextureColour(c) ? 1 : 0;
            e.upright += fabs(c.r - SampleTexture(texture, s, t));
            e.flipped += fabs(c.r - SampleTexture(texture, s, 1.0 - t));
            e.mirrored += fabs(c.r - SampleTexture(texture, 1.0 - s, t));
            e.turned += fabs(c.r - SampleTexture(texture, 1.0 - s, 1.0 - t));
        }
    }
    e.upright /= e.pixels;
    e.flipped /= e.pixels;
    e.mirrored /= e.pixels;
    e.turned /= e.pixels;
    return e;
}

// Pixels near the view's border, where only the background ever shows.
std::vector<POINT> BorderPixels(int width, int height) {
    std::vector<POINT> points;
    double aspect = (double)width / height;
    for (int y = 1; y < height; y += 3) {
        for (int x = 1; x < width; x += 3) {
            double nx, ny;
            PixelToDevice(x, y, width, height, &nx, &ny);
            if (hypot(nx * aspect, ny) > kCubeReach * 1.15) {
                points.push_back({x, y});
            }
        }
    }
    return points;
}

// Pixels of the picture's blue (not white) tints in the middle of the view.
int BlueTintsInMiddle(const std::vector<Rgb>& image, int width, int height) {
    int count = 0;
    for (int y = height / 2 - 10; y < height / 2 + 10; ++y) {
        for (int x = width / 2 - 10; x < width / 2 + 10; ++x) {
            Rgb c = PixelAt(image, width, x, y);
            count += IsTextureColour(c) && c.r < 235 ? 1 : 0;
        }
    }
    return count;
}

std::vector<Rgb> DrawFrames(GLWindow& window, int frames) {
    for (int i = 0; i < frames; ++i) {
        LogoSceneDrawFrame();
    }
    glFinish();
    return window.ReadBack();
}

// Must be the first frame of its process: the animation is never reset.
TEST(LogoScene, FirstFrameShowsFrontFaceUprightAndBackgroundFadingInFromBlack) {
    ASSERT_TRUE(SameAnimation(kLogoAnimationStart, processLogoAnimation))
        << "run this case in a process of its own (ctest does)";
    std::vector<unsigned char> texture = TextureResource(GetModuleHandleA(NULL));
    ASSERT_EQ((size_t)kTextureBytes, texture.size());
    const int size = 128;
    GLWindow window(size, size);
    ASSERT_TRUE(window.Ready());
    EXPECT_EQ(1, LogoSceneInit(size, size));
    std::vector<Rgb> image = DrawFrames(window, 1);

    FaceErrors e = CompareFrontFace(image, size, size, texture);
    EXPECT_GT(e.pixels, 2500);
    EXPECT_EQ(e.pixels, e.textureColoured);
    // Upright the tints match to a fraction of a step; any other way they differ widely.
    EXPECT_LT(e.upright, 2.0);
    EXPECT_GT(e.flipped, 10.0);
    EXPECT_GT(e.mirrored, 5.0);
    EXPECT_GT(e.turned, 10.0);
    RecordProperty("upright_error_x100", (int)(e.upright * 100));
    RecordProperty("flipped_error_x100", (int)(e.flipped * 100));
    RecordProperty("mirrored_error_x100", (int)(e.mirrored * 100));
    RecordProperty("turned_error_x100", (int)(e.turned * 100));

    // One blend over the black of the set-up clear: colour times alpha.
    for (POINT p : BorderPixels(size, size)) {
        double nx, ny;
        PixelToDevice(p.x, p.y, size, size, &nx, &ny);
        BackgroundSample want = ExpectedBackground(nx, ny, 0.0, 1.0);
        Rgb c = PixelAt(image, size, p.x, p.y);
        ASSERT_NEAR(want.r * want.alpha, c.r, 3.0) << p.x << "," << p.y;
        ASSERT_NEAR(want.g * want.alpha, c.g, 3.0) << p.x << "," << p.y;
        ASSERT_NEAR(want.b * want.alpha, c.b, 3.0) << p.x << "," << p.y;
    }
    LogoSceneShutdown();
}

TEST(LogoScene, AfterManyFramesCubeShowsPictureOverTurnedGradient) {
    // The control's own size in a dialog: 70 by 49 dialog units.
    const int width = 107, height = 80;
    const double aspect = (double)width / height;
    GLWindow window(width, height);
    ASSERT_TRUE(window.Ready());
    LogoSceneInit(width, height);
    DrawFrames(window, 299);
    float spin = processLogoAnimation.spinAngle; // what the next frame draws
    std::vector<Rgb> image = DrawFrames(window, 1);

    Rgb middle = PixelAt(image, width, width / 2, height / 2);
    EXPECT_TRUE(IsTextureColour(middle)) << middle.r << "," << middle.g << "," << middle.b;
    EXPECT_GT(BlueTintsInMiddle(image, width, height), 20);

    // Trails have faded: the border holds the background's own colour.
    double bluest = -1.0, palest = 2.0;
    Rgb atBluest = {}, atPalest = {};
    for (POINT p : BorderPixels(width, height)) {
        double nx, ny;
        PixelToDevice(p.x, p.y, width, height, &nx, &ny);
        BackgroundSample want = ExpectedBackground(nx, ny, spin, aspect);
        Rgb c = PixelAt(image, width, p.x, p.y);
        ASSERT_NEAR(want.r, c.r, 6.0) << p.x << "," << p.y << " at spin " << spin;
        ASSERT_NEAR(want.g, c.g, 6.0) << p.x << "," << p.y << " at spin " << spin;
        ASSERT_NEAR(want.b, c.b, 6.0) << p.x << "," << p.y << " at spin " << spin;
        if (want.alpha > bluest) {
            bluest = want.alpha;
            atBluest = c;
        }
        if (want.alpha < palest) {
            palest = want.alpha;
            atPalest = c;
        }
    }
    // Toward the quad's y = 1 edge it is the deep blue 0,105,180 showing through.
    EXPECT_LT(atBluest.r, 80);
    EXPECT_GT(atBluest.b - atBluest.r, 120);
    EXPECT_GT(atPalest.r, 180);
    LogoSceneShutdown();
}

TEST(LogoScene, EachNewContextGetsTheTextureAnewAndTheAnimationGoesOn) {
    const int width = 107, height = 80;
    LogoAnimation before = processLogoAnimation;
    {
        GLWindow first(width, height);
        ASSERT_TRUE(first.Ready());
        LogoSceneInit(width, height);
        std::vector<Rgb> image = DrawFrames(first, 40);
        EXPECT_GT(BlueTintsInMiddle(image, width, height), 20);
    }
    LogoSceneShutdown();
    LogoAnimation between = processLogoAnimation;
    EXPECT_EQ(40, FramesBetween(before, between, 1000));

    GLWindow second(width, height);
    ASSERT_TRUE(second.Ready());
    LogoSceneInit(width, height);
    std::vector<Rgb> image = DrawFrames(second, 40);
    // A stale texture name would leave the cube untextured: plain white.
    EXPECT_GT(BlueTintsInMiddle(image, width, height), 20);
    EXPECT_EQ(40, FramesBetween(between, processLogoAnimation, 1000));
    LogoSceneShutdown();
}

} // namespace
