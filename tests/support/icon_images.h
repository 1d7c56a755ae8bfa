// The built program's icons and version block read back as Windows stores them, and the
// icon the taskbar receives compared with them.
#pragma once

#include <windows.h>

#include <vector>

#include "support/program_driver.h"

namespace icons {

const int kSide = 32;

using driver::FindEnglishResource;
using driver::Resource;
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

// The built program loaded for its resources, for the whole run.
HMODULE BuiltProgram();
// The picture of one of its icon images; a failure, and an empty picture, unless it is a
// 744-byte image.
Picture ProgramIconPicture(int id);

// Pixels of the icon as the taskbar received it that differ from the picture: the mask
// must let exactly the transparent pixels through, and the colours must be the palette's
// (black behind transparent pixels, so nothing inverts the screen).
int DifferingPixels(const driver::TrayMessage& call, const Picture& picture);
// Whether the icon received is the gauge for the used percentage its tooltip shows. The
// tooltip rounds to two decimals, so a shown "42.00" may come from just under 42.
bool ShowsGaugeForTip(const driver::TrayMessage& call);

// The standard 16-colour palette as red, green, blue.
extern const unsigned char kPalette[16][3];

} // namespace icons
