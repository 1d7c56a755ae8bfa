// The installer, uninstaller and portable zip worked as a user and a deployment script would.
// Each test starts and ends with nothing of ours installed: a sign-in entry left behind would
// start the program whenever the prefix boots.
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
const std::string kSetup = "\"" SETUP_PATH "\" /S";
const char* const kShipped[] = {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE, UNINSTALLER};

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, 0, path);
    return path;
}

std::string TempFolder() {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

std::string Parent(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
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
using Names = std::set<std::string>;
Names FolderEntries(const std::string& folder) {
    Names names;
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

// Writes a file of the user's, making its folders first.
void PutFile(const std::string& path, const std::string& bytes) {
    SHCreateDirectoryExA(NULL, Parent(path).c_str(), NULL);
    std::ofstream(path, std::ios::binary) << bytes;
}

// A value under HKCU as text (DWORDs in decimal, binary as its bytes), else "<none>".
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

// No installer or uninstaller holds the one-at-a-time mutex.
bool InstallersIdle() {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "SorvagentaSetup");
    CloseHandle(mutex);
    return mutex == NULL;
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
        CloseProgram(&program);
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
        for (const std::string& tree : {Parent(folder), Parent(moved), nestTop, defaultFolder}) {
            DeleteTree(tree);
        }
        DeleteFileA(shortcut.c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "Sorvagenta");
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kApprovedKey, "Sorvagenta");
        RegDeleteKeyA(HKEY_CURRENT_USER, kAppsKey);
    }

    // The installer's exit code; ~0u when it does not end.
    DWORD Run(const std::string& commandLine) {
        DWORD code = ~0u;
        return RunToEnd(commandLine, NULL, &code) ? code : ~0u;
    }
    // Into the test's folder unless told.
    DWORD Install(const std::string& switches = "", const std::string& target = "") {
        return Run(kSetup + " " + switches + " /D=" + (target.empty() ? folder : target));
    }

    // Silently. It goes on from a copy of itself: waits for its file to go, then for the mutex.
    bool Uninstall(const std::string& in) {
        std::string path = in + "\\" UNINSTALLER;
        Run(Quoted(path) + " /S");
        return WaitUntil([&] { return !Exists(path); }, 60000) && WaitUntil(InstallersIdle, 60000);
    }

    bool TaskbarSaw(DWORD code, HWND from) {
        std::vector<TrayMessage> seen = taskbar.Messages(from);
        return std::any_of(seen.begin(), seen.end(),
                           [&](const TrayMessage& m) { return m.code == code; });
    }

    // The program ends by itself, with no error, and takes its icon away.
    void ExpectProgramEndsCleanly() {
        DWORD exitCode = ~0u;
        EXPECT_TRUE(WaitForExit(&program, &exitCode));
        EXPECT_EQ(0u, exitCode);
        EXPECT_TRUE(TaskbarSaw(kTrayDelete, program.host));
    }

    // Waits for a copy other than the given process to show its icon.
    bool AnotherCopyRuns(DWORD notPid) {
        return WaitUntil([&] {
            for (HWND host : HostWindows()) {
                DWORD pid = 0;
                GetWindowThreadProcessId(host, &pid);
                if (pid != notPid && TaskbarSaw(kTrayAdd, host)) {
                    return true;
                }
            }
            return false;
        });
    }

    FakeTaskbar taskbar;
    Program program;
    const std::string profile = KnownFolder(CSIDL_PROFILE);
    const std::string folder = TempFolder() + "Sorvagenta install test\\Sorvagenta";
    const std::string exe = folder + "\\" SORVAGENTA_PROGRAM_FILE;
    const std::string dll = folder + "\\" SORVAGENTA_LIBRARY_FILE;
    const std::string uninstaller = folder + "\\" UNINSTALLER;
    const std::string notes = folder + "\\my notes.txt";
    const std::string moved = profile + "\\Sorvagenta move test\\Sorvagenta";
    // Made by the installer, in a name outside the ANSI code page.
    const std::string nestTop = profile + u8"\\Программы 用";
    const std::string nested = nestTop + "\\Apps\\Nest\\Sorvagenta";
    const std::string shortcut = KnownFolder(CSIDL_PROGRAMS) + "\\Sorvagenta.lnk";
    const std::string defaultFolder = KnownFolder(CSIDL_LOCAL_APPDATA) + "\\" INSTALL_FOLDER;
};

