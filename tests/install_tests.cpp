// The release files worked as a user and a deployment script would: silent installs,
// upgrades over a running copy or the user's own choices, the same folder under other names,
// a move to another folder beside another program's files, the rights of new folders, the
// uninstaller and a stale copy of it, and the portable zip's program started from an
// unpacked folder. Each test starts and ends with nothing of ours installed: a sign-in
// entry left behind would start the program whenever the prefix boots.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "support/program_test.h"
#include "version.h"

using namespace driver;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAppsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvagenta";
const char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// Task Manager's "disabled" flag: 3, then when it was set.
const std::string kDisabled("\x03\0\0\0\x10\x20\x30\x40\x50\x60\xd9\x01", 12);
const std::string kUninstaller = "Uninstall Sorvagenta.exe";

std::string InstallFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "Sorvagenta install test\\Sorvagenta";
}

std::string DefaultFolder() {
    char local[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_LOCAL_APPDATA, NULL, 0, local);
    return std::string(local) + "\\Programs\\Sorvagenta";
}

std::string Shortcut() {
    char programs[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, 0, programs);
    return std::string(programs) + "\\Sorvagenta.lnk";
}

std::string SystemFile(const char* name) {
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\" + name;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A value under HKCU as text (DWORDs in decimal, binary as its bytes); "<none>" when it is
// not there.
std::string UserValue(const char* key, const char* name) {
    char data[1024] = "";
    DWORD size = sizeof data, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, key, name,
                     RRF_RT_REG_SZ | RRF_RT_REG_DWORD | RRF_RT_REG_BINARY, &type, data,
                     &size) != ERROR_SUCCESS) {
        return "<none>";
    }
    if (type == REG_BINARY) {
        return std::string(data, size);
    }
    return type == REG_DWORD ? std::to_string(*(DWORD*)data) : std::string(data);
}

void DisableSignInInTaskManager() {
    RegSetKeyValueA(HKEY_CURRENT_USER, kApprovedKey, "Sorvagenta", REG_BINARY, kDisabled.data(),
                    (DWORD)kDisabled.size());
}

// Every running process of that file name.
std::vector<DWORD> ProcessesNamed(const char* exeName) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exeName) == 0) {
            found.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

// The program's hidden host windows, whichever copy they belong to.
std::vector<HWND> HostWindows() {
    std::vector<HWND> found;
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, "Sorvagenta", NULL)) != NULL;) {
        found.push_back(w);
    }
    return found;
}

// Runs a command line and, unless detach, waits for it (pumping, so the fake taskbar
// answers the program) and returns its exit code; ~0u if it could not start or hangs.
DWORD RunCommand(std::string commandLine, bool detach = false) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        return ~0u;
    }
    CloseHandle(info.hThread);
    DWORD code = detach ? 0 : ~0u;
    if (!detach &&
        WaitUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, 120000)) {
        GetExitCodeProcess(info.hProcess, &code);
    } else if (!detach) {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hProcess);
    return code;
}

class InstallTest : public WineTest {
  protected:
    void SetUp() override {
        WineTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(taskbar.Create()) << "the fake taskbar must be the one the shell finds";
        RemoveEverything();
    }
    void TearDown() override {
        if (IsSkipped()) {
            return;
        }
        RemoveEverything();
        EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta")) << "a sign-in entry was left";
        taskbar.Destroy();
    }

