// The OpenGL, WGL and GLU entry points the logo calls, loaded from the system folder when the
// first logo is made. The list below is the only place an entry point is named: the table's
// members, their types and their lookup all come from it.
#pragma once

#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

#define LOGO_GL_ENTRY_POINTS(X)                                                                    \
    X(kOpenGL, glBegin)                                                                            \
    X(kOpenGL, glBindTexture)                                                                      \
    X(kOpenGL, glBlendFunc)                                                                        \
    X(kOpenGL, glClear)                                                                            \
    X(kOpenGL, glClearColor)                                                                       \
    X(kOpenGL, glClearDepth)                                                                       \
    X(kOpenGL, glColor3ub)                                                                         \
    X(kOpenGL, glColor4f)                                                                          \
    X(kOpenGL, glDepthFunc)                                                                        \
    X(kOpenGL, glDepthMask)                                                                        \
    X(kOpenGL, glDisable)                                                                          \
    X(kOpenGL, glEnable)                                                                           \
    X(kOpenGL, glEnd)                                                                              \
    X(kOpenGL, glGenTextures)                                                                      \
    X(kOpenGL, glLightModelf)                                                                      \
    X(kOpenGL, glLoadIdentity)                                                                     \
    X(kOpenGL, glMatrixMode)                                                                       \
    X(kOpenGL, glRotatef)                                                                          \
    X(kOpenGL, glScalef)                                                                           \
    X(kOpenGL, glTexCoord2f)                                                                       \
    X(kOpenGL, glTexEnvi)                                                                          \
    X(kOpenGL, glTexImage2D)                                                                       \
    X(kOpenGL, glTexParameteri)                                                                    \
    X(kOpenGL, glTranslatef)                                                                       \
    X(kOpenGL, glVertex3f)                                                                         \
    X(kOpenGL, glViewport)                                                                         \
    X(kOpenGL, wglCreateContext)                                                                   \
    X(kOpenGL, wglDeleteContext)                                                                   \
    X(kOpenGL, wglMakeCurrent)                                                                     \
    X(kGLU, gluPerspective)

// Each pointer has the type of the SDK's own declaration, so a call through the table is
// checked exactly as a direct call would be.
struct LogoGL {
#define LOGO_GL_MEMBER(library, name) decltype(&::name) name;
    LOGO_GL_ENTRY_POINTS(LOGO_GL_MEMBER)
#undef LOGO_GL_MEMBER
};

// Every member set once LoadLogoGL has answered TRUE; all null otherwise.
extern LogoGL logoGL;

// Loads OpenGL and GLU and binds the table, the first time only; later calls give the first
// answer. FALSE when a library or an entry point is missing: then the logo draws nothing.
BOOL LoadLogoGL();