TEST_F(InstallTest, SilentInstallPutsFilesShortcutSignInAndAppsEntryInPlace) {
    // Into a folder of the user's, whose files are not the program's size.
    PutFile(folder + "\\photos.bin", std::string(1 << 20, 'p'));
    ASSERT_EQ(0u, Install());

    // The built files, version block and all.
    EXPECT_EQ(ReadFileBytes(ProgramPath()), ReadFileBytes(exe));
    EXPECT_EQ(ReadFileBytes(BuiltFolder() + SORVAGENTA_LIBRARY_FILE), ReadFileBytes(dll));
    EXPECT_TRUE(Exists(shortcut));
    EXPECT_EQ(Quoted(exe), UserValue(kRunKey, "Sorvagenta"));

    size_t bytes = 0;
    for (const char* name : kShipped) {
        bytes += ReadFileBytes(folder + "\\" + name).size();
    }
    EXPECT_EQ("Sorvagenta", UserValue(kAppsKey, "DisplayName"));
    EXPECT_EQ(SORVAGENTA_VERSION_TEXT, UserValue(kAppsKey, "DisplayVersion"));
    EXPECT_EQ("Brindlewox", UserValue(kAppsKey, "Publisher"));
    EXPECT_EQ(exe, UserValue(kAppsKey, "DisplayIcon"));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_EQ(Quoted(uninstaller), UserValue(kAppsKey, "UninstallString"));
    EXPECT_EQ(Quoted(uninstaller) + " /S", UserValue(kAppsKey, "QuietUninstallString"));
    EXPECT_EQ(std::to_string((bytes + 1023) / 1024), UserValue(kAppsKey, "EstimatedSize"));
    EXPECT_EQ("1", UserValue(kAppsKey, "NoModify"));
    EXPECT_EQ("1", UserValue(kAppsKey, "NoRepair"));
}

// Each is refused before anything is written, and the earlier install stays as it was.
TEST_F(InstallTest, AFolderOutsideTheProfileOrNotAUsableFolderIsRefused) {
    ASSERT_EQ(0u, Install());
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppsKey, "DisplayVersion", REG_SZ, "0.9", 4);
    DateLongAgo(exe);
    std::string tooLong = profile;
    while (tooLong.size() < MAX_PATH) {
        tooLong += "\\Sorvagenta";
    }
    std::string outside = "C:\\Sorvagenta outside test\\Sorvagenta";
    // Beside the profile under a longer name; Linux's /proc through Wine's drive for /; a
    // file; a folder under a file; relative; a drive's root; the profile itself.
    for (const std::string& target :
         {outside, profile + "x\\Sorvagenta", std::string("Z:\\proc\\Sorvagenta"), exe,
          exe + "\\Sorvagenta", std::string("Sorvagenta"), std::string("C:\\"), profile, tooLong}) {
        EXPECT_NE(0u, Install("", target)) << target;
        EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation")) << target;
        EXPECT_EQ("0.9", UserValue(kAppsKey, "DisplayVersion")) << target;
        EXPECT_FALSE(WrittenSince(exe)) << target;
        DateLongAgo(exe);
    }
    EXPECT_FALSE(Exists(Parent(outside)));
    EXPECT_FALSE(Exists(profile + "x"));
    // The installer tool passes a /d= over: said, not installed somewhere else.
    EXPECT_NE(0u, Run(kSetup + " /d=" + moved));
    EXPECT_FALSE(Exists(moved));
    EXPECT_FALSE(WrittenSince(exe));
}

TEST_F(InstallTest, UpgradeEndsTheRunningCopyReplacesItsFilesAndStartsItAgain) {
    ASSERT_EQ(0u, Install());
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, exe));
    DateLongAgo(exe);

    ASSERT_EQ(0u, Install("/NOSTARTUP"));

    ExpectProgramEndsCleanly();
    EXPECT_TRUE(WrittenSince(exe)) << "not replaced";
    EXPECT_TRUE(AnotherCopyRuns(program.pid)) << "the program runs again";
    EXPECT_EQ(1u, ProcessesNamed(SORVAGENTA_PROGRAM_FILE).size());
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta")) << "/NOSTARTUP this time";
}

