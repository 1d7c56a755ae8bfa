// The common controls and OpenGL are loaded only when the dialogs that need them first
// open, so a run that stays in the tray maps neither, and only from the system folder, so a
// file of the same name beside the program is never loaded. That the dialogs work on their
// first opening and after is what the Details, About and soak tests check.
#include <windows.h>

#include <fstream>

#include "resource.h"
#include "support/program_test.h"

using namespace driver;

namespace {

bool Loaded(const Program& program, const char* module) {
    return ProcessModules(program.pid).count(module) != 0;
}

// Opens the dialog from the tray menu, waits for what shows it is working, closes it.
void OpenAndClose(const Program& program, UINT command, const char* caption, int controlId,
                  const std::function<bool()>& working) {
    PostTrayCommand(program, command);
    HWND dialog = WaitForShownDialog(program.pid, caption, controlId);
    ASSERT_NE((HWND)NULL, dialog) << caption;
    EXPECT_TRUE(WaitUntil(working)) << caption;
    ClickButton(GetDlgItem(dialog, IDC_OKAY));
    ASSERT_TRUE(WaitForWindowGone(dialog));
}

bool OpenGLLoaded(const Program& program) {
    return Loaded(program, "opengl32.dll") && Loaded(program, "glu32.dll");
}

class DialogLibraries : public ProgramTest {
  protected:
    DialogLibraries() : ProgramTest(kFirstRefresh) {}
};

TEST_F(DialogLibraries, LoadWhenTheirDialogFirstOpens) {
    ASSERT_TRUE(Loaded(program, "user32.dll")) << "the snapshot lists the program's modules";
    EXPECT_FALSE(Loaded(program, "comctl32.dll"));
    EXPECT_FALSE(Loaded(program, "opengl32.dll"));
    EXPECT_FALSE(Loaded(program, "glu32.dll"));

    ASSERT_NO_FATAL_FAILURE(OpenAndClose(program, CMD_TRAY_DETAILS, "Sorvagenta", IDC_FREE_BAR,
                                         [&] { return Loaded(program, "comctl32.dll"); }));
    EXPECT_FALSE(Loaded(program, "opengl32.dll")) << "the Details dialog needs no OpenGL";

    std::set<DWORD> before = ProcessThreads(program.pid);
    ASSERT_NO_FATAL_FAILURE(OpenAndClose(program, CMD_TRAY_ABOUT, "Brindlewox About", IDC_LOGO,
                                         [&] { return OpenGLLoaded(program); }));
    EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid) == before; }))
        << "the render thread was joined";
}

// A copy of the program in a folder of its own, beside marker libraries named as the three
// it loads, each of which writes loaded.txt there when loaded. Wine is told to prefer such
// files to its own, as Windows does for any library that is not a known system one.
class PlantedLibraries : public WineTest {
  protected:
    void SetUp() override {
        WineTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        std::string built = ProgramPath();
        std::string bin = built.substr(0, built.rfind('\\') + 1);
        folder = bin + "planted\\";
        Clean();
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
        for (const char* file : {"Sorvagenta.exe", "Tamsprock.dll"}) {
            ASSERT_TRUE(CopyFileA((bin + file).c_str(), (folder + file).c_str(), FALSE));
        }
        for (const char* name : kPlanted) {
            ASSERT_TRUE(
                CopyFileA((bin + "planted_library.dll").c_str(), (folder + name).c_str(), FALSE));
        }
        char overrides[1024] = "";
        GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
        savedOverrides = overrides;
        std::string preferred = savedOverrides + ";comctl32,opengl32,glu32=n,b";
        SetEnvironmentVariableA("WINEDLLOVERRIDES", preferred.c_str());
        ASSERT_TRUE(taskbar.Create());
    }
    void TearDown() override {
        CloseProgram(&program);
        taskbar.Destroy();
        SetEnvironmentVariableA("WINEDLLOVERRIDES", savedOverrides.c_str());
        Clean();
    }
    void Clean() {
        DeleteTree(folder.substr(0, folder.size() - 1));
    }
    const char* const kPlanted[3] = {"comctl32.dll", "opengl32.dll", "glu32.dll"};
    std::string folder;
    std::string savedOverrides;
    FakeTaskbar taskbar;
    Program program;
};

TEST_F(PlantedLibraries, AreNeverLoadedTheSystemFoldersAreAndExitIsClean) {
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, folder + "Sorvagenta.exe"));
    ASSERT_NO_FATAL_FAILURE(OpenAndClose(program, CMD_TRAY_DETAILS, "Sorvagenta", IDC_FREE_BAR,
                                         [&] { return Loaded(program, "comctl32.dll"); }));
    ASSERT_NO_FATAL_FAILURE(OpenAndClose(program, CMD_TRAY_ABOUT, "Brindlewox About", IDC_LOGO,
                                         [&] { return OpenGLLoaded(program); }));

    std::ifstream log(folder + "loaded.txt");
    std::string line;
    EXPECT_FALSE(std::getline(log, line)) << "loaded from the program's folder: " << line;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    CharLowerBuffA(system, lstrlenA(system));
    std::map<std::string, std::string> modules = ProcessModules(program.pid);
    for (const char* name : kPlanted) {
        ASSERT_EQ(1u, modules.count(name)) << name;
        EXPECT_EQ(std::string(system) + "\\" + name, modules[name]);
    }
    DWORD exitCode = 99;
    ASSERT_TRUE(ExitProgram(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

} // namespace
