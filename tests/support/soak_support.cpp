#include "support/soak_support.h"

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <winternl.h>

#include <algorithm>
#include <map>
#include <set>

namespace driver {

int SoakCount(int reduced, int full) {
    const char* mode = getenv("SORVAGENTA_SOAK");
    return mode && strcmp(mode, "full") == 0 ? full : reduced;
}

namespace {

typedef NTSTATUS(NTAPI* QueryProcessInformation)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
typedef NTSTATUS(NTAPI* QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);

template <typename Function> Function NtdllFunction(const char* name) {
    return (Function)(void (*)(void))GetProcAddress(GetModuleHandleA("ntdll.dll"), name);
}

const ULONG kSystemHandleInformation = 16;
const NTSTATUS kInfoLengthMismatch = (NTSTATUS)0xC0000004L;

// One entry of the system handle list as Wine lays it out.
struct SystemHandleEntry {
    ULONG ownerPid;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ULONG access;
};

// Wine 8 answers GetProcessHandleCount with 0; its system handle list is right.
DWORD CountHandlesInSystemList(DWORD pid) {
    auto query = NtdllFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (!query) {
        return 0;
    }
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = query(kSystemHandleInformation, buffer.data(), (ULONG)buffer.size(),
                           &needed)) == kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return 0;
    }
    const SystemHandleEntry* entries =
        (const SystemHandleEntry*)(buffer.data() + sizeof(ULONG_PTR));
    return (DWORD)std::count_if(
        entries, entries + *(const ULONG*)buffer.data(),
        [&](const SystemHandleEntry& entry) { return entry.ownerPid == pid; });
}

// The GDI handle table as Wine keeps it in each process, found through the PEB.
struct GdiHandleEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique; // its bit 7 marks a stock object
    UCHAR type;    // 0: free
    UCHAR flags;
    UINT64 userPointer;
};
const size_t kGdiHandleCount = 0x10000;
const size_t kPebGdiSharedHandleTable = 0xF8; // 64-bit PEB

const char* GdiKindName(int kind) {
    static const std::map<int, const char*> names = {
        {0x01, "DC"},    {0x04, "region"}, {0x08, "palette"}, {0x09, "bitmap"},   {0x0a, "font"},
        {0x10, "brush"}, {0x30, "pen"},    {0x50, "pen"},     {0x41, "memory DC"}};
    auto name = names.find(kind);
    return name == names.end() ? "other" : name->second;
}

// Wine 8's GetGuiResources is a stub (0, ERROR_CALL_NOT_IMPLEMENTED); its GDI handle
// table, read from the process's memory, holds every live object.
DWORD CountGdiTableEntries(HANDLE process, std::string* kinds, DWORD* deviceContexts) {
    auto query = NtdllFunction<QueryProcessInformation>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG got = 0;
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, &got) != 0) {
        return 0;
    }
    ULONG_PTR table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, (const char*)basic.PebBaseAddress + kPebGdiSharedHandleTable,
                           &table, sizeof table, &read) ||
        !table) {
        return 0;
    }
    std::vector<GdiHandleEntry> entries(kGdiHandleCount);
    if (!ReadProcessMemory(process, (const void*)table, entries.data(),
                           entries.size() * sizeof(GdiHandleEntry), &read)) {
        return 0;
    }
    DWORD live = 0;
    std::map<std::string, int> byKind;
    for (size_t i = 0; i < read / sizeof(GdiHandleEntry); ++i) {
        if (entries[i].type != 0 && !(entries[i].unique & 0x80)) {
            ++live;
            ++byKind[GdiKindName(entries[i].unique & 0x7F)];
        }
    }
    for (const auto& kind : byKind) {
        *kinds += (kinds->empty() ? "" : ", ") + kind.first + " " + std::to_string(kind.second);
    }
    *deviceContexts = byKind["DC"];
    return live;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*(DWORD*)count;
    return TRUE;
}

