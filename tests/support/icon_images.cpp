#include "support/icon_images.h"

#include <stdio.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace icons {

const unsigned char kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
    std::vector<int>* ids = (std::vector<int>*)param;
    // Named resources count as id -1: the program addresses everything by number.
    ids->push_back(IS_INTRESOURCE(name) ? (int)(ULONG_PTR)name : -1);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    ((std::vector<WORD>*)param)->push_back(language);
    return TRUE;
}

} // namespace

std::vector<int> ResourceIds(HMODULE module, LPCSTR type) {
    std::vector<int> ids;
    EnumResourceNamesA(module, type, CollectId, (LONG_PTR)&ids);
    return ids;
}

std::vector<WORD> ResourceLanguages(HMODULE module, LPCSTR type, int id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(id), CollectLanguage,
                           (LONG_PTR)&languages);
    return languages;
}

Picture DecodeIconImage(const unsigned char* image) {
    const unsigned char* colour = image + 104;
    const unsigned char* mask = image + 616;
    Picture picture;
    for (int y = 0; y < kSide; ++y) {
        int stored = kSide - 1 - y; // both bitmaps are stored bottom row first
        for (int x = 0; x < kSide; ++x) {
            unsigned char pair = colour[stored * 16 + x / 2];
            picture.index[y][x] = (x % 2 == 0) ? pair >> 4 : pair & 15;
            picture.transparent[y][x] = (mask[stored * 4 + x / 8] >> (7 - x % 8)) & 1;
        }
    }
    return picture;
}

HMODULE BuiltProgram() {
    static HMODULE module = driver::LoadProgramAsData();
    return module;
}

Picture ProgramIconPicture(int id) {
    Resource image = FindEnglishResource(BuiltProgram(), MAKEINTRESOURCEA(3) /* RT_ICON */, id);
    EXPECT_EQ(744u, image.size) << "image " << id;
    Picture picture = {};
    if (image.size == 744u) {
        picture = DecodeIconImage(image.data);
    }
    return picture;
}

int DifferingPixels(const driver::TrayMessage& call, const Picture& picture) {
    if (!call.hasIcon || call.iconWidth != kSide || call.iconHeight != kSide ||
        call.iconBitsPerPixel != 32) {
        return kSide * kSide;
    }
    const size_t maskStride = (kSide + 15) / 16 * 2;
    int differing = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            bool transparent = (call.iconMask[y * maskStride + x / 8] >> (7 - x % 8)) & 1;
            const unsigned char* bgr = &call.iconColour[(y * kSide + x) * 4];
            const unsigned char* rgb =
                kPalette[picture.transparent[y][x] ? 0 : picture.index[y][x]];
            if (transparent != picture.transparent[y][x] || bgr[0] != rgb[2] || bgr[1] != rgb[1] ||
                bgr[2] != rgb[0]) {
                ++differing;
            }
        }
    }
    return differing;
}

bool ShowsGaugeForTip(const driver::TrayMessage& call) {
    int whole = -1, hundredths = -1;
    if (sscanf(call.tip.c_str(), "Used: %d.%d%%", &whole, &hundredths) != 2) {
        return false;
    }
    int number = std::min(std::max(whole, 1), 100);
    if (DifferingPixels(call, ProgramIconPicture(number + 1)) == 0) {
        return true;
    }
    return hundredths == 0 && whole > 1 && whole <= 100 &&
           DifferingPixels(call, ProgramIconPicture(whole)) == 0;
}

} // namespace icons
