#include "support/logo_test_support.h"

#include <math.h>

#include "about/logo_gl.h"
#include "resource.h"
#include "support/program_driver.h"

namespace logo_test {

std::vector<unsigned char> TextureResource(HMODULE module) {
    driver::Resource found = driver::FindEnglishResource(module, "TEXTURE", IDR_LOGO_TEXTURE);
    return std::vector<unsigned char>(found.data, found.data + found.size);
}

int TextureTint(const std::vector<unsigned char>& texture, int x, int y) {
    return texture[(y * kTextureSize + x) * 3];
}

double SampleTexture(const std::vector<unsigned char>& texture, double s, double t) {
    double u = s * kTextureSize - 0.5;
    double v = t * kTextureSize - 0.5;
    int x0 = (int)floor(u);
    int y0 = (int)floor(v);
    double fx = u - x0;
    double fy = v - y0;
    auto at = [&](int x, int y) {
        x = (x % kTextureSize + kTextureSize) % kTextureSize;
        y = (y % kTextureSize + kTextureSize) % kTextureSize;
        return (double)TextureTint(texture, x, y);
    };
    return (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x0 + 1, y0)) +
           fy * ((1 - fx) * at(x0, y0 + 1) + fx * at(x0 + 1, y0 + 1));
}

bool IsTextureColour(const Rgb& c, int tolerance) {
    return abs(c.r - c.g) <= tolerance && c.b >= 255 - tolerance && c.r >= 99 - tolerance;
}

static LRESULT CALLBACK GLWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

static const char kGLWindowClass[] = "LogoTestGLWindow";

GLWindow::GLWindow(int width, int height)
    : width_(width), height_(height), window_(NULL), dc_(NULL), context_(NULL) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = GLWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kGLWindowClass;
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, kGLWindowClass, "Logo scene test", WS_POPUP | WS_VISIBLE, 40, 40,
                              width, height, NULL, NULL, GetModuleHandleA(NULL), NULL);
    if (!window_) {
        return;
    }
    dc_ = GetDC(window_);
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 24;
    request.cDepthBits = 16;
    if (!SetPixelFormat(dc_, ChoosePixelFormat(dc_, &request), &request)) {
        return;
    }
    // The scene calls OpenGL through the program's own table: load it as the program does.
    if (!LoadLogoGL()) {
        return;
    }
    HGLRC context = logoGL.wglCreateContext(dc_);
    if (context && logoGL.wglMakeCurrent(dc_, context)) {
        context_ = context;
    } else if (context) {
        logoGL.wglDeleteContext(context);
    }
}

GLWindow::~GLWindow() {
    if (context_) {
        logoGL.wglMakeCurrent(NULL, NULL);
        logoGL.wglDeleteContext(context_);
    }
    if (window_) {
        ReleaseDC(window_, dc_);
        DestroyWindow(window_);
    }
}

std::vector<Rgb> GLWindow::ReadBack() const {
    std::vector<unsigned char> raw(width_ * height_ * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    std::vector<Rgb> image(width_ * height_);
    // GL's rows run bottom up.
    for (int y = 0; y < height_; ++y) {
        const unsigned char* row = &raw[(height_ - 1 - y) * width_ * 3];
        for (int x = 0; x < width_; ++x) {
            image[y * width_ + x] = {row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
        }
    }
    return image;
}

Rgb PixelAt(const std::vector<Rgb>& image, int width, int x, int y) {
    return image[y * width + x];
}

void PixelToDevice(int x, int y, int width, int height, double* ndcX, double* ndcY) {
    *ndcX = (x + 0.5) / width * 2.0 - 1.0;
    *ndcY = 1.0 - (y + 0.5) / height * 2.0;
}

BackgroundSample ExpectedBackground(double ndcX, double ndcY, double spinAngle, double aspect) {
    const double pi = 3.14159265358979323846;
    // The quad lies at distance 10 under a 45 degree field of view.
    double reach = 10.0 * tan(22.5 * pi / 180.0);
    double eyeX = ndcX * aspect * reach;
    double eyeY = ndcY * reach;
    // Undo the turn about -z (clockwise as seen) and the scale by 7.
    double a = spinAngle * pi / 180.0;
    double quadY = (sin(a) * eyeX + cos(a) * eyeY) / 7.0;
    double blue = (quadY + 1.0) / 2.0; // 1 at the blue edge, 0 at the white one
    BackgroundSample sample;
    sample.r = (1.0 - blue) * 255.0;
    sample.g = blue * 105.0 + (1.0 - blue) * 255.0;
    sample.b = blue * 180.0 + (1.0 - blue) * 255.0;
    sample.alpha = blue + (1.0 - blue) * 0.08;
    return sample;
}

bool SameAnimation(const LogoAnimation& a, const LogoAnimation& b) {
    return a.spinAngle == b.spinAngle && a.spinRising == b.spinRising &&
           a.cubeAngle == b.cubeAngle && a.axisX == b.axisX && a.axisY == b.axisY &&
           a.axisZ == b.axisZ;
}

long FramesBetween(LogoAnimation from, const LogoAnimation& to, long limit) {
    for (long frames = 0; frames <= limit; ++frames) {
        if (SameAnimation(from, to)) {
            return frames;
        }
        StepLogoAnimation(&from);
    }
    return -1;
}

} // namespace logo_test