// Windows are the USER objects a leak would pile up; menus and icons cannot be counted from
// another process under Wine.
DWORD CountProcessWindows(DWORD pid) {
    std::vector<HWND> windows = ProcessWindows(pid);
    for (HWND hidden = FindWindowExA(HWND_MESSAGE, NULL, NULL, NULL); hidden;
         hidden = FindWindowExA(HWND_MESSAGE, hidden, NULL, NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hidden, &owner);
        if (owner == pid) {
            windows.push_back(hidden);
        }
    }
    DWORD count = (DWORD)windows.size();
    for (HWND window : windows) {
        EnumChildWindows(window, CountWindow, (LPARAM)&count);
    }
    return count;
}

// Wine's window DC cache: a cached DC is made whenever none is free and unbound, until the
// cache holds 64; each comes with a visible region and an attribute object.
const DWORD kWineCachedDCs = 64;
const int kObjectsPerCachedDC = 3;
// System-colour brushes, made the first time each colour is asked for.
const int kWineColourBrushes = 4;

// What the DC cache may have added between two measurements.
int CachedDCObjects(const ProcessFigures& from, const ProcessFigures& to) {
    DWORD reached = std::min(to.deviceContexts, kWineCachedDCs);
    return reached > from.deviceContexts
               ? kObjectsPerCachedDC * (int)(reached - from.deviceContexts)
               : 0;
}

// Distinct pictures the taskbar has been sent by that window.
size_t DistinctPictures(const FakeTaskbar& taskbar, HWND from) {
    std::set<std::vector<unsigned char>> pictures;
    for (const TrayMessage& m : taskbar.Messages(from)) {
        if (m.hasIcon) {
            pictures.insert(ReceivedIconBits(m));
        }
    }
    return pictures.size();
}

} // namespace

ProcessFigures MeasureProcess(DWORD pid) {
    ProcessFigures figures;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        return figures;
    }
    // Each figure from the usual interface, or where that answers 0, from what Wine keeps.
    auto take = [&](const char* figure, unsigned long long usual, const char* usualSource,
                    const std::function<unsigned long long()>& fallback,
                    const char* fallbackSource) {
        figures.sources += std::string(figures.sources.empty() ? "" : ", ") + figure + ": " +
                           (usual ? usualSource : fallbackSource);
        return usual ? usual : fallback();
    };
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    figures.handles = (DWORD)take(
        "handles", handles, "GetProcessHandleCount", [&] { return CountHandlesInSystemList(pid); },
        "system handle list");
    figures.gdiObjects = (DWORD)take(
        "GDI", GetGuiResources(process, GR_GDIOBJECTS), "GetGuiResources",
        [&] { return CountGdiTableEntries(process, &figures.gdiKinds, &figures.deviceContexts); },
        "handle table");
    figures.userObjects = (DWORD)take(
        "USER", GetGuiResources(process, GR_USEROBJECTS), "GetGuiResources",
        [&] { return CountProcessWindows(pid); }, "windows");
    figures.threads = (DWORD)ProcessThreads(pid).size();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS*)&memory, sizeof memory);
    // Wine 8 leaves PrivateUsage 0; its PagefileUsage is the anonymous resident memory plus
    // swap, which is what a leak grows.
    figures.privateBytes = take(
        "private", memory.PrivateUsage, "PrivateUsage", [&] { return memory.PagefileUsage; },
        "PagefileUsage");
    CloseHandle(process);
    return figures;
}

testing::AssertionResult StaysFlat(const ProcessFigures& before, const ProcessFigures& after,
                                   const FigureAllowance& allowance) {
    std::string grown;
    auto check = [&](const char* name, long long was, long long is, long long allowed) {
        if (is - was > allowed) {
            char line[128];
            snprintf(line, sizeof line, " %s %lld -> %lld (allowed +%lld);", name, was, is,
                     allowed);
            grown += line;
        }
    };
    check("handles", before.handles, after.handles, allowance.handles);
    check("GDI", before.gdiObjects, after.gdiObjects, allowance.gdiObjects);
    check("USER", before.userObjects, after.userObjects, allowance.userObjects);
    check("threads", before.threads, after.threads, allowance.threads);
    check("private bytes", (long long)before.privateBytes, (long long)after.privateBytes,
          allowance.privateBytes);
    if (after.handles == 0 || after.threads == 0) {
        return testing::AssertionFailure() << "the process could not be measured";
    }
    if (!grown.empty()) {
        return testing::AssertionFailure() << "grew:" << grown;
    }
    return testing::AssertionSuccess();
}

