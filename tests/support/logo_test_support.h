// What the logo tests share: the texture as the program stores it, a GL window the test
// owns, pixel colours, the expected background, and counting animation frames.
#pragma once

#include <windows.h>

#include <vector>

#include "about/logo_animation.h"

// What the program keeps out of its headers for the tests alone: the process's animation
// (about/logo_animation.cpp), and the GL table bound from libraries the test names rather
// than opengl32.dll and glu32.dll (about/logo_gl.cpp).
extern LogoAnimation processLogoAnimation;
BOOL LoadLogoGLFrom(const wchar_t* openglLibrary, const wchar_t* gluLibrary);

namespace logo_test {

const int kTextureSize = 64;
const int kTextureBytes = kTextureSize * kTextureSize * 3;

struct Rgb {
    int r, g, b;
};

// The TEXTURE resource 10000 of a module, stored under English (United States).
std::vector<unsigned char> TextureResource(HMODULE module);

// The texture's tint (its red byte) at column x, row y, row 0 first in storage.
int TextureTint(const std::vector<unsigned char>& texture, int x, int y);

// What GL_LINEAR sampling of the texture gives at (s, t), repeating at the borders.
double SampleTexture(const std::vector<unsigned char>& texture, double s, double t);

// A tint of the texture: red equals green, blue is full, red within 99..255.
bool IsTextureColour(const Rgb& c, int tolerance = 2);

// A visible top-level window with a context made from the control's pixel-format request,
// current on the calling thread for its whole life.
class GLWindow {
  public:
    GLWindow(int width, int height);
    ~GLWindow();
    bool Ready() const {
        return context_ != NULL;
    }
    // The back buffer after the last frame; y counts rows from the top.
    std::vector<Rgb> ReadBack() const;
    int Width() const {
        return width_;
    }
    int Height() const {
        return height_;
    }

  private:
    int width_, height_;
    HWND window_;
    HDC dc_;
    HGLRC context_;
};

Rgb PixelAt(const std::vector<Rgb>& image, int width, int x, int y);

// Where a pixel centre (x from the left, y from the top) lies in normalised device
// coordinates of a width by height viewport.
void PixelToDevice(int x, int y, int width, int height, double* ndcX, double* ndcY);

// The background's colour and alpha where the view at (ndcX, ndcY) meets the quad, for a
// spin angle and a viewport's width / height.
struct BackgroundSample {
    double r, g, b, alpha;
};
BackgroundSample ExpectedBackground(double ndcX, double ndcY, double spinAngle, double aspect);

// How many frames lead from one animation state to another, or -1 if none within limit.
long FramesBetween(LogoAnimation from, const LogoAnimation& to, long limit);

bool SameAnimation(const LogoAnimation& a, const LogoAnimation& b);

} // namespace logo_test
