#include "about/logo_gl.h"

#include <stdio.h>

#include "platform/system_library.h"

LogoGL logoGL;

enum LogoGLLibrary { kOpenGL, kGLU, kLogoGLLibraries };

static HMODULE libraries[kLogoGLLibraries];
static BOOL loadTried;
static BOOL loaded;
static char missing[64];

static void NoteMissing(const char* what) {
    snprintf(missing, sizeof missing, "%s", what);
}

static BOOL LoadLibraries(const wchar_t* const names[kLogoGLLibraries]) {
    for (int i = 0; i < kLogoGLLibraries; i++) {
        libraries[i] = LoadSystemLibrary(names[i]);
        if (!libraries[i]) {
            snprintf(missing, sizeof missing, "%ls", names[i]);
            return FALSE;
        }
    }
    return TRUE;
}

static BOOL BindEntryPoints() {
#define LOGO_GL_BIND(library, name)                                                                \
    logoGL.name = EntryPoint<decltype(logoGL.name)>(libraries[library], #name);                    \
    if (!logoGL.name) {                                                                            \
        NoteMissing(#name);                                                                        \
        return FALSE;                                                                              \
    }
    LOGO_GL_ENTRY_POINTS(LOGO_GL_BIND)
#undef LOGO_GL_BIND
    return TRUE;
}

// Half a table is no table: everything bound so far is dropped with the libraries.
static void Unload() {
    ZeroMemory(&logoGL, sizeof logoGL);
    for (HMODULE& library : libraries) {
        if (library) {
            FreeLibrary(library);
            library = NULL;
        }
    }
}

BOOL LoadLogoGLFrom(const wchar_t* openglLibrary, const wchar_t* gluLibrary) {
    Unload();
    missing[0] = '\0';
    const wchar_t* names[kLogoGLLibraries] = {openglLibrary, gluLibrary};
    loadTried = TRUE;
    loaded = LoadLibraries(names) && BindEntryPoints();
    if (!loaded) {
        Unload();
    }
    return loaded;
}

BOOL LoadLogoGL() {
    if (!loadTried) {
        LoadLogoGLFrom(L"opengl32.dll", L"glu32.dll");
    }
    return loaded;
}

const char* LogoGLMissing() {
    return missing;
}