    // Ends every copy as the installer does, then removes files, shortcut and keys.
    void RemoveEverything() {
        for (HWND host : HostWindows()) {
            PostMessageA(host, WM_CLOSE, 0, 0);
        }
        WaitUntil([] { return ProcessesNamed("Sorvagenta.exe").empty(); }, 30000);
        for (const std::string& inTree : {folder, moved}) {
            DeleteTree(inTree.substr(0, inTree.rfind('\\')));
        }
        DeleteTree(DefaultFolder());
        DeleteFileA(Shortcut().c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "Sorvagenta");
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kApprovedKey, "Sorvagenta");
        RegDeleteKeyA(HKEY_CURRENT_USER, kAppsKey);
    }

    DWORD Install(const std::string& switches, const std::string& target) {
        return RunCommand("\"" SETUP_PATH "\" /S " + switches + " /D=" + target);
    }
    DWORD Install(const std::string& switches) {
        return Install(switches, folder);
    }

    // An uninstaller goes on from a copy of itself: once its own file is gone, waits until
    // it lets go of the installers' one-at-a-time mutex.
    bool WaitForUninstaller(const std::string& uninstaller) {
        return WaitUntil([&] { return !Exists(uninstaller); }, 60000) &&
               WaitUntil(
                   [] {
                       HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "SorvagentaSetup");
                       CloseHandle(mutex);
                       return mutex == NULL;
                   },
                   60000);
    }

    bool TaskbarSaw(DWORD code, HWND from) {
        for (const TrayMessage& m : taskbar.Messages(from)) {
            if (m.code == code) {
                return true;
            }
        }
        return false;
    }

    // The one host window of a copy other than the given process, once it has its icon.
    HWND WaitForOtherCopy(DWORD notPid) {
        HWND found = NULL;
        WaitUntil([&] {
            for (HWND host : HostWindows()) {
                DWORD pid = 0;
                GetWindowThreadProcessId(host, &pid);
                if (pid != notPid && TaskbarSaw(kTrayAdd, host)) {
                    found = host;
                }
            }
            return found != NULL;
        });
        return found;
    }

    FakeTaskbar taskbar;
    std::string folder = InstallFolder();
    std::string exe = folder + "\\Sorvagenta.exe";
    // Outside the user's profile, where the installer restricts a folder it makes.
    std::string moved = "C:\\Sorvagenta move test\\Sorvagenta";
};

TEST_F(InstallTest, SilentInstallPutsFilesShortcutSignInAndAppsEntryInPlace) {
    ASSERT_EQ(0u, Install(""));

    // The built files, version block and all.
    EXPECT_EQ(ReadFileBytes(ProgramPath()), ReadFileBytes(exe));
    EXPECT_EQ(ReadFileBytes(BuiltFolder() + "Tamsprock.dll"),
              ReadFileBytes(folder + "\\Tamsprock.dll"));
    EXPECT_TRUE(Exists(Shortcut()));

    std::string signIn = UserValue(kRunKey, "Sorvagenta");
    EXPECT_EQ("\"" + exe + "\"", signIn);
    RunCommand(signIn, true);
    EXPECT_NE((HWND)NULL, WaitForOtherCopy(0)) << "the sign-in command starts the program";

    EXPECT_EQ("Sorvagenta", UserValue(kAppsKey, "DisplayName"));
    EXPECT_EQ(SORVAGENTA_VERSION_TEXT, UserValue(kAppsKey, "DisplayVersion"));
    EXPECT_EQ("Brindlewox", UserValue(kAppsKey, "Publisher"));
    EXPECT_EQ(exe, UserValue(kAppsKey, "DisplayIcon"));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    std::string uninstaller = "\"" + folder + "\\" + kUninstaller + "\"";
    EXPECT_EQ(uninstaller, UserValue(kAppsKey, "UninstallString"));
    EXPECT_EQ(uninstaller + " /S", UserValue(kAppsKey, "QuietUninstallString"));
    EXPECT_GT(atoi(UserValue(kAppsKey, "EstimatedSize").c_str()), 100);
    EXPECT_EQ("1", UserValue(kAppsKey, "NoModify"));
    EXPECT_EQ("1", UserValue(kAppsKey, "NoRepair"));
}

TEST_F(InstallTest, FolderThatCannotBeWrittenIsRefusedBeforeAnythingIsWritten) {
    // Linux's /proc, seen through Wine's drive for /, takes no new folders.
    EXPECT_NE(0u, Install("", "Z:\\proc\\Sorvagenta"));
    EXPECT_EQ("<none>", UserValue(kAppsKey, "DisplayName"));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_FALSE(Exists(Shortcut()));
}