TEST_F(InstallTest, AnUpgradeThatCannotReplaceAFileStopsAndLeavesTheEarlierInstallWorking) {
    ASSERT_EQ(0u, Install());
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppsKey, "DisplayVersion", REG_SZ, "0.9", 4);
    DateLongAgo(exe);
    Names installed = FolderEntries(folder);
    // As a virus scanner or a preview may hold it: read, shared for reading only.
    HANDLE held =
        CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    EXPECT_NE(0u, Install());
    CloseHandle(held);

    EXPECT_FALSE(WrittenSince(exe)) << "a mixed install";
    EXPECT_EQ(installed, FolderEntries(folder)) << "files left of the upgrade";
    EXPECT_EQ("0.9", UserValue(kAppsKey, "DisplayVersion"));
    EXPECT_TRUE(StartProgramAndWaitForHost(&program, exe));
}

// What a package manager runs over an install the user made their own: their folder, no
// sign-in entry, the shortcut deleted, and the entry's flag as Task Manager leaves it.
TEST_F(InstallTest, SilentUpgradeKeepsTheFolderAndTheOptionsTheUserLeft) {
    ASSERT_EQ(0u, Install("/NOSTARTUP"));
    ASSERT_TRUE(DeleteFileA(shortcut.c_str()));
    DisableSignInInTaskManager();
    ASSERT_TRUE(DeleteFileA(dll.c_str())) << "the upgrade must put it back";
    // The first version's uninstaller had the name other programs use.
    std::string earlier = folder + "\\Uninstall.exe";
    ASSERT_TRUE(CopyFileA(uninstaller.c_str(), earlier.c_str(), FALSE));

    ASSERT_EQ(0u, Run(kSetup));

    EXPECT_TRUE(Exists(dll));
    EXPECT_FALSE(Exists(earlier)) << "an earlier uninstaller of ours";
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_FALSE(Exists(defaultFolder));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_EQ(kDisabled, UserValue(kApprovedKey, "Sorvagenta"));
}

TEST_F(InstallTest, PlainUpgradeKeepsASignInEntryDisabledInTaskManager) {
    ASSERT_EQ(0u, Install());
    DisableSignInInTaskManager();

    ASSERT_EQ(0u, Run(kSetup));

    EXPECT_EQ(Quoted(exe), UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ(kDisabled, UserValue(kApprovedKey, "Sorvagenta"));
}

// Each names the installed folder: taken for another, the install would move out of itself.
TEST_F(InstallTest, ReinstallUnderAnotherSpellingOfItsFolderKeepsTheInstall) {
    ASSERT_EQ(0u, Install());
    std::vector<std::string> spellings = {folder + ".", Parent(folder) + "\\.\\Sorvagenta",
                                          "\\\\?\\" + folder};
    // Through Wine's drive for /, as another drive on Windows: outside the profile, so refused.
    char prefix[MAX_PATH] = "";
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) > 0) {
        std::string throughRoot = "Z:" + std::string(prefix) + "\\drive_c" + folder.substr(2);
        std::replace(throughRoot.begin(), throughRoot.end(), '/', '\\');
        spellings.push_back(throughRoot);
    }
    spellings.push_back(Parent(folder) + "\\x\\..\\Sorvagenta");

    for (const std::string& spelling : spellings) {
        ASSERT_EQ(spelling[0] == 'Z' ? 2u : 0u, Install("", spelling)) << spelling;
        for (const char* name : kShipped) {
            EXPECT_TRUE(Exists(folder + "\\" + name)) << spelling << ": " << name;
        }
        // The entries name it in its one form.
        EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation")) << spelling;
        EXPECT_EQ(Quoted(exe), UserValue(kRunKey, "Sorvagenta")) << spelling;
    }
}

