// The built program's icons and version block read back as Windows stores them.
#pragma once

#include <windows.h>

#include <vector>

namespace icons {

const int kSide = 32;

struct Resource {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};
// The resource stored under English (United States); empty when there is none.
Resource FindEnglishResource(HMODULE module, LPCSTR type, int id);
// Every id of a type, and every language an id is stored under.
std::vector<int> ResourceIds(HMODULE module, LPCSTR type);
std::vector<WORD> ResourceLanguages(HMODULE module, LPCSTR type, int id);

// A 32x32 picture, top row first: a palette index, or transparent.
struct Picture {
    int index[kSide][kSide];
    bool transparent[kSide][kSide];
    bool Black(int x, int y) const {
        return !transparent[y][x] && index[y][x] == 0;
    }
};
// The pixels of a 744-byte 4-bit icon image (bottom-up colour bitmap and mask).
Picture DecodeIconImage(const unsigned char* image);

// The standard 16-colour palette as red, green, blue.
extern const unsigned char kPalette[16][3];

} // namespace icons