TEST_F(InstallTest, UpgradeEndsTheRunningCopyReplacesItsFilesAndStartsItAgain) {
    ASSERT_EQ(0u, Install(""));
    Program old;
    ASSERT_TRUE(StartProgramAndWaitForHost(&old, exe));
    // An old date on the installed file shows whether the upgrade wrote it again.
    HANDLE file = CreateFileA(exe.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    FILETIME longAgo = {0, 0x01C00000}; // the year 2000
    ASSERT_TRUE(SetFileTime(file, NULL, NULL, &longAgo));
    CloseHandle(file);

    ASSERT_EQ(0u, Install("/NOSTARTUP"));

    DWORD exitCode = ~0u;
    EXPECT_TRUE(WaitForExit(&old, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(TaskbarSaw(kTrayDelete, old.host));
    WIN32_FILE_ATTRIBUTE_DATA now = {};
    GetFileAttributesExA(exe.c_str(), GetFileExInfoStandard, &now);
    EXPECT_GT(now.ftLastWriteTime.dwHighDateTime, longAgo.dwHighDateTime) << "not replaced";
    EXPECT_NE((HWND)NULL, WaitForOtherCopy(old.pid)) << "the program runs again";
    EXPECT_EQ(1u, ProcessesNamed("Sorvagenta.exe").size());
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta")) << "/NOSTARTUP this time";
    CloseProgram(&old);
}

// What a package manager runs over an install the user made their own: their folder, no
// sign-in entry, the shortcut deleted, and the entry's flag as Task Manager leaves it.
TEST_F(InstallTest, SilentUpgradeKeepsTheFolderAndTheOptionsTheUserLeft) {
    ASSERT_EQ(0u, Install("/NOSTARTUP"));
    ASSERT_TRUE(DeleteFileA(Shortcut().c_str()));
    DisableSignInInTaskManager();
    std::string dll = folder + "\\Tamsprock.dll";
    ASSERT_TRUE(DeleteFileA(dll.c_str())) << "the upgrade must put it back";
    // The first version's uninstaller had the name other programs use.
    std::string earlier = folder + "\\Uninstall.exe";
    ASSERT_TRUE(CopyFileA((folder + "\\" + kUninstaller).c_str(), earlier.c_str(), FALSE));

    ASSERT_EQ(0u, RunCommand("\"" SETUP_PATH "\" /S"));

    EXPECT_TRUE(Exists(dll));
    EXPECT_FALSE(Exists(earlier)) << "an earlier uninstaller of ours";
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_FALSE(Exists(DefaultFolder()));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_EQ(kDisabled, UserValue(kApprovedKey, "Sorvagenta"));
}

TEST_F(InstallTest, PlainUpgradeKeepsASignInEntryDisabledInTaskManager) {
    ASSERT_EQ(0u, Install(""));
    DisableSignInInTaskManager();

    ASSERT_EQ(0u, RunCommand("\"" SETUP_PATH "\" /S"));

    EXPECT_EQ("\"" + exe + "\"", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ(kDisabled, UserValue(kApprovedKey, "Sorvagenta"));
}

// Each names the installed folder: taking one for another folder would move the install
// out of itself, deleting it.
TEST_F(InstallTest, ReinstallUnderAnotherSpellingOfItsFolderKeepsTheInstall) {
    ASSERT_EQ(0u, Install(""));
    std::string parent = folder.substr(0, folder.rfind('\\'));
    std::vector<std::string> spellings = {folder + ".", parent + "\\.\\Sorvagenta",
                                          "\\\\?\\" + folder};
    // Through Wine's drive for /, as another drive letter would on Windows.
    char prefix[MAX_PATH] = "";
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) > 0) {
        std::string throughRoot = "Z:" + std::string(prefix) + "\\drive_c" + folder.substr(2);
        std::replace(throughRoot.begin(), throughRoot.end(), '/', '\\');
        spellings.push_back(throughRoot);
    }
    spellings.push_back(parent + "\\x\\..\\Sorvagenta");

    for (const std::string& spelling : spellings) {
        ASSERT_EQ(0u, Install("", spelling)) << spelling;
        for (const char* name : {"Sorvagenta.exe", "Tamsprock.dll", kUninstaller.c_str()}) {
            EXPECT_TRUE(Exists(folder + "\\" + name)) << spelling << ": " << name;
        }
    }
    // The entries name it in its one form.
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_EQ("\"" + exe + "\"", UserValue(kRunKey, "Sorvagenta"));
}

// Files of our names that are not ours: installing beside them and moving away from them
// leaves them as they were; ours go.
TEST_F(InstallTest, OnlyOurFilesAreReplacedOrDeletedByAMove) {
    const std::string theirs = "another program's file";
    std::string foreignUninstaller = folder + "\\Uninstall.exe";
    CreateDirectoryA(folder.substr(0, folder.rfind('\\')).c_str(), NULL);
    CreateDirectoryA(folder.c_str(), NULL);
    std::ofstream(foreignUninstaller, std::ios::binary) << theirs;

    ASSERT_EQ(0u, Install(""));
    EXPECT_EQ(theirs, ReadFileBytes(foreignUninstaller));
    // A DLL of that name with a version block of its own.
    std::string foreignDll = folder + "\\Tamsprock.dll";
    ASSERT_TRUE(CopyFileA(SystemFile("version.dll").c_str(), foreignDll.c_str(), FALSE));
    std::string theirDll = ReadFileBytes(foreignDll);
    ASSERT_EQ(0u, Install("", moved));

    EXPECT_EQ(theirs, ReadFileBytes(foreignUninstaller));
    EXPECT_EQ(theirDll, ReadFileBytes(foreignDll));
    EXPECT_FALSE(Exists(exe));
    EXPECT_FALSE(Exists(folder + "\\" + kUninstaller));

    // Earlier builds' DLL had no version block: beside our program it goes on a move.
    std::string earlierDll = moved + "\\Tamsprock.dll";
    std::ofstream(earlierDll, std::ios::binary) << "an earlier build's DLL";
    ASSERT_EQ(0u, Install(""));
    EXPECT_FALSE(Exists(earlierDll));
}

TEST_F(InstallTest, InstallIntoAnotherFolderMovesTheInstallAndLeavesTheUsersFiles) {
    ASSERT_EQ(0u, Install(""));
    std::string own = folder + "\\my notes.txt";
    std::ofstream(own) << "mine";
    Program old;
    ASSERT_TRUE(StartProgramAndWaitForHost(&old, exe));

    ASSERT_EQ(0u, Install("", moved));

    for (const char* name : {"Sorvagenta.exe", "Tamsprock.dll", kUninstaller.c_str()}) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
        EXPECT_TRUE(Exists(moved + "\\" + name)) << name;
    }
    EXPECT_EQ("mine", ReadFileBytes(own));
    std::string movedExe = moved + "\\Sorvagenta.exe";
    EXPECT_EQ(moved, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_EQ("\"" + movedExe + "\"", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_NE(std::string::npos, ReadFileBytes(Shortcut()).find(movedExe)) << "shortcut target";
    EXPECT_TRUE(WaitForExit(&old, NULL));
    EXPECT_NE((HWND)NULL, WaitForOtherCopy(old.pid)) << "the program runs again";
    CloseProgram(&old);
}

TEST_F(InstallTest, StaleUninstallerElsewhereLeavesTheLiveInstallAlone) {
    ASSERT_EQ(0u, Install(""));
    DisableSignInInTaskManager();
    std::string stale = folder + " (old copy)";
    CreateDirectoryA(stale.c_str(), NULL);
    ASSERT_TRUE(CopyFileA((folder + "\\" + kUninstaller).c_str(),
                          (stale + "\\" + kUninstaller).c_str(), FALSE));
    Program live;
    ASSERT_TRUE(StartProgramAndWaitForHost(&live, exe));

    RunCommand("\"" + stale + "\\" + kUninstaller + "\" /S", true);
    ASSERT_TRUE(WaitForUninstaller(stale + "\\" + kUninstaller));

    EXPECT_TRUE(Exists(exe));
    EXPECT_TRUE(Exists(Shortcut()));
    EXPECT_EQ("\"" + exe + "\"", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ(kDisabled, UserValue(kApprovedKey, "Sorvagenta"));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(live.process, 0)) << "the live copy runs on";
    CloseProgram(&live);
}

TEST_F(InstallTest, SilentUninstallEndsTheProgramAndRemovesAllButTheUsersFiles) {
    ASSERT_EQ(0u, Install(""));
    Program program;
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, exe));
    std::string own = folder + "\\my notes.txt";
    std::ofstream(own) << "mine";
    DisableSignInInTaskManager();

    // The uninstaller goes on from a copy of itself: wait for its effects.
    RunCommand("\"" + folder + "\\" + kUninstaller + "\" /S", true);
    DWORD exitCode = ~0u;
    EXPECT_TRUE(WaitForExit(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(TaskbarSaw(kTrayDelete, program.host));
    EXPECT_TRUE(WaitUntil([&] { return UserValue(kAppsKey, "DisplayName") == "<none>"; }, 60000));
    for (const char* name : {"Sorvagenta.exe", "Tamsprock.dll", kUninstaller.c_str()}) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
    }
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ("<none>", UserValue(kApprovedKey, "Sorvagenta"));
    EXPECT_EQ("mine", ReadFileBytes(own));
    CloseProgram(&program);
}

// Installs with a logging stand-in for the system's icacls.exe, put back afterwards.
class FolderRightsTest : public InstallTest {
  protected:
    void SetUp() override {
        InstallTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        log = std::string(temp) + "sorvagenta-icacls.log";
        // A run that ended before its TearDown left the real one here.
        if (!Exists(saved)) {
            ASSERT_TRUE(CopyFileA(icacls.c_str(), saved.c_str(), TRUE));
        }
        ASSERT_TRUE(CopyFileA(ICACLS_STANDIN, icacls.c_str(), FALSE));
        DeleteFileA(log.c_str());
        // Wine runs its own icacls unless told to prefer the file.
        RegSetKeyValueA(HKEY_CURRENT_USER, kWineOverrides, "icacls.exe", REG_SZ, "native", 7);
        SetEnvironmentVariableA("SORVAGENTA_ICACLS_LOG", log.c_str());
    }
    void TearDown() override {
        if (!IsSkipped()) {
            EXPECT_TRUE(CopyFileA(saved.c_str(), icacls.c_str(), FALSE));
            DeleteFileA(saved.c_str());
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kWineOverrides, "icacls.exe");
            SetEnvironmentVariableA("SORVAGENTA_ICACLS_LOG", NULL);
            SetEnvironmentVariableA("SORVAGENTA_ICACLS_EXIT", NULL);
            DeleteFileA(log.c_str());
        }
        InstallTest::TearDown();
    }

    // What the installer asked icacls to restrict, and how: the log up to the SIDs.
    std::string Restricted() {
        std::string logged = ReadFileBytes(log);
        DeleteFileA(log.c_str());
        return logged.substr(0, logged.find(" /grant:r"));
    }

    std::string icacls = SystemFile("icacls.exe");
    std::string saved = icacls + ".sorvagenta-test";
    std::string log;
    const char* kWineOverrides = "Software\\Wine\\DllOverrides";
    std::string top = moved.substr(0, moved.rfind('\\'));
};

TEST_F(FolderRightsTest, TheHighestNewFolderOutsideTheProfileIsRestricted) {
    char profile[MAX_PATH] = "";
    GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
    std::string expected = "\"" + icacls + "\" \"" + top + "\" /inheritance:r";
    // The second leads out of the profile by its name.
    for (const std::string& target :
         {top + "\\New2\\Sorvagenta", std::string(profile) + "\\..\\..\\" + moved.substr(3)}) {
        RemoveEverything();
        ASSERT_EQ(0u, Install("/NOSTARTUP", target)) << target;
        EXPECT_EQ(expected, Restricted()) << target;
    }
    // A folder of the user's own is used as it is.
    ASSERT_EQ(0u, Install("/NOSTARTUP", moved));
    EXPECT_EQ("", Restricted());
}

TEST_F(FolderRightsTest, AFailedRestrictionStopsTheInstallHavingInstalledNothing) {
    SetEnvironmentVariableA("SORVAGENTA_ICACLS_EXIT", "5");

    EXPECT_NE(0u, Install("", moved + "\\New3"));

    EXPECT_NE("", Restricted()) << "icacls was run";
    EXPECT_FALSE(Exists(top)) << "the folders it made stay";
    EXPECT_EQ("<none>", UserValue(kAppsKey, "DisplayName"));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_FALSE(Exists(Shortcut()));
}

// The names in a folder, sorted. The build unpacks the zip into an empty folder.
std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        names.insert(found.cFileName);
    }
    FindClose(search);
    return names;
}

TEST_F(InstallTest, PortableZipHoldsTheProgramItsDllAndReadmeAndRunsUnpacked) {
    std::set<std::string> expected = {".", "..", "Sorvagenta"};
    EXPECT_EQ(expected, FolderEntries(UNPACKED_DIR));
    expected = {".", "..", "README.txt", "Sorvagenta.exe", "Tamsprock.dll"};
    EXPECT_EQ(expected, FolderEntries(UNPACKED_DIR "/Sorvagenta"));

    Program program;
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, UNPACKED_DIR "/Sorvagenta/Sorvagenta.exe"));
    EXPECT_TRUE(WaitUntil([&] { return TaskbarSaw(kTrayAdd, program.host); }));
    DWORD exitCode = ~0u;
    EXPECT_TRUE(ExitProgram(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
    CloseProgram(&program);
}

} // namespace
