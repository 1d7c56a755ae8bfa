// What the soak and fault tests add to the driver: a process's resource figures read from
// outside, and the soak counts.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/program_test.h"

namespace driver {

// The reduced count, or the full one when SORVAGENTA_SOAK=full (handed over by the build).
int SoakCount(int reduced, int full);

// A process's resources as seen from another process.
struct ProcessFigures {
    DWORD handles = 0;     // kernel handles
    DWORD gdiObjects = 0;  // GDI objects (stock objects left out where they can be told apart)
    DWORD userObjects = 0; // USER objects; under Wine: the process's windows
    DWORD threads = 0;
    unsigned long long privateBytes = 0;
    // GDI objects by kind, where the handle table could be read: "bitmap 12, DC 3".
    std::string gdiKinds;
    DWORD deviceContexts = 0; // of those, window DCs
    // Which interface answered each figure: Wine 8 stubs some of the usual ones.
    std::string sources;
};

ProcessFigures MeasureProcess(DWORD pid);

// How far each figure may rise over a run and still count as flat.
struct FigureAllowance {
    int handles;
    int gdiObjects;
    int userObjects;
    int threads;
    long long privateBytes;
};

testing::AssertionResult StaysFlat(const ProcessFigures& before, const ProcessFigures& after,
                                   const FigureAllowance& allowance);

// Measures until the figures are within the allowance of before, or the time is up: the
// program's teardown may lag the driver. The allowance is asked for at each try, since a tick
// may show a new gauge picture while the figures are read.
ProcessFigures MeasureSettled(DWORD pid, const ProcessFigures& before,
                              const std::function<FigureAllowance()>& allowance,
                              DWORD timeoutMs = 10000);

// Each gauge picture is loaded once and kept for the run, as shared icons are: two bitmaps
// join the GDI figure the first time a percentage shows.
FigureAllowance WithNewPictures(FigureAllowance allowance, size_t picturesBefore,
                                size_t picturesAfter);

// Prints one before/after line for the record.
void ReportFigures(const char* run, int count, const ProcessFigures& before,
                   const ProcessFigures& after);

// Runs count steps of a dialog soak in two halves, measuring before, between and after. Wine's
// window DC cache (up to 64) may grow in either half, its system-colour brushes over the whole
// run; all else must stay within the allowance, and a leak grows in both halves. A step
// returns what went wrong, or "".
testing::AssertionResult RunsFlatInTwoHalves(const char* run, int count, DWORD pid,
                                             const FakeTaskbar& taskbar, HWND host,
                                             const FigureAllowance& allowance,
                                             const std::function<std::string(int)>& step);

// The mask bits, then the colour bits, of an icon as the taskbar received it: the gauge
// figures are black on a transparent ground, so the number is in the mask.
std::vector<unsigned char> ReceivedIconBits(const TrayMessage& message);

// The running program with its first icon, for the dialog soaks. A hung program is ended in
// the tear-down, so a hang fails the test instead of the run.
class DialogSoakTest : public ProgramTest {
  protected:
    DialogSoakTest() : ProgramTest(kFirstRefresh) {}
    // Waits until the dialog is gone and the host window, which it disabled, is enabled
    // again. Returns what went wrong, or "".
    std::string WaitUntilClosed(HWND dialog, const std::string& what);
};

} // namespace driver
