// The version block of the built Sorvagenta.exe, read back with the version API and walked
// node by node as it is stored.
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/icon_images.h"
#include "support/program_test.h"
#include "version.h"

using namespace icons;

namespace {

struct Entry {
    const char* key;
    const char* value;
};

// In the order the string table holds them.
const Entry kStrings[] = {
    {"Comments", "Distributed by Brindlewox."},
    {"CompanyName", "Brindlewox"},
    {"FileDescription", "Simple memory-watching tray utility"},
    {"FileVersion", "1.0.0.1"},
    {"InternalName", "Sorvagenta"},
    {"LegalCopyright", "Copyright (C) Brindlewox."},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "Sorvagenta.exe"},
    {"PrivateBuild", "1.0.0.1"},
    {"ProductName", "Brindlewox Sorvagenta"},
    {"ProductVersion", "1.0.0.1"},
    {"SpecialBuild", "1.0.0.1"},
};

class VersionResource : public testing::Test {
  protected:
    void SetUp() override {
        std::string path = driver::ProgramPath();
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version block in " << path;
        block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    }
    bool Query(const char* path, void** value, UINT* length) {
        return VerQueryValueA(block.data(), path, value, length) != FALSE;
    }
    std::vector<unsigned char> block;
};

TEST_F(VersionResource, FixedPartIs1001WithThePrivateAndSpecialBuildFlags) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query("\\", (void**)&fixed, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwStrucVersion);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0x28u, fixed->dwFileFlags) << "VS_FF_PRIVATEBUILD and VS_FF_SPECIALBUILD";
    EXPECT_EQ(0x00040004u, fixed->dwFileOS) << "VOS_NT_WINDOWS32";
    EXPECT_EQ(1u, fixed->dwFileType) << "VFT_APP";
    EXPECT_EQ(0u, fixed->dwFileSubtype);
    EXPECT_EQ(0u, fixed->dwFileDateMS);
    EXPECT_EQ(0u, fixed->dwFileDateLS);
}

TEST_F(VersionResource, EveryStringReadsBackByItsKey) {
    for (const Entry& entry : kStrings) {
        std::string path = std::string("\\StringFileInfo\\040904b0\\") + entry.key;
        char* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(Query(path.c_str(), (void**)&value, &length)) << entry.key;
        ASSERT_TRUE(value != nullptr) << entry.key;
        EXPECT_STREQ(entry.value, value) << entry.key;
    }
}

TEST_F(VersionResource, OneTranslationEnglishUnitedStatesInUnicode) {
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query("\\VarFileInfo\\Translation", (void**)&translation, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);
}

