#include "about/logo_scene.h"

#include <windows.h>

#include "about/logo_animation.h"
#include "about/logo_gl.h"
#include "resource.h"

const int kTextureSize = 64;

// Made anew in each context; the previous one died with its context.
static GLuint textureName;

struct CubeVertex {
    GLfloat s, t;
    GLfloat x, y, z;
};

// Six faces, each with texture corners (0,0), (1,0), (1,1), (0,1). The picture's first row
// lies along the front face's top edge, so it stands upright there.
static const CubeVertex cubeVertices[24] = {
    // front, z = 1
    {0, 0, -1, 1, 1},
    {1, 0, 1, 1, 1},
    {1, 1, 1, -1, 1},
    {0, 1, -1, -1, 1},
    // top, y = 1
    {0, 0, -1, 1, 1},
    {1, 0, -1, 1, -1},
    {1, 1, 1, 1, -1},
    {0, 1, 1, 1, 1},
    // bottom, y = -1
    {0, 0, -1, -1, 1},
    {1, 0, -1, -1, -1},
    {1, 1, 1, -1, -1},
    {0, 1, 1, -1, 1},
    // back, z = -1
    {0, 0, -1, 1, -1},
    {1, 0, 1, 1, -1},
    {1, 1, 1, -1, -1},
    {0, 1, -1, -1, -1},
    // right, x = 1
    {0, 0, 1, -1, 1},
    {1, 0, 1, -1, -1},
    {1, 1, 1, 1, -1},
    {0, 1, 1, 1, 1},
    // left, x = -1
    {0, 0, -1, -1, 1},
    {1, 0, -1, -1, -1},
    {1, 1, -1, 1, -1},
    {0, 1, -1, 1, 1},
};

// The raw 64x64 RGB picture in this program's own resources, or null when it is missing.
static const void* LockLogoTexture() {
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(IDR_LOGO_TEXTURE), "TEXTURE");
    if (!info) {
        return NULL;
    }
    return LockResource(LoadResource(module, info));
}

static void MakeLogoTexture(const void* pixels) {
    logoGL.glGenTextures(1, &textureName);
    logoGL.glBindTexture(GL_TEXTURE_2D, textureName);
    // 192-byte rows already meet the default unpack alignment of 4.
    logoGL.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kTextureSize, kTextureSize, 0, GL_RGB,
                        GL_UNSIGNED_BYTE, pixels);
    logoGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    logoGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    logoGL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

int LogoSceneInit(int width, int height) {
    const void* pixels = LockLogoTexture();
    logoGL.glEnable(GL_BLEND);
    logoGL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    logoGL.glDepthFunc(GL_LEQUAL);
    logoGL.glEnable(GL_TEXTURE_2D);
    MakeLogoTexture(pixels);

    logoGL.glViewport(0, 0, width, height);
    logoGL.glMatrixMode(GL_PROJECTION);
    logoGL.glLoadIdentity();
    logoGL.gluPerspective(45.0, (double)width / height, (double)0.1f, 100.0);
    logoGL.glMatrixMode(GL_MODELVIEW);
    logoGL.glLoadIdentity();

    // The only colour clear: every frame blends over the last, which leaves the trails.
    logoGL.glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    logoGL.glClearDepth(1.0);
    logoGL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    logoGL.glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 1.0f);
    return 1;
}

// Opaque blue along y = 1 fading to faint white along y = -1.
static void DrawBackground(float spinAngle) {
    logoGL.glLoadIdentity();
    logoGL.glTranslatef(0.0f, 0.0f, -10.0f);
    logoGL.glRotatef(spinAngle, 0.0f, 0.0f, -1.0f);
    logoGL.glScalef(7.0f, 7.0f, 7.0f);
    logoGL.glDisable(GL_TEXTURE_2D);
    logoGL.glDepthMask(GL_TRUE);
    logoGL.glBegin(GL_QUADS);
    logoGL.glColor3ub(0, 105, 180);
    logoGL.glVertex3f(-1.0f, 1.0f, 0.0f);
    logoGL.glColor3ub(0, 105, 180);
    logoGL.glVertex3f(1.0f, 1.0f, 0.0f);
    logoGL.glColor4f(1.0f, 1.0f, 1.0f, 0.08f);
    logoGL.glVertex3f(1.0f, -1.0f, 0.0f);
    logoGL.glColor4f(1.0f, 1.0f, 1.0f, 0.08f);
    logoGL.glVertex3f(-1.0f, -1.0f, 0.0f);
    logoGL.glEnd();
}

static void DrawCube(const LogoPose& pose) {
    logoGL.glLoadIdentity();
    logoGL.glTranslatef(0.0f, 0.0f, -6.0f);
    logoGL.glRotatef(pose.cubeAngle, pose.axisX, pose.axisY, pose.axisZ);
    logoGL.glEnable(GL_TEXTURE_2D);
    logoGL.glBindTexture(GL_TEXTURE_2D, textureName);
    // From the first cube on the test stays on, for the backgrounds too.
    logoGL.glEnable(GL_DEPTH_TEST);
    logoGL.glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    logoGL.glBegin(GL_QUADS);
    for (const CubeVertex& v : cubeVertices) {
        logoGL.glTexCoord2f(v.s, v.t);
        logoGL.glVertex3f(v.x, v.y, v.z);
    }
    logoGL.glEnd();
}

void LogoSceneDrawFrame() {
    // The angles move on after the frame and do not depend on the axis, so taking the
    // whole step first draws the same pose.
    LogoPose pose = StepProcessLogoAnimation();
    logoGL.glClear(GL_DEPTH_BUFFER_BIT);
    DrawBackground(pose.spinAngle);
    DrawCube(pose);
}

void LogoSceneShutdown() {}
