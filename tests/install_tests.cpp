// The release files worked as a user and a deployment script would: silent installs,
// upgrades over a running copy or the user's own choices, the same folder under other names,
// a move to another folder beside another program's files, folders refused, files that
// cannot be replaced or deleted, the uninstaller and a stale copy of it, and the portable
// zip's program started from an unpacked folder. Each test starts and ends with nothing of ours
// installed: a sign-in entry left behind would start the program whenever the prefix boots.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "product.h"
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
const std::string kUninstaller = UNINSTALLER;

std::string InstallFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "Sorvagenta install test\\Sorvagenta";
}

std::string Profile() {
    char profile[MAX_PATH] = "";
    GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
    return profile;
}

std::string DefaultFolder() {
    char local[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_LOCAL_APPDATA, NULL, 0, local);
    return std::string(local) + "\\" INSTALL_FOLDER;
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

// Paths here are UTF-8.
bool Exists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An old date on an installed file shows whether an upgrade wrote it again.
const FILETIME kLongAgo = {0, 0x01C00000}; // the year 2000
void DateLongAgo(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    SetFileTime(file, NULL, NULL, &kLongAgo);
    CloseHandle(file);
}
bool WrittenSince(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA now = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now);
    return now.ftLastWriteTime.dwHighDateTime > kLongAgo.dwHighDateTime;
}

// The names in a folder, sorted.
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
        WaitUntil([] { return ProcessesNamed(SORVAGENTA_PROGRAM_FILE).empty(); }, 30000);
        for (const std::string& inTree : {folder, moved}) {
            DeleteTree(inTree.substr(0, inTree.rfind('\\')));
        }
        DeleteTree(nestTop);
        DeleteTree(DefaultFolder());
        DeleteFileA(Shortcut().c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "Sorvagenta");
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kApprovedKey, "Sorvagenta");
        RegDeleteKeyA(HKEY_CURRENT_USER, kAppsKey);
    }

    // The installer's exit code; ~0u when it does not end.
    DWORD Run(const std::string& commandLine) {
        DWORD code = ~0u;
        return RunToEnd(commandLine, NULL, &code) ? code : ~0u;
    }
    DWORD Install(const std::string& switches, const std::string& target) {
        return Run("\"" SETUP_PATH "\" /S " + switches + " /D=" + target);
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
    std::string exe = folder + "\\" SORVAGENTA_PROGRAM_FILE;
    std::string moved = Profile() + "\\Sorvagenta move test\\Sorvagenta";
    // Made by the installer, in a name outside the ANSI code page.
    std::string nestTop = Profile() + u8"\\Программы 用";
    std::string nested = nestTop + "\\Apps\\Nest\\Sorvagenta";
};

TEST_F(InstallTest, SilentInstallPutsFilesShortcutSignInAndAppsEntryInPlace) {
    // Into a folder of the user's, whose files are not the program's size.
    CreateDirectoryA(folder.substr(0, folder.rfind('\\')).c_str(), NULL);
    CreateDirectoryA(folder.c_str(), NULL);
    std::ofstream(folder + "\\photos.bin", std::ios::binary) << std::string(1 << 20, 'p');
    ASSERT_EQ(0u, Install(""));

    // The built files, version block and all.
    EXPECT_EQ(ReadFileBytes(ProgramPath()), ReadFileBytes(exe));
    EXPECT_EQ(ReadFileBytes(BuiltFolder() + SORVAGENTA_LIBRARY_FILE),
              ReadFileBytes(folder + "\\" SORVAGENTA_LIBRARY_FILE));
    EXPECT_TRUE(Exists(Shortcut()));

    EXPECT_EQ("\"" + exe + "\"", UserValue(kRunKey, "Sorvagenta"));

    EXPECT_EQ("Sorvagenta", UserValue(kAppsKey, "DisplayName"));
    EXPECT_EQ(SORVAGENTA_VERSION_TEXT, UserValue(kAppsKey, "DisplayVersion"));
    EXPECT_EQ("Brindlewox", UserValue(kAppsKey, "Publisher"));
    EXPECT_EQ(exe, UserValue(kAppsKey, "DisplayIcon"));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    std::string uninstaller = "\"" + folder + "\\" + kUninstaller + "\"";
    EXPECT_EQ(uninstaller, UserValue(kAppsKey, "UninstallString"));
    EXPECT_EQ(uninstaller + " /S", UserValue(kAppsKey, "QuietUninstallString"));
    size_t bytes = 0;
    for (const char* name : {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE, UNINSTALLER}) {
        bytes += ReadFileBytes(folder + "\\" + name).size();
    }
    EXPECT_EQ(std::to_string((bytes + 1023) / 1024), UserValue(kAppsKey, "EstimatedSize"));
    EXPECT_EQ("1", UserValue(kAppsKey, "NoModify"));
    EXPECT_EQ("1", UserValue(kAppsKey, "NoRepair"));
}

