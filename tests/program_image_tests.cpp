// The built program and its library as the loader maps them: hardening flags, the libraries
// they import, and the stack guard built into them.
#include <string.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "product.h"
#include "support/program_test.h"

namespace {

// The built file mapped as the loader maps an image, with nothing run or resolved.
class MappedImage {
  public:
    explicit MappedImage(const std::string& path)
        : module_(LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~MappedImage() {
        if (module_) {
            FreeLibrary(module_);
        }
    }
    // The handle's low bits tell the kind of mapping; the rest is the image's base.
    const char* At(DWORD rva) const {
        return (const char*)((ULONG_PTR)module_ & ~(ULONG_PTR)3) + rva;
    }
    const IMAGE_NT_HEADERS64* Headers() const {
        return module_ ? (const IMAGE_NT_HEADERS64*)At(((const IMAGE_DOS_HEADER*)At(0))->e_lfanew)
                       : NULL;
    }

  private:
    HMODULE module_;
};

// The names in a 64-bit image's import directory, upper case.
std::set<std::string> ImportedModules(const std::string& path) {
    MappedImage image(path);
    std::set<std::string> names;
    if (!image.Headers()) {
        return names;
    }
    DWORD directory =
        image.Headers()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto entry = (const IMAGE_IMPORT_DESCRIPTOR*)image.At(directory);
         directory != 0 && entry->Name != 0; ++entry) {
        std::string text = image.At(entry->Name);
        CharUpperBuffA(&text[0], (DWORD)text.size());
        names.insert(text);
    }
    return names;
}

bool IsRuntimeLibrary(const std::string& name) {
    return name == "MSVCRT.DLL" || name == "UCRTBASE.DLL" ||
           name.compare(0, 15, "API-MS-WIN-CRT-") == 0 || name.compare(0, 9, "VCRUNTIME") == 0 ||
           name.compare(0, 5, "MSVCP") == 0;
}

// The C runtime a build imports, by the toolchain that made it: MinGW-w64's msvcrt.dll or
// UCRT set, nothing for MSVC's static runtime, ucrtbase.dll for the MSVC-style check build
// (SORVAGENTA_PROGRAM_RUNTIME names it when the program is not the tests' own build).
std::string ProgramRuntime() {
    char named[32] = "";
    GetEnvironmentVariableA("SORVAGENTA_PROGRAM_RUNTIME", named, sizeof named);
#if defined(_MSC_VER) && !defined(__clang__)
    return *named ? named : "static";
#elif defined(_UCRT)
    return *named ? named : "ucrt";
#else
    return *named ? named : "msvcrt";
#endif
}

bool LinkedByMsvc() {
    return ProgramRuntime() == "static" || ProgramRuntime() == "ucrtbase";
}

void ExpectRuntime(const std::set<std::string>& runtime, const std::string& module) {
    std::string kind = ProgramRuntime();
    if (kind == "ucrt") {
        EXPECT_FALSE(runtime.empty()) << module;
        for (const std::string& name : runtime) {
            EXPECT_EQ(0, name.compare(0, 15, "API-MS-WIN-CRT-")) << module << ": " << name;
        }
    } else if (kind == "static") {
        EXPECT_EQ(std::set<std::string>(), runtime) << module;
    } else {
        EXPECT_EQ(std::set<std::string>({kind == "ucrtbase" ? "UCRTBASE.DLL" : "MSVCRT.DLL"}),
                  runtime)
            << module;
    }
}

// The extended flags of an image's debug directory (IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS).
DWORD ExtendedFlags(const MappedImage& image) {
    const IMAGE_DATA_DIRECTORY& directory =
        image.Headers()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DEBUG];
    auto entry = (const IMAGE_DEBUG_DIRECTORY*)image.At(directory.VirtualAddress);
    for (DWORD i = 0; directory.VirtualAddress && i < directory.Size / sizeof *entry; ++i) {
        if (entry[i].Type == 20 && entry[i].SizeOfData >= 4 && entry[i].AddressOfRawData) {
            return *(const DWORD*)image.At(entry[i].AddressOfRawData);
        }
    }
    return 0;
}

// The loader flags the program and its library are linked with; an MSVC linker's build also
// marks control-flow guard and CET shadow-stack compatibility.
TEST(ProgramImage, IsHardened) {
    for (const char* file : {SORVAGENTA_PROGRAM_FILE, SORVAGENTA_LIBRARY_FILE}) {
        MappedImage image(driver::ProgramFolder() + file);
        ASSERT_TRUE(image.Headers() != NULL) << file;
        WORD flags = image.Headers()->OptionalHeader.DllCharacteristics;
        WORD hardened = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                        IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                        IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
        if (strcmp(file, SORVAGENTA_PROGRAM_FILE) == 0) {
            hardened |= IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE; // a program's flag
        }
        if (LinkedByMsvc()) {
            hardened |= IMAGE_DLLCHARACTERISTICS_GUARD_CF;
            EXPECT_EQ(1u, ExtendedFlags(image) & 1) << file << ": CET compatible";
        }
        EXPECT_EQ(hardened, flags & hardened) << file;
    }
}

// Only the libraries the README lists, and the toolchain's C runtime: nothing the crypto
// provider needs, no ADVAPI32 among them.
TEST(ProgramImage, ImportsOnlyTheListedSystemLibrariesAndItsToolchainsRuntime) {
    const struct {
        const char* file;
        std::set<std::string> system;
    } modules[] = {
        {SORVAGENTA_PROGRAM_FILE,
         {"GDI32.DLL", "KERNEL32.DLL", "SHELL32.DLL", "TAMSPROCK.DLL", "USER32.DLL"}},
        {SORVAGENTA_LIBRARY_FILE, {"KERNEL32.DLL", "USER32.DLL"}},
    };
    for (const auto& module : modules) {
        std::set<std::string> system, runtime;
        for (const std::string& name : ImportedModules(driver::ProgramFolder() + module.file)) {
            (IsRuntimeLibrary(name) ? runtime : system).insert(name);
        }
        EXPECT_EQ(module.system, system) << module.file;
        ExpectRuntime(runtime, module.file);
    }
}

// The program's guard linked into a probe: a smashed stack ends it as the system's fail-fast
// does, and every run has a canary of its own. The probe beside the program is built by the
// same toolchain: MinGW's canary and our guard, or MSVC's /GS cookie and its check.
TEST(StackGuard, ASmashedStackEndsTheProcessAndTheCanaryDiffersRunToRun) {
    std::string probe = "\"" + driver::ProgramFolder() + "stack_guard_probe.exe\"";
    std::string output;
    DWORD code = 0;
    ASSERT_TRUE(driver::RunToEnd(probe + " smash", &output, &code)) << probe;
    EXPECT_EQ(0xC0000409u, code) << output;
    std::string canaries[2];
    for (std::string& canary : canaries) {
        ASSERT_TRUE(driver::RunToEnd(probe + " guard", &canary, &code));
        EXPECT_EQ(0u, code);
        // "<canary> ours" where our own code seeds it, "<canary> runtime" where MSVC's does.
        bool ours = canary.find(" ours") != std::string::npos;
        canary = canary.substr(0, canary.find_first_of(" \r\n"));
        EXPECT_EQ(16u, canary.size()) << canary;
        if (ours) {
            EXPECT_EQ("00", canary.substr(14)) << "a zero low byte";
        }
        EXPECT_NE("00002b992ddfa232", canary) << "still the value before seeding";
    }
    EXPECT_NE(canaries[0], canaries[1]);
}

} // namespace
