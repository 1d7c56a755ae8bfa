#include "about/logo_control.h"

#include "about/logo_gl.h"
#include "about/logo_scene.h"

const char kLogoControlClass[] = "GLLogoControl";

// One per control, hung off its user-data slot. The UI thread fills everything but the GL
// context before the render thread starts; the render thread writes only the GL context.
struct LogoControlState {
    HWND window;
    HGLRC glContext;
    HDC deviceContext;
    HANDLE stopEvent;
    DWORD threadId;
    HANDLE thread;
};

// Set while the logos may draw; a frame is drawn only inside frameLock, so that a holder,
// once through the lock, knows no frame is under way. Made with the class.
static HANDLE drawingAllowed;
static CRITICAL_SECTION frameLock;

static void FillPixelFormatRequest(PIXELFORMATDESCRIPTOR* request) {
    ZeroMemory(request, sizeof *request);
    request->nSize = sizeof *request;
    request->nVersion = 1;
    request->dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request->iPixelType = PFD_TYPE_RGBA;
    request->cColorBits = 24;
    request->cDepthBits = 16;
    request->iLayerType = PFD_MAIN_PLANE;
}

// The render thread owns its GL context from creation to deletion and never waits for the
// UI thread, so the UI thread can join it from WM_DESTROY.
static DWORD WINAPI LogoRenderThread(LPVOID parameter) {
    LogoControlState* state = (LogoControlState*)parameter;
    state->glContext = logoGL.wglCreateContext(state->deviceContext);
    logoGL.wglMakeCurrent(state->deviceContext, state->glContext);

    // The outer size, edge included: the viewport is fixed here and never follows a resize.
    RECT rect;
    GetWindowRect(state->window, &rect);
    LogoSceneInit(rect.right - rect.left, rect.bottom - rect.top);

    // The stop event comes first, so it wins over drawing; while drawing is held the
    // thread sleeps until it is allowed again or stopped. Anything but the drawing event's
    // own signal stops it: a failed wait returns at once, and drawing on it would spin
    // forever, leaving the UI thread's join waiting.
    HANDLE wakers[2] = {state->stopEvent, drawingAllowed};
    while (WaitForMultipleObjects(2, wakers, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        Sleep(1);
        EnterCriticalSection(&frameLock);
        if (WaitForSingleObject(drawingAllowed, 0) == WAIT_OBJECT_0) {
            LogoSceneDrawFrame();
            SwapBuffers(state->deviceContext);
        }
        LeaveCriticalSection(&frameLock);
    }

    logoGL.wglMakeCurrent(NULL, NULL);
    logoGL.wglDeleteContext(state->glContext);
    LogoSceneShutdown();
    return 1;
}

// Returns -1, which fails the window's creation, when there is no record or no stop event:
// without them the thread could be neither started nor stopped.
static LRESULT CreateLogoControl(HWND hwnd) {
    LogoControlState* state = (LogoControlState*)LocalAlloc(LPTR, sizeof(LogoControlState));
    if (!state) {
        return -1;
    }
    state->window = hwnd;
    state->stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!state->stopEvent) {
        LocalFree(state);
        return -1;
    }

    // The class's own DC keeps the pixel format for the window's whole life.
    state->deviceContext = GetDC(hwnd);
    // Without OpenGL the control keeps its black background and never starts a thread.
    if (LoadLogoGL()) {
        PIXELFORMATDESCRIPTOR request;
        FillPixelFormatRequest(&request);
        SetPixelFormat(state->deviceContext, ChoosePixelFormat(state->deviceContext, &request),
                       &request);
    }
    // Pointer-sized: the 32-bit slot would cut a 64-bit address.
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)state);
    return 0;
}

// The thread starts at the control's first paint, once the window it sits in has been shown.
// Showing a window the first time can replace the drawable under a child's pixel format (it
// does under X11); GL calls racing that can wedge the display connection and hang both
// threads, so the render thread never runs before it.
static void StartRenderThread(HWND hwnd) {
    LogoControlState* state = (LogoControlState*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (state && !state->thread && LoadLogoGL()) {
        state->thread = CreateThread(NULL, 0, LogoRenderThread, state, 0, &state->threadId);
    }
}

static void DestroyLogoControl(HWND hwnd) {
    LogoControlState* state = (LogoControlState*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    // A control whose creation failed has nothing to tear down.
    if (!state) {
        return;
    }
    // A control closed before it was ever painted has no thread to stop.
    if (state->thread) {
        SetEvent(state->stopEvent);
        WaitForSingleObject(state->thread, INFINITE);
    }
    CloseHandle(state->stopEvent);
    if (state->thread) {
        CloseHandle(state->thread);
    }
    // Only now: the thread drew through this DC and read the record up to its last step.
    ReleaseDC(hwnd, state->deviceContext);
    LocalFree(state);
}

static LRESULT CALLBACK LogoControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return CreateLogoControl(hwnd);
    case WM_PAINT:
        StartRenderThread(hwnd);
        break; // the default validates; everything drawn comes from the render thread
    case WM_DESTROY:
        DestroyLogoControl(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void HoldLogoDrawing(BOOL hold) {
    // Before the class exists there is no logo to hold.
    if (!drawingAllowed) {
        return;
    }
    if (hold) {
        ResetEvent(drawingAllowed);
        EnterCriticalSection(&frameLock);
        LeaveCriticalSection(&frameLock);
    } else {
        SetEvent(drawingAllowed);
    }
}

void RegisterLogoControlClass(HINSTANCE instance) {
    if (!drawingAllowed) {
        InitializeCriticalSection(&frameLock);
        drawingAllowed = CreateEventA(NULL, TRUE, TRUE, NULL);
    }
    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = LogoControlProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = kLogoControlClass;
    RegisterClassExA(&windowClass);
}