// Each is refused before anything is written, and the earlier install stays as it was.
TEST_F(InstallTest, AFolderOutsideTheProfileOrNotAUsableFolderIsRefused) {
    ASSERT_EQ(0u, Install(""));
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppsKey, "DisplayVersion", REG_SZ, "0.9", 4);
    DateLongAgo(exe);
    std::string tooLong = Profile();
    while (tooLong.size() < MAX_PATH) {
        tooLong += "\\Sorvagenta";
    }
    std::string outside = "C:\\Sorvagenta outside test\\Sorvagenta";
    // Beside the profile under a longer name; Linux's /proc through Wine's drive for /; a
    // file; a folder under a file; relative; a drive's root; the profile itself.
    for (const std::string& target :
         {outside, Profile() + "x\\Sorvagenta", std::string("Z:\\proc\\Sorvagenta"), exe,
          exe + "\\Sorvagenta", std::string("Sorvagenta"), std::string("C:\\"), Profile(),
          tooLong}) {
        EXPECT_NE(0u, Install("", target)) << target;
        EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation")) << target;
        EXPECT_EQ("0.9", UserValue(kAppsKey, "DisplayVersion")) << target;
        EXPECT_FALSE(WrittenSince(exe)) << target;
        DateLongAgo(exe);
    }
    EXPECT_FALSE(Exists(outside.substr(0, outside.rfind('\\'))));
    EXPECT_FALSE(Exists(Profile() + "x"));
    // The installer tool passes a /d= over: said, not installed somewhere else.
    EXPECT_NE(0u, Run("\"" SETUP_PATH "\" /S /d=" + moved));
    EXPECT_FALSE(Exists(moved));
    EXPECT_FALSE(WrittenSince(exe));
}

