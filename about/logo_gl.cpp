#include "about/logo_gl.h"

#include "platform/system_library.h"

LogoGL logoGL;

enum LogoGLLibrary { kOpenGL, kGLU, kLogoGLLibraries };

static HMODULE libraries[kLogoGLLibraries];
static BOOL loadTried;
static BOOL loaded;

static BOOL LoadLibraries(const wchar_t* const names[kLogoGLLibraries]) {
    for (int i = 0; i < kLogoGLLibraries; i++) {
        libraries[i] = LoadSystemLibrary(names[i]);
        if (!libraries[i]) {
            return FALSE;
        }
    }
    return TRUE;
}

static BOOL BindEntryPoints() {
#define LOGO_GL_BIND(library, name)                                                                \
    logoGL.name = EntryPoint<decltype(logoGL.name)>(libraries[library], #name);                    \
    if (!logoGL.name) {                                                                            \
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

// Binds the table from the libraries of those names, whatever an earlier load answered. Not
// in the header: the program loads opengl32.dll and glu32.dll only; tests name others.
BOOL LoadLogoGLFrom(const wchar_t* openglLibrary, const wchar_t* gluLibrary) {
    Unload();
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
