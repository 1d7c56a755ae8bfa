#include "about/logo_scene.h"

#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include "about/logo_animation.h"
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
    glGenTextures(1, &textureName);
    glBindTexture(GL_TEXTURE_2D, textureName);
    // 192-byte rows already meet the default unpack alignment of 4.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kTextureSize, kTextureSize, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

int LogoSceneInit(int width, int height) {
    const void* pixels = LockLogoTexture();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_TEXTURE_2D);
    MakeLogoTexture(pixels);

    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)width / height, (double)0.1f, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The only colour clear: every frame blends over the last, which leaves the trails.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 1.0f);
    return 1;
}

// Opaque blue along y = 1 fading to faint white along y = -1.
static void DrawBackground(float spinAngle) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    glRotatef(spinAngle, 0.0f, 0.0f, -1.0f);
    glScalef(7.0f, 7.0f, 7.0f);
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_TRUE);
    glBegin(GL_QUADS);
    glColor3ub(0, 105, 180);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glColor3ub(0, 105, 180);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 0.08f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 0.08f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glEnd();
}

static void DrawCube(const LogoPose& pose) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -6.0f);
    glRotatef(pose.cubeAngle, pose.axisX, pose.axisY, pose.axisZ);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName);
    // From the first cube on the test stays on, for the backgrounds too.
    glEnable(GL_DEPTH_TEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    for (const CubeVertex& v : cubeVertices) {
        glTexCoord2f(v.s, v.t);
        glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
}

void LogoSceneDrawFrame() {
    // The angles move on after the frame and do not depend on the axis, so taking the
    // whole step first draws the same pose.
    LogoPose pose = StepProcessLogoAnimation();
    glClear(GL_DEPTH_BUFFER_BIT);
    DrawBackground(pose.spinAngle);
    DrawCube(pose);
}

void LogoSceneShutdown() {}
