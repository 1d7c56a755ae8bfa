// Renders the logo scene in a window of its own after some frames and writes the image as
// a binary PPM, for the README's picture.
//     logo_picture.exe out.ppm [frames] [width height]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <GL/gl.h>

#include "about/logo_scene.h"
#include "support/logo_test_support.h"

using namespace logo_test;

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: logo_picture out.ppm [frames] [width height]\n");
        return 2;
    }
    int frames = argc > 2 ? atoi(argv[2]) : 200;
    int width = argc > 4 ? atoi(argv[3]) : 214;
    int height = argc > 4 ? atoi(argv[4]) : 160;
    GLWindow window(width, height);
    if (!window.Ready()) {
        fprintf(stderr, "no GL context\n");
        return 1;
    }
    LogoSceneInit(width, height);
    for (int i = 0; i < frames; ++i) {
        LogoSceneDrawFrame();
        // Swapped as the control does, so the trails come from what the swap leaves.
        if (i + 1 < frames) {
            SwapBuffers(wglGetCurrentDC());
        }
    }
    glFinish();
    std::vector<Rgb> image = window.ReadBack();
    FILE* out = fopen(argv[1], "wb");
    if (!out) {
        return 1;
    }
    fprintf(out, "P6\n%d %d\n255\n", width, height);
    for (const Rgb& c : image) {
        fputc(c.r, out);
        fputc(c.g, out);
        fputc(c.b, out);
    }
    fclose(out);
    LogoSceneShutdown();
    return 0;
}
