// The common controls and OpenGL are loaded only when the dialogs that need them first
// open, so a run that stays in the tray maps neither, and only from the system folder, so a
// file of the same name beside the program is never loaded. That the dialogs work on their
// first opening and after is what the Details, About and soak tests check.
#include <windows.h>

#include <algorithm>
#include <fstream>

#include "product.h"
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

// A folder of its own holding a copy of what is tested, beside marker libraries named as
// system ones, each of which writes loaded.txt there when its code runs. Wine is told to
// prefer such files to its own, as Windows does for any library that is not a known system
// one.
class PlantedLibraries : public WineTest {
  protected:
    void Plant(const char* const* copied, const std::vector<std::string>& names) {
        bin = BuiltFolder();
        folder = bin + "planted\\";
        Clean();
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
        for (; *copied; ++copied) {
            ASSERT_TRUE(CopyFileA((bin + *copied).c_str(), (folder + *copied).c_str(), FALSE));
        }
        std::string preferred = savedOverrides + ";";
        for (const std::string& name : names) {
            ASSERT_TRUE(CopyFileA((bin + "planted_library.dll").c_str(),
                                  (folder + name + ".dll").c_str(), FALSE));
            preferred += name + (&name == &names.back() ? "=n,b" : ",");
        }
        SetEnvironmentVariableA("WINEDLLOVERRIDES", preferred.c_str());
    }
    void SetUp() override {
        WineTest::SetUp();
        char overrides[1024] = "";
        GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
        savedOverrides = overrides;
    }
    void TearDown() override {
        CloseProgram(&program);
        taskbar.Destroy();
        SetEnvironmentVariableA("WINEDLLOVERRIDES", savedOverrides.c_str());
        Clean();
        WineTest::TearDown();
    }
    void Clean() {
        if (!folder.empty()) {
            DeleteTree(folder.substr(0, folder.size() - 1));
        }
    }
    std::string MarkerLog() {
        std::ifstream log(folder + "loaded.txt");
        std::string line;
        std::getline(log, line);
        return line;
    }
    // Wine writes its load log to the Unix standard error it was started with, whatever the
    // Windows handles say, so the copy is started by a shell that sends that to a file. Its
    // process is then found by its host window (Wine gives no handle of the shell to wait on),
    // and the log is whole once that process has ended.
    bool StartWithLoadLog(const std::string& exe, const std::string& log) {
        std::string command = "Z:\\bin\\sh -c \"WINEDEBUG=+loaddll exec wine '" + UnixPath(exe) +
                              "' 2>'" + UnixPath(log) + "'\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
            return false;
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return WaitUntil(
            [&] {
                program.host = FindWindowA("Sorvagenta", "Sorvagenta");
                return program.host != NULL;
            },
            30000);
    }
    static std::string UnixPath(const std::string& path) {
        typedef char*(CDECL * UnixFileName)(const wchar_t*);
        UnixFileName unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        char* name = unixFileName ? unixFileName(wide) : NULL;
        std::string unix = name ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return unix;
    }
    std::string bin;
    std::string folder;
    std::string savedOverrides;
    FakeTaskbar taskbar;
    Program program;
};

// The dialogs' own libraries, the crypto provider and its dependencies, and what the system's
// window and drawing libraries load. version.dll is left out: one of Wine's own libraries
// imports it, so under Wine it is found beside the program before any code of ours runs.
const std::vector<std::string> kPlantedInTheProgramsFolder = {
    "comctl32", "opengl32",  "glu32",   "bcrypt", "crypt32", "rsaenh",
    "cryptsp",  "cryptbase", "uxtheme", "dwmapi", "winmm",   "msimg32"};

// Lower case, and with Wine's doubled backslashes single.
std::string Plain(std::string text) {
    CharLowerBuffA(&text[0], (DWORD)text.size());
    for (size_t at; (at = text.find("\\\\")) != std::string::npos;) {
        text.erase(at, 1);
    }
    return text;
}