TEST_F(InstallTest, UpgradeEndsTheRunningCopyReplacesItsFilesAndStartsItAgain) {
    ASSERT_EQ(0u, Install(""));
    Program old;
    ASSERT_TRUE(StartProgramAndWaitForHost(&old, exe));
    DateLongAgo(exe);

    ASSERT_EQ(0u, Install("/NOSTARTUP"));

    DWORD exitCode = ~0u;
    EXPECT_TRUE(WaitForExit(&old, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(TaskbarSaw(kTrayDelete, old.host));
    EXPECT_TRUE(WrittenSince(exe)) << "not replaced";
    EXPECT_NE((HWND)NULL, WaitForOtherCopy(old.pid)) << "the program runs again";
    EXPECT_EQ(1u, ProcessesNamed(SORVAGENTA_PROGRAM_FILE).size());
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta")) << "/NOSTARTUP this time";
    CloseProgram(&old);
}

TEST_F(InstallTest, AnUpgradeThatCannotReplaceAFileStopsAndLeavesTheEarlierInstallWorking) {
    ASSERT_EQ(0u, Install(""));
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppsKey, "DisplayVersion", REG_SZ, "0.9", 4);
    DateLongAgo(exe);
    std::set<std::string> installed = FolderEntries(folder);
    // As a virus scanner or a preview may hold it: read, shared for reading only.
    HANDLE held = CreateFileA((folder + "\\" SORVAGENTA_LIBRARY_FILE).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    EXPECT_NE(0u, Install(""));
    CloseHandle(held);

    EXPECT_FALSE(WrittenSince(exe)) << "a mixed install";
    EXPECT_EQ(installed, FolderEntries(folder)) << "files left of the upgrade";
    EXPECT_EQ("0.9", UserValue(kAppsKey, "DisplayVersion"));
    Program program;
    EXPECT_TRUE(StartProgramAndWaitForHost(&program, exe));
    CloseProgram(&program);
}

// What a package manager runs over an install the user made their own: their folder, no
// sign-in entry, the shortcut deleted, and the entry's flag as Task Manager leaves it.
TEST_F(InstallTest, SilentUpgradeKeepsTheFolderAndTheOptionsTheUserLeft) {
    ASSERT_EQ(0u, Install("/NOSTARTUP"));
    ASSERT_TRUE(DeleteFileA(Shortcut().c_str()));
    DisableSignInInTaskManager();
    std::string dll = folder + "\\" SORVAGENTA_LIBRARY_FILE;
    ASSERT_TRUE(DeleteFileA(dll.c_str())) << "the upgrade must put it back";
    // The first version's uninstaller had the name other programs use.
    std::string earlier = folder + "\\Uninstall.exe";
    ASSERT_TRUE(CopyFileA((folder + "\\" + kUninstaller).c_str(), earlier.c_str(), FALSE));

    ASSERT_EQ(0u, Run("\"" SETUP_PATH "\" /S"));

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

    ASSERT_EQ(0u, Run("\"" SETUP_PATH "\" /S"));

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
    // Through Wine's drive for /, as another drive letter would on Windows: by its name
    // outside the profile, so refused.
    char prefix[MAX_PATH] = "";
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) > 0) {
        std::string throughRoot = "Z:" + std::string(prefix) + "\\drive_c" + folder.substr(2);
        std::replace(throughRoot.begin(), throughRoot.end(), '/', '\\');
        spellings.push_back(throughRoot);
    }
    spellings.push_back(parent + "\\x\\..\\Sorvagenta");

    for (const std::string& spelling : spellings) {
        DWORD expected = spelling[0] == 'Z' ? 2 : 0;
        ASSERT_EQ(expected, Install("", spelling)) << spelling;
        for (const char* name :
             {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE, kUninstaller.c_str()}) {
            EXPECT_TRUE(Exists(folder + "\\" + name)) << spelling << ": " << name;
        }
        // The entries name it in its one form.
        EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation")) << spelling;
        EXPECT_EQ("\"" + exe + "\"", UserValue(kRunKey, "Sorvagenta")) << spelling;
    }
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
    std::string foreignDll = folder + "\\" SORVAGENTA_LIBRARY_FILE;
    ASSERT_TRUE(CopyFileA(SystemFile("version.dll").c_str(), foreignDll.c_str(), FALSE));
    std::string theirDll = ReadFileBytes(foreignDll);
    ASSERT_EQ(0u, Install("", moved));

    EXPECT_EQ(theirs, ReadFileBytes(foreignUninstaller));
    EXPECT_EQ(theirDll, ReadFileBytes(foreignDll));
    EXPECT_FALSE(Exists(exe));
    EXPECT_FALSE(Exists(folder + "\\" + kUninstaller));

    // Earlier builds' DLL had no version block: beside our program it goes on a move.
    std::string earlierDll = moved + "\\" SORVAGENTA_LIBRARY_FILE;
    std::ofstream(earlierDll, std::ios::binary) << "an earlier build's DLL";
    ASSERT_EQ(0u, Install(""));
    EXPECT_FALSE(Exists(earlierDll));
}

TEST_F(InstallTest, InstallIntoAnotherFolderMovesTheInstallAndLeavesTheUsersFiles) {
    ASSERT_EQ(0u, Install(""));
    std::string own = folder + "\\my notes.txt";
    std::ofstream(own) << "mine";
    // The test files earlier versions named by process id, planted in the earlier folder.
    for (int pid = 0; pid < 16384; pid += 4) {
        std::ofstream(folder + "\\Sorvagenta-" + std::to_string(pid) + ".write-test");
    }
    Program old;
    ASSERT_TRUE(StartProgramAndWaitForHost(&old, exe));

    ASSERT_EQ(0u, Install("", moved));

    for (const char* name :
         {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE, kUninstaller.c_str()}) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
        EXPECT_TRUE(Exists(moved + "\\" + name)) << name;
    }
    EXPECT_EQ("mine", ReadFileBytes(own));
    std::string movedExe = moved + "\\" SORVAGENTA_PROGRAM_FILE;
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

    Run("\"" + stale + "\\" + kUninstaller + "\" /S");
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
    Run("\"" + folder + "\\" + kUninstaller + "\" /S");
    DWORD exitCode = ~0u;
    EXPECT_TRUE(WaitForExit(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(TaskbarSaw(kTrayDelete, program.host));
    EXPECT_TRUE(WaitUntil([&] { return UserValue(kAppsKey, "DisplayName") == "<none>"; }, 60000));
    for (const char* name :
         {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE, kUninstaller.c_str()}) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
    }
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ("<none>", UserValue(kApprovedKey, "Sorvagenta"));
    EXPECT_EQ("mine", ReadFileBytes(own));
    CloseProgram(&program);
}

