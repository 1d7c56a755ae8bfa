// The version block of the built Sorvagenta.exe, read back with the version API and as it is
// stored.
#include <stdio.h>
#include <string.h>

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
    {"LegalTrademarks", "-"},
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

// The block as stored; the version-blocks test checks that rc.exe's rules (llvm-rc) store
// the same bytes as windres.
TEST_F(VersionResource, StoredBlockIs1000Bytes) {
    HMODULE module = driver::LoadProgramAsData();
    ASSERT_TRUE(module != NULL);
    Resource stored = FindEnglishResource(module, MAKEINTRESOURCEA(16) /* RT_VERSION */, 1);
    ASSERT_TRUE(stored.data != nullptr);
    EXPECT_EQ(1000u, stored.size);
    EXPECT_EQ(0, memcmp(stored.data + 6, L"VS_VERSION_INFO", 32));
}

} // namespace