// The copy run from the planted folder: the dialogs' libraries load when their dialog first
// opens, from the system folder, and no marker's code ever runs.
TEST_F(PlantedLibraries, AreNeverLoadedTheSystemFoldersLoadWhenTheirDialogFirstOpensExitIsClean) {
    const char* const copied[] = {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE, NULL};
    ASSERT_NO_FATAL_FAILURE(Plant(copied, kPlantedInTheProgramsFolder));
    ASSERT_TRUE(taskbar.Create());
    std::string log = bin + "planted-load.log";
    ASSERT_TRUE(StartWithLoadLog(folder + SORVAGENTA_PROGRAM_FILE, log));
    GetWindowThreadProcessId(program.host, &program.pid);
    program.process =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program.pid);
    ASSERT_TRUE(program.process != NULL);
    std::string module = SORVAGENTA_PROGRAM_FILE; // as the snapshot names it
    CharLowerBuffA(&module[0], (DWORD)module.size());
    ASSERT_EQ(Plain(folder + SORVAGENTA_PROGRAM_FILE), ProcessModules(program.pid)[module]);
    ASSERT_TRUE(WaitUntil([&] { return taskbar.Count(program.host) >= kFirstRefresh; }))
        << "the icon's first calls";
    ASSERT_TRUE(Loaded(program, "user32.dll")) << "the snapshot lists the program's modules";
    EXPECT_FALSE(Loaded(program, "comctl32.dll"));
    EXPECT_FALSE(Loaded(program, "opengl32.dll"));
    EXPECT_FALSE(Loaded(program, "glu32.dll"));

    ASSERT_NO_FATAL_FAILURE(OpenAndClose(program, CMD_TRAY_DETAILS, SORVAGENTA_NAME, IDC_FREE_BAR,
                                         [&] { return Loaded(program, "comctl32.dll"); }));
    EXPECT_FALSE(Loaded(program, "opengl32.dll")) << "the Details dialog needs no OpenGL";
    std::set<DWORD> before = ProcessThreads(program.pid);
    ASSERT_NO_FATAL_FAILURE(OpenAndClose(program, CMD_TRAY_ABOUT, SORVAGENTA_ABOUT_CAPTION,
                                         IDC_LOGO, [&] { return OpenGLLoaded(program); }));
    EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid) == before; }))
        << "the render thread was joined";
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::map<std::string, std::string> modules = ProcessModules(program.pid);
    for (const char* name : {"comctl32.dll", "opengl32.dll", "glu32.dll"}) {
        EXPECT_EQ(Plain(std::string(system) + "\\" + name), modules[name]);
    }
    DWORD exitCode = 99;
    ASSERT_TRUE(ExitProgram(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);

    EXPECT_EQ("", MarkerLog()) << "a marker's code ran";
    std::ifstream loads(log);
    std::string line;
    int programLoads = 0, commonControls = 0;
    while (std::getline(loads, line)) {
        line = Plain(line);
        if (line.find("trace:loaddll") == std::string::npos) {
            continue;
        }
        programLoads += line.find(Plain(folder + "sorvagenta.exe")) != std::string::npos;
        commonControls +=
            line.find(Plain(std::string(system) + "\\comctl32.dll")) != std::string::npos;
        if (line.find(Plain(folder)) != std::string::npos &&
            line.find(Plain(folder + "sorvagenta.exe")) == std::string::npos &&
            line.find(Plain(folder + "tamsprock.dll")) == std::string::npos) {
            ADD_FAILURE() << "loaded from the program's folder: " << line;
        }
    }
    EXPECT_EQ(1, programLoads) << "the log covers the program's start";
    EXPECT_LE(1, commonControls) << "the log covers the Details dialog";
    DeleteFileA(log.c_str());
}

// Each layer alone: LoadSystemLibrary's search flag before the search is restricted, the
// restriction for a plain load, and the full-path load of a system without the flags.
TEST_F(PlantedLibraries, EachSearchLayerAloneTakesTheSystemFoldersCopy) {
    const char* const copied[] = {"library_search_probe.exe", NULL};
    ASSERT_NO_FATAL_FAILURE(Plant(copied, {"dwmapi", "glu32", "msimg32"}));
    std::string output;
    DWORD exitCode = 99;
    ASSERT_TRUE(RunToEnd("\"" + folder + "library_search_probe.exe\"", &output, &exitCode));
    EXPECT_EQ(0u, exitCode);
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string in = std::string(system) + "\\";
    // The fallback names the file by its full path, with LOAD_WITH_ALTERED_SEARCH_PATH (8).
    std::string expected = "fallback " + in + "dwmapi.dll 8 " + in + "dwmapi.dll\n" + "flagged " +
                           in + "glu32.dll\n" + "plain " + in + "msimg32.dll\n";
    EXPECT_EQ(Plain(expected), Plain(output));
    EXPECT_EQ("", MarkerLog()) << "a marker's code ran";
}

} // namespace