// Running where the installers cannot see it (another desktop here; on Windows, another
// session), the program keeps its files: an upgrade stops with the install as it was, and
// the uninstaller, run in place so that its exit code is seen, keeps the Apps entry.
TEST_F(InstallTest, ACopyRunningOutOfSightStopsAnUpgradeAndAnUninstallWhichSaySo) {
    ASSERT_EQ(0u, Install(""));
    std::vector<DWORD> shells = ProcessesNamed("explorer.exe");
    const char desktopName[] = "Sorvagenta test desktop";
    HDESK desktop = CreateDesktopA(desktopName, NULL, NULL, 0, GENERIC_ALL, NULL);
    ASSERT_NE((HDESK)NULL, desktop);
    Program hidden;
    ASSERT_TRUE(StartProgram(&hidden, NULL, exe, desktopName));
    EXPECT_TRUE(WaitUntil([&] { return ProcessModules(hidden.pid).count("tamsprock.dll") > 0; }));
    std::set<std::string> installed = FolderEntries(folder);
    DateLongAgo(exe);
    EXPECT_NE(0u, Install(""));
    EXPECT_EQ(installed, FolderEntries(folder)) << "files left of the upgrade";
    EXPECT_FALSE(WrittenSince(exe));
    std::string uninstall = "\"" + folder + "\\" + kUninstaller + "\" /S _?=" + folder;

    EXPECT_NE(0u, Run(uninstall));
    EXPECT_TRUE(Exists(exe));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));

    KillProgram(&hidden);
    // That desktop's shell holds this test's output open: it goes with the desktop.
    for (DWORD pid : ProcessesNamed("explorer.exe")) {
        if (std::find(shells.begin(), shells.end(), pid) == shells.end()) {
            HANDLE shell = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
            TerminateProcess(shell, 0);
            CloseHandle(shell);
        }
    }
    CloseProgram(&hidden);
    CloseDesktop(desktop);
    EXPECT_EQ(0u, Run(uninstall)) << "tried again";
    EXPECT_EQ("<none>", UserValue(kAppsKey, "InstallLocation"));
}

// A shortcut and a sign-in entry of our name that no install made (say, for a portable copy).
TEST_F(InstallTest, TheUsersShortcutAndSignInEntryOfOurNameStayAsTheyAre) {
    ASSERT_TRUE(std::ofstream(Shortcut(), std::ios::binary) << "mine");
    std::string own = "\"" + Profile() + "\\Portable\\" SORVAGENTA_PROGRAM_FILE "\"";
    RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, "Sorvagenta", REG_SZ, own.c_str(),
                    (DWORD)own.size() + 1);
    for (const std::string step : {"the install", "an upgrade", "the uninstall"}) {
        if (step == "the uninstall") {
            Run("\"" + folder + "\\" + kUninstaller + "\" /S");
            ASSERT_TRUE(WaitForUninstaller(folder + "\\" + kUninstaller));
        } else {
            ASSERT_EQ(0u, Install("/NOSTARTUP")) << step;
        }
        EXPECT_EQ("mine", ReadFileBytes(Shortcut())) << step;
        EXPECT_EQ(own, UserValue(kRunKey, "Sorvagenta")) << step;
    }
}

TEST_F(InstallTest, UninstallRemovesTheFoldersTheInstallMadeAndItsShortcutUnderAnyName) {
    ASSERT_EQ(0u, Install("", nested));
    ASSERT_TRUE(Exists(Shortcut()));

    Run("\"" + nested + "\\" + kUninstaller + "\" /S");
    ASSERT_TRUE(WaitForUninstaller(nested + "\\" + kUninstaller));

    EXPECT_FALSE(Exists(nestTop));
    EXPECT_FALSE(Exists(Shortcut()));
}

// The build unpacks the zip into an empty folder.
TEST_F(InstallTest, PortableZipHoldsTheProgramItsDllAndReadmeAndRunsUnpacked) {
    std::set<std::string> expected = {".", "..", ZIP_FOLDER};
    EXPECT_EQ(expected, FolderEntries(UNPACKED_DIR));
    expected = {".", "..", "README.txt", SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE};
    EXPECT_EQ(expected, FolderEntries(UNPACKED_DIR "/" ZIP_FOLDER));

    Program program;
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, UNPACKED_DIR "/" ZIP_FOLDER
                                                                  "/" SORVAGENTA_PROGRAM_FILE));
    EXPECT_TRUE(WaitUntil([&] { return TaskbarSaw(kTrayAdd, program.host); }));
    DWORD exitCode = ~0u;
    EXPECT_TRUE(ExitProgram(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
    CloseProgram(&program);
}

} // namespace