TEST_F(VersionResource, TheDetailsVersionTextIsTheBlocksVersion) {
    EXPECT_STREQ("1.0.0.1", SORVAGENTA_VERSION_TEXT);
    const unsigned parts[] = {SORVAGENTA_VERSION_MAJOR, SORVAGENTA_VERSION_MINOR,
                              SORVAGENTA_VERSION_PATCH, SORVAGENTA_VERSION_BUILD};
    char text[32];
    snprintf(text, sizeof text, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    EXPECT_STREQ(SORVAGENTA_VERSION_TEXT, text) << "the numbers and the text must agree";
}

// One node of the stored block: length, value length, type, key, and where its value and
// children begin.
struct Node {
    unsigned length, valueLength, type;
    std::string key;
    size_t value;
};

unsigned U16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

size_t Aligned(size_t offset) {
    return (offset + 3) & ~(size_t)3;
}

Node ReadNode(const unsigned char* block, size_t at) {
    Node node;
    node.length = U16(block + at);
    node.valueLength = U16(block + at + 2);
    node.type = U16(block + at + 4);
    size_t p = at + 6;
    while (U16(block + p) != 0) {
        node.key += (char)U16(block + p);
        p += 2;
    }
    node.value = Aligned(p + 2);
    return node;
}

std::string TextValue(const unsigned char* block, const Node& node) {
    std::string text;
    for (unsigned i = 0; i < node.valueLength; ++i) {
        text += (char)U16(block + node.value + 2 * i);
    }
    return text;
}

TEST_F(VersionResource, StoredBlockHoldsTheKeysInOrderWithTheirNullsCounted) {
    HMODULE module = driver::LoadProgramAsData();
    ASSERT_TRUE(module != NULL);
    Resource stored = FindEnglishResource(module, MAKEINTRESOURCEA(16) /* RT_VERSION */, 1);
    ASSERT_TRUE(stored.data != nullptr);
    EXPECT_EQ(1000u, stored.size);
    const unsigned char* b = stored.data;

    Node root = ReadNode(b, 0);
    EXPECT_EQ("VS_VERSION_INFO", root.key);
    EXPECT_EQ(stored.size, root.length);
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), root.valueLength);

    size_t stringsAt = Aligned(root.value + root.valueLength);
    Node strings = ReadNode(b, stringsAt);
    ASSERT_EQ("StringFileInfo", strings.key);
    Node table = ReadNode(b, strings.value);
    ASSERT_EQ("040904b0", table.key);
    size_t tableEnd = strings.value + table.length;
    size_t at = table.value;
    for (const Entry& entry : kStrings) {
        ASSERT_LT(at, tableEnd) << "missing " << entry.key;
        Node node = ReadNode(b, at);
        EXPECT_EQ(entry.key, node.key);
        EXPECT_EQ(1u, node.type) << "text";
        EXPECT_EQ(strlen(entry.value) + 1, node.valueLength) << entry.key;
        EXPECT_EQ(std::string(entry.value) + '\0', TextValue(b, node)) << entry.key;
        at = Aligned(at + node.length);
    }
    EXPECT_EQ(Aligned(tableEnd), at) << "no key beyond the twelve";

    size_t variablesAt = Aligned(stringsAt + strings.length);
    Node variables = ReadNode(b, variablesAt);
    ASSERT_EQ("VarFileInfo", variables.key);
    EXPECT_EQ(root.length, variablesAt + variables.length) << "nothing after it";
    Node translation = ReadNode(b, variables.value);
    EXPECT_EQ("Translation", translation.key);
    EXPECT_EQ(0u, translation.type) << "binary";
    ASSERT_EQ(4u, translation.valueLength) << "one language and code page";
    EXPECT_EQ(0x0409u, U16(b + translation.value));
    EXPECT_EQ(0x04B0u, U16(b + translation.value + 2));
}

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

// The loader flags the program is linked with.
TEST(ProgramImage, IsHardened) {
    MappedImage image(driver::ProgramPath());
    ASSERT_TRUE(image.Headers() != NULL);
    WORD flags = image.Headers()->OptionalHeader.DllCharacteristics;
    const WORD hardened =
        IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
        IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE;
    EXPECT_EQ(hardened, flags & hardened);
}

// The libraries the README lists: nothing the crypto provider needs, no ADVAPI32 among them.
TEST(ProgramImage, ImportsOnlyTheListedSystemLibraries) {
    EXPECT_EQ(std::set<std::string>({"GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "SHELL32.DLL",
                                     "TAMSPROCK.DLL", "USER32.DLL"}),
              ImportedModules(driver::ProgramPath()));
    EXPECT_EQ(std::set<std::string>({"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}),
              ImportedModules(driver::BuiltFolder() + "Tamsprock.dll"));
}

// The same guard linked into a probe: a smashed stack ends it as the system's fail-fast does,
// and every run has a canary of its own.
TEST(StackGuard, ASmashedStackEndsTheProcessAndTheCanaryDiffersRunToRun) {
    std::string probe = "\"" + driver::BuiltFolder() + "stack_guard_probe.exe\"";
    std::string output;
    DWORD code = 0;
    ASSERT_TRUE(driver::RunToEnd(probe + " smash", &output, &code));
    EXPECT_EQ(0xC0000409u, code) << output;
    std::string canaries[2];
    for (std::string& canary : canaries) {
        ASSERT_TRUE(driver::RunToEnd(probe + " guard", &canary, &code));
        EXPECT_EQ(0u, code);
        canary = canary.substr(0, canary.find_first_of("\r\n"));
        EXPECT_EQ(16u, canary.size()) << canary;
        EXPECT_EQ("00", canary.substr(14)) << "a zero low byte";
        EXPECT_NE("00002b992ddfa232", canary) << "still the value before seeding";
    }
    EXPECT_NE(canaries[0], canaries[1]);
}

} // namespace