ProcessFigures MeasureSettled(DWORD pid, const ProcessFigures& before,
                              const std::function<FigureAllowance()>& allowance, DWORD timeoutMs) {
    ProcessFigures after;
    WaitUntil(
        [&] {
            FigureAllowance allowed = allowance();
            after = MeasureProcess(pid);
            return (bool)StaysFlat(before, after, allowed);
        },
        timeoutMs);
    return after;
}

FigureAllowance WithNewPictures(FigureAllowance allowance, size_t picturesBefore,
                                size_t picturesAfter) {
    allowance.gdiObjects += 2 * (int)(picturesAfter - picturesBefore);
    return allowance;
}

void ReportFigures(const char* run, int count, const ProcessFigures& before,
                   const ProcessFigures& after) {
    auto describe = [](const char* when, const ProcessFigures& f) {
        printf("[ figures  ]   %s handles %lu, GDI %lu, USER %lu, threads %lu, private %.2f MB\n",
               when, (unsigned long)f.handles, (unsigned long)f.gdiObjects,
               (unsigned long)f.userObjects, (unsigned long)f.threads, f.privateBytes / 1048576.0);
    };
    printf("[ figures  ] %s x%d\n", run, count);
    describe("before:", before);
    describe("after: ", after);
    if (!before.gdiKinds.empty()) {
        printf("[ figures  ]   GDI before: %s\n", before.gdiKinds.c_str());
        printf("[ figures  ]   GDI after:  %s\n", after.gdiKinds.c_str());
    }
    printf("[ figures  ]   (%s)\n", after.sources.c_str());
    fflush(stdout);
}

std::vector<unsigned char> ReceivedIconBits(const TrayMessage& message) {
    std::vector<unsigned char> bits = message.iconMask;
    bits.insert(bits.end(), message.iconColour.begin(), message.iconColour.end());
    return bits;
}

testing::AssertionResult RunsFlatInTwoHalves(const char* run, int count, DWORD pid,
                                             const FakeTaskbar& taskbar, HWND host,
                                             const FigureAllowance& allowance,
                                             const std::function<std::string(int)>& step) {
    ProcessFigures before = MeasureProcess(pid), middle;
    size_t picturesBefore = DistinctPictures(taskbar, host), picturesMiddle = 0;
    for (int i = 0; i < count; ++i) {
        if (i == count / 2) {
            middle = MeasureProcess(pid);
            picturesMiddle = DistinctPictures(taskbar, host);
        }
        std::string fault = step(i);
        if (!fault.empty()) {
            return testing::AssertionFailure() << run << " " << i << ": " << fault;
        }
    }
    size_t picturesAfter = 0;
    FigureAllowance secondHalf = allowance;
    ProcessFigures after = MeasureSettled(pid, middle, [&] {
        picturesAfter = DistinctPictures(taskbar, host);
        return secondHalf = WithNewPictures(allowance, picturesMiddle, picturesAfter);
    });
    secondHalf.gdiObjects += CachedDCObjects(middle, after);
    FigureAllowance whole = WithNewPictures(allowance, picturesBefore, picturesAfter);
    whole.gdiObjects += CachedDCObjects(before, after) + kWineColourBrushes;
    ReportFigures((std::string(run) + ", first half").c_str(), count / 2, before, middle);
    ReportFigures((std::string(run) + ", second half").c_str(), count - count / 2, middle, after);
    testing::AssertionResult flat = StaysFlat(middle, after, secondHalf);
    if (!flat) {
        return testing::AssertionFailure() << "second half " << flat.message();
    }
    flat = StaysFlat(before, after, whole);
    if (!flat) {
        return testing::AssertionFailure() << "whole run " << flat.message();
    }
    return testing::AssertionSuccess();
}

std::string DialogSoakTest::WaitUntilClosed(HWND dialog, const std::string& what) {
    if (!WaitForWindowGone(dialog, 30000)) {
        return what + " did not close";
    }
    if (!WaitUntil([&] { return IsWindowEnabled(program.host) != FALSE; })) {
        return "the host window stayed disabled after " + what;
    }
    return std::string();
}

} // namespace driver
