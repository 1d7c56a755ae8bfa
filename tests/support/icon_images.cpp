#include "support/icon_images.h"

namespace icons {

const unsigned char kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

namespace {

const WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

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

Resource FindEnglishResource(HMODULE module, LPCSTR type, int id) {
    Resource found;
    HRSRC info = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kEnglishUS);
    if (!info) {
        return found;
    }
    HGLOBAL loaded = LoadResource(module, info);
    found.data = (const unsigned char*)LockResource(loaded);
    found.size = found.data ? SizeofResource(module, info) : 0;
    return found;
}

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

} // namespace icons