// Files of our names that are not ours stay through an install and a move; ours go.
TEST_F(InstallTest, OnlyOurFilesAreReplacedOrDeletedByAMove) {
    const std::string theirs = "another program's file";
    std::string foreignUninstaller = folder + "\\Uninstall.exe";
    PutFile(foreignUninstaller, theirs);

    ASSERT_EQ(0u, Install());
    EXPECT_EQ(theirs, ReadFileBytes(foreignUninstaller));
    // A DLL of that name with a version block of its own.
    std::string systemDll = KnownFolder(CSIDL_SYSTEM) + "\\version.dll";
    ASSERT_TRUE(CopyFileA(systemDll.c_str(), dll.c_str(), FALSE));
    std::string theirDll = ReadFileBytes(dll);
    ASSERT_EQ(0u, Install("", moved));

    EXPECT_EQ(theirs, ReadFileBytes(foreignUninstaller));
    EXPECT_EQ(theirDll, ReadFileBytes(dll));
    EXPECT_FALSE(Exists(exe));
    EXPECT_FALSE(Exists(uninstaller));

    // Earlier builds' DLL had no version block: beside our program it goes on a move.
    std::string earlierDll = moved + "\\" SORVAGENTA_LIBRARY_FILE;
    PutFile(earlierDll, "an earlier build's DLL");
    ASSERT_EQ(0u, Install());
    EXPECT_FALSE(Exists(earlierDll));
}

TEST_F(InstallTest, InstallIntoAnotherFolderMovesTheInstallAndLeavesTheUsersFiles) {
    ASSERT_EQ(0u, Install());
    PutFile(notes, "mine");
    // The test files earlier versions named by process id, planted in the earlier folder.
    for (int pid = 0; pid < 16384; pid += 4) {
        std::ofstream(folder + "\\Sorvagenta-" + std::to_string(pid) + ".write-test");
    }
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, exe));

    ASSERT_EQ(0u, Install("", moved));

    for (const char* name : kShipped) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
        EXPECT_TRUE(Exists(moved + "\\" + name)) << name;
    }
    EXPECT_EQ("mine", ReadFileBytes(notes));
    std::string movedExe = moved + "\\" SORVAGENTA_PROGRAM_FILE;
    EXPECT_EQ(moved, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_EQ(Quoted(movedExe), UserValue(kRunKey, "Sorvagenta"));
    EXPECT_NE(std::string::npos, ReadFileBytes(shortcut).find(movedExe)) << "shortcut target";
    EXPECT_TRUE(WaitForExit(&program, NULL));
    EXPECT_TRUE(AnotherCopyRuns(program.pid)) << "the program runs again";
}

TEST_F(InstallTest, StaleUninstallerElsewhereLeavesTheLiveInstallAlone) {
    ASSERT_EQ(0u, Install());
    DisableSignInInTaskManager();
    std::string stale = folder + " (old copy)";
    CreateDirectoryA(stale.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(uninstaller.c_str(), (stale + "\\" UNINSTALLER).c_str(), FALSE));
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, exe));

    ASSERT_TRUE(Uninstall(stale));

    EXPECT_TRUE(Exists(exe));
    EXPECT_TRUE(Exists(shortcut));
    EXPECT_EQ(Quoted(exe), UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ(kDisabled, UserValue(kApprovedKey, "Sorvagenta"));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(program.process, 0))
        << "the live copy runs on";
}

TEST_F(InstallTest, SilentUninstallEndsTheProgramAndRemovesAllButTheUsersFiles) {
    ASSERT_EQ(0u, Install());
    ASSERT_TRUE(StartProgramAndWaitForHost(&program, exe));
    PutFile(notes, "mine");
    DisableSignInInTaskManager();

    // The uninstaller goes on from a copy of itself: wait for its effects.
    Run(Quoted(uninstaller) + " /S");
    ExpectProgramEndsCleanly();
    EXPECT_TRUE(WaitUntil([&] { return UserValue(kAppsKey, "DisplayName") == "<none>"; }, 60000));
    for (const char* name : kShipped) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
    }
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_EQ("<none>", UserValue(kRunKey, "Sorvagenta"));
    EXPECT_EQ("<none>", UserValue(kApprovedKey, "Sorvagenta"));
    EXPECT_EQ("mine", ReadFileBytes(notes));
}

