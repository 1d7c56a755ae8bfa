// The stand-in browser (support/browser_standin.cpp) and the test that registers it.
#pragma once

// Named event that lets every running stand-in end.
const char kBrowserStandInRelease[] = "SorvagentaTestBrowserRelease";
