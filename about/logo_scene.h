// The logo scene: a textured cube tumbling over a turning, fading background. Knows nothing
// of windows or threads; every call needs the caller's GL context current on its thread,
// and the logo's GL table loaded (LoadLogoGL).
#pragma once

// Sets up GL state, the texture and the projection for a viewport of width by height
// pixels. Once per context, before any frame. Returns 1.
int LogoSceneInit(int width, int height);

// Draws one frame into the back buffer and moves the animation on; the caller swaps.
void LogoSceneDrawFrame();

// Called once the context is gone, which took the texture with it: nothing is left to free.
void LogoSceneShutdown();