// A copy the installers cannot see (another desktop; on Windows, session) keeps its files: the
// upgrade stops, and the uninstaller, run in place for its exit code, keeps the Apps entry.
TEST_F(InstallTest, ACopyRunningOutOfSightStopsAnUpgradeAndAnUninstallWhichSaySo) {
    ASSERT_EQ(0u, Install());
    std::vector<DWORD> shells = ProcessesNamed("explorer.exe");
    const char desktopName[] = "Sorvagenta test desktop";
    HDESK desktop = CreateDesktopA(desktopName, NULL, NULL, 0, GENERIC_ALL, NULL);
    ASSERT_NE((HDESK)NULL, desktop);
    ASSERT_TRUE(StartProgram(&program, NULL, exe, desktopName));
    EXPECT_TRUE(WaitUntil([&] { return ProcessModules(program.pid).count("tamsprock.dll") > 0; }));
    Names installed = FolderEntries(folder);
    DateLongAgo(exe);
    EXPECT_NE(0u, Install());
    EXPECT_EQ(installed, FolderEntries(folder)) << "files left of the upgrade";
    EXPECT_FALSE(WrittenSince(exe));
    std::string uninstall = Quoted(uninstaller) + " /S _?=" + folder;

    EXPECT_NE(0u, Run(uninstall));
    EXPECT_TRUE(Exists(exe));
    EXPECT_EQ(folder, UserValue(kAppsKey, "InstallLocation"));

    KillProgram(&program);
    // That desktop's shell holds this test's output open: it goes with the desktop.
    for (DWORD pid : ProcessesNamed("explorer.exe")) {
        if (std::find(shells.begin(), shells.end(), pid) == shells.end()) {
            HANDLE shell = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
            TerminateProcess(shell, 0);
            CloseHandle(shell);
        }
    }
    CloseProgram(&program);
    CloseDesktop(desktop);
    EXPECT_EQ(0u, Run(uninstall)) << "tried again";
    EXPECT_EQ("<none>", UserValue(kAppsKey, "InstallLocation"));
}

// A shortcut and a sign-in entry of our name that no install made (say, for a portable copy).
TEST_F(InstallTest, TheUsersShortcutAndSignInEntryOfOurNameStayAsTheyAre) {
    ASSERT_TRUE(std::ofstream(shortcut, std::ios::binary) << "mine");
    std::string own = Quoted(profile + "\\Portable\\" SORVAGENTA_PROGRAM_FILE);
    RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, "Sorvagenta", REG_SZ, own.c_str(),
                    (DWORD)own.size() + 1);
    for (const std::string step : {"the install", "an upgrade", "the uninstall"}) {
        if (step == "the uninstall") {
            ASSERT_TRUE(Uninstall(folder));
        } else {
            ASSERT_EQ(0u, Install("/NOSTARTUP")) << step;
        }
        EXPECT_EQ("mine", ReadFileBytes(shortcut)) << step;
        EXPECT_EQ(own, UserValue(kRunKey, "Sorvagenta")) << step;
    }
}

TEST_F(InstallTest, UninstallRemovesTheFoldersTheInstallMadeAndItsShortcutUnderAnyName) {
    ASSERT_EQ(0u, Install("", nested));
    ASSERT_TRUE(Exists(shortcut));

    ASSERT_TRUE(Uninstall(nested));

    EXPECT_FALSE(Exists(nestTop));
    EXPECT_FALSE(Exists(shortcut));
}

// The build unpacks the zip into an empty folder.
TEST_F(InstallTest, PortableZipHoldsTheProgramItsDllAndReadmeAndRunsUnpacked) {
    const std::string unpacked = UNPACKED_DIR "/" ZIP_FOLDER;
    EXPECT_EQ((Names{".", "..", ZIP_FOLDER}), FolderEntries(UNPACKED_DIR));
    EXPECT_EQ((Names{".", "..", "README.txt", SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE}),
              FolderEntries(unpacked));

    ASSERT_TRUE(StartProgramAndWaitForHost(&program, unpacked + "/" SORVAGENTA_PROGRAM_FILE));
    EXPECT_TRUE(WaitUntil([&] { return TaskbarSaw(kTrayAdd, program.host); }));
    DWORD exitCode = ~0u;
    EXPECT_TRUE(ExitProgram(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

} // namespace
